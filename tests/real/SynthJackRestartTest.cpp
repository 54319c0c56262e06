// The built-in synthesizer playing through a JACK server (dummy driver) that
// stops and starts again: the loss is told and explained, opening fails fast
// while the server is down, and an open once it is back plays through the new
// server.
#include "JackTestServer.h"
#include "SynthTestSupport.h"

#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>

namespace {

constexpr const char* kSynthLeft = "Kelvora Synthesizer:left";

// The loudest sample that reaches a JACK input of the test's own.
struct AudioCapture {
    jack_client_t* client = jack_client_open("kvcapture", JackNoStartServer, nullptr);
    jack_port_t* in =
        client ? jack_port_register(client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0) : nullptr;
    std::atomic<float> peak{0};

    ~AudioCapture()
    {
        if (client)
            jack_client_close(client);
    }
    bool ListenTo(const char* port)
    {
        const JackProcessCallback process = [](jack_nframes_t frames, void* arg) {
            auto* self = static_cast<AudioCapture*>(arg);
            const auto* x = static_cast<const float*>(jack_port_get_buffer(self->in, frames));
            float loudest = self->peak.load(std::memory_order_relaxed);
            for (jack_nframes_t i = 0; i < frames; ++i)
                loudest = std::max(loudest, std::fabs(x[i]));
            self->peak.store(loudest, std::memory_order_relaxed);
            return 0;
        };
        return in && jack_set_process_callback(client, process, this) == 0 &&
               jack_activate(client) == 0 && jack_connect(client, port, jack_port_name(in)) == 0;
    }
};

TEST(SynthJackRestartTest, LossIsToldAndExplainedAndTheNextServerPlays)
{
    if (!JackTestServer::Available() || !synthtest::SoundFontInstalled())
        GTEST_SKIP() << "jackd or the General MIDI SoundFont is not installed";
    JackTestServer server; // outlives the synth and its clients
    // Asynchronous, as jackd runs unless told otherwise.
    ASSERT_TRUE(server.Start(256, false)) << qPrintable(server.Log());
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetAudioDrivers({"jack"});
    std::atomic<int> lost{0}, explained{0}; // explained: the reason was there when told
    const auto onLost = [&] {
        explained += synth->Problem().contains("sound server stopped");
        ++lost;
    };
    // The view's port, and a second one (the metronome dialog's, say) still
    // open when the server is back.
    std::unique_ptr<IMidiOutPort> port, dialogs;
    ASSERT_EQ(synth->OpenPort(port, onLost), MMSYSERR_NOERROR);
    ASSERT_EQ(synth->OpenPort(dialogs, onLost), MMSYSERR_NOERROR);
    ASSERT_TRUE(server.WaitForPort(kSynthLeft)) << qPrintable(server.Ports().join(' '));
    ASSERT_EQ(port->ShortMsg(0x00643C90), MMSYSERR_NOERROR); // sounding as the server goes

    server.Stop();
    ASSERT_TRUE(kvtest::WaitFor([&] { return lost == 2; }, 8000));
    EXPECT_EQ(explained, 2);
    EXPECT_FALSE(synth->AudioRunning());
    port.reset(); // as its owner does on the loss

    // While it is down an open fails at once, rather than playing into the dead
    // client the other port still holds, and the reason stays.
    QElapsedTimer timer;
    timer.start();
    for (int attempt = 0; attempt < 3; ++attempt)
        EXPECT_EQ(synth->OpenPort(port, onLost), MMSYSERR_NODRIVER);
    EXPECT_LT(timer.elapsed(), 1000) << "opening with the server down must fail fast";
    EXPECT_TRUE(synth->Problem().contains("sound server stopped")) << qPrintable(synth->Problem());

    // Retried as the device layer does (JACK is tried at most once a second).
    ASSERT_TRUE(server.Start(256, false)) << qPrintable(server.Log());
    timer.restart();
    while (synth->OpenPort(port, onLost) != MMSYSERR_NOERROR && timer.elapsed() < 5000)
        QThread::msleep(250);
    ASSERT_TRUE(port) << qPrintable(synth->Problem());
    EXPECT_LT(timer.elapsed(), 2500);
    EXPECT_TRUE(synth->Problem().isEmpty()) << qPrintable(synth->Problem());
    dialogs.reset();
    EXPECT_TRUE(synth->AudioRunning()) << "the new port keeps it";
    ASSERT_TRUE(server.WaitForPort(kSynthLeft)) << qPrintable(server.Ports().join(' '));
    AudioCapture capture;
    ASSERT_TRUE(capture.ListenTo(kSynthLeft));
    port->ShortMsg(0x000050C0); // square lead: loud and steady
    port->ShortMsg(0x007F3C90);
    EXPECT_TRUE(kvtest::WaitFor([&] { return capture.peak > 0.02f; }, 5000))
        << "no sound through the new server";
    EXPECT_EQ(lost, 2) << "a loss told twice, or of the new server";
}

} // namespace
