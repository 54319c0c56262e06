// The real program on a real X server, played from the real keyboard of the
// X server (xdotool), heard by a real JACK peer: one note-on and one note-off
// per key stroke, auto-repeat included, a held key ended when the window
// loses the keyboard or the program is told to end, and the digit row played
// by its place on a French keyboard.
#include "JackSequencePeers.h"
#include "JackTestServer.h"
#include "XvfbDisplay.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>

namespace {

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
    std::optional<kvtest::XSession> m_x; // ends Kelvora and the X server first
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

    // On a French keyboard, by X keycode, the key's place: 11 is the key of
    // "2" on a US keyboard, "é" here, 13 and 16 those of "4" and "7", 14 that
    // of "5", "(" here. The digit typed with Shift is the same key; the places
    // of 4 and 7 play nothing; letters go by letter: "q" is on the middle row
    // here, and the top row's first key types "a".
    if (QStandardPaths::findExecutable("setxkbmap").isEmpty())
        GTEST_SKIP() << "setxkbmap is missing";
    QProcess& layout = m_x->Launch("setxkbmap", {"fr"});
    ASSERT_TRUE(layout.waitForFinished(10000));
    ASSERT_EQ(layout.exitCode(), 0);
    Focus(m_strWindow);
    XDoTool({"key", "11", "shift+11", "13", "16", "24", "q"});
    const QStringList gSharp{"90 38 7f", "80 38 00"};
    EXPECT_EQ(NotesAfter(12).mid(6), gSharp + gSharp + q) << Heard();

    // "(" held, the program told to end as a logout does (SIGTERM).
    XDoTool({"keydown", "14"});
    EXPECT_EQ(NotesAfter(13).mid(12), QStringList{"90 3d 7f"}) << Heard();
    m_kelvora->terminate();
    ASSERT_TRUE(m_kelvora->waitForFinished(15000));
    EXPECT_EQ(m_kelvora->exitCode(), 0);
    EXPECT_EQ(NotesAfter(14).mid(12), (QStringList{"90 3d 7f", "80 3d 00"})) << Heard();
}
