// The built-in synthesizer with the real SoundFont: rendered offline, it
// sounds at the right pitch through the same port the devices use; closing
// silences it but keeps what was chosen, as the dialogs that close the
// window's port around them need. (Through a JACK server that stops and
// starts again: PortsReturnJackTest.)
#include "SynthTestSupport.h"

#include "midi/MIDIOutDevice.h"
#include "platform/RtMidiBackend.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace synthtest;
using BuiltinSynthTest = SynthTest;

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

TEST_F(BuiltinSynthTest, MiddleCSoundsAtItsPitchAndStopsOnResetOrWhenTheDeviceCloses)
{
    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    EXPECT_FALSE(synth->AudioRunning());

    EXPECT_LT(Peak(Render(*synth, 0.1)), 1e-6f); // silent before any note
    EXPECT_EQ(synth->SoundFontPath(), kSoundFont); // in once it renders
    Send(*port, {0x000050C0, 0x00643C90}); // program 80 (square lead), C4 at velocity 100
    const std::vector<float> note = Render(*synth, 0.6);
    const std::vector<float> steady(note.begin() + note.size() / 3, note.end()); // past the attack
    EXPECT_GT(Peak(steady), 0.02f);
    EXPECT_NEAR(Pitch(steady, synth->SampleRate()), 261.63, 2.0);
    // The reset at closing ends the note; once its release is over: silence.
    ASSERT_EQ(port->Reset(), MMSYSERR_NOERROR);
    EXPECT_TRUE(FallsSilent(*synth));

    // The port above keeps the synth running, so a mapper device closing has
    // to end its own notes rather than rely on the silencing when the last
    // port goes.
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(0u, synth));
    CMIDIOutDevice out;
    out.SetDeviceID(MIDI_MAPPER);
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    for (uint32_t msg : {0x007F40B0u, 0x00643C90u, 0x00644090u}) // sustain pedal down, C4, E4
        out.SendShortMsg(msg);
    EXPECT_TRUE(Sounds(*synth));
    out.Close(); // the pedal is still down: only the port's reset can end the notes
    EXPECT_TRUE(FallsSilent(*synth));
    MidiSystem::Install(nullptr);
}

// The view closes its port around some dialogs, and the metronome dialog
// plays on a port of its own meanwhile: as on a hardware synthesizer, closing
// the last port silences every note and lifts every pedal, but keeps the
// programs and volumes; only a System Reset the user sends resets them.
TEST_F(BuiltinSynthTest, ClosingSilencesEverythingButKeepsProgramAndVolume)
{
    const std::vector<float> violin = Reference(40, 127);
    const std::vector<float> piano = Reference(0, 100); // what a reset would leave
    // Far enough apart that the comparisons below tell them apart.
    ASSERT_GT(Distance(piano, violin), 0.5);
    ASSERT_GT(Distance(Reference(40, 100), violin), 0.2);

    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port, dialog;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    Send(*port, {kViolin, kFullVolume, 0x000030C1u, // strings on channel 1: they ring on
                 0x007F40B0u, 0x00643C90u, 0x00003C80u, // ended under the pedal
                 0x00644891u});                         // held on channel 1
    EXPECT_TRUE(Sounds(*synth));

    port.reset(); // the last port, without a reset of its own
    ASSERT_EQ(synth->OpenPort(dialog), MMSYSERR_NOERROR);
    EXPECT_LT(Peak(Render(*synth, 1.0)), 1e-4f);
    Send(*dialog, {0x00643899, 0x00003889}); // a metronome click, then the dialog closes
    EXPECT_EQ(dialog->Reset(), MMSYSERR_NOERROR);
    dialog.reset();
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    // The pedal is up: a note played and ended now dies away.
    Send(*port, {0x00643C90});
    EXPECT_TRUE(Sounds(*synth));
    Send(*port, {0x00003C80});
    EXPECT_TRUE(FallsSilent(*synth)) << "still sustained";

    Send(*port, {kTestNoteOn});
    EXPECT_TRUE(SoundsLike(*synth, violin)) << "not the violin at full volume";

    Send(*port, {kTestNoteOff, 0x000000FF}); // System Reset
    port.reset();
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    Send(*port, {kTestNoteOn});
    EXPECT_TRUE(SoundsLike(*synth, piano)) << "not reset to program 0, volume 100";
}

} // namespace
