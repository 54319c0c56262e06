// The real program on a real X server, played from the real keyboard of the
// X server (xdotool), heard by a real JACK peer: one note-on and one note-off
// per key stroke, auto-repeat included, a held key ended when the window
// loses the keyboard or the program is told to end.
#include "JackSequencePeers.h"
#include "JackTestServer.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace {

// An X server of the test's own (Xvfb picks a free display and tells it) and
// the programs a test starts on it.
class XSession {
public:
    // One instance per user is the program's rule: a user of our own keeps
    // others' instances out of the way.
    explicit XSession(const QString& user) : env(QProcessEnvironment::systemEnvironment())
    {
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("USER", QStringLiteral("%1-%2").arg(user).arg(QCoreApplication::applicationPid()));
    }
    // The programs end in the reverse order of their starts, the X server last.
    ~XSession()
    {
        for (auto p = m_processes.rbegin(); p != m_processes.rend(); ++p) {
            if ((*p)->state() != QProcess::NotRunning) {
                (*p)->terminate();
                if (!(*p)->waitForFinished(5000))
                    (*p)->kill();
                (*p)->waitForFinished(2000);
            }
        }
    }
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Xvfb, its display put in env; false when it did not come up within ten seconds.
    bool Start()
    {
        QProcess& x = Launch("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                             false);
        if (!config.isValid() || !x.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        QByteArray out;
        while (t.elapsed() < 10000 && !out.contains('\n')) {
            x.waitForReadyRead(100);
            out += x.readAllStandardOutput();
        }
        const QString number = QString::fromLatin1(out).trimmed();
        env.insert("DISPLAY", QLatin1Char(':') + number);
        return !number.isEmpty();
    }

    // A program left running, its output dropped (kept when not `quiet`) and its errors shown.
    QProcess& Launch(const QString& program, const QStringList& args, bool quiet = true)
    {
        auto& p = *m_processes.emplace_back(std::make_unique<QProcess>());
        p.setProcessEnvironment(env);
        if (quiet) {
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.setStandardOutputFile(QProcess::nullDevice());
        }
        p.start(program, args);
        return p;
    }

    // A tool run to its end: what it printed.
    QString Run(const QString& program, const QStringList& args) const
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        if (!p.waitForFinished(15000))
            p.kill();
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

    QTemporaryDir config;
    QProcessEnvironment env;

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// One world: a JACK server with a peer of ours hearing the program, an X
// server, and Kelvora on both with a profile of its own.
class RealKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty()
            || QStandardPaths::findExecutable("xdotool").isEmpty() || !JackTestServer::Available())
            GTEST_SKIP() << "Xvfb, xdotool or jackd with its example clients are missing";
        ASSERT_TRUE(m_jack.Start()) << qPrintable(m_jack.Log());
        m_peer.emplace("kvkeys");
        ASSERT_TRUE(m_peer->Ok());
        m_x.emplace("kvkeys"); // after the server: JACK_DEFAULT_SERVER is in its environment
        ASSERT_TRUE(m_x->Start()) << "Xvfb did not start";

        // Our output is the peer's input, chosen by name in a profile of its own.
        QDir(m_x->config.path()).mkpath("Morvessa");
        QFile conf(m_x->config.path() + "/Morvessa/Kelvora.conf");
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("[MIDIOut]\nDevName=" + m_peer->PortName().toLatin1() + "\n");
        conf.close();
        m_kelvora = &m_x->Launch(KELVORA_EXE, {"--midi-backend=jack"});
        ASSERT_TRUE(m_kelvora->waitForStarted(5000));
        const QString id = XDoTool({"search", "--sync", "--onlyvisible", "--name", "Kelvora"});
        ASSERT_FALSE(id.isEmpty()) << "no Kelvora window";
        m_strWindow = id.split('\n').first();
        Focus(m_strWindow);
        // The start-up messages (channel set-up) have come through: the port works.
        ASSERT_TRUE(m_peer->Events(3, 10000).contains("b0 0a 40")) << Heard();
    }

    QString XDoTool(const QStringList& args) { return m_x->Run("xdotool", args); }

    // Gives the keyboard to a window, and it a moment to take it before typing.
    void Focus(const QString& window)
    {
        XDoTool({"windowfocus", "--sync", window});
        QThread::msleep(300);
    }

    // The note events the peer heard, once there are `count`, and a moment
    // longer, so that an event too many would show.
    QStringList NotesAfter(int count)
    {
        static const QRegularExpression note("^[89]");
        QElapsedTimer t;
        t.start();
        while (m_peer->Events().filter(note).size() < count && t.elapsed() < 10000)
            QThread::msleep(20);
        QThread::msleep(300);
        return m_peer->Events().filter(note);
    }
    std::string Heard() const { return m_peer->Events().join(", ").toStdString(); }

    JackTestServer m_jack;
    std::optional<kvseq::Recorder> m_peer;
    std::optional<XSession> m_x; // ends Kelvora and the X server first
    QProcess* m_kelvora = nullptr;
    QString m_strWindow;
};

} // namespace

// One world for all: each start of Kelvora on Xvfb and JACK takes seconds.
TEST_F(RealKeyboard, StrokesPlayOneNoteEachAndHeldKeysEndWithTheKeyboardOrTheSession)
{
    XDoTool({"key", "--window", m_strWindow, "q"});
    const QStringList q{"90 37 7f", "80 37 00"};
    EXPECT_EQ(NotesAfter(2), q) << Heard();
    XDoTool({"keydown", "q"});
    // Long enough for the X server's auto-repeat to have fired many times.
    QThread::msleep(1000);
    EXPECT_EQ(NotesAfter(3), q + QStringList{"90 37 7f"}) << Heard();
    XDoTool({"keyup", "q"});
    EXPECT_EQ(NotesAfter(4), q + q) << Heard();

    XDoTool({"keydown", "r"});
    EXPECT_EQ(NotesAfter(5).mid(4), QStringList{"90 3c 7f"}) << Heard();
    // The keyboard goes elsewhere (the root window) while the key is down.
    const QString root = XDoTool({"search", "--maxdepth", "0", "--name", ""});
    ASSERT_FALSE(root.isEmpty());
    Focus(root);
    EXPECT_EQ(NotesAfter(6).mid(4), (QStringList{"90 3c 7f", "80 3c 00"})) << Heard();
    XDoTool({"keyup", "r"});
    QThread::msleep(500);
    EXPECT_EQ(NotesAfter(6).size(), 6) << Heard();

    // Held, the program told to end as a logout does (SIGTERM).
    Focus(m_strWindow);
    XDoTool({"keydown", "r"});
    EXPECT_EQ(NotesAfter(7).mid(6), QStringList{"90 3c 7f"}) << Heard();
    m_kelvora->terminate();
    ASSERT_TRUE(m_kelvora->waitForFinished(15000));
    EXPECT_EQ(m_kelvora->exitCode(), 0);
    EXPECT_EQ(NotesAfter(8).mid(6), (QStringList{"90 3c 7f", "80 3c 00"})) << Heard();
}
