// The synthesizer's line: a volume curve that sounds even and never raises
// the synthesizer, changes that glide instead of clicking, and a meter that
// falls to nothing within a second even when no block comes any more.
#include "platform/SynthLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Passes `frames` of a steady level through the line in blocks of 64, as an
// audio output does, and returns the left channel.
std::vector<float> Steady(CSynthLine& line, float level, int frames)
{
    std::vector<float> left(frames, level), right(frames, level);
    for (int i = 0; i < frames; i += 64)
        line.Process(left.data() + i, right.data() + i, std::min(64, frames - i));
    return left;
}

float LargestStep(const std::vector<float>& x, float before)
{
    float largest = 0;
    for (float s : x) {
        largest = std::max(largest, std::fabs(s - before));
        before = s;
    }
    return largest;
}

TEST(SynthLineTest, VolumeCurveRunsFromSilenceToTheSynthesizersOwnLevel)
{
    EXPECT_EQ(CSynthLine::Gain(0), 0.0f);
    EXPECT_EQ(CSynthLine::Gain(CSynthLine::kMaxVolume), 1.0f);
    EXPECT_EQ(CSynthLine::Gain(1u << 20), 1.0f); // beyond the maximum: never louder
    for (uint32_t v = 1; v <= CSynthLine::kMaxVolume; ++v)
        ASSERT_GT(CSynthLine::Gain(v), CSynthLine::Gain(v - 1)) << v;
    // Even in loudness, not in amplitude: halfway down is well below -6 dB,
    // and each eighth of the upper slider takes off a similar few decibels.
    const auto dB = [](double v) { return 20 * std::log10(CSynthLine::Gain(uint32_t(v * 65535))); };
    EXPECT_LT(dB(0.5), -12);
    EXPECT_GT(dB(0.5), -24);
    for (double v = 0.5; v < 1.0; v += 0.125)
        EXPECT_NEAR(dB(v + 0.125) - dB(v), 4.0, 2.5) << v;

    CSynthLine line;
    const std::vector<float> out = Steady(line, 0.3f, 512);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float s) { return s == 0.3f; }))
        << "at full volume the sound passes untouched";
}

TEST(SynthLineTest, VolumeAndMuteChangesGlideWithoutClicksOrGaps)
{
    CSynthLine line;
    const float maxStep = 1.0f / CSynthLine::kRampFrames + 1e-6f;
    float last = Steady(line, 1.0f, 256).back();

    line.SetVolume(0); // full scale to nothing
    std::vector<float> out = Steady(line, 1.0f, 1024);
    EXPECT_LE(LargestStep(out, last), maxStep);
    EXPECT_EQ(out.back(), 0.0f) << "volume 0 is exact silence";
    last = out.back();

    line.SetVolume(CSynthLine::kMaxVolume);
    line.SetMute(true); // muted: still silent, no blip on the way
    out = Steady(line, 1.0f, 512);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0f);

    // Unmuted and muted again within one glide, then unmuted for good.
    line.SetMute(false);
    out = Steady(line, 1.0f, 100);
    line.SetMute(true);
    std::vector<float> more = Steady(line, 1.0f, 100);
    out.insert(out.end(), more.begin(), more.end());
    line.SetMute(false);
    more = Steady(line, 1.0f, 1024);
    out.insert(out.end(), more.begin(), more.end());
    EXPECT_LE(LargestStep(out, last), maxStep);
    EXPECT_EQ(out.back(), 1.0f) << "back at full level, nothing lost";
    EXPECT_EQ(out[CSynthLine::kRampFrames + 200], 1.0f) << "the glide is short";
}

TEST(SynthLineTest, MeterHoldsTheBlockPeakAndFallsToZeroWithinASecond)
{
    CSynthLine line;
    EXPECT_EQ(line.Peak(), 0);
    std::vector<float> left(480), right(480, 0.0f);
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = 0.5f * float(std::sin(2 * M_PI * 440 * double(i) / 48000)); // one peak of 0.5
    line.Process(left.data(), right.data(), int(left.size()));
    const auto played = std::chrono::steady_clock::now();
    EXPECT_NEAR(line.Peak(), 16384, 40);

    // No more blocks: the meter falls steadily from when it was played, so it
    // is still above zero until the second is out.
    int before = line.Peak(played);
    for (auto t = 100ms; t < 1000ms; t += 100ms) {
        const int now = line.Peak(played + t);
        EXPECT_LT(now, before) << t.count() << " ms";
        before = now;
    }
    EXPECT_EQ(line.Peak(played + 1000ms), 0);

    // The peak is measured after the gain; a quieter block does not pull
    // the meter down.
    CSynthLine quieter;
    quieter.SetVolume(CSynthLine::kMaxVolume / 2);
    Steady(quieter, 0.0f, 512); // the glide down, unheard
    Steady(quieter, 1.0f, 256);
    const int half = quieter.Peak();
    EXPECT_NEAR(half, CSynthLine::Gain(CSynthLine::kMaxVolume / 2) * 32767, 40);
    Steady(quieter, 0.01f, 256);
    EXPECT_GE(quieter.Peak(), half * 9 / 10);
}

} // namespace
