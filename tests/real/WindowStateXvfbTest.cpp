// The real program on a real X server with a real window manager (openbox):
// a second start brings the running window back as it was before it was
// minimised, maximised or not. The window manager does the maximising and
// minimising, as its title-bar buttons would.
#include "XvfbDisplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

namespace {

bool HaveTools()
{
    for (const char* tool : {"Xvfb", "openbox", "wmctrl", "xdotool", "xprop"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            return false;
    return true;
}

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
        if (!HaveTools())
            GTEST_SKIP() << "Xvfb, openbox, wmctrl, xdotool or xprop is missing";
        ASSERT_TRUE(m_config.isValid());
        StartX();
        ASSERT_FALSE(m_strDisplay.isEmpty()) << "Xvfb did not start";
        m_wm.setProcessEnvironment(Environment());
        m_wm.setStandardOutputFile(QProcess::nullDevice());
        m_wm.setStandardErrorFile(QProcess::nullDevice());
        m_wm.start("openbox", {"--sm-disable"});
        ASSERT_TRUE(m_wm.waitForStarted(5000));
        ASSERT_TRUE(Eventually([&] { return Run("wmctrl", {"-m"}).contains("Openbox"); }))
            << "openbox did not take the screen";

        m_first.setProcessEnvironment(Environment());
        m_first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_first.setStandardOutputFile(QProcess::nullDevice());
        m_first.start(KELVORA_EXE, {"--midi-backend=loopback"});
        ASSERT_TRUE(m_first.waitForStarted(5000));
        const QString id = Run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "Kelvora"});
        ASSERT_FALSE(id.isEmpty()) << "no Kelvora window";
        m_strWindow = id.split('\n').first();
    }

    void TearDown() override
    {
        for (QProcess* p : {&m_first, &m_wm, &m_x}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000))
                    p->kill();
                p->waitForFinished(2000);
            }
        }
    }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_config.path());
        env.insert("HOME", m_config.path());
        env.insert("XDG_RUNTIME_DIR", m_config.path());
        env.insert("DISPLAY", m_strDisplay);
        env.insert("QT_QPA_PLATFORM", "xcb");
        // A user of our own: other tests' instances are not the one handed over to.
        env.insert("USER", QStringLiteral("kvwm-%1").arg(QCoreApplication::applicationPid()));
        return env;
    }

    void StartX() { m_strDisplay = kvtest::StartXvfb(m_x); }

    QString Run(const QString& program, const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(program, args);
        if (!p.waitForFinished(15000))
            p.kill();
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

    // The window's states as the window manager keeps them.
    QString States() { return Run("xprop", {"-id", m_strWindow, "_NET_WM_STATE", "WM_STATE"}); }
    bool IsMaximised()
    {
        const QString s = States();
        return s.contains("_NET_WM_STATE_MAXIMIZED_HORZ") && s.contains("_NET_WM_STATE_MAXIMIZED_VERT");
    }
    bool IsMinimised() { return States().contains("Iconic"); }

    void Minimise()
    {
        Run("xdotool", {"windowminimize", m_strWindow});
        ASSERT_TRUE(Eventually([&] { return IsMinimised(); })) << qPrintable(States());
    }

    // A second start: it hands over to the first and ends.
    void StartAgain()
    {
        QProcess second;
        second.setProcessEnvironment(Environment());
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.setStandardOutputFile(QProcess::nullDevice());
        second.start(KELVORA_EXE, {"--midi-backend=loopback"});
        ASSERT_TRUE(second.waitForFinished(10000));
        EXPECT_EQ(second.exitCode(), 0);
    }

    QTemporaryDir m_config;
    QProcess m_x;
    QProcess m_wm;
    QProcess m_first;
    QString m_strDisplay;
    QString m_strWindow;
};

} // namespace

TEST_F(RealWindowManager, ASecondStartBringsTheWindowBackAsItWasBeforeMinimising)
{
    // Normal size, minimised: back at normal size.
    ASSERT_NO_FATAL_FAILURE(Minimise());
    ASSERT_NO_FATAL_FAILURE(StartAgain());
    ASSERT_TRUE(Eventually([&] { return !IsMinimised(); })) << qPrintable(States());
    EXPECT_FALSE(IsMaximised()) << qPrintable(States());

    // Maximised for showing, minimised: maximised again, not normal size.
    Run("wmctrl", {"-i", "-r", m_strWindow, "-b", "add,maximized_vert,maximized_horz"});
    ASSERT_TRUE(Eventually([&] { return IsMaximised(); })) << qPrintable(States());
    ASSERT_NO_FATAL_FAILURE(Minimise());
    ASSERT_NO_FATAL_FAILURE(StartAgain());
    ASSERT_TRUE(Eventually([&] { return !IsMinimised(); })) << qPrintable(States());
    // The window manager would have done any un-maximising by now.
    QThread::msleep(500);
    EXPECT_TRUE(IsMaximised()) << qPrintable(States());
    EXPECT_EQ(m_first.state(), QProcess::Running);
}
