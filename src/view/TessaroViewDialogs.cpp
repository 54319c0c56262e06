// The view's commands that run a modal dialog and take its values back.
#include "view/CTessaroView.h"

#include "dialogs/CSetupDumpOptionsDlg.h"
#include "dialogs/CSetupMIDIFilterDlg.h"
#include "dialogs/CSetupMIDIOutputDlg.h"
#include "platform/Settings.h"

void CTessaroView::OnSelectInputDevice()
{
    const uint32_t id = m_InDevice.SelectDevice(true, this);
    // The port closes in either case: what it left sounding ends now.
    EndInputNotes();
    // Reopened whatever the answer, so a Cancel also recovers a port that
    // failed; by the chosen port's name, wherever the list has moved it.
    if (id != MIDI_NO_DEVICE)
        m_InDevice.Open(this);
    else
        m_InDevice.Close();
}

void CTessaroView::OnSelectOutputDevice()
{
    const uint32_t id = m_OutDevice.SelectDevice(true, this);
    if (id != MIDI_NO_DEVICE)
        m_OutDevice.Open(this);
    else
        m_OutDevice.Close();
}

void CTessaroView::OnSetupOutputDefaults()
{
    CSetupMIDIOutputDlg dlg(this);
    dlg.m_bUseMIDIIn = m_bUseMIDIIn;
    dlg.m_nChannel = static_cast<uint32_t>(m_nChannel + 1);
    dlg.m_nVelocity = static_cast<uint32_t>(m_nVelocity);
    dlg.m_nPatch = m_nPatch;

    // Closing resets the port, which silences whatever is still sounding.
    m_OutDevice.Close();
    const bool ok = dlg.exec() == QDialog::Accepted;
    if (ok) {
        m_bUseMIDIIn = dlg.m_bUseMIDIIn ? 1 : 0;
        m_nChannel = static_cast<int>(dlg.m_nChannel) - 1;
        m_nVelocity = static_cast<int>(dlg.m_nVelocity);
        m_nPatch = dlg.m_nPatch;
        Settings::Write(Settings::UseMIDIIn, m_bUseMIDIIn);
        Settings::Write(Settings::Channel, m_nChannel);
        Settings::Write(Settings::Velocity, m_nVelocity);
        Settings::Write(Settings::Patch, m_nPatch);
    }
    // The port comes back in either case: with it closed nothing would sound.
    m_OutDevice.Open(this);
    if (ok && !m_bUseMIDIIn)
        SendChannelSetup(m_nChannel, m_nPatch);
}

void CTessaroView::OnSetupFilter()
{
    CSetupMIDIFilterDlg dlg(this);
    dlg.m_bFilterSysRealTime = m_bFilterSysRealTime;
    dlg.m_bFilterPitchBend = m_bFilterPitchBend;
    dlg.m_bFilterCtrlChange = m_bFilterCtrlChange;
    dlg.m_bFilterChanPressure = m_bFilterChanPressure;
    dlg.m_bFilterKeyPressure = m_bFilterKeyPressure;
    dlg.m_bFilterActiveSensing = m_bFilterActiveSensing;
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_bFilterSysRealTime = dlg.m_bFilterSysRealTime ? 1 : 0;
    m_bFilterPitchBend = dlg.m_bFilterPitchBend ? 1 : 0;
    m_bFilterCtrlChange = dlg.m_bFilterCtrlChange ? 1 : 0;
    m_bFilterChanPressure = dlg.m_bFilterChanPressure ? 1 : 0;
    m_bFilterKeyPressure = dlg.m_bFilterKeyPressure ? 1 : 0;
    m_bFilterActiveSensing = dlg.m_bFilterActiveSensing ? 1 : 0;
    Settings::Write(Settings::FilterSysRealTime, m_bFilterSysRealTime);
    Settings::Write(Settings::FilterPitchBend, m_bFilterPitchBend);
    Settings::Write(Settings::FilterCtrlChange, m_bFilterCtrlChange);
    Settings::Write(Settings::FilterChanPressure, m_bFilterChanPressure);
    Settings::Write(Settings::FilterKeyPressure, m_bFilterKeyPressure);
    Settings::Write(Settings::FilterActiveSensing, m_bFilterActiveSensing);
}

void CTessaroView::OnSetupDumpFormat()
{
    CSetupDumpOptionsDlg dlg(this);
    dlg.SetDumpAttributes(m_nDumpAttributes);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_nDumpAttributes = dlg.GetDumpAttributes();
    Settings::Write(Settings::DumpAttributes, m_nDumpAttributes);
    SetLogTabStops();
}
