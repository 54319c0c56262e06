#pragma once
// Rendering the built-in synthesizer offline and measuring what it played.
#include "platform/BuiltinSynth.h"
#include "view/ViewFixture.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

namespace synthtest {

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
constexpr uint32_t kTestNoteOn = 0x00644390, kTestNoteOff = 0x00004380; // G4 on channel 0
constexpr uint32_t kViolin = 0x000028C0, kFullVolume = 0x007F07B0; // program 40, CC 7 127

inline bool SoundFontInstalled() { return QFileInfo::exists(QString::fromLatin1(kSoundFont)); }

inline std::shared_ptr<CBuiltinSynth> OfflineSynth()
{
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetOffline(true);
    return synth;
}

// The left channel. FluidSynth starts a note at its next block of 64 frames:
// whole blocks keep two renderings of the same notes aligned.
inline std::vector<float> Render(CBuiltinSynth& synth, double seconds)
{
    const int frames = static_cast<int>(synth.SampleRate() * seconds) / 64 * 64;
    std::vector<float> left(frames), right(frames);
    EXPECT_TRUE(synth.Render(left.data(), right.data(), frames));
    return left;
}

inline float Peak(const std::vector<float>& x)
{
    float peak = 0;
    for (float s : x)
        peak = std::max(peak, std::fabs(s));
    return peak;
}

// The RMS of the difference over that of the reference: 0 for the same sound,
// about 1.4 and more for unrelated ones.
inline double Distance(const std::vector<float>& x, const std::vector<float>& reference)
{
    double diff = 0, power = 0;
    for (size_t i = 0; i < std::min(x.size(), reference.size()); ++i) {
        diff += double(x[i] - reference[i]) * (x[i] - reference[i]);
        power += double(reference[i]) * reference[i];
    }
    return power > 0 ? std::sqrt(diff / power) : 1e9;
}

// Each sent on the port, in turn.
inline void Send(IMidiOutPort& port, std::initializer_list<uint32_t> messages)
{
    for (uint32_t msg : messages)
        EXPECT_EQ(port.ShortMsg(msg), MMSYSERR_NOERROR) << std::hex << msg;
}

// Whether the next 0.3 seconds sound.
inline bool Sounds(CBuiltinSynth& synth) { return Peak(Render(synth, 0.3)) > 0.02f; }
// Whether it is silent once what was ending has died away.
inline bool FallsSilent(CBuiltinSynth& synth)
{
    Render(synth, 2.0);
    return Peak(Render(synth, 0.2)) < 1e-3f;
}
// Whether the next half second sounds as the reference does.
inline bool SoundsLike(CBuiltinSynth& synth, const std::vector<float>& reference)
{
    return Distance(Render(synth, 0.5), reference) < 0.08;
}

// The test note as a fresh synthesizer plays it with that program and volume,
// sent once the SoundFont is in (a rendering waits for it), not queued.
inline std::vector<float> Reference(int program, int volume, double seconds = 0.5)
{
    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    EXPECT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    if (!port)
        return {};
    Render(*synth, 0.01);
    Send(*port, {0x000000C0u | uint32_t(program) << 8, 0x000007B0u | uint32_t(volume) << 16, kTestNoteOn});
    return Render(*synth, seconds);
}

// Skipped where the SoundFont is not installed.
class SynthTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!SoundFontInstalled())
            GTEST_SKIP() << "no General MIDI SoundFont installed";
    }
};

// The main window on a synthesizer of the test's; the backend goes with it.
class WindowTest : public ViewFixture {
protected:
    void TearDown() override
    {
        ViewFixture::TearDown();
        MidiSystem::Install(nullptr);
    }
};

} // namespace synthtest
