#include "view/CMetronome.h"

#include "platform/Beep.h"

CMetronome::CMetronome(CMIDIOutDevice& outDevice)
    : m_OutDevice(outDevice)
    , m_pBeep(new CBeepRelay([] { CService<IBeep>::Get().Beep(); }))
{
}

CMetronome::~CMetronome()
{
    // The pulse thread may be about to post a beep: it goes first.
    m_Timer.Stop();
    delete m_pBeep;
}

bool CMetronome::Start(unsigned mm, unsigned ppm)
{
    m_Timer.Stop();
    Arm(ppm);
    return m_Timer.Start(std::chrono::milliseconds(MetronomeBeat::PeriodMs(mm)),
                         &CMetronome::OnTimer, this);
}

void CMetronome::Stop()
{
    m_Timer.Stop();
}

void CMetronome::Arm(unsigned ppm)
{
    m_Accent.Arm(ppm);
}

void CMetronome::OnTimer(void* context)
{
    static_cast<CMetronome*>(context)->MetronomeTick();
}

void CMetronome::MetronomeTick()
{
    if (!MetronomeBeat::SendClick(m_OutDevice, m_Accent.NextVelocity()))
        m_pBeep->Post();
}
