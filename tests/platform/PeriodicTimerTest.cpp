// The periodic timer: its schedule, never early, stopping, and the beep relay
// that carries a pulse's beep to the UI thread.
#include "platform/Beep.h"
#include "platform/PeriodicTimer.h"
#include "support/TestSupport.h"

#include <QThread>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

namespace {

constexpr int64_t kMs = 1'000'000;

using PeriodicSchedule::Deadline;
using PeriodicSchedule::NextPulse;

} // namespace

TEST(PeriodicSchedule, PulsesStayOnTheGridWhateverHappensToOne)
{
    // MM 140: 428 ms. An hour later a deadline is still exactly n periods
    // from the origin: nothing is added up pulse by pulse.
    const int64_t origin = 5'000 * kMs + 123, period = 428 * kMs;
    EXPECT_EQ(Deadline(origin, period, 8411), origin + 8411 * period);
    // Pulse 3 ran on time, late, or so late that pulse 4 is already a little
    // overdue: pulse 4 comes next, at its own deadline.
    EXPECT_EQ(NextPulse(origin, period, 3, Deadline(origin, period, 3)), 4u);
    EXPECT_EQ(NextPulse(origin, period, 3, Deadline(origin, period, 3) + 250 * kMs), 4u);
    EXPECT_EQ(NextPulse(origin, period, 3, Deadline(origin, period, 4) + 200 * kMs), 4u);
    // More than half a period behind pulse 4: it is dropped, pulse 5 is next.
    EXPECT_EQ(NextPulse(origin, period, 3, Deadline(origin, period, 4) + 215 * kMs), 5u);
    // Stalled for ten seconds: the next pulse is the first one still ahead,
    // on the original grid, not a burst of the missed ones.
    EXPECT_EQ(NextPulse(origin, period, 3, origin + 10'000 * kMs), 24u);
    EXPECT_EQ(NextPulse(origin, period, 3, Deadline(origin, period, 12)), 12u);
}

namespace {

struct Recorder {
    static constexpr int kMax = 64;
    std::array<int64_t, kMax> when{};
    std::atomic<int> count{0};
    CPeriodicTimer* timer = nullptr;
    int stopAt = 0; // stop from inside the callback at this pulse

    static void OnPulse(void* context)
    {
        auto* r = static_cast<Recorder*>(context);
        const int i = r->count.load();
        if (i < kMax)
            r->when[i] = CPeriodicTimer::NowNs();
        r->count.store(i + 1);
        if (r->stopAt && i + 1 == r->stopAt)
            r->timer->Stop();
    }
};

} // namespace

TEST(PeriodicTimer, PulsesComeNeverBeforeTheirDeadline)
{
    CPeriodicTimer timer;
    Recorder r;
    ASSERT_TRUE(timer.Start(std::chrono::milliseconds(20), &Recorder::OnPulse, &r));
    EXPECT_TRUE(timer.IsRunning());
    ASSERT_TRUE(kvtest::WaitFor([&] { return r.count.load() >= 8; }, 5000));
    timer.Stop();
    EXPECT_FALSE(timer.IsRunning());
    const int n = std::min(r.count.load(), Recorder::kMax);
    for (int i = 1; i < n; ++i)
        EXPECT_GT(r.when[i], r.when[i - 1]);
    // After a stall (a loaded machine) some pulse numbers are gone and the
    // calls can no longer be matched with their deadlines.
    if (timer.DroppedPulses() != 0)
        return;
    for (int i = 0; i < n; ++i) {
        const int64_t due = Deadline(timer.OriginNs(), timer.PeriodNs(), static_cast<uint64_t>(i + 1));
        EXPECT_GE(r.when[i], due) << "pulse " << i + 1;
    }
}

TEST(PeriodicTimer, StopsAtOnceFromOutsideOrFromItsOwnPulse)
{
    CPeriodicTimer timer;
    Recorder r;
    r.timer = &timer;
    // A minute between pulses: Stop must not wait for the first one.
    ASSERT_TRUE(timer.Start(std::chrono::seconds(60), &Recorder::OnPulse, &r));
    timer.Stop();
    EXPECT_LT(CPeriodicTimer::NowNs(), timer.OriginNs() + 60'000 * kMs);
    EXPECT_EQ(r.count.load(), 0);

    // Stopped from inside its second pulse; a restart takes a new origin.
    const int64_t firstOrigin = timer.OriginNs();
    r.stopAt = 2;
    ASSERT_TRUE(timer.Start(std::chrono::milliseconds(2), &Recorder::OnPulse, &r));
    EXPECT_GT(timer.OriginNs(), firstOrigin);
    ASSERT_TRUE(kvtest::WaitFor([&] { return !timer.IsRunning(); }, 5000));
    EXPECT_EQ(r.count.load(), 2);

    // Once Stop has returned, no pulse runs any more.
    r.stopAt = 0;
    ASSERT_TRUE(timer.Start(std::chrono::milliseconds(2), &Recorder::OnPulse, &r));
    ASSERT_TRUE(kvtest::WaitFor([&] { return r.count.load() >= 5; }, 5000));
    timer.Stop();
    const int after = r.count.load();
    QThread::msleep(20);
    EXPECT_EQ(r.count.load(), after);
}

TEST(BeepRelay, BeepsOnTheThreadThatMadeItFromAnyThread)
{
    int beeps = 0;
    Qt::HANDLE beepThread = nullptr;
    CBeepRelay relay([&] {
        ++beeps;
        beepThread = QThread::currentThreadId();
    });
    std::thread pulse([&] { relay.Post(); });
    pulse.join();
    ASSERT_TRUE(kvtest::WaitFor([&] { return beeps == 1; }));
    EXPECT_EQ(beepThread, QThread::currentThreadId());

    // Requests made while the UI thread was busy sound once, not in a burst.
    relay.Post();
    relay.Post();
    relay.Post();
    kvtest::WaitFor([&] { return beeps > 1; }, 500);
    kvtest::Drain();
    EXPECT_EQ(beeps, 2);
}
