// The RtMidi backend where nothing is there: no JACK server, no sequencer.
// It must answer at once, list nothing, fail opens with results, and still
// offer the built-in synthesizer as the mapper.
#include "platform/BuiltinSynth.h"
#include "platform/RtMidiBackend.h"
#include "platform/RtMidiSystems.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

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

} // namespace
