// The real program on a real X server, played from the real keyboard of the
// X server (xdotool), heard by a real JACK peer (jack_midi_dump): one note-on
// and one note-off per key stroke, auto-repeat included, a held key ended
// when the window loses the keyboard or the program is told to end, and the
// digit row played by its place on a French keyboard.
#include "JackTestServer.h"

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

namespace {

bool HaveTools()
{
    return !QStandardPaths::findExecutable("Xvfb").isEmpty() &&
           !QStandardPaths::findExecutable("xdotool").isEmpty() && JackTestServer::Available();
}

// One test's world: a JACK server with a MIDI dump as the peer, an X server,
// and Kelvora on both with a profile of its own.
class RealKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveTools())
            GTEST_SKIP() << "Xvfb, xdotool or jackd with its example clients are missing";
        ASSERT_TRUE(m_config.isValid());
        ASSERT_TRUE(m_jack.Start());
        m_pDump = m_jack.StartClient("jack_midi_dump", {"kvkeys"});
        ASSERT_NE(m_pDump, nullptr);
        ASSERT_TRUE(m_jack.WaitForPort("kvkeys:input"));
        StartX();
        ASSERT_FALSE(m_strDisplay.isEmpty()) << "Xvfb did not start";
        WriteProfile();
        StartKelvora();
    }

    void TearDown() override
    {
        for (QProcess* p : {&m_kelvora, &m_x}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000))
                    p->kill();
                p->waitForFinished(2000);
            }
        }
        m_jack.Stop();
    }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("JACK_DEFAULT_SERVER", m_jack.Name());
        env.insert("JACK_NO_START_SERVER", "1");
        env.insert("XDG_CONFIG_HOME", m_config.path());
        env.insert("DISPLAY", m_strDisplay);
        env.insert("QT_QPA_PLATFORM", "xcb");
        // One instance per user is the rule: a user of our own keeps other
        // tests' instances (and a developer's own Kelvora) out of the way.
        env.insert("USER", QStringLiteral("kvkeys-%1").arg(QCoreApplication::applicationPid()));
        return env;
    }

    void StartX()
    {
        // Xvfb picks a free display itself and tells its number.
        m_x.setProcessChannelMode(QProcess::SeparateChannels);
        m_x.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!m_x.waitForStarted(5000))
            return;
        QElapsedTimer t;
        t.start();
        QByteArray out;
        while (t.elapsed() < 10000 && !out.contains('\n')) {
            m_x.waitForReadyRead(100);
            out += m_x.readAllStandardOutput();
        }
        const QString number = QString::fromLatin1(out).trimmed();
        if (!number.isEmpty())
            m_strDisplay = QLatin1Char(':') + number;
    }

    // Our output is the dump's input, chosen by its number as the program counts it.
    void WriteProfile()
    {
        QProcess list;
        list.setProcessEnvironment(Environment());
        list.start(KELVORA_EXE, {"--midi-backend=jack", "--list-devices"});
        ASSERT_TRUE(list.waitForFinished(20000));
        const QString text = QString::fromLocal8Bit(list.readAllStandardOutput());
        static const QRegularExpression line(R"(^\s*(\d+)\s+kvkeys:input\s*$)",
                                             QRegularExpression::MultilineOption);
        const QString outputs = text.mid(text.indexOf("Output devices:"));
        const auto match = line.match(outputs);
        ASSERT_TRUE(match.hasMatch()) << text.toStdString();
        QDir(m_config.path()).mkpath("Morvessa");
        QFile conf(m_config.path() + "/Morvessa/Kelvora.conf");
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("[MIDIOut]\nDevID=%1\n").arg(match.captured(1)).toLatin1());
    }

    void StartKelvora()
    {
        m_kelvora.setProcessEnvironment(Environment());
        m_kelvora.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_kelvora.setStandardOutputFile(QProcess::nullDevice());
        m_kelvora.start(KELVORA_EXE, {"--midi-backend=jack"});
        ASSERT_TRUE(m_kelvora.waitForStarted(5000));
        const QString id = XDoTool({"search", "--sync", "--onlyvisible", "--name", "Kelvora"});
        ASSERT_FALSE(id.isEmpty()) << "no Kelvora window";
        m_strWindow = id.split('\n').first();
        XDoTool({"windowfocus", "--sync", m_strWindow});
        // The start-up messages (channel set-up) have come through: the port works.
        ASSERT_TRUE(WaitForEvents([](const QStringList& e) { return e.contains("b0 0a 40"); }))
            << m_strDump.toStdString();
        // Let the window take the focus it was given before typing into it.
        QThread::msleep(300);
    }

    QString XDoTool(const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start("xdotool", args);
        if (!p.waitForFinished(15000))
            p.kill();
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

    // Every event the dump has printed so far ("90 37 7f").
    QStringList Events()
    {
        m_strDump += QString::fromLocal8Bit(m_pDump->readAllStandardOutput());
        return JackTestServer::DumpedEvents(m_strDump);
    }

    // The note events only.
    QStringList Notes()
    {
        static const QRegularExpression note("^[89]");
        return Events().filter(note);
    }

    bool WaitForEvents(const std::function<bool(const QStringList&)>& done, int timeoutMs = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            m_pDump->waitForReadyRead(50);
            if (done(Events()))
                return true;
        }
        return false;
    }

    // Waits until the dump has printed `count` note events, then a moment
    // longer, so that an event too many would show.
    QStringList NotesAfter(int count)
    {
        WaitForEvents([&](const QStringList&) { return Notes().size() >= count; });
        QThread::msleep(300);
        return Notes();
    }

    QTemporaryDir m_config;
    JackTestServer m_jack;
    QProcess* m_pDump = nullptr;
    QString m_strDump;
    QProcess m_x;
    QString m_strDisplay;
    QProcess m_kelvora;
    QString m_strWindow;
};

} // namespace

