// The built-in synthesizer with the real SoundFont, rendered offline: it
// sounds, at the right pitch, through the same port the devices use.
#include "midi/MIDIOutDevice.h"
#include "platform/BuiltinSynth.h"
#include "platform/RtMidiBackend.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <cmath>
#include <vector>

namespace {

struct Stereo {
    std::vector<float> left, right;
};

Stereo Render(CBuiltinSynth& synth, double seconds)
{
    const int frames = static_cast<int>(synth.SampleRate() * seconds);
    Stereo out{std::vector<float>(frames), std::vector<float>(frames)};
    EXPECT_TRUE(synth.Render(out.left.data(), out.right.data(), frames));
    return out;
}

float Peak(const std::vector<float>& samples)
{
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    return peak;
}

// The fundamental by autocorrelation, searched between 150 and 1000 Hz (so the
// octave below, a lag twice as long, cannot win), refined between samples.
double Pitch(const std::vector<float>& x, double rate)
{
    const int minLag = static_cast<int>(rate / 1000), maxLag = static_cast<int>(rate / 150);
    const int n = static_cast<int>(x.size()) - maxLag - 1;
    std::vector<double> r(maxLag + 2, 0.0);
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double sum = 0;
        for (int i = 0; i < n; ++i)
            sum += double(x[i]) * x[i + lag];
        r[lag] = sum;
    }
    int best = minLag;
    for (int lag = minLag; lag <= maxLag; ++lag)
        if (r[lag] > r[best])
            best = lag;
    const double a = r[best - 1], b = r[best], c = r[best + 1];
    const double shift = (a - c) / (2 * (a - 2 * b + c));
    return rate / (best + shift);
}

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";

std::shared_ptr<CBuiltinSynth> OfflineSynth()
{
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetOffline(true);
    return synth;
}

TEST(BuiltinSynthTest, MiddleCSoundsAtItsPitchAndStopsOnReset)
{
    if (!QFileInfo::exists(kSoundFont))
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
    if (!QFileInfo::exists(kSoundFont))
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto synth = OfflineSynth();
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(0u, synth));
    // A second user keeps the synth running, so the closing port has to end
    // its own notes rather than rely on the reset when the last one goes.
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
        out.Close(); // the pedal is still down: only the reset can end the notes
    }
    EXPECT_TRUE(other);
    Render(*synth, 1.5);
    EXPECT_LT(Peak(Render(*synth, 0.2).left), 1e-3f);
    MidiSystem::Install(nullptr);
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

} // namespace
