#pragma once
// Dialog 207, "Setup MIDI Output": the defaults the program plays with. The
// caller sets the four values (the channel as 1-16), runs the dialog and on OK
// reads them back. While it is up the dialog shows the General MIDI group of
// the chosen patch and disables what does not apply: channel and velocity
// while the MIDI In settings are used, the patch on the percussion channel 10.
#include "dialogs/CDialog.h"

#include <cstdint>

class CSpinButtonCtrl;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class CSetupMIDIOutputDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_USE_MIDI_IN = 1050;
    static constexpr int IDC_CHANNEL_LABEL = 1049;
    static constexpr int IDC_CHANNEL_EDIT = 1017;
    static constexpr int IDC_CHANNEL_SPIN = 1069;
    static constexpr int IDC_VELOCITY_LABEL = 1064;
    static constexpr int IDC_VELOCITY_EDIT = 1021;
    static constexpr int IDC_VELOCITY_SPIN = 1070;
    static constexpr int IDC_PATCH_LABEL = 1043;
    static constexpr int IDC_PATCH_LIST = 1044;
    static constexpr int IDC_PATCH_GROUP_LABEL = 1046;
    static constexpr int IDC_PATCH_GROUP = 1048;

    static constexpr int PERCUSSION_CHANNEL = 10;

    explicit CSetupMIDIOutputDlg(QWidget* parent = nullptr);

    int m_bUseMIDIIn = 0;
    uint32_t m_nChannel = 0;  // 1-16
    int m_nPatch = -1;        // the list index, -1 for none
    uint32_t m_nVelocity = 0; // 0-127

    // String id of the General MIDI group name of a patch; the undefined
    // group for -1 and anything outside the table.
    static unsigned GetPatchGroupStringID(int nPatch);

protected:
    void OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnCancel() override;

private:
    void OnClickedUseMIDIIn();
    void OnChangeChannelEdit();
    void OnDeltaPosChannelSpin(int pos, int delta);
    void OnSelChangePatchList();

    void EnablePatchControls(bool bEnable);

    QCheckBox* m_ctlUseMIDIIn;
    QLabel* m_ctlChannelLabel;
    QLineEdit* m_ctlChannelEdit;
    CSpinButtonCtrl* m_ctlChannelSpin;
    QLabel* m_ctlVelocityLabel;
    QLineEdit* m_ctlVelocityEdit;
    CSpinButtonCtrl* m_ctlVelocitySpin;
    QLabel* m_ctlPatchLabel;
    QComboBox* m_ctlPatchList;
    QLabel* m_ctlPatchGroupLabel;
    QLabel* m_ctlPatchGroup;

    uint32_t m_nEntryChannel = 0;
    int m_nEntryPatch = -1;
};