// One world for all: each start of Kelvora on Xvfb and JACK takes seconds.
TEST_F(RealKeyboard, StrokesAndHeldKeysPlayOneNoteEachAndLosingTheKeyboardEndsThem)
{
    XDoTool({"key", "--window", m_strWindow, "q"});
    const QStringList q{"90 37 7f", "80 37 00"};
    EXPECT_EQ(NotesAfter(2), q) << m_strDump.toStdString();
    XDoTool({"keydown", "q"});
    // Long enough for the X server's auto-repeat to have fired many times.
    QThread::msleep(1000);
    EXPECT_EQ(NotesAfter(3), q + QStringList{"90 37 7f"}) << m_strDump.toStdString();
    XDoTool({"keyup", "q"});
    EXPECT_EQ(NotesAfter(4), q + q) << m_strDump.toStdString();

    XDoTool({"keydown", "r"});
    EXPECT_EQ(NotesAfter(5).mid(4), QStringList{"90 3c 7f"});
    // The keyboard goes elsewhere (the root window) while the key is down.
    const QString root = XDoTool({"search", "--maxdepth", "0", "--name", ""});
    ASSERT_FALSE(root.isEmpty());
    XDoTool({"windowfocus", "--sync", root});
    EXPECT_EQ(NotesAfter(6).mid(4), (QStringList{"90 3c 7f", "80 3c 00"})) << m_strDump.toStdString();
    XDoTool({"keyup", "r"});
    WaitForEvents([](const QStringList&) { return false; }, 500);
    EXPECT_EQ(Notes().size(), 6) << m_strDump.toStdString();
}

// Keys by X keycode, the key's place: 11 is the key of "2" on a US keyboard,
// "é" here, 13 and 16 those of "4" and "7", 14 that of "5", "(" here.
TEST_F(RealKeyboard, OnAFrenchKeyboardTheDigitRowPlaysByPlaceAndTheSessionsEndEndsAHeldNote)
{
    if (QStandardPaths::findExecutable("setxkbmap").isEmpty())
        GTEST_SKIP() << "setxkbmap is missing";
    QProcess layout;
    layout.setProcessEnvironment(Environment());
    layout.start("setxkbmap", {"fr"});
    ASSERT_TRUE(layout.waitForFinished(10000));
    ASSERT_EQ(layout.exitCode(), 0) << layout.readAllStandardError().toStdString();
    // The digit typed with Shift is the same key; the places of 4 and 7 play
    // nothing; letters go by letter: "q" is on the middle row here, and the
    // top row's first key types "a".
    XDoTool({"key", "11", "shift+11", "13", "16", "24", "q"});
    const QStringList gSharp{"90 38 7f", "80 38 00"}, q{"90 37 7f", "80 37 00"};
    EXPECT_EQ(NotesAfter(6), gSharp + gSharp + q) << m_strDump.toStdString();

    // "(" held, the program told to end as a logout does (SIGTERM).
    XDoTool({"keydown", "14"});
    EXPECT_EQ(NotesAfter(7).mid(6), QStringList{"90 3d 7f"}) << m_strDump.toStdString();
    m_kelvora.terminate();
    ASSERT_TRUE(m_kelvora.waitForFinished(15000));
    EXPECT_EQ(m_kelvora.exitCode(), 0);
    EXPECT_EQ(NotesAfter(8).mid(6), (QStringList{"90 3d 7f", "80 3d 00"})) << m_strDump.toStdString();
}
