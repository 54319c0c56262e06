#include "midi/MetronomeBeat.h"

#include "midi/MIDIOutDevice.h"
#include "midi/MIDIShortMsg.h"
#include "platform/Settings.h"

#include <algorithm>

namespace MetronomeBeat {

unsigned PeriodMs(unsigned mm)
{
    constexpr auto lo = static_cast<unsigned>(Settings::MetronomeMM.lo);
    constexpr auto hi = static_cast<unsigned>(Settings::MetronomeMM.hi);
    return 60000 / std::clamp(mm, lo, hi);
}

bool SendClick(CMIDIOutDevice& port, uint8_t velocity)
{
    if (!port.GetHandle())
        return false;
    port.SendShortMsg(MakeNoteOn(kChannel, kKey, velocity));
    port.SendShortMsg(MakeNoteOff(kChannel, kKey, 0));
    return true;
}

} // namespace MetronomeBeat

uint8_t CAccentCountdown::NextVelocity()
{
    if (m_nPulsesLeft > 0) {
        --m_nPulsesLeft;
        return MetronomeBeat::kPulseVelocity;
    }
    if (m_nPPM > 0)
        m_nPulsesLeft = m_nPPM - 1;
    return MetronomeBeat::kAccentVelocity;
}
