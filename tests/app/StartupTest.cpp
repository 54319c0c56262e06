// Start-up: the command line, one instance per user and
// the file named on the command line, the hostile ones between real processes.
#include "app/CSingleInstance.h"
#include "app/CTessaroApp.h"
#include "view/MessageBoxCatcher.h"
#include "view/ViewFixture.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

// Kelvora on loopback devices, ended when it goes out of scope.
struct Instance : QProcess {
    Instance()
    {
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        start(QStringLiteral(KELVORA_EXE), {"--midi-backend=loopback"});
    }
    ~Instance() override
    {
        terminate();
        if (!waitForFinished(3000))
            kill();
        waitForFinished(3000);
    }
};

bool ServerAnswers()
{
    for (int waited = 0; waited < 10000; waited += 100) {
        QLocalSocket s;
        s.connectToServer(CSingleInstance::SocketName("Kelvora"));
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
        ASSERT_TRUE(crashed.waitForStarted() && ServerAnswers());
        ::kill(static_cast<pid_t>(crashed.processId()), SIGKILL);
        crashed.waitForFinished(3000);
    }
    Instance next;
    ASSERT_TRUE(next.waitForStarted() && ServerAnswers());
    QThread::msleep(300);
    Instance another;
    ASSERT_TRUE(another.waitForFinished(5000));
    EXPECT_EQ(another.exitCode(), 0);
    EXPECT_EQ(next.state(), QProcess::Running);
}

TEST(CommandLine, ADeviceOrAPipeNamedAsTheFileIsRefusedAndTheWindowStillShows)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.kvf"); // no writer: opening it would wait for ever
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& file : {fifo, QStringLiteral("/dev/zero")}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config")); // an instance of its own
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KELVORA_EXE), {"--midi-backend=loopback", "--exit-when-shown", file});
        const bool ended = p.waitForFinished(15000);
        if (!ended) {
            p.kill();
            p.waitForFinished(3000);
        }
        EXPECT_TRUE(ended) << qPrintable(file);
        EXPECT_TRUE(p.readAllStandardOutput().contains("shown")) << qPrintable(file);
        EXPECT_TRUE(p.readAllStandardError().contains("not a file that can be opened")) << qPrintable(file);
    }
}

namespace {

class StartupFile : public ViewFixture {
protected:
    void StartWith(const QString& fileName)
    {
        m_doc.OnNewDocument(); // as a new start's
        StartOn(std::make_unique<CLoopbackMidiBackend>(0, 1), fileName);
    }
};

} // namespace

TEST_F(StartupFile, ANamedFileOpensWithOneInitialUpdateAndOneTooLargeIsRefused)
{
    QTemporaryDir dir;
    const QString lesson = dir.filePath("lesson.kvf");
    QFile f(lesson);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("first\r\nsecond\r\n");
    f.close();
    StartWith(lesson);
    EXPECT_EQ(Sent(), (Msgs{0x000000C0, 0x007F07B0, 0x00400AB0})); // the channel set-up, once
    EXPECT_EQ(m_pView->CurrentLogText(), "first\r\nsecond\r\n");
    EXPECT_EQ(m_pFrame->windowTitle(), "lesson.kvf - Kelvora");
    Stop();

    const QString big = dir.filePath("big.kvf");
    QFile b(big);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly) && b.resize(CTessaroDoc::kMaxLogFileBytes + 1));
    b.close();
    MessageBoxCatcher started;
    StartWith(big);
    EXPECT_EQ(m_pFrame->windowTitle(), "Untitled - Kelvora");
    m_pFrame->show();
    ASSERT_TRUE(kvtest::WaitFor([&] { return started.Seen(); }));
    EXPECT_TRUE(started.texts.value(0).contains("too large")) << qPrintable(started.texts.value(0));
}
