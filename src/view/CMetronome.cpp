#include "view/CMetronome.h"

#include "midi/MIDIOutDevice.h"
#include "midi/MIDIShortMsg.h"
#include "platform/Beep.h"

#include <QApplication>

#include <algorithm>

namespace {

void SystemBeep()
{
    QApplication::beep();
}

} // namespace

void (*CMetronome::s_pfnBeep)() = SystemBeep;

CMetronome::CMetronome(CMIDIOutDevice& outDevice)
    : m_OutDevice(outDevice)
    , m_pBeep(new CBeepRelay([] {
        if (s_pfnBeep)
            s_pfnBeep();
    }))
{
}

CMetronome::~CMetronome()
{
    // The pulse thread may be about to post a beep: it goes first.
    m_Timer.Stop();
    delete m_pBeep;
}

unsigned CMetronome::PeriodMs(unsigned mm)
{
    return 60000 / std::clamp(mm, kMinMM, kMaxMM);
}

bool CMetronome::Start(unsigned mm, unsigned ppm)
{
    m_Timer.Stop();
    Arm(ppm);
    return m_Timer.Start(std::chrono::milliseconds(PeriodMs(mm)), &CMetronome::OnTimer, this);
}

void CMetronome::Stop()
{
    m_Timer.Stop();
}

void CMetronome::Arm(unsigned ppm)
{
    m_nPPM = ppm;
    m_nPulseCountdown = 0;
}

void CMetronome::OnTimer(void* context)
{
    static_cast<CMetronome*>(context)->MetronomeTick();
}

void CMetronome::MetronomeTick()
{
    uint8_t velocity;
    if (m_nPulseCountdown > 0) {
        velocity = kPulseVelocity;
        --m_nPulseCountdown;
    } else {
        // With no measure (0 pulses per measure) every pulse is a first one.
        velocity = kAccentVelocity;
        if (m_nPPM > 0)
            m_nPulseCountdown = m_nPPM - 1;
    }
    if (m_OutDevice.QueryOpenDeviceID() != MIDI_NO_DEVICE) {
        // A click is a percussion hit: its note-off follows at once.
        m_OutDevice.SendShortMsg(MakeNoteOn(kChannel, kKey, velocity));
        m_OutDevice.SendShortMsg(MakeNoteOff(kChannel, kKey, 0));
    } else {
        m_pBeep->Post();
    }
}
