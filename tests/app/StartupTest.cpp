// Start-up: the command line, the run-time check and one instance per user,
// the last between real processes.
#include "app/CSingleInstance.h"
#include "app/CTessaroApp.h"

#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

TEST(CommandLine, OptionsAndFile)
{
    auto p = CTessaroApp::ParseCommandLine({"kelvora", "--midi-backend=jack", "lesson.kvf"});
    EXPECT_TRUE(p.error.isEmpty());
    EXPECT_EQ(p.midiBackend, "jack");
    EXPECT_EQ(p.fileName, "lesson.kvf");

    p = CTessaroApp::ParseCommandLine({"kelvora", "--midi-backend", "loopback", "--list-devices"});
    EXPECT_EQ(p.midiBackend, "loopback");
    EXPECT_TRUE(p.listDevices);

    EXPECT_TRUE(CTessaroApp::ParseCommandLine({"kelvora", "--help"}).help);
    EXPECT_TRUE(CTessaroApp::ParseCommandLine({"kelvora", "--version"}).version);
    // Qt's own options and their values are not files.
    p = CTessaroApp::ParseCommandLine({"kelvora", "-platform", "offscreen"});
    EXPECT_TRUE(p.error.isEmpty());
    EXPECT_TRUE(p.fileName.isEmpty());

    EXPECT_FALSE(CTessaroApp::ParseCommandLine({"kelvora", "--midi-backend=winmm"}).error.isEmpty());
    EXPECT_FALSE(CTessaroApp::ParseCommandLine({"kelvora", "--frobnicate"}).error.isEmpty());
}

TEST(RuntimeCheck, OlderLibrariesStopStartUpNamingBothVersions)
{
    EXPECT_TRUE(CTessaroApp::RuntimeVersionProblem("6.4.2", "6.4.2").isEmpty());
    EXPECT_TRUE(CTessaroApp::RuntimeVersionProblem("6.4.2", "6.5.0").isEmpty());
    // An unreadable version does not block start-up.
    EXPECT_TRUE(CTessaroApp::RuntimeVersionProblem("6.4.2", "").isEmpty());
    const QString msg = CTessaroApp::RuntimeVersionProblem("6.4.2", "6.2.4");
    EXPECT_TRUE(msg.contains("6.4.2"));
    EXPECT_TRUE(msg.contains("6.2.4"));
}

namespace {

class Instance {
public:
    explicit Instance(const QStringList& extra = {})
    {
        m_proc.setProgram(QStringLiteral(KELVORA_EXE));
        m_proc.setArguments(QStringList{"--midi-backend=loopback"} + extra);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start();
    }
    ~Instance()
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.terminate();
            if (!m_proc.waitForFinished(3000))
                m_proc.kill();
            m_proc.waitForFinished(3000);
        }
    }
    QProcess m_proc;
};

bool ServerAnswers(int timeoutMs)
{
    const QString name = CSingleInstance::SocketName("Kelvora");
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        QLocalSocket s;
        s.connectToServer(name);
        if (s.waitForConnected(50))
            return true;
        QThread::msleep(50);
    }
    return false;
}

} // namespace

TEST(SingleInstance, SecondStartHandsOverAndEnds)
{
    Instance first;
    ASSERT_TRUE(first.m_proc.waitForStarted());
    ASSERT_TRUE(ServerAnswers(10000));

    Instance second;
    ASSERT_TRUE(second.m_proc.waitForFinished(5000));
    EXPECT_EQ(second.m_proc.exitCode(), 0);
    EXPECT_EQ(first.m_proc.state(), QProcess::Running);
}

TEST(SingleInstance, StaleSocketOfACrashedInstanceIsCleared)
{
    {
        Instance crashed;
        ASSERT_TRUE(crashed.m_proc.waitForStarted());
        ASSERT_TRUE(ServerAnswers(10000));
        ::kill(static_cast<pid_t>(crashed.m_proc.processId()), SIGKILL);
        crashed.m_proc.waitForFinished(3000);
    }
    Instance next;
    ASSERT_TRUE(next.m_proc.waitForStarted());
    ASSERT_TRUE(ServerAnswers(10000));
    QThread::msleep(300);
    EXPECT_EQ(next.m_proc.state(), QProcess::Running);

    Instance another;
    ASSERT_TRUE(another.m_proc.waitForFinished(5000));
    EXPECT_EQ(another.m_proc.exitCode(), 0);
    EXPECT_EQ(next.m_proc.state(), QProcess::Running);
}

TEST(CommandLine, VersionHelpAndDeviceListNeedNoWindow)
{
    auto run = [](const QStringList& args, QByteArray* out) {
        QProcess p;
        p.start(QStringLiteral(KELVORA_EXE), args);
        if (!p.waitForFinished(10000))
            return -1;
        *out = p.readAllStandardOutput();
        return p.exitCode();
    };
    QByteArray out;
    EXPECT_EQ(run({"--version"}, &out), 0);
    EXPECT_TRUE(out.startsWith("Kelvora ")) << out.constData();
    EXPECT_EQ(run({"--help"}, &out), 0);
    EXPECT_TRUE(out.contains("--midi-backend")) << out.constData();
    EXPECT_EQ(run({"--midi-backend=loopback", "--list-devices"}, &out), 0);
    EXPECT_FALSE(out.isEmpty());
    EXPECT_EQ(run({"--midi-backend=nonsense"}, &out), 2);
}
