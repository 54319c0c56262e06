#include "platform/SynthLine.h"

#include <algorithm>
#include <cmath>

CSynthLine& CSynthLine::Instance()
{
    static CSynthLine line;
    return line;
}

void CSynthLine::SetVolume(uint32_t volume)
{
    m_nVolume.store(std::min(volume, kMaxVolume), std::memory_order_relaxed);
}

uint32_t CSynthLine::Volume() const
{
    return m_nVolume.load(std::memory_order_relaxed);
}

void CSynthLine::SetMute(bool mute)
{
    m_bMute.store(mute, std::memory_order_relaxed);
}

bool CSynthLine::Mute() const
{
    return m_bMute.load(std::memory_order_relaxed);
}

float CSynthLine::Gain(uint32_t volume)
{
    const float fraction = static_cast<float>(std::min(volume, kMaxVolume)) / kMaxVolume;
    return fraction * fraction * fraction;
}

void CSynthLine::Process(float* left, float* right, int frames)
{
    if (left == nullptr || right == nullptr || frames <= 0)
        return;
    const float target =
        m_bMute.load(std::memory_order_relaxed) ? 0.0f : Gain(m_nVolume.load(std::memory_order_relaxed));
    float gain = m_fGain.load(std::memory_order_relaxed);
    float peak = 0;
    // A fixed slope toward the new gain: a full swing takes kRampFrames, a
    // small change less, and no sample differs from its neighbour by more
    // than the signal itself moves plus one step. A gain of 0 leaves exactly
    // nothing, not a whisper of what was rendered.
    constexpr float kStep = 1.0f / kRampFrames;
    for (int i = 0; i < frames; ++i) {
        if (gain != target)
            gain = gain < target ? std::min(target, gain + kStep) : std::max(target, gain - kStep);
        left[i] *= gain;
        right[i] *= gain;
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    }
    m_fGain.store(gain, std::memory_order_relaxed);

    const int level = peak >= 1.0f ? kMaxPeak : static_cast<int>(peak * kMaxPeak + 0.5f);
    if (level == 0)
        return; // silence leaves the meter falling
    const uint64_t now = Micros(std::chrono::steady_clock::now());
    // A louder block (or one as loud as the meter has fallen to) starts the
    // fall afresh; a quieter one leaves the meter falling from the louder.
    if (level >= Fallen(m_nMeter.load(std::memory_order_relaxed), now))
        m_nMeter.store(uint64_t(level) << kTimeBits | now, std::memory_order_relaxed);
}

int CSynthLine::Peak() const
{
    return Peak(std::chrono::steady_clock::now());
}

int CSynthLine::Peak(std::chrono::steady_clock::time_point now) const
{
    return Fallen(m_nMeter.load(std::memory_order_relaxed), Micros(now));
}

uint64_t CSynthLine::Micros(std::chrono::steady_clock::time_point t)
{
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch());
    return static_cast<uint64_t>(us.count()) & kTimeMask;
}

int CSynthLine::Fallen(uint64_t meter, uint64_t nowMicros)
{
    const int level = static_cast<int>(meter >> kTimeBits);
    if (level == 0)
        return 0;
    uint64_t elapsed = (nowMicros - (meter & kTimeMask)) & kTimeMask;
    if (elapsed > kTimeMask / 2)
        elapsed = 0; // read just before the block that set it was stamped
    const double fall = std::chrono::duration_cast<std::chrono::microseconds>(kPeakFall).count();
    if (elapsed >= fall)
        return 0;
    // Evenly in decibels, so that full scale is down to one step at kPeakFall.
    const double left = level * std::pow(double(kMaxPeak), -double(elapsed) / fall);
    return static_cast<int>(left);
}
