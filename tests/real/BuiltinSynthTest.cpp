// The built-in synthesizer with the real SoundFont: rendered offline, it
// sounds at the right pitch through the same port the devices use; closing
// silences it but keeps what was chosen, across the dialogs that reopen the
// window's port too; it says why when it cannot sound. Played through a JACK
// server that stops and starts again, the loss is told and explained, opening
// fails fast while the server is down, an open once it is back plays through
// the new server, and the audio output stops with the last port.
#include "JackTestServer.h"
#include "SynthTestSupport.h"

#include "dialogs/CDialog.h"
#include "dialogs/CSetupMIDIMetronomeDlg.h"
#include "midi/MIDIOutDevice.h"
#include "platform/RtMidiBackend.h"
#include "res/ResourceIds.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <vector>

namespace {

using namespace synthtest;

// The fundamental by autocorrelation, searched between 150 and 1000 Hz so that
// the octave below (a lag twice as long) cannot win.
double Pitch(const std::vector<float>& x, double rate)
{
    const int minLag = static_cast<int>(rate / 1000), maxLag = static_cast<int>(rate / 150);
    int best = minLag;
    double bestSum = 0;
    for (int lag = minLag; lag <= maxLag; ++lag) {
        double sum = 0;
        for (size_t i = 0; i + maxLag < x.size(); ++i)
            sum += double(x[i]) * x[i + lag];
        if (sum > bestSum)
            bestSum = sum, best = lag;
    }
    return rate / best;
}

TEST(BuiltinSynthTest, MiddleCSoundsAtItsPitchAndStopsOnResetOrWhenTheDeviceCloses)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    EXPECT_FALSE(synth->AudioRunning());

    EXPECT_LT(Peak(Render(*synth, 0.1)), 1e-6f); // silent before any note
    EXPECT_EQ(synth->SoundFontPath(), kSoundFont); // in once it renders
    ASSERT_EQ(port->ShortMsg(0x000050C0), MMSYSERR_NOERROR); // program 80: square lead
    ASSERT_EQ(port->ShortMsg(0x00643C90), MMSYSERR_NOERROR); // C4, velocity 100
    const std::vector<float> note = Render(*synth, 0.6);
    const std::vector<float> steady(note.begin() + note.size() / 3, note.end()); // past the attack
    EXPECT_GT(Peak(steady), 0.02f);
    EXPECT_NEAR(Pitch(steady, synth->SampleRate()), 261.63, 2.0);

    // The reset at closing ends the note; once its release is over: silence.
    ASSERT_EQ(port->Reset(), MMSYSERR_NOERROR);
    Render(*synth, 1.5);
    EXPECT_LT(Peak(Render(*synth, 0.2)), 1e-3f);

    // The port above keeps the synth running, so a mapper device closing has
    // to end its own notes rather than rely on the silencing when the last
    // port goes.
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(0u, synth));
    CMIDIOutDevice out;
    out.SetDeviceID(MIDI_MAPPER);
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    for (uint32_t msg : {0x007F40B0u, 0x00643C90u, 0x00644090u}) // sustain pedal down, C4, E4
        out.SendShortMsg(msg);
    EXPECT_GT(Peak(Render(*synth, 0.3)), 0.02f);
    out.Close(); // the pedal is still down: only the port's reset can end the notes
    Render(*synth, 1.5);
    EXPECT_LT(Peak(Render(*synth, 0.2)), 1e-3f);
    MidiSystem::Install(nullptr);
}

// The view closes its port around some dialogs: as on a hardware synthesizer,
// closing the last port silences every note and lifts every pedal, but keeps
// the programs and volumes; only a System Reset the user sends resets them.
TEST(BuiltinSynthTest, ClosingSilencesEverythingButKeepsProgramAndVolume)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    const std::vector<float> violin = Reference(40, 127, 0.5);
    const std::vector<float> piano = Reference(0, 100, 0.5); // what a reset would leave
    // Far enough apart that the comparisons below tell them apart.
    ASSERT_GT(Distance(piano, violin), 0.5);
    ASSERT_GT(Distance(Reference(40, 100, 0.5), violin), 0.2);

    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    for (uint32_t msg : {kViolin, kFullVolume, 0x000030C1u, // strings on channel 1: they ring on
                         0x007F40B0u, 0x00643C90u, 0x00003C80u, // ended under the pedal
                         0x00644891u})                          // held on channel 1
        ASSERT_EQ(port->ShortMsg(msg), MMSYSERR_NOERROR);
    EXPECT_GT(Peak(Render(*synth, 0.3)), 0.02f);

    port.reset(); // the last port, without a reset of its own
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    EXPECT_LT(Peak(Render(*synth, 1.0)), 1e-4f);
    // The pedal is up: a note played and ended now dies away.
    ASSERT_EQ(port->ShortMsg(0x00643C90), MMSYSERR_NOERROR);
    EXPECT_GT(Peak(Render(*synth, 0.3)), 0.02f);
    ASSERT_EQ(port->ShortMsg(0x00003C80), MMSYSERR_NOERROR);
    Render(*synth, 2.0);
    EXPECT_LT(Peak(Render(*synth, 0.2)), 1e-3f) << "still sustained";

    ASSERT_EQ(port->ShortMsg(kTestNoteOn), MMSYSERR_NOERROR);
    EXPECT_LT(Distance(Render(*synth, 0.5), violin), 0.08) << "not the violin at full volume";

    ASSERT_EQ(port->ShortMsg(kTestNoteOff), MMSYSERR_NOERROR);
    ASSERT_EQ(port->ShortMsg(0x000000FF), MMSYSERR_NOERROR); // System Reset
    port.reset();
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    ASSERT_EQ(port->ShortMsg(kTestNoteOn), MMSYSERR_NOERROR);
    EXPECT_LT(Distance(Render(*synth, 0.5), piano), 0.08) << "not reset to program 0, volume 100";
}

