// The built-in synthesizer playing through a real JACK server (dummy driver)
// that stops and starts again: the loss is noticed and explained, opening
// fails fast while the server is down, and an open after it is back plays
// through the new server. Idle and with every core kept busy.
#include "JackTestServer.h"

#include "platform/BuiltinSynth.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
constexpr const char* kSynthLeft = "Kelvora Synthesizer:left";

// A JACK client of the test's own that listens to the synth's left output and
// keeps the loudest sample it has heard.
class AudioCapture {
public:
    AudioCapture()
    {
        jack_status_t status{};
        m_pClient = jack_client_open("kvcapture", JackNoStartServer, &status);
        if (!m_pClient)
            return;
        m_pIn = jack_port_register(m_pClient, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(m_pClient, &AudioCapture::Process, this);
        if (!m_pIn || jack_activate(m_pClient) != 0) {
            jack_client_close(m_pClient);
            m_pClient = nullptr;
        }
    }
    ~AudioCapture()
    {
        if (m_pClient)
            jack_client_close(m_pClient);
    }
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    bool Ok() const { return m_pClient != nullptr; }
    bool ListenTo(const char* port)
    {
        return jack_connect(m_pClient, port, jack_port_name(m_pIn)) == 0;
    }
    float Peak() const { return m_peak.load(); }
    void ResetPeak() { m_peak.store(0); }

private:
    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<AudioCapture*>(arg);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(self->m_pIn, frames));
        float peak = self->m_peak.load(std::memory_order_relaxed);
        for (jack_nframes_t i = 0; i < frames; ++i)
            peak = std::max(peak, std::fabs(in[i]));
        self->m_peak.store(peak, std::memory_order_relaxed);
        return 0;
    }

    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pIn = nullptr;
    std::atomic<float> m_peak{0};
};

// Keeps every core busy while it lives, as a loaded machine would.
class BusyCores {
public:
    explicit BusyCores(bool busy)
    {
        const unsigned cores = busy ? std::max(2u, std::thread::hardware_concurrency()) : 0u;
        for (unsigned i = 0; i < cores; ++i)
            m_threads.emplace_back([this] {
                volatile double x = 1;
                while (!m_bStop.load(std::memory_order_relaxed))
                    x = x * 1.0000001 + 1e-9;
            });
    }
    ~BusyCores()
    {
        m_bStop = true;
        for (auto& t : m_threads)
            t.join();
    }

private:
    std::atomic<bool> m_bStop{false};
    std::vector<std::thread> m_threads;
};

// Whether a note played on the port is heard at the capture's input.
bool Heard(IMidiOutPort& port, AudioCapture& capture)
{
    capture.ResetPeak();
    port.ShortMsg(0x000050C0); // square lead: loud and steady
    port.ShortMsg(0x007F3C90);
    const bool heard = kvtest::WaitFor([&] { return capture.Peak() > 0.02f; }, 5000);
    port.ShortMsg(0x00003C80);
    return heard;
}

class SynthJackRestartTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (!JackTestServer::Available())
            GTEST_SKIP() << "jackd is not available";
        if (!QFileInfo::exists(kSoundFont))
            GTEST_SKIP() << "no General MIDI SoundFont installed";
    }
    JackTestServer server; // outlives the synth and its clients
};

