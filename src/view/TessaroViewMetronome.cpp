// The view's metronome commands: start and stop, and the setup dialog.
#include "view/CTessaroView.h"

#include "dialogs/CSetupMIDIMetronomeDlg.h"
#include "platform/Settings.h"
#include "platform/Ticks.h"
#include "view/CBeatMark.h"
#include "view/CMetronome.h"
#include "view/DumpLine.h"

#include <QDialog>

void CTessaroView::OnToggleMetronome()
{
    if (m_bMetronomeOn) {
        m_bMetronomeOn = 0;
        m_pMetronome->Stop();
        m_pBeatMark->Stop();
        return;
    }
    m_bMetronomeOn = 1;
    // The log counts its times from the start of the metronome, so that a
    // lesson's notes can be read against the beat.
    m_StartTime = DumpLine::NowToTheSecond();
    m_dwStartTicks = GetTickCountMs();
    // Without a timer thread the switch stays on with no pulses; the next
    // toggle clears it.
    // The mark follows from the first pulse on: Start clears the record.
    if (m_pMetronome->Start(m_nMM, m_nPPM))
        m_pBeatMark->Start();
}

void CTessaroView::OnSetupMetronome()
{
    // The settings change only while the metronome is stopped: its thread
    // reads them.
    if (m_bMetronomeOn)
        return;
    CSetupMIDIMetronomeDlg dlg(this);
    dlg.m_nMM = m_nMM;
    dlg.m_nPPM = m_nPPM;
    // The dialog clicks its test on a port of its own, on our device; ours is
    // closed meanwhile, as a device may not take two ports.
    const uint32_t openID = m_OutDevice.QueryOpenDeviceID();
    dlg.m_MIDIOutDevice.SetDeviceID(openID);
    const bool reopen = openID != MIDI_NO_DEVICE;
    if (reopen)
        m_OutDevice.Close();

    if (dlg.exec() == QDialog::Accepted) {
        m_nMM = dlg.m_nMM;
        m_nPPM = dlg.m_nPPM;
        Settings::Write(Settings::MetronomeMM, static_cast<int>(m_nMM));
        Settings::Write(Settings::MetronomePPM, static_cast<int>(m_nPPM));
    }

    // The same port by its name, wherever the list has moved it meanwhile.
    if (reopen)
        m_OutDevice.Open(this);
}
