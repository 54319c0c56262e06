// The end of a session as the program meets it: a signal ends menus and
// dialogs as cancelled and then the main loop; the real program, told to end
// by SIGHUP or SIGINT (twice, as an impatient user does), exits normally and
// has written its profile, and under nohup a hang-up leaves it running.
#include "app/CSignalQuit.h"
#include "app/CSingleInstance.h"
#include "view/ViewFixture.h"

#include <QDialog>
#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>

class SignalQuitTest : public ViewFixture {};

TEST_F(SignalQuitTest, ASignalEndsAMenuAndADialogAsCancelledThenTheMainLoop)
{
    StartShown();
    CSignalQuit quit;
    ASSERT_TRUE(quit.IsInstalled());
    QDialog dialog(m_pFrame);
    QMenu menu(&dialog);
    menu.addAction(QStringLiteral("Item"));
    // A dialog's Cancel work (the metronome dialog stops its test clicks)
    // runs when it is rejected, not merely when its loop ends.
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    int dialogResult = -1;
    bool frameUpAfterDialog = false;
    QAction* chosen = menu.actions().first();
    // The main loop runs the dialog, the dialog's loop the menu, the menu's
    // loop takes the signals: a hang-up and a termination, as a logout sends.
    QTimer::singleShot(0, &dialog, [&] {
        QTimer::singleShot(0, &menu, [&] {
            QTimer::singleShot(0, &menu, [] {
                raise(SIGHUP);
                raise(SIGTERM);
            });
            chosen = menu.exec(m_pFrame->geometry().center());
        });
        dialogResult = dialog.exec();
        // The code that ran the dialog carries on as after a Cancel, with the
        // frame still up: its closing comes after all of that.
        frameUpAfterDialog = m_pFrame->isVisible();
    });
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(10000);

    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(quit.QuitRequested());
    EXPECT_EQ(chosen, nullptr);
    EXPECT_EQ(dialogResult, QDialog::Rejected);
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(frameUpAfterDialog);
}

namespace {

// Kelvora itself on loopback devices, offscreen, with a profile and a user of
// its own (one instance per user and profile).
class SignalledProgram : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished(3000);
        }
    }

    QString User() const { return QStringLiteral("kvsignal-%1").arg(QCoreApplication::applicationPid()); }

    void Start(const std::function<void()>& inChild = {})
    {
        ASSERT_TRUE(m_config.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_config.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("USER", User());
        m_proc.setProcessEnvironment(env);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (inChild)
            m_proc.setChildProcessModifier(inChild);
        m_proc.start(QStringLiteral(KELVORA_EXE), {"--midi-backend=loopback"});
        ASSERT_TRUE(m_proc.waitForStarted(5000));
        ASSERT_TRUE(Listening(20000)) << "the program did not come up";
    }

    // The program answers its instance socket: its signal handling is in place
    // (it is, before the socket listens).
    bool Listening(int timeoutMs)
    {
        const QByteArray config = qgetenv("XDG_CONFIG_HOME"), user = qgetenv("USER");
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        qputenv("USER", User().toLocal8Bit());
        const QString name = CSingleInstance::SocketName(QStringLiteral("Kelvora"));
        qputenv("XDG_CONFIG_HOME", config);
        qputenv("USER", user);
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            if (m_proc.state() == QProcess::NotRunning)
                return false;
            QLocalSocket s;
            s.connectToServer(name);
            if (s.waitForConnected(50))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    void Signal(int signalNumber) { ::kill(static_cast<pid_t>(m_proc.processId()), signalNumber); }

    // Ended by itself, with success, after writing what File > Exit writes.
    void ExpectEndedAsByFileExit()
    {
        ASSERT_TRUE(m_proc.waitForFinished(15000));
        EXPECT_EQ(m_proc.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_proc.exitCode(), 0);
        QSettings profile(m_config.path() + "/Morvessa/Kelvora.conf", QSettings::IniFormat);
        EXPECT_TRUE(profile.contains("View/Def"));
        EXPECT_TRUE(profile.contains("ToolBars2/StatusBar"));
        EXPECT_FALSE(profile.value("ToolBars2/State").toByteArray().isEmpty());
    }

    QTemporaryDir m_config;
    QProcess m_proc;
};

} // namespace

TEST_F(SignalledProgram, AClosedTerminalEndsItAsFileExitDoes)
{
    Start();
    Signal(SIGHUP);
    ExpectEndedAsByFileExit();
}

TEST_F(SignalledProgram, CtrlCTwiceEndsItOnceAsFileExitDoes)
{
    Start();
    Signal(SIGINT);
    Signal(SIGINT);
    ExpectEndedAsByFileExit();
}

TEST_F(SignalledProgram, UnderNohupAHangUpLeavesItRunning)
{
    Start([] { signal(SIGHUP, SIG_IGN); });
    Signal(SIGHUP);
    EXPECT_FALSE(m_proc.waitForFinished(1000));
    Signal(SIGTERM);
    ExpectEndedAsByFileExit();
}
