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
    // Qt's own options and their values are not files.
    p = CTessaroApp::ParseCommandLine({"kelvora", "-platform", "offscreen"});
    EXPECT_TRUE(p.error.isEmpty());
    EXPECT_TRUE(p.fileName.isEmpty());
    for (const char* bad : {"--midi-backend=winmm", "--frobnicate"})
        EXPECT_FALSE(CTessaroApp::ParseCommandLine({"kelvora", bad}).error.isEmpty()) << bad;
}

TEST(RuntimeCheck, OlderLibrariesStopStartUpNamingBothVersions)
{
    // The same, a newer or an unreadable version does not block start-up.
    for (const char* runtime : {"6.4.2", "6.5.0", ""})
        EXPECT_TRUE(CTessaroApp::RuntimeVersionProblem("6.4.2", runtime).isEmpty()) << runtime;
    const QString msg = CTessaroApp::RuntimeVersionProblem("6.4.2", "6.2.4");
    EXPECT_TRUE(msg.contains("6.4.2") && msg.contains("6.2.4")) << qPrintable(msg);
}

namespace {

class Instance {
public:
    Instance()
    {
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start(QStringLiteral(KELVORA_EXE), {"--midi-backend=loopback"});
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

TEST(SingleInstance, AStaleSocketIsClearedAndASecondStartHandsOverAndEnds)
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
    Instance another;
    ASSERT_TRUE(another.m_proc.waitForFinished(5000));
    EXPECT_EQ(another.m_proc.exitCode(), 0);
    EXPECT_EQ(next.m_proc.state(), QProcess::Running);
}

TEST(CommandLine, VersionHelpAndDeviceListNeedNoWindow)
{
    const struct {
        QStringList args;
        int exitCode;
        const char* output;
    } runs[] = {{{"--version"}, 0, "Kelvora "},
                {{"--help"}, 0, "--midi-backend"},
                {{"--midi-backend=loopback", "--list-devices"}, 0, "Output devices:"},
                {{"--midi-backend=nonsense"}, 2, ""}};
    for (const auto& r : runs) {
        QProcess p;
        p.start(QStringLiteral(KELVORA_EXE), r.args);
        ASSERT_TRUE(p.waitForFinished(10000)) << qPrintable(r.args.join(' '));
        EXPECT_EQ(p.exitCode(), r.exitCode) << qPrintable(r.args.join(' '));
        const QByteArray out = p.readAllStandardOutput();
        EXPECT_TRUE(out.contains(r.output)) << out.constData();
    }
}
