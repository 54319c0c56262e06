// The RtMidi backend where nothing is there: no JACK server, no sequencer.
// It must answer at once, list nothing, fail opens with results, and still
// offer the built-in synthesizer as the mapper. And how it reads the names
// the systems give and their announcements, and how it watches open ports.
#include "platform/AlsaAnnounceWatch.h"
#include "platform/BuiltinSynth.h"
#include "platform/MidiPortWatch.h"
#include "platform/RtMidiBackend.h"
#include "platform/RtMidiSystems.h"
#include "support/TestSupport.h"

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
    std::atomic<int> calls{0};
    QElapsedTimer timer;
    {
        CRtMidiBackend backend(CRtMidiBackend::Jack, synth);
        backend.RemovePortsListener(backend.AddPortsListener([&] { ++calls; }));
        backend.AddPortsListener([&] { ++calls; });
        timer.start();
        for (int i = 0; i < 20; ++i) { // as a selection dialog would ask
            EXPECT_EQ(backend.InputCount(), 0u);
            EXPECT_EQ(backend.OutputCount(), 0u);
        }
        EXPECT_LT(timer.elapsed(), 1000); // never the seconds of a server start

        MidiCaps caps;
        EXPECT_EQ(backend.GetInputCaps(0, caps), MMSYSERR_BADDEVICEID);
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
        QThread::msleep(300); // the notifier tries for a server meanwhile
        timer.start();
    } // with a listener left: not a wait for the notifier's next try
    EXPECT_LT(timer.elapsed(), 500);
    EXPECT_EQ(calls, 0); // listeners hear nothing without a server
}

// How the systems' names are read: the stable name (ALSA's without the
// sequencer numbers RtMidi appends; nullptr: the name as it is) and whether
// the port only passes on what it is sent.
struct NameCase { RtMidi::Api api; const char *name, *stable; bool loopback; };
constexpr RtMidi::Api kAlsa = RtMidi::LINUX_ALSA, kJack = RtMidi::UNIX_JACK;
const NameCase kNames[] = {
    {kAlsa, "Midi Through:Midi Through Port-3 14:3", "Midi Through:Midi Through Port-3", true},
    {kAlsa, "System:Announce 0:1", "System:Announce", true},
    {kAlsa, "Synth 1:2:Out 3:4 128:10", "Synth 1:2:Out 3:4", false}, // only the last pair goes
    {kAlsa, "Keys:Port 1:", nullptr, false}, {kAlsa, "Keys:Port a1:3", nullptr, false}, // no number pair
    // Loop-back is the client's name, not one that begins so.
    {kAlsa, "Midi Through Keys:Port 1 20:0", "Midi Through Keys:Port 1", false},
    // JACK names stay whole; the bridges show the ALSA client inside them.
    {kJack, "synth 2:in 1:2", nullptr, false},
    {kJack, "a2j:Midi Through [14] (capture): Midi Through Port-0", nullptr, true},
    {kJack, "a2j:Midi Through (playback): Midi Through Port-0", nullptr, true}, // a2jmidid -u
    {kJack, "Midi-Bridge:Midi Through:(capture_0) Midi Through Port-0", nullptr, true},
    {kJack, "a2j:Midi Through Keys [20] (capture): Port 1", nullptr, false},
    {kJack, "keys:Midi Through [14] (capture): Midi Through Port-0", nullptr, false},
    {kJack, "Midi Through:Midi Through Port-0", nullptr, false},
};

TEST(RtMidiBackendTest, NamesAreStableLoopbackOrOurOwnAsEachSystemGivesThem)
{
    for (const NameCase& c : kNames) {
        EXPECT_EQ(CRtMidiSystems::StableName(c.api, c.name), c.stable ? c.stable : c.name) << c.name;
        EXPECT_EQ(CRtMidiSystems::IsLoopback(c.api, c.name), c.loopback) << c.name;
    }
    // Our own ports; the last of ours is ALSA's naming.
    for (const char* ours : {"Kelvora:MIDI In", "Kelvora-01:MIDI Out", "Kelvora:MIDI Out 130:0"})
        EXPECT_TRUE(CRtMidiSystems::IsOwnPort(ours)) << ours;
    for (const char* other : {"Kelvora-x:MIDI Out", "Kelvora monitor2:in", "KelvoraSynth:midi",
                              "a2j:Kelvora [130] (capture): MIDI Out", "Midi Through:Midi Through Port-0 14:0", ""})
        EXPECT_FALSE(CRtMidiSystems::IsOwnPort(other)) << other;
}

TEST(RtMidiBackendTest, OnlyTheSystemsAnnouncementsOfClientsAndPortsChangeTheLists)
{
    // Client and port start, exit and change; not connections, not music, and
    // nothing sent to our port by another client.
    for (int type = 0; type < 256; ++type) {
        const bool news = type >= SND_SEQ_EVENT_CLIENT_START && type <= SND_SEQ_EVENT_PORT_CHANGE;
        EXPECT_EQ(CAlsaAnnounceWatch::ChangesPortList(type, SND_SEQ_CLIENT_SYSTEM), news) << type;
        EXPECT_FALSE(CAlsaAnnounceWatch::ChangesPortList(type, 130)) << type;
    }
    // Heard where there is a sequencer, and over at once either way.
    std::atomic<int> calls{0};
    {
        CAlsaAnnounceWatch watch(CRtMidiSystems::kClientName, [&] { ++calls; }, [&] { ++calls; });
        EXPECT_EQ(watch.Running(), CRtMidiBackend::AlsaSequencerPresent());
    }
    EXPECT_TRUE(CRtMidiBackend::AlsaSequencerPresent() || calls == 0);
}

// The lost-peer watch looks at once, then only when poked unless given a
// period, and tells of a lost peer once.
TEST(RtMidiBackendTest, PortWatchLooksWhenPokedOrEveryPeriod)
{
    CMidiPortWatch watch(CMidiPortWatch::kOnlyWhenPoked);
    std::atomic<int> checks{0}, lost{0};
    std::atomic<bool> alive{true};
    const auto check = [&] {
        ++checks;
        return alive.load();
    };
    const int id = watch.Add(check, [&] { ++lost; });
    ASSERT_TRUE(kvtest::WaitFor([&] { return checks >= 1; })); // gone while it opened?
    QThread::msleep(700); // longer than the half second it used to wait
    EXPECT_EQ(checks, 1);
    watch.Poke();
    ASSERT_TRUE(kvtest::WaitFor([&] { return checks >= 2; }));
    watch.SetPeriod(std::chrono::milliseconds(20)); // nothing will poke it any more
    ASSERT_TRUE(kvtest::WaitFor([&] { return checks >= 7; }));
    alive = false;
    QThread::msleep(200);
    EXPECT_EQ(lost, 1);
    watch.Remove(id);
}

} // namespace
