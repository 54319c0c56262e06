#pragma once
// The built-in synthesizer's line: its volume, its mute and its peak level,
// as the mixer shows them on the synthesizer's source line. One per process
// (Instance()), because the sound it acts on is the process's one
// synthesizer, whichever audio output carries it.
//
// Threading: the audio thread calls Process() after the synthesizer has
// rendered a block; it takes no lock, allocates nothing and makes no system
// call (the clock is read through the vDSO). Everything else may be called
// from any thread at any time.
#include <atomic>
#include <chrono>
#include <cstdint>

class CSynthLine {
public:
    static constexpr uint32_t kMaxVolume = 65535;
    static constexpr int kMaxPeak = 32767;
    // A volume or mute change glides over this many frames (5 ms at 48 kHz),
    // so that it never clicks.
    static constexpr int kRampFrames = 256;
    // A peak falls to nothing within this time once the sound stops.
    static constexpr std::chrono::milliseconds kPeakFall{1000};

    // The program's line. A line of one's own is for tests only.
    static CSynthLine& Instance();
    CSynthLine() = default;
    CSynthLine(const CSynthLine&) = delete;
    CSynthLine& operator=(const CSynthLine&) = delete;

    // 0..kMaxVolume (more is taken as the maximum); the maximum leaves the
    // synthesizer as loud as it is on its own.
    void SetVolume(uint32_t volume);
    uint32_t Volume() const;
    void SetMute(bool mute);
    bool Mute() const;

    // The gain a volume stands for: the cube of its fraction of the maximum,
    // so equal slider steps sound like roughly equal steps in loudness (the
    // curve the desktop's own volume sliders follow). 1 at the maximum, 0 at 0.
    static float Gain(uint32_t volume);

    // Audio thread: scales the block by the line's gain and measures its
    // peak. A gain change starts from where the last block ended.
    void Process(float* left, float* right, int frames);

    // The meter, 0..kMaxPeak: the loudest block lately, falling steadily (in
    // decibels) from when it was played, to 0 at kPeakFall, whether or not
    // blocks are still being processed.
    int Peak() const;
    int Peak(std::chrono::steady_clock::time_point now) const;

private:
    // The meter in one word, so readers never see a level with another
    // level's time: the level in the top 16 bits, the microsecond it was
    // played (steady clock, modulo 2^48) below.
    static constexpr int kTimeBits = 48;
    static constexpr uint64_t kTimeMask = (uint64_t(1) << kTimeBits) - 1;
    static uint64_t Micros(std::chrono::steady_clock::time_point t);
    static int Fallen(uint64_t meter, uint64_t nowMicros);

    std::atomic<uint32_t> m_nVolume{kMaxVolume};
    std::atomic<bool> m_bMute{false};
    // Where the last block's gain ended; the audio thread's own, atomic only
    // so that two outputs overlapping briefly (one starting as another
    // stops) cannot race.
    std::atomic<float> m_fGain{1.0f};
    std::atomic<uint64_t> m_nMeter{0};
    static_assert(std::atomic<uint64_t>::is_always_lock_free);
    static_assert(std::atomic<float>::is_always_lock_free);
};
