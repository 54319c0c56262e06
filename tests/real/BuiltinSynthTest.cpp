// The built-in synthesizer with the real SoundFont, rendered offline: it
// sounds, at the right pitch, through the same port the devices use; closing
// silences it but keeps what was chosen; it says why when it cannot sound.
#include "midi/MIDIOutDevice.h"
#include "platform/BuiltinSynth.h"
#include "platform/RtMidiBackend.h"

#include "SynthTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <vector>

namespace {

using namespace synthtest;

TEST(BuiltinSynthTest, MiddleCSoundsAtItsPitchAndStopsOnReset)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    EXPECT_EQ(synth->SoundFontPath(), kSoundFont);
    EXPECT_FALSE(synth->AudioRunning());

    EXPECT_LT(Peak(Render(*synth, 0.1).left), 1e-6f); // silent before any note
    ASSERT_EQ(port->ShortMsg(0x000050C0), MMSYSERR_NOERROR); // program 80: square lead
    ASSERT_EQ(port->ShortMsg(0x00643C90), MMSYSERR_NOERROR); // C4, velocity 100
    const Stereo note = Render(*synth, 0.6);
    // Past the attack.
    const std::vector<float> steady(note.left.begin() + note.left.size() / 3, note.left.end());
    EXPECT_GT(Peak(steady), 0.02f);
    EXPECT_NEAR(Pitch(steady, synth->SampleRate()), 261.63, 2.0);

    // The reset at closing ends the note; once its release is over: silence.
    ASSERT_EQ(port->Reset(), MMSYSERR_NOERROR);
    Render(*synth, 1.5);
    EXPECT_LT(Peak(Render(*synth, 0.2).left), 1e-3f);
}

TEST(BuiltinSynthTest, MapperDeviceClosingSilencesHeldNotes)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto synth = OfflineSynth();
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(0u, synth));
    // A second user keeps the synth running, so the closing port has to end
    // its own notes rather than rely on the silencing when the last one goes.
    std::unique_ptr<IMidiOutPort> other;
    ASSERT_EQ(synth->OpenPort(other), MMSYSERR_NOERROR);
    {
        CMIDIOutDevice out;
        out.SetDeviceID(MIDI_MAPPER);
        ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
        out.SendShortMsg(0x007F40B0); // sustain pedal down
        out.SendShortMsg(0x00643C90);
        out.SendShortMsg(0x00644090);
        EXPECT_GT(Peak(Render(*synth, 0.3).left), 0.02f);
        out.Close(); // the pedal is still down: only the port's reset can end the notes
    }
    EXPECT_TRUE(other);
    Render(*synth, 1.5);
    EXPECT_LT(Peak(Render(*synth, 0.2).left), 1e-3f);
    MidiSystem::Install(nullptr);
}

TEST(BuiltinSynthTest, ClosingKeepsProgramAndVolumeAsAHardwareSynthWould)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    const Stereo violin = Reference(40, 127, 0.5);
    const Stereo piano = Reference(0, 100, 0.5);  // what a reset would leave
    const Stereo quieter = Reference(40, 100, 0.5);
    ASSERT_GT(Peak(violin.left), 0.02f);
    // The references are far apart, so the comparison below tells them apart.
    ASSERT_GT(Distance(piano, violin), 0.5);
    ASSERT_GT(Distance(quieter, violin), 0.2);

    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    ASSERT_EQ(port->ShortMsg(kViolin), MMSYSERR_NOERROR);
    ASSERT_EQ(port->ShortMsg(kFullVolume), MMSYSERR_NOERROR);
    Render(*synth, 0.1);
    port.reset(); // the last port: the synth is silenced
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);

    ASSERT_EQ(port->ShortMsg(kTestNoteOn), MMSYSERR_NOERROR);
    const Stereo played = Render(*synth, 0.5);
    EXPECT_LT(Distance(played, violin), 0.08) << "not the violin at full volume";
    EXPECT_GT(Distance(played, piano), 0.5);
    EXPECT_NEAR(Peak(played.left) / Peak(violin.left), 1.0, 0.05);
    const std::vector<float> steady(played.left.begin() + played.left.size() / 2, played.left.end());
    EXPECT_NEAR(Pitch(steady, synth->SampleRate()), 392.0, 3.0);

    // A System Reset the user sends still means what it says.
    ASSERT_EQ(port->ShortMsg(kTestNoteOff), MMSYSERR_NOERROR);
    ASSERT_EQ(port->ShortMsg(0x000000FF), MMSYSERR_NOERROR);
    port.reset();
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    ASSERT_EQ(port->ShortMsg(kTestNoteOn), MMSYSERR_NOERROR);
    EXPECT_LT(Distance(Render(*synth, 0.5), piano), 0.08) << "not reset to program 0, volume 100";
}

