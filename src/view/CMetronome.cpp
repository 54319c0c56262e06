#include "view/CMetronome.h"

#include "platform/Beep.h"

#include <thread>

void CPulseRecord::Write(const MetronomePulse& pulse)
{
    // The fields are stored with release after the odd version: a reader
    // that sees any of them new also sees the version moved on, and retries.
    const uint64_t version = m_nVersion.load(std::memory_order_relaxed);
    m_nVersion.store(version + 1, std::memory_order_relaxed);
    m_nSequence.store(pulse.nSequence, std::memory_order_release);
    m_nBeat.store(pulse.nNumber << 1 | (pulse.bAccent ? 1u : 0u), std::memory_order_release);
    m_nSentNs.store(pulse.nSentNs, std::memory_order_release);
    m_nVersion.store(version + 2, std::memory_order_release);
}

MetronomePulse CPulseRecord::Read() const
{
    for (;;) {
        const uint64_t before = m_nVersion.load(std::memory_order_acquire);
        MetronomePulse pulse;
        pulse.nSequence = m_nSequence.load(std::memory_order_acquire);
        const uint32_t beat = m_nBeat.load(std::memory_order_acquire);
        pulse.nSentNs = m_nSentNs.load(std::memory_order_acquire);
        if ((before & 1) == 0 && m_nVersion.load(std::memory_order_relaxed) == before) {
            pulse.nNumber = beat >> 1;
            pulse.bAccent = (beat & 1) != 0;
            return pulse;
        }
        // The pulse thread is in the middle of a write of a few stores; let
        // it finish should it share our core.
        std::this_thread::yield();
    }
}

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
    m_nInMeasure = 0;
    m_nSequence = 0;
    m_Record.Write({});
}

void CMetronome::OnTimer(void* context)
{
    static_cast<CMetronome*>(context)->MetronomeTick();
}

void CMetronome::MetronomeTick()
{
    const uint8_t velocity = m_Accent.NextVelocity();
    if (!MetronomeBeat::SendClick(m_OutDevice, velocity))
        m_pBeep->Post();
    const bool accent = velocity == MetronomeBeat::kAccentVelocity;
    // Counted here rather than from the countdown: a measure whose length
    // changes as it runs still counts on from where it was.
    m_nInMeasure = accent ? 1 : m_nInMeasure + 1;
    m_Record.Write({++m_nSequence, m_nInMeasure, accent, CPeriodicTimer::NowNs()});
    m_Wake.Post();
}
