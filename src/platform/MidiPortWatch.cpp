#include "platform/MidiPortWatch.h"

CMidiPortWatch::CMidiPortWatch(std::chrono::milliseconds period) : m_nPeriodMs(period.count()) {}

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
    int id;
    {
        std::lock_guard lock(m_mutex);
        id = m_nNextId++;
        m_entries.emplace(id, Entry{std::move(alive), std::move(onLost), false});
    }
    // Checked at once: the peer may have gone while the port was opening,
    // and what told of that poked the watch before the port was in it.
    Poke();
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

void CMidiPortWatch::SetPeriod(std::chrono::milliseconds period)
{
    m_nPeriodMs.store(period.count());
    Poke(); // a thread waiting out the old period takes the new one now
}

void CMidiPortWatch::Run()
{
    while (!m_bStop.load()) {
        const int64_t periodMs = m_nPeriodMs.load();
        if (periodMs <= 0) {
            m_wake.acquire();
            m_bWakePending.store(false);
        } else if (m_wake.try_acquire_for(std::chrono::milliseconds(periodMs))) {
            m_bWakePending.store(false);
        }
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
