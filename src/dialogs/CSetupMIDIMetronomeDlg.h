#pragma once
// Dialog 205, "Setup MIDI Metronome": tempo (MM, pulses per minute) and pulses
// per measure. "&Test" clicks the current settings on the dialog's own output
// port until it is released or the dialog ends.
//
// The caller sets m_nMM and m_nPPM, gives m_MIDIOutDevice the id of its open
// output port (SetDeviceID; MIDI_NO_DEVICE makes the test beep), closes its own
// port, runs the dialog and on OK takes m_nMM and m_nPPM. The dialog's port is
// closed again by the time exec() returns.
#include "dialogs/CDialog.h"

#include "midi/MIDIOutDevice.h"
#include "midi/MetronomeBeat.h"
#include "platform/Settings.h"

#include <QTimer>

#include <cstdint>

class CSpinButtonCtrl;
class QLineEdit;
class QPushButton;

class CSetupMIDIMetronomeDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_MM_LABEL = 1036;
    static constexpr int IDC_MM_EDIT = 1037;
    static constexpr int IDC_MM_SPIN = 1038;
    static constexpr int IDC_PPM_EDIT = 1039;
    static constexpr int IDC_PPM_SPIN = 1042;
    static constexpr int IDC_TEST = 1053;

    // The ranges OK takes: the profile's, except that a measure here has at
    // least one pulse.
    static constexpr int MIN_MM = Settings::MetronomeMM.lo;
    static constexpr int MAX_MM = Settings::MetronomeMM.hi;
    static constexpr int MIN_PPM = 1;
    static constexpr int MAX_PPM = Settings::MetronomePPM.hi;

    static constexpr int ID_TEST_TIMER = 1;

    explicit CSetupMIDIMetronomeDlg(QWidget* parent = nullptr);
    ~CSetupMIDIMetronomeDlg() override;

    uint32_t m_nMM = 100;
    uint32_t m_nPPM = 4;
    CMIDIOutDevice m_MIDIOutDevice;

    bool IsTesting() const { return m_bTesting; }
    // The running test timer's id (ID_TEST_TIMER), 0 when none runs.
    int GetTimerID() const { return m_nTimer; }
    // The running test timer's period in ms, 0 when none runs.
    int GetTestPeriod() const;

    // One test pulse, or a beep (the beep service) when no port is open; the
    // test timer's tick.
    void OnTimer();

protected:
    void OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    void OnChangeMMEdit();
    void OnDeltaPosMMSpin(int pos, int delta);
    void OnChangePPMEdit();
    void OnDeltaPosPPMSpin(int pos, int delta);
    void OnTest(bool bDown);

    void SetTestTimer();
    void KillTestTimer();
    void UpdateOKButton();

    QLineEdit* m_ctlMMEdit;
    CSpinButtonCtrl* m_ctlMMSpin;
    QLineEdit* m_ctlPPMEdit;
    CSpinButtonCtrl* m_ctlPPMSpin;
    QPushButton* m_ctlTest;

    QTimer m_Timer;
    int m_nTimer = 0;
    bool m_bTesting = false;
    CAccentCountdown m_Accent;
    uint32_t m_nEntryMM = 0;
    uint32_t m_nEntryPPM = 0;
};
