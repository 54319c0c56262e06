// The lost-peer watch: where every loss is told it must look only when
// poked, yet never miss a peer that went while its port was opening.
#include "platform/MidiPortWatch.h"
#include "support/TestSupport.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

TEST(MidiPortWatchTest, LooksOnlyWhenPokedUnlessGivenAPeriod)
{
    CMidiPortWatch watch(CMidiPortWatch::kOnlyWhenPoked);
    std::atomic<int> checks{0};
    std::atomic<bool> alive{true};
    std::atomic<int> lost{0};
    const int id = watch.Add(
        [&] {
            ++checks;
            return alive.load();
        },
        [&] { ++lost; });
    // A first look at once: the peer may have gone before anything could poke.
    ASSERT_TRUE(kvtest::WaitFor([&] { return checks >= 1; }));
    QThread::msleep(700); // longer than the half second it used to wait
    EXPECT_EQ(checks, 1);

    watch.Poke();
    ASSERT_TRUE(kvtest::WaitFor([&] { return checks >= 2; }));
    EXPECT_EQ(lost, 0);

    // Told that nothing will poke it any more, it asks by itself.
    watch.SetPeriod(std::chrono::milliseconds(20));
    const int before = checks;
    ASSERT_TRUE(kvtest::WaitFor([&] { return checks >= before + 5; }));
    alive = false;
    ASSERT_TRUE(kvtest::WaitFor([&] { return lost >= 1; }));
    QThread::msleep(100);
    EXPECT_EQ(lost, 1); // once
    watch.Remove(id);
}
