#include "platform/MidiPortWatch.h"

CMidiPortWatch::CMidiPortWatch(std::chrono::milliseconds period) : m_period(period) {}

CMidiPortWatch::~CMidiPortWatch()
{
    m_bStop.store(true);
    Poke();
    if (m_thread.joinable())
        m_thread.join();
}

int CMidiPortWatch::Add(AliveCheck alive, MidiPortLostHandler onLost)
{
    // The thread starts with the first port, so a backend nobody opens costs nothing.
    std::call_once(m_started, [this] { m_thread = std::thread([this] { Run(); }); });
    std::lock_guard lock(m_mutex);
    const int id = m_nNextId++;
    m_entries.emplace(id, Entry{std::move(alive), std::move(onLost), false});
    return id;
}

void CMidiPortWatch::Remove(int id)
{
    std::lock_guard lock(m_mutex); // waits for a check or handler of this port to finish
    m_entries.erase(id);
}

void CMidiPortWatch::Poke()
{
    // At most one release is outstanding, which keeps the binary semaphore
    // within its bound however often we are poked.
    if (!m_bWakePending.exchange(true))
        m_wake.release();
}

void CMidiPortWatch::Run()
{
    while (!m_bStop.load()) {
        if (m_wake.try_acquire_for(m_period))
            m_bWakePending.store(false);
        if (m_bStop.load())
            break;
        CheckAll();
    }
}

void CMidiPortWatch::CheckAll()
{
    std::lock_guard lock(m_mutex);
    for (auto& [id, entry] : m_entries) {
        if (entry.lost || entry.alive())
            continue;
        entry.lost = true;
        if (entry.onLost)
            entry.onLost();
    }
}
