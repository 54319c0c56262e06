// SIGTERM, SIGHUP or SIGINT end menus and dialogs as cancelled, then the main
// loop; the program exits normally with its profile written, and one that no
// longer answers dies of the third signal.
#include "app/CSignalQuit.h"
#include "app/CSingleInstance.h"
#include "view/ViewFixture.h"

#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <csignal>
#include <thread>

using SignalQuitTest = ViewFixture;

TEST_F(SignalQuitTest, ASignalEndsAMenuAndADialogAsCancelledThenTheMainLoop)
{
    StartShown();
    CSignalQuit quit;
    QDialog dialog(m_pFrame);
    QMenu menu(&dialog);
    menu.addAction(QStringLiteral("Item"));
    // A dialog's Cancel work (the metronome dialog stops its test clicks)
    // runs when it is rejected, not merely when its loop ends.
    int rejected = 0;
    QObject::connect(&dialog, &QDialog::rejected, [&] { ++rejected; });
    // The dialog's loop runs a menu and takes a hang-up (on another thread, as
    // the kernel may choose) and a termination.
    QTimer::singleShot(0, &dialog, [&] {
        QTimer::singleShot(0, &menu, [&] {
            menu.popup(m_pFrame->geometry().center());
            std::thread([] { raise(SIGHUP); }).join();
            raise(SIGTERM);
        });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        // The code that ran the dialog carries on as after a Cancel, the frame still up.
        EXPECT_TRUE(m_pFrame->isVisible());
    });
    QTimer::singleShot(10000, &dialog, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(menu.isVisible());
    EXPECT_EQ(rejected, 1);
}

TEST(SignalQuitDeathTest, AProgramThatNoLongerAnswersIsEndedByTheThirdSignal)
{
    // The child starts afresh rather than as a fork of a process with threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Never back to the event loop: nobody reads what the handler wrote.
    EXPECT_EXIT(
        {
            CSignalQuit quit;
            raise(SIGTERM);
            raise(SIGHUP);
            raise(SIGINT);
        },
        testing::KilledBySignal(SIGINT), "");
}

namespace {

// The signals sent; nohup: started as `nohup kelvora` starts it, SIGHUP ignored.
struct Ending { const char* name; std::vector<int> sent; bool nohup; };
void PrintTo(const Ending& e, std::ostream* os) { *os << e.name; }
class SignalledProgram : public ::testing::TestWithParam<Ending> {};

} // namespace

// Kelvora itself on loopback devices, with our environment and a profile
// folder of its own (one instance per profile).
TEST_P(SignalledProgram, EndsAsFileExitDoes)
{
    QTemporaryDir config;
    QProcess proc;
    proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (GetParam().nohup)
        proc.setChildProcessModifier([] { signal(SIGHUP, SIG_IGN); });
    const QByteArray ownConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString socket = CSingleInstance::SocketName(QStringLiteral("Kelvora"));
    proc.start(QStringLiteral(KELVORA_EXE), {"--midi-backend=loopback"});
    qputenv("XDG_CONFIG_HOME", ownConfig);
    // Its instance socket listens once its signal handling is in place.
    bool up = false;
    for (int waited = 0; !up && waited < 20000 && !proc.waitForFinished(50); waited += 100) {
        QLocalSocket s;
        s.connectToServer(socket);
        up = s.waitForConnected(50);
    }
    ASSERT_TRUE(up) << "the program did not come up";
    for (const int s : GetParam().sent) {
        ::kill(static_cast<pid_t>(proc.processId()), s);
        EXPECT_FALSE(s == SIGHUP && GetParam().nohup && proc.waitForFinished(500))
            << "a hang-up under nohup ended it";
    }
    ASSERT_TRUE(proc.waitForFinished(15000));
    EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proc.exitCode(), 0);
    // What File > Exit writes: the display mode and the bars.
    QSettings profile(config.path() + "/Morvessa/Kelvora.conf", QSettings::IniFormat);
    EXPECT_TRUE(profile.contains("View/Def"));
    EXPECT_FALSE(profile.value("ToolBars2/State").toByteArray().isEmpty());
}

// Ctrl+C twice, as an impatient user presses it, still ends it only once.
INSTANTIATE_TEST_SUITE_P(Signals, SignalledProgram,
                         ::testing::Values(Ending{"Term", {SIGTERM}, false},
                                           Ending{"CtrlCTwice", {SIGINT, SIGINT}, false},
                                           Ending{"HangUpUnderNohup", {SIGHUP, SIGTERM}, true}),
                         [](const auto& info) { return info.param.name; });