// An open that fails leaves no port, fails at once (the device layer retries
// it) and says why in words short enough for a status bar, until one succeeds.
TEST(BuiltinSynthTest, FailingOpensSayWhyUntilOneSucceeds)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    const struct {
        QStringList soundFonts, drivers;
        MMRESULT result;
        QStringList says;
    } cases[] = {
        {{"/nonexistent/none.sf2"}, {}, MMSYSERR_ERROR,
         {"no SoundFont found", "/nonexistent", "install timgm6mb-soundfont"}},
        {{kSoundFont}, {"nosuchdriver"}, MMSYSERR_NODRIVER, {"no audio output", "nosuchdriver"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.says.first()));
        auto synth = std::make_shared<CBuiltinSynth>();
        synth->SetSoundFonts(c.soundFonts);
        if (!c.drivers.isEmpty())
            synth->SetAudioDrivers(c.drivers);
        std::unique_ptr<IMidiOutPort> port;
        QElapsedTimer timer;
        timer.start();
        for (int attempt = 0; attempt < 3; ++attempt)
            EXPECT_EQ(synth->OpenPort(port), c.result);
        EXPECT_LT(timer.elapsed(), 1000) << "a failing open must fail fast";
        EXPECT_FALSE(port);
        EXPECT_FALSE(synth->AudioRunning());
        for (const QString& words : c.says)
            EXPECT_TRUE(synth->Problem().contains(words)) << qPrintable(synth->Problem());
        EXPECT_LT(synth->Problem().size(), 100) << "too long for a status bar";
        // Sends and renderings without a SoundFont fail rather than crash.
        const bool loaded = c.result != MMSYSERR_ERROR;
        EXPECT_EQ(synth->Play(0x00643C90), loaded ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE);
        EXPECT_EQ(synth->Play(0x000000F0), MMSYSERR_INVALPARAM);
        float left[16], right[16];
        EXPECT_EQ(synth->Render(left, right, 16), loaded);

        // With a SoundFont found and rendering offline, it sounds and says nothing.
        synth->SetSoundFonts({kSoundFont});
        synth->SetOffline(true);
        ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
        EXPECT_TRUE(synth->Problem().isEmpty()) << qPrintable(synth->Problem());
    }
}


using SynthAcrossDialogsTest = WindowTest;

TEST_F(SynthAcrossDialogsTest, DialogsThatReopenThePortKeepTheProgramAndVolume)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto synth = OfflineSynth();
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(0u, synth));
    m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
    CMIDIOutDevice& out = m_pFrame->GetActiveView()->m_OutDevice;
    ASSERT_EQ(out.QueryOpenDeviceID(), MIDI_MAPPER);
    EXPECT_EQ(out.SendShortMsg(kViolin), MMSYSERR_NOERROR);
    EXPECT_EQ(out.SendShortMsg(kFullVolume), MMSYSERR_NOERROR);
    const std::vector<float> violin = Reference(40, 127, 0.5);

    // The buttons clicked in each dialog: the metronome dialog's test plays on
    // a port of its own meanwhile.
    const int test = CSetupMIDIMetronomeDlg::IDC_TEST;
    const struct {
        unsigned command;
        std::vector<int> clicks;
    } steps[] = {{ID_MIDI_SETUP_METRONOME, {test, test, IDOK}},
                 {ID_MIDI_SETUP_OUTPUT_DEFAULTS, {IDCANCEL}},
                 {ID_MIDI_SELECT_OUTPUT, {IDCANCEL}}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.command);
        QTimer::singleShot(0, [clicks = step.clicks] {
            auto* dlg = qobject_cast<CDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr) << "no dialog came up";
            for (int id : clicks) {
                auto* button = dlg->GetDlgItem<QAbstractButton>(id);
                ASSERT_NE(button, nullptr);
                button->click();
            }
        });
        // Select Output Device is disabled in the menu while the synthesizer is
        // the only output; the view's command runs all the same.
        m_pFrame->GetActiveView()->OnCommand(step.command);
        kvtest::Drain();
        ASSERT_EQ(out.QueryOpenDeviceID(), MIDI_MAPPER) << "the port is not back";
        EXPECT_EQ(out.SendShortMsg(kTestNoteOn), MMSYSERR_NOERROR);
        EXPECT_LT(Distance(Render(*synth, 0.5), violin), 0.08) << "not the violin at full volume";
        EXPECT_EQ(out.SendShortMsg(kTestNoteOff), MMSYSERR_NOERROR);
    }
}


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
    port.reset();
    EXPECT_FALSE(synth->AudioRunning()) << "the last port closed";
}

} // namespace
