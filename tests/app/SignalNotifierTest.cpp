// Process signals as the UI thread hears them: taken on any thread, heard in
// order, the former handling back afterwards, a signal ignored by whoever
// started us left ignored, and a program that no longer answers still ended.
#include "app/CSignalNotifier.h"
#include "support/TestSupport.h"

#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

int g_nSentinelCalls = 0;
void Sentinel(int) { ++g_nSentinelCalls; }

} // namespace

TEST(SignalNotifier, SignalsTakenOnAnyThreadAreHeardOnTheUiThreadInOrder)
{
    std::vector<int> heard;
    bool onUiThread = true;
    {
        CSignalNotifier notifier({SIGHUP, SIGTERM});
        ASSERT_TRUE(notifier.IsInstalled());
        QObject::connect(&notifier, &CSignalNotifier::Received, [&](int s) {
            heard.push_back(s);
            onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
        });
        // raise() runs the handler on the thread that raises, before it returns.
        std::thread([] { raise(SIGHUP); }).join();
        raise(SIGTERM);
        EXPECT_TRUE(kvtest::WaitFor([&] { return heard.size() >= 2; }));
    }
    EXPECT_EQ(heard, (std::vector<int>{SIGHUP, SIGTERM}));
    EXPECT_TRUE(onUiThread);
}

TEST(SignalNotifier, TheFormerHandlingComesBackAndAnIgnoredSignalStaysIgnored)
{
    struct sigaction sentinel = {}, ignore = {}, formerInt = {}, formerHup = {};
    sentinel.sa_handler = Sentinel;
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGINT, &sentinel, &formerInt);
    // As `nohup kelvora` starts us.
    sigaction(SIGHUP, &ignore, &formerHup);
    g_nSentinelCalls = 0;

    std::vector<int> heard;
    {
        CSignalNotifier notifier({SIGINT, SIGHUP});
        EXPECT_TRUE(notifier.IsInstalled());
        QObject::connect(&notifier, &CSignalNotifier::Received, [&](int s) { heard.push_back(s); });
        raise(SIGHUP);
        raise(SIGINT);
        // raise() returns after the handler: a byte for SIGHUP would be first in the pipe.
        EXPECT_TRUE(kvtest::WaitFor([&] { return !heard.empty(); }));
        kvtest::Drain();
    }
    EXPECT_EQ(heard, std::vector<int>{SIGINT});
    EXPECT_EQ(g_nSentinelCalls, 0);

    raise(SIGINT);
    EXPECT_EQ(g_nSentinelCalls, 1);
    struct sigaction now = {};
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);

    sigaction(SIGINT, &formerInt, nullptr);
    sigaction(SIGHUP, &formerHup, nullptr);
}

TEST(SignalNotifierDeathTest, AProgramThatDoesNotAnswerIsEndedByTheThirdSignal)
{
    // The child starts afresh rather than as a fork of a process with threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CSignalNotifier notifier({SIGINT, SIGTERM});
            // Never back to the event loop: nobody reads what the handler wrote.
            raise(SIGINT);
            raise(SIGTERM);
            std::fprintf(stderr, "two signals taken\n");
            raise(SIGINT);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGINT), "two signals taken");
}
