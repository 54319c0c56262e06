#include "platform/PeriodicTimer.h"

#include <cerrno>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <system_error>

namespace {

// Below the audio threads of JACK, PipeWire and PulseAudio (a pulse only queues
// two short messages; it must never hold up sound being rendered), above every
// ordinary thread.
constexpr int kRealTimePriority = 5;

// The wait for a pulse is an interruptible coarse wait (so that Stop returns at
// once even at 35 pulses per minute) up to this much before the deadline, then
// an absolute clock_nanosleep onto the deadline itself.
constexpr int64_t kFineWaitNs = 2'000'000;

// The timer whose pulses the calling thread runs, if any: such a thread must
// not wait for itself, nor touch the thread object its starter may still be
// writing.
thread_local const CPeriodicTimer* t_pOwnTimer = nullptr;

timespec ToTimespec(int64_t ns)
{
    timespec ts;
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ts;
}

} // namespace

namespace PeriodicSchedule {

uint64_t NextPulse(int64_t originNs, int64_t periodNs, uint64_t done, int64_t nowNs)
{
    const uint64_t next = done + 1;
    const int64_t lateNs = nowNs - Deadline(originNs, periodNs, next);
    if (lateNs <= periodNs / 2)
        return next;
    // First pulse whose deadline is not yet past.
    // First pulse whose deadline is not yet past (later than next, as next is
    // more than half a period behind).
    const int64_t sinceOrigin = nowNs - originNs;
    return static_cast<uint64_t>((sinceOrigin + periodNs - 1) / periodNs);
}

} // namespace PeriodicSchedule

int64_t CPeriodicTimer::NowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

CPeriodicTimer::~CPeriodicTimer()
{
    Stop();
    // Stopped from inside its own callback and never collected since.
    if (t_pOwnTimer != this && m_thread.joinable())
        m_thread.join();
}

bool CPeriodicTimer::Start(std::chrono::nanoseconds period, Callback callback, void* context)
{
    if (t_pOwnTimer == this)
        return false; // a restart from inside the callback cannot wait for itself
    Stop();
    if (m_thread.joinable())
        m_thread.join();
    if (period.count() <= 0 || !callback)
        return false;

    m_pfnCallback = callback;
    m_pContext = context;
    m_nPeriodNs = period.count();
    m_nDropped.store(0, std::memory_order_relaxed);
    m_bRealTime.store(false, std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopRequested = false;
        m_bStop.store(false, std::memory_order_relaxed);
    }
    m_nOriginNs = NowNs();
    // Set before the thread exists: a thread stopped at its first pulse
    // clears it again.
    m_bRunning.store(true, std::memory_order_release);
    try {
        m_thread = std::thread(&CPeriodicTimer::Run, this);
    } catch (const std::system_error&) {
        m_bRunning.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

void CPeriodicTimer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStopRequested = true;
        m_bStop.store(true, std::memory_order_release);
    }
    m_wake.notify_all();
    if (t_pOwnTimer == this || !m_thread.joinable())
        return;
    m_thread.join();
    m_bRunning.store(false, std::memory_order_release);
}

void CPeriodicTimer::Run()
{
    t_pOwnTimer = this;
    sched_param param{};
    param.sched_priority = kRealTimePriority;
    const bool realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    m_bRealTime.store(realTime, std::memory_order_release);
    // An ordinary thread's sleeps may end up to 50 us late by default, for the
    // sake of batching wake-ups; a metronome wants its deadline.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    uint64_t n = 1;
    for (;;) {
        const int64_t deadline = PeriodicSchedule::Deadline(m_nOriginNs, m_nPeriodNs, n);
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // steady_clock is CLOCK_MONOTONIC, the clock the deadlines are on.
            const std::chrono::steady_clock::time_point coarse{
                std::chrono::nanoseconds(deadline - kFineWaitNs)};
            m_wake.wait_until(lock, coarse, [this] { return m_bStopRequested; });
            if (m_bStopRequested)
                break;
        }
        const timespec due = ToTimespec(deadline);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
        }
        if (m_bStop.load(std::memory_order_acquire))
            break;
        // Woken far too late (a suspended machine): that beat is gone.
        if (NowNs() - deadline <= m_nPeriodNs / 2)
            m_pfnCallback(m_pContext);
        else
            m_nDropped.fetch_add(1, std::memory_order_relaxed);
        const uint64_t next = PeriodicSchedule::NextPulse(m_nOriginNs, m_nPeriodNs, n, NowNs());
        m_nDropped.fetch_add(next - n - 1, std::memory_order_relaxed);
        n = next;
    }
    m_bRunning.store(false, std::memory_order_release);
}