TEST(BuiltinSynthTest, ClosingSilencesHeldAndSustainedNotesAndReleasesThePedal)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    ASSERT_EQ(port->ShortMsg(0x000030C0), MMSYSERR_NOERROR); // strings: they ring on
    ASSERT_EQ(port->ShortMsg(0x000030C1), MMSYSERR_NOERROR);
    ASSERT_EQ(port->ShortMsg(0x007F40B0), MMSYSERR_NOERROR); // sustain down on channel 0
    ASSERT_EQ(port->ShortMsg(0x00643C90), MMSYSERR_NOERROR); // held under the pedal...
    ASSERT_EQ(port->ShortMsg(0x00004080), MMSYSERR_NOERROR); // ...and released (no such note)
    ASSERT_EQ(port->ShortMsg(0x00644390), MMSYSERR_NOERROR);
    ASSERT_EQ(port->ShortMsg(0x00004380), MMSYSERR_NOERROR); // ended, but sustained
    ASSERT_EQ(port->ShortMsg(0x00644891), MMSYSERR_NOERROR); // held on channel 1, no pedal
    EXPECT_GT(Peak(Render(*synth, 0.3).left), 0.02f);

    // Destroyed without the port's own reset: the synth silences all of it.
    port.reset();
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    EXPECT_LT(Peak(Render(*synth, 0.3).left), 1e-4f);
    EXPECT_LT(Peak(Render(*synth, 1.0).right), 1e-4f);

    // The pedal is up: a note played and ended now dies away.
    ASSERT_EQ(port->ShortMsg(0x00643C90), MMSYSERR_NOERROR);
    EXPECT_GT(Peak(Render(*synth, 0.3).left), 0.02f);
    ASSERT_EQ(port->ShortMsg(0x00003C80), MMSYSERR_NOERROR);
    Render(*synth, 2.0);
    EXPECT_LT(Peak(Render(*synth, 0.2).left), 1e-3f) << "still sustained";
}

TEST(BuiltinSynthTest, MissingSoundFontOrAudioFailsWithAResult)
{
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetSoundFonts({"/nonexistent/none.sf2"});
    std::unique_ptr<IMidiOutPort> port;
    EXPECT_EQ(synth->OpenPort(port), MMSYSERR_ERROR);
    EXPECT_FALSE(port);
    EXPECT_EQ(synth->Play(0x00643C90), MMSYSERR_INVALHANDLE);
    float l[16], r[16];
    EXPECT_FALSE(synth->Render(l, r, 16));
    EXPECT_EQ(synth->Caps().szPname, CBuiltinSynth::ProductName()); // still described

    auto silent = std::make_shared<CBuiltinSynth>();
    silent->SetAudioDrivers({"no-such-driver"});
    EXPECT_EQ(silent->OpenPort(port), MMSYSERR_NODRIVER);
    EXPECT_FALSE(port);
    EXPECT_EQ(silent->Play(0x000000F0), MMSYSERR_INVALPARAM);
}

TEST(BuiltinSynthTest, ProblemSaysWhyItCannotSoundUntilAPortOpens)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto synth = OfflineSynth();
    EXPECT_TRUE(synth->Problem().isEmpty()); // never tried

    std::unique_ptr<IMidiOutPort> port;
    synth->SetSoundFonts({"/nonexistent/none.sf2"});
    EXPECT_EQ(synth->OpenPort(port), MMSYSERR_ERROR);
    EXPECT_FALSE(port);
    const QString noFont = synth->Problem();
    EXPECT_TRUE(noFont.contains("no SoundFont found")) << qPrintable(noFont);
    EXPECT_TRUE(noFont.contains("timgm6mb-soundfont")) << qPrintable(noFont);
    EXPECT_TRUE(noFont.contains("/nonexistent")) << qPrintable(noFont);
    EXPECT_LT(noFont.size(), 100) << "too long for a status bar";

    // Found now: a port opens and the problem is gone.
    synth->SetSoundFonts({kSoundFont});
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    EXPECT_TRUE(synth->Problem().isEmpty()) << qPrintable(synth->Problem());
    port.reset();

    // With the real system folders missing, the message names where it looked.
    auto none = std::make_shared<CBuiltinSynth>();
    none->SetSoundFonts({"/usr/share/sounds/sf2/none-such.sf2"});
    EXPECT_EQ(none->OpenPort(port), MMSYSERR_ERROR);
    EXPECT_TRUE(none->Problem().contains("/usr/share/sounds/sf2")) << qPrintable(none->Problem());

    // No audio output: each open fails at once, naming the outputs tried.
    auto mute = std::make_shared<CBuiltinSynth>();
    mute->SetAudioDrivers({"nosuchdriver"});
    QElapsedTimer timer;
    timer.start();
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(mute->OpenPort(port), MMSYSERR_NODRIVER);
        EXPECT_FALSE(port);
    }
    const QString noAudio = mute->Problem();
    EXPECT_LT(timer.elapsed(), 1000) << "opening with no audio must fail fast";
    EXPECT_TRUE(noAudio.contains("no audio output")) << qPrintable(noAudio);
    EXPECT_TRUE(noAudio.contains("nosuchdriver")) << qPrintable(noAudio);
    EXPECT_LT(noAudio.size(), 100) << "too long for a status bar";
    EXPECT_FALSE(mute->AudioRunning());

    // Rendering offline it sounds again, and says nothing.
    mute->SetOffline(true);
    ASSERT_EQ(mute->OpenPort(port), MMSYSERR_NOERROR);
    EXPECT_TRUE(mute->Problem().isEmpty()) << qPrintable(mute->Problem());
}

} // namespace
