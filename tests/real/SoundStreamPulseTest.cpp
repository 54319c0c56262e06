// The program's sound as the desktop's volume control sees it, on a real
// PulseAudio server: one stream, named "Kelvora" with our icon, there while
// the program runs and gone when it quits.
#include "PulseTestServer.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// The properties of every playback stream on the server, one map per stream.
std::vector<std::map<QString, QString>> PlaybackStreams()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {"list", "sink-inputs"});
    std::vector<std::map<QString, QString>> streams;
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
        return streams;
    static const QRegularExpression property(QStringLiteral("^\\s+([a-z._]+) = \"(.*)\"$"));
    for (const QString& line : QString::fromUtf8(pactl.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QLatin1String("Sink Input #")))
            streams.emplace_back();
        else if (const auto m = property.match(line); m.hasMatch() && !streams.empty())
            streams.back()[m.captured(1)] = m.captured(2);
    }
    return streams;
}

} // namespace

TEST(SoundStreamPulseTest, TheSynthesizersStreamIsListedAsKelvoraWithItsIcon)
{
    if (!PulseTestServer::Available())
        GTEST_SKIP() << "PulseAudio is not installed";
    PulseTestServer server;
    ASSERT_TRUE(server.Start()) << qPrintable(server.Log());

    QTemporaryDir config;
    QProcess program; // inherits the server's address
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path()); // an instance of its own
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(KELVORA_EXE), QStringList()); // MIDI ports as a user's start finds them
    ASSERT_TRUE(program.waitForStarted(5000));

    // The built-in synthesizer is the output of a first start.
    std::vector<std::map<QString, QString>> streams;
    const bool listed = PulseTestServer::WaitFor(
        [&] {
            streams = PlaybackStreams();
            return !streams.empty();
        },
        15000);
    EXPECT_TRUE(listed);
    if (listed) {
        ASSERT_EQ(streams.size(), 1u);
        auto& s = streams.front();
        EXPECT_EQ(s["application.name"], "Kelvora");
        EXPECT_EQ(s["application.icon_name"], KELVORA_APP_ID);
        EXPECT_EQ(s["media.role"], "music");
    }

    program.terminate(); // as a logout ends it
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(PulseTestServer::WaitFor([] { return PlaybackStreams().empty(); }, 5000));
}
