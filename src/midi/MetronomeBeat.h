#pragma once
// The metronome's beat, for both who play it: the engine, which keeps time on
// a timer thread of its own, and the setup dialog, whose Test clicks the same
// pattern. Here are the click's sound, the period of a tempo and which pulses
// are accented. Nothing here allocates or takes a lock of its own, so the
// pulse thread may use all of it.
#include <cstdint>

class CMIDIOutDevice;

namespace MetronomeBeat {

// The click: High Agogo on the percussion channel (index 9).
inline constexpr uint8_t kChannel = 9;
inline constexpr uint8_t kKey = 67;
inline constexpr uint8_t kAccentVelocity = 112;
inline constexpr uint8_t kPulseVelocity = 80;

// The period of a tempo in whole ms (600 at MM 100), the tempo first brought
// into the profile's range (Settings::MetronomeMM): a zero or absurd tempo
// from anywhere still gives a pulse the ear can follow.
unsigned PeriodMs(unsigned mm);

// One click on the port: note-on and at once note-off, as a percussion hit.
// False, and nothing sent, when the port is not open: the caller beeps then.
bool SendClick(CMIDIOutDevice& port, uint8_t velocity);

} // namespace MetronomeBeat

// Which pulse is accented: the first of every measure, then ppm - 1 normal
// ones; with 0 pulses per measure (a profile may say so) every pulse is a
// first one.
class CAccentCountdown {
public:
    // The next pulse begins a measure of ppm pulses.
    void Arm(unsigned ppm)
    {
        m_nPPM = ppm;
        m_nPulsesLeft = 0;
    }
    // The measures after the current one have ppm pulses; the current one
    // runs out as it began.
    void SetPulsesPerMeasure(unsigned ppm) { m_nPPM = ppm; }
    // Counts a pulse and says how hard to click it.
    uint8_t NextVelocity();

private:
    unsigned m_nPPM = 4;
    unsigned m_nPulsesLeft = 0;
};
