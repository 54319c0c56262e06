#pragma once
// A periodic high-resolution timer: a callback on a thread of its own, at
// absolute deadlines. Pulse n is due at origin + n x period (the origin is the
// moment Start is called, so the first pulse comes one period later), so
// lateness of one pulse never shifts the ones after it.
//
// The thread asks for SCHED_FIFO and runs without it where that is not permitted.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// The schedule, apart from any clock, so that it can be checked by itself.
namespace PeriodicSchedule {

// When pulse n (1, 2, ...) is due, in ns of the monotonic clock.
constexpr int64_t Deadline(int64_t originNs, int64_t periodNs, uint64_t n)
{
    return originNs + static_cast<int64_t>(n) * periodNs;
}

// The pulse to wait for after pulse `done` has run and the clock reads nowNs:
// normally done + 1. When the machine stalled so long that that deadline is
// more than half a period behind, the beats in between are dropped and the next
// pulse is the first one still ahead, on the original grid: a late click or a
// burst of clicks would be worse than a missing one.
uint64_t NextPulse(int64_t originNs, int64_t periodNs, uint64_t done, int64_t nowNs);

} // namespace PeriodicSchedule

class CPeriodicTimer {
public:
    // Runs on the timer's thread; it must not allocate or block for long.
    using Callback = void (*)(void* context);

    CPeriodicTimer() = default;
    ~CPeriodicTimer();
    CPeriodicTimer(const CPeriodicTimer&) = delete;
    CPeriodicTimer& operator=(const CPeriodicTimer&) = delete;

    // Starts calling callback(context) every period; a running timer is
    // stopped first. False when the thread could not be made.
    bool Start(std::chrono::nanoseconds period, Callback callback, void* context);

    // Stops the timer and waits for its thread: when Stop returns, the
    // callback is not running and will not run again. Returns at once, also at
    // slow tempi (the wait between pulses is interruptible). From inside the
    // callback it only asks the thread to end; the next Start or the
    // destructor collects it.
    void Stop();

    bool IsRunning() const { return m_bRunning.load(std::memory_order_acquire); }

    // The origin of the current or last schedule, ns of CLOCK_MONOTONIC.
    int64_t OriginNs() const { return m_nOriginNs; }
    int64_t PeriodNs() const { return m_nPeriodNs; }
    // Whether the thread got real-time scheduling (known once it has started).
    bool IsRealTime() const { return m_bRealTime.load(std::memory_order_acquire); }
    // Pulses dropped because the thread woke too late for them.
    uint64_t DroppedPulses() const { return m_nDropped.load(std::memory_order_relaxed); }

    static int64_t NowNs();

private:
    void Run();

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStopRequested = false; // guarded by m_mutex
    std::atomic<bool> m_bStop{false}; // the same, read without the lock after the fine wait
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bRealTime{false};
    std::atomic<uint64_t> m_nDropped{0};
    Callback m_pfnCallback = nullptr;
    void* m_pContext = nullptr;
    int64_t m_nOriginNs = 0;
    int64_t m_nPeriodNs = 0;
};
