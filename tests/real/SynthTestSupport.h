#pragma once
// Rendering the built-in synthesizer offline and reading what it played: shared
// by the tests that check its sound.
#include "platform/BuiltinSynth.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace synthtest {

constexpr const char* kSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
constexpr uint32_t kTestNoteOn = 0x00644390; // G4 (392 Hz), velocity 100, channel 0
constexpr uint32_t kTestNoteOff = 0x00004380;
constexpr uint32_t kViolin = 0x000028C0;     // program 40 on channel 0
constexpr uint32_t kFullVolume = 0x007F07B0; // CC 7 127 on channel 0

inline bool SoundFontInstalled()
{
    return QFileInfo::exists(QString::fromLatin1(kSoundFont));
}

struct Stereo {
    std::vector<float> left, right;
};

// FluidSynth renders in blocks of 64 frames and starts a note at the next
// block; whole blocks keep two renderings of the same notes aligned.
inline Stereo Render(CBuiltinSynth& synth, double seconds)
{
    const int frames = static_cast<int>(synth.SampleRate() * seconds) / 64 * 64;
    Stereo out{std::vector<float>(frames), std::vector<float>(frames)};
    EXPECT_TRUE(synth.Render(out.left.data(), out.right.data(), frames));
    return out;
}

inline float Peak(const std::vector<float>& samples)
{
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    return peak;
}

// How far a rendering is from a reference of the same length: the RMS of the
// difference over the RMS of the reference (0: the same, about 1.4 and more:
// unrelated sounds).
inline double Distance(const Stereo& a, const Stereo& reference)
{
    double diff = 0, ref = 0;
    const size_t n = std::min(a.left.size(), reference.left.size());
    for (size_t i = 0; i < n; ++i) {
        const double dl = a.left[i] - reference.left[i], dr = a.right[i] - reference.right[i];
        diff += dl * dl + dr * dr;
        ref += double(reference.left[i]) * reference.left[i] +
               double(reference.right[i]) * reference.right[i];
    }
    return ref > 0 ? std::sqrt(diff / ref) : 1e9;
}

// The fundamental by autocorrelation, searched between 150 and 1000 Hz (so the
// octave below, a lag twice as long, cannot win), refined between samples.
inline double Pitch(const std::vector<float>& x, double rate)
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

inline std::shared_ptr<CBuiltinSynth> OfflineSynth()
{
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetOffline(true);
    return synth;
}

// The test note as a fresh synthesizer plays it with the given program and
// volume (CC 7) on channel 0, for `seconds` from the note-on.
inline Stereo Reference(int program, int volume, double seconds)
{
    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    EXPECT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    if (!port)
        return {};
    port->ShortMsg(0x000000C0u | uint32_t(program) << 8);
    port->ShortMsg(0x000007B0u | uint32_t(volume) << 16);
    port->ShortMsg(kTestNoteOn);
    return Render(*synth, seconds);
}

} // namespace synthtest