TEST_P(SynthJackRestartTest, AudioLostWithTheServerComesBackWithTheNextOne)
{
    const BusyCores load(GetParam());
    ASSERT_TRUE(server.Start()) << qPrintable(server.Log());
    const QString name = server.Name();

    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetAudioDrivers({"jack"});
    std::atomic<int> lost{0};
    std::atomic<bool> explained{false}; // the reason was there when the owner heard
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port, [&] {
        explained = synth->Problem().contains("sound server stopped");
        ++lost;
    }), MMSYSERR_NOERROR);
    EXPECT_TRUE(synth->AudioRunning());
    EXPECT_EQ(synth->AudioDriverName(), "jack");
    EXPECT_TRUE(synth->Problem().isEmpty()) << qPrintable(synth->Problem());
    ASSERT_TRUE(server.WaitForPort(kSynthLeft)) << qPrintable(server.Ports().join(' '));
    ASSERT_EQ(port->ShortMsg(0x00643C90), MMSYSERR_NOERROR); // sounding as the server goes

    // The server goes: the port's owner is told, and the synth says why.
    server.Stop();
    ASSERT_TRUE(kvtest::WaitFor([&] { return lost.load() == 1; }, 8000));
    EXPECT_TRUE(explained.load());
    EXPECT_TRUE(synth->Problem().contains("sound server stopped")) << qPrintable(synth->Problem());
    EXPECT_FALSE(synth->AudioRunning());
    port.reset(); // as the owner does on the loss

    // While it is down every attempt fails at once and the reason stays.
    QElapsedTimer timer;
    timer.start();
    for (int attempt = 0; attempt < 5; ++attempt) {
        EXPECT_EQ(synth->OpenPort(port), MMSYSERR_NODRIVER);
        EXPECT_FALSE(port);
    }
    EXPECT_LT(timer.elapsed(), 1000) << "opening with the server down must fail fast";
    EXPECT_TRUE(synth->Problem().contains("sound server stopped")) << qPrintable(synth->Problem());
    EXPECT_FALSE(synth->AudioRunning());

    // A server of the same name again: retried as the device layer does (the
    // monitor tries JACK at most once a second), the open plays through it.
    ASSERT_TRUE(server.Start()) << qPrintable(server.Log());
    EXPECT_EQ(server.Name(), name);
    MMRESULT result = MMSYSERR_NODRIVER;
    timer.restart();
    while ((result = synth->OpenPort(port, [&] { ++lost; })) != MMSYSERR_NOERROR &&
           timer.elapsed() < 5000)
        QThread::msleep(250);
    ASSERT_EQ(result, MMSYSERR_NOERROR) << qPrintable(synth->Problem());
    EXPECT_LT(timer.elapsed(), 2500);
    EXPECT_TRUE(synth->AudioRunning());
    EXPECT_EQ(synth->AudioDriverName(), "jack");
    EXPECT_TRUE(synth->Problem().isEmpty()) << qPrintable(synth->Problem());
    ASSERT_TRUE(server.WaitForPort(kSynthLeft)) << qPrintable(server.Ports().join(' '));
    {
        AudioCapture capture;
        ASSERT_TRUE(capture.Ok());
        ASSERT_TRUE(capture.ListenTo(kSynthLeft));
        EXPECT_TRUE(Heard(*port, capture)) << "no sound through the new server";
    }
    EXPECT_EQ(lost.load(), 1);
    port.reset();
    EXPECT_FALSE(synth->AudioRunning());
}

// A port opened while one of the dead server's time is still open (say the
// metronome dialog's) does not play into the dead client: the synth lets it go
// and starts on the new server; the old port still learns of its loss.
TEST_P(SynthJackRestartTest, OpenWithAPortOfTheDeadServerStillOpenStartsAfresh)
{
    const BusyCores load(GetParam());
    ASSERT_TRUE(server.Start()) << qPrintable(server.Log());
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetAudioDrivers({"jack"});
    std::atomic<int> lost{0};
    std::unique_ptr<IMidiOutPort> old;
    ASSERT_EQ(synth->OpenPort(old, [&] { ++lost; }), MMSYSERR_NOERROR);
    server.Stop();
    ASSERT_TRUE(kvtest::WaitFor([&] { return lost.load() == 1; }, 8000));

    ASSERT_TRUE(server.Start()) << qPrintable(server.Log());
    std::unique_ptr<IMidiOutPort> port;
    MMRESULT result = MMSYSERR_NODRIVER;
    QElapsedTimer timer;
    timer.start();
    while ((result = synth->OpenPort(port)) != MMSYSERR_NOERROR && timer.elapsed() < 5000)
        QThread::msleep(250);
    ASSERT_EQ(result, MMSYSERR_NOERROR) << qPrintable(synth->Problem());
    EXPECT_TRUE(synth->AudioRunning());
    ASSERT_TRUE(server.WaitForPort(kSynthLeft));
    old.reset();
    EXPECT_TRUE(synth->AudioRunning()); // the new port keeps it
    QThread::msleep(600); // a watch round: the old loss is not told again
    EXPECT_TRUE(synth->Problem().isEmpty()) << qPrintable(synth->Problem());
    EXPECT_EQ(lost.load(), 1);
    {
        AudioCapture capture;
        ASSERT_TRUE(capture.Ok());
        ASSERT_TRUE(capture.ListenTo(kSynthLeft));
        EXPECT_TRUE(Heard(*port, capture)) << "no sound through the new server";
    }
    port.reset();
}

INSTANTIATE_TEST_SUITE_P(Load, SynthJackRestartTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "BothCoresBusy" : "Idle";
                         });

} // namespace
