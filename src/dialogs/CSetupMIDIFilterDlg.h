#pragma once
// Dialog 206, "Setup MIDI Filter": one box per class of incoming messages; a
// marked box keeps that class out of the log and away from the output. The
// caller sets the six flags (0 or 1), runs the dialog and on OK reads them.
#include "dialogs/CDialog.h"

class CSetupMIDIFilterDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_SYS_REAL_TIME = 1071;
    static constexpr int IDC_PITCH_BEND = 1074;
    static constexpr int IDC_CTRL_CHANGE = 1072;
    static constexpr int IDC_CHAN_PRESSURE = 1073;
    static constexpr int IDC_KEY_PRESSURE = 1075;
    static constexpr int IDC_ACTIVE_SENSING = 1062;

    explicit CSetupMIDIFilterDlg(QWidget* parent = nullptr);

    int m_bFilterSysRealTime = 1;
    int m_bFilterPitchBend = 1;
    int m_bFilterCtrlChange = 1;
    int m_bFilterChanPressure = 1;
    int m_bFilterKeyPressure = 1;
    int m_bFilterActiveSensing = 1;

protected:
    void DoDataExchange(CDataExchange& dx) override;
};
