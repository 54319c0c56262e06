// The RtMidi backend where nothing is there: no JACK server, no sequencer.
// It must answer at once, list nothing, fail opens with results, and still
// offer the built-in synthesizer as the mapper. And how it reads the names
// the systems give: stable names, loop-back ports, ALSA's announcements.
#include "platform/AlsaAnnounceWatch.h"
#include "platform/BuiltinSynth.h"
#include "platform/RtMidiBackend.h"
#include "platform/RtMidiSystems.h"

#include <QElapsedTimer>
#include <QThread>

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

namespace {

TEST(RtMidiBackendTest, NoServerMeansNoDevicesQuickly)
{
    setenv("JACK_DEFAULT_SERVER", "kelvora-nobody-here", 1);
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetSoundFonts({"/nonexistent/none.sf2"});
    CRtMidiBackend backend(CRtMidiBackend::Jack, synth);

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 20; ++i) { // as a selection dialog would ask
        EXPECT_EQ(backend.InputCount(), 0u);
        EXPECT_EQ(backend.OutputCount(), 0u);
    }
    EXPECT_LT(timer.elapsed(), 1000); // never the seconds of a server start

    MidiCaps caps;
    EXPECT_EQ(backend.GetInputCaps(0, caps), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(backend.GetOutputCaps(0, caps), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(backend.GetOutputCaps(MIDI_NO_DEVICE, caps), MMSYSERR_BADDEVICEID);
    ASSERT_EQ(backend.GetOutputCaps(MIDI_MAPPER, caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.szPname, CBuiltinSynth::ProductName());

    std::unique_ptr<IMidiInPort> in;
    EXPECT_EQ(backend.OpenInput(0, [](uint32_t) {}, {}, in), MMSYSERR_BADDEVICEID);
    EXPECT_FALSE(in);
    std::unique_ptr<IMidiOutPort> out;
    EXPECT_EQ(backend.OpenOutput(3, {}, out), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(backend.OpenOutput(MIDI_MAPPER, {}, out), MMSYSERR_ERROR); // no SoundFont
    EXPECT_FALSE(out);
    EXPECT_STREQ(std::getenv("JACK_NO_START_SERVER"), "1");
}

TEST(RtMidiBackendTest, OurOwnPortsAreRecognised)
{
    EXPECT_TRUE(CRtMidiSystems::IsOwnPort("Kelvora:MIDI In"));
    EXPECT_TRUE(CRtMidiSystems::IsOwnPort("Kelvora-01:MIDI Out"));
    EXPECT_TRUE(CRtMidiSystems::IsOwnPort("Kelvora:MIDI Out 130:0")); // ALSA naming
    EXPECT_FALSE(CRtMidiSystems::IsOwnPort("Kelvora-x:MIDI Out"));
    EXPECT_FALSE(CRtMidiSystems::IsOwnPort("Kelvora monitor2:in"));
    EXPECT_FALSE(CRtMidiSystems::IsOwnPort("KelvoraSynth:midi"));
    EXPECT_FALSE(CRtMidiSystems::IsOwnPort("a2j:Kelvora [130] (capture): MIDI Out"));
    EXPECT_FALSE(CRtMidiSystems::IsOwnPort("Midi Through:Midi Through Port-0 14:0"));
    EXPECT_FALSE(CRtMidiSystems::IsOwnPort(""));
}

TEST(RtMidiBackendTest, StableNamesDropOnlyTheSequencerNumbers)
{
    const auto alsa = [](const char* name) {
        return CRtMidiSystems::StableName(RtMidi::LINUX_ALSA, name);
    };
    EXPECT_EQ(alsa("Midi Through:Midi Through Port-0 14:0"), "Midi Through:Midi Through Port-0");
    EXPECT_EQ(alsa("Launchkey Mini:Launchkey Mini MIDI 1 20:0"),
              "Launchkey Mini:Launchkey Mini MIDI 1");
    // Digits and colons of the names themselves stay; only the last pair goes.
    EXPECT_EQ(alsa("USB MIDI 2:USB MIDI 2 MIDI 1 24:1"), "USB MIDI 2:USB MIDI 2 MIDI 1");
    EXPECT_EQ(alsa("Synth 1:2:Out 3:4 128:10"), "Synth 1:2:Out 3:4");
    EXPECT_EQ(alsa("rtpmidi host:Network 1:0 130:0"), "rtpmidi host:Network 1:0");
    // Nothing that is not "client:port" numbers is taken for them.
    EXPECT_EQ(alsa("Keys:Port 1:"), "Keys:Port 1:");
    EXPECT_EQ(alsa("Keys:Port :3"), "Keys:Port :3");
    EXPECT_EQ(alsa("Keys:Port a1:3"), "Keys:Port a1:3");
    EXPECT_EQ(alsa("Keys:Port-2"), "Keys:Port-2");
    EXPECT_EQ(alsa(""), "");
    // The same device plugged in again under new numbers keeps its name.
    EXPECT_EQ(alsa("Keys:Keys MIDI 1 20:0"), alsa("Keys:Keys MIDI 1 28:0"));
    // JACK names carry no numbers of their own: they stay whole.
    for (const char* jack : {"kvdump:input", "a2j:Midi Through [14] (capture): Midi Through Port-0",
                             "system:midi_capture_1", "synth 2:in 1:2"})
        EXPECT_EQ(CRtMidiSystems::StableName(RtMidi::UNIX_JACK, jack), jack);
}

TEST(RtMidiBackendTest, LoopbackPortsAreTheThroughAndSystemClients)
{
    const auto alsa = [](const char* name) {
        return CRtMidiSystems::IsLoopback(RtMidi::LINUX_ALSA, name);
    };
    const auto jack = [](const char* name) {
        return CRtMidiSystems::IsLoopback(RtMidi::UNIX_JACK, name);
    };
    EXPECT_TRUE(alsa("Midi Through:Midi Through Port-0 14:0"));
    EXPECT_TRUE(alsa("Midi Through:Midi Through Port-3 14:3"));
    EXPECT_TRUE(alsa("System:Announce 0:1"));
    EXPECT_FALSE(alsa("Midi Through Keys:Port 1 20:0")); // a client whose name merely begins so
    EXPECT_FALSE(alsa("Keys:Midi Through 20:0"));
    EXPECT_FALSE(alsa("FLUID Synth (1234):Synth input port (1234:0) 128:0"));
    EXPECT_FALSE(alsa("Midi Through"));

    // Bridges show the ALSA client inside the JACK port's name.
    EXPECT_TRUE(jack("a2j:Midi Through [14] (capture): Midi Through Port-0"));
    EXPECT_TRUE(jack("a2j:Midi Through [14] (playback): Midi Through Port-0"));
    EXPECT_TRUE(jack("a2j:Midi Through (capture): Midi Through Port-0")); // a2jmidid -u
    EXPECT_TRUE(jack("Midi-Bridge:Midi Through:(capture_0) Midi Through Port-0"));
    EXPECT_FALSE(jack("a2j:Launchkey Mini [20] (capture): Launchkey Mini MIDI 1"));
    EXPECT_FALSE(jack("a2j:Midi Through Keys [20] (capture): Port 1"));
    // JACK's own clients are never ALSA's loop-back, whatever they are called.
    EXPECT_FALSE(jack("Midi Through:Midi Through Port-0"));
    EXPECT_FALSE(jack("kvdump:input"));
    EXPECT_FALSE(jack("system:midi_capture_1"));
    EXPECT_FALSE(jack("a2j"));
}

TEST(RtMidiBackendTest, OnlyTheSystemsAnnouncementsOfClientsAndPortsChangeTheLists)
{
    for (int type : {SND_SEQ_EVENT_CLIENT_START, SND_SEQ_EVENT_CLIENT_EXIT,
                     SND_SEQ_EVENT_CLIENT_CHANGE, SND_SEQ_EVENT_PORT_START, SND_SEQ_EVENT_PORT_EXIT,
                     SND_SEQ_EVENT_PORT_CHANGE}) {
        EXPECT_TRUE(CAlsaAnnounceWatch::ChangesPortList(type, SND_SEQ_CLIENT_SYSTEM)) << type;
        // The same event sent to our port by any other client is no announcement.
        EXPECT_FALSE(CAlsaAnnounceWatch::ChangesPortList(type, 14)) << type;
        EXPECT_FALSE(CAlsaAnnounceWatch::ChangesPortList(type, 130)) << type;
    }
    // Connections come and go without changing what is listed; music is not news.
    for (int type : {SND_SEQ_EVENT_PORT_SUBSCRIBED, SND_SEQ_EVENT_PORT_UNSUBSCRIBED,
                     SND_SEQ_EVENT_NOTEON, SND_SEQ_EVENT_CONTROLLER, SND_SEQ_EVENT_SYSEX,
                     SND_SEQ_EVENT_SYSTEM, SND_SEQ_EVENT_RESULT, SND_SEQ_EVENT_NONE})
        EXPECT_FALSE(CAlsaAnnounceWatch::ChangesPortList(type, SND_SEQ_CLIENT_SYSTEM)) << type;
}

TEST(RtMidiBackendTest, AnnouncementsAreHeardExactlyWhereThereIsASequencer)
{
    std::atomic<int> calls{0};
    {
        CAlsaAnnounceWatch watch(CRtMidiSystems::kClientName, [&] { ++calls; }, [&] { ++calls; });
        EXPECT_EQ(watch.Running(), CRtMidiBackend::AlsaSequencerPresent());
    } // and it ends at once either way
    EXPECT_TRUE(CRtMidiBackend::AlsaSequencerPresent() || calls == 0);
}

TEST(RtMidiBackendTest, ListenersWithNoServerCostLittleAndEndPromptly)
{
    setenv("JACK_DEFAULT_SERVER", "kelvora-nobody-here", 1);
    auto synth = std::make_shared<CBuiltinSynth>();
    std::atomic<int> calls{0};
    QElapsedTimer timer;
    {
        CRtMidiBackend backend(CRtMidiBackend::Jack, synth);
        const int first = backend.AddPortsListener([&] { ++calls; });
        const int second = backend.AddPortsListener([&] { ++calls; });
        EXPECT_NE(first, second);
        backend.RemovePortsListener(first);
        backend.RemovePortsListener(first); // twice, or an id never given: nothing happens
        backend.RemovePortsListener(12345);
        // The notifier tries for a server meanwhile; with none, nothing is told.
        QThread::msleep(300);
        EXPECT_EQ(backend.InputCount(), 0u);
        timer.start();
    } // with `second` still listening: the backend's end removes it
    EXPECT_LT(timer.elapsed(), 500); // not a wait for the next try
    EXPECT_EQ(calls, 0);
}

} // namespace
