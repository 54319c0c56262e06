// The real program on a real X server with a real window manager (openbox):
// a second start brings the running window back as it was before it was
// minimised, maximised or not. The window manager does the maximising and
// minimising, as its title-bar buttons would.
#include "XvfbDisplay.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

namespace {

bool Eventually(const std::function<bool()>& pred, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

class RealWindowManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "openbox", "wmctrl", "xdotool", "xprop"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << "Xvfb, openbox, wmctrl, xdotool or xprop is missing";
        m_x.env.insert("HOME", m_x.config.path());
        m_x.env.insert("XDG_RUNTIME_DIR", m_x.config.path());
        ASSERT_TRUE(m_x.Start()) << "Xvfb did not start";
        ASSERT_TRUE(m_x.Launch("openbox", {"--sm-disable"}).waitForStarted(5000));
        ASSERT_TRUE(Eventually([&] { return m_x.Run("wmctrl", {"-m"}).contains("Openbox"); }))
            << "openbox did not take the screen";
        m_first = &m_x.Launch(KELVORA_EXE, {"--midi-backend=loopback"});
        ASSERT_TRUE(m_first->waitForStarted(5000));
        const QString id = m_x.Run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "Kelvora"});
        ASSERT_FALSE(id.isEmpty()) << "no Kelvora window";
        m_strWindow = id.split('\n').first();
    }

    // The window's states as the window manager keeps them.
    QString States() { return m_x.Run("xprop", {"-id", m_strWindow, "_NET_WM_STATE", "WM_STATE"}); }
    bool IsMaximised()
    {
        const QString s = States();
        return s.contains("_NET_WM_STATE_MAXIMIZED_HORZ") && s.contains("_NET_WM_STATE_MAXIMIZED_VERT");
    }
    bool IsMinimised() { return States().contains("Iconic"); }

    // Minimised, and then a second start, which hands over to the first and
    // ends: the window is shown again.
    void MinimiseAndStartAgain()
    {
        m_x.Run("xdotool", {"windowminimize", m_strWindow});
        ASSERT_TRUE(Eventually([&] { return IsMinimised(); })) << qPrintable(States());
        QProcess& second = m_x.Launch(KELVORA_EXE, {"--midi-backend=loopback"});
        ASSERT_TRUE(second.waitForFinished(10000));
        EXPECT_EQ(second.exitCode(), 0);
        ASSERT_TRUE(Eventually([&] { return !IsMinimised(); })) << qPrintable(States());
    }

    kvtest::XSession m_x{"kvwm"};
    QProcess* m_first = nullptr;
    QString m_strWindow;
};

} // namespace

TEST_F(RealWindowManager, ASecondStartBringsTheWindowBackAsItWasBeforeMinimising)
{
    // Normal size, minimised: back at normal size.
    ASSERT_NO_FATAL_FAILURE(MinimiseAndStartAgain());
    EXPECT_FALSE(IsMaximised()) << qPrintable(States());

    // Maximised for showing, minimised: maximised again, not normal size.
    m_x.Run("wmctrl", {"-i", "-r", m_strWindow, "-b", "add,maximized_vert,maximized_horz"});
    ASSERT_TRUE(Eventually([&] { return IsMaximised(); })) << qPrintable(States());
    ASSERT_NO_FATAL_FAILURE(MinimiseAndStartAgain());
    // The window manager would have done any un-maximising by now.
    QThread::msleep(500);
    EXPECT_TRUE(IsMaximised()) << qPrintable(States());
    EXPECT_EQ(m_first->state(), QProcess::Running);
}
