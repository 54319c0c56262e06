#include "platform/MidiInputRelay.h"

#include <system_error>

bool CMidiInputRelay::StartReader()
{
    try {
        m_reader = std::thread(&CMidiInputRelay::RunReader, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CMidiInputRelay::StopReader()
{
    if (!m_reader.joinable())
        return;
    m_bQuit.store(true);
    m_nWake.fetch_add(1);
    m_nWake.notify_one();
    m_reader.join();
}

void CMidiInputRelay::EndBatch() noexcept
{
    if (!m_bPushed)
        return;
    m_bPushed = false;
    // Every access to the flag is an exchange, so whichever side comes second
    // sees the other's work: a sleeping reader is woken, or a reader about to
    // sleep finds what was pushed.
    if (m_bSleeping.exchange(false, std::memory_order_acq_rel)) {
        m_nWake.fetch_add(1, std::memory_order_release);
        m_nWake.notify_one();
    }
}

void CMidiInputRelay::RunReader()
{
    while (!m_bQuit.load(std::memory_order_acquire)) {
        uint32_t msg;
        while (m_ring.Front(msg)) {
            m_ring.Pop();
            if (IsStarted())
                m_onData(msg);
        }
        const uint32_t wake = m_nWake.load(std::memory_order_acquire);
        m_bSleeping.exchange(true, std::memory_order_acq_rel);
        if (!m_ring.Empty() || m_bQuit.load(std::memory_order_acquire)) {
            m_bSleeping.exchange(false, std::memory_order_acq_rel);
            continue;
        }
        m_nWake.wait(wake, std::memory_order_acquire);
    }
}
