#include "dialogs/CSetupMIDIMetronomeDlg.h"

#include "dialogs/CDataExchange.h"
#include "dialogs/CSpinButtonCtrl.h"
#include "platform/Beep.h"
#include "res/ResourceIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

CSetupMIDIMetronomeDlg::CSetupMIDIMetronomeDlg(QWidget* parent)
    : CDialog(IDD_SETUP_METRONOME, QStringLiteral("Setup MIDI Metronome"), 186, 84, parent)
{
    auto* mmLabel = new QLabel(QStringLiteral("&MM (pulses per minute):"), this);
    AddControl(mmLabel, IDC_MM_LABEL, 7, 9, 96, 8);
    m_ctlMMEdit = new QLineEdit(this);
    AddControl(m_ctlMMEdit, IDC_MM_EDIT, 106, 7, 40, 13);
    m_ctlMMSpin = new CSpinButtonCtrl(this);
    SetControlID(m_ctlMMSpin, IDC_MM_SPIN);
    m_ctlMMSpin->SetBuddy(m_ctlMMEdit);
    mmLabel->setBuddy(m_ctlMMEdit);

    auto* ppmLabel = new QLabel(QStringLiteral("&Pulses per measure:"), this);
    AddControl(ppmLabel, IDC_STATIC, 7, 29, 96, 8);
    m_ctlPPMEdit = new QLineEdit(this);
    AddControl(m_ctlPPMEdit, IDC_PPM_EDIT, 106, 27, 40, 13);
    m_ctlPPMSpin = new CSpinButtonCtrl(this);
    SetControlID(m_ctlPPMSpin, IDC_PPM_SPIN);
    m_ctlPPMSpin->SetBuddy(m_ctlPPMEdit);
    ppmLabel->setBuddy(m_ctlPPMEdit);

    // A push-like check box: it stays down while the test runs.
    m_ctlTest = new QPushButton(QStringLiteral("&Test"), this);
    m_ctlTest->setCheckable(true);
    m_ctlTest->setAutoDefault(false);
    AddControl(m_ctlTest, IDC_TEST, 7, 63, 50, 14);

    AddOKCancel(75, 63, 129, 63);

    m_Timer.setTimerType(Qt::PreciseTimer);
    connect(&m_Timer, &QTimer::timeout, this, &CSetupMIDIMetronomeDlg::OnTimer);
    connect(m_ctlMMEdit, &QLineEdit::textChanged, this, [this] { OnChangeMMEdit(); });
    connect(m_ctlPPMEdit, &QLineEdit::textChanged, this, [this] { OnChangePPMEdit(); });
    connect(m_ctlMMSpin, &CSpinButtonCtrl::DeltaPos, this,
            &CSetupMIDIMetronomeDlg::OnDeltaPosMMSpin);
    connect(m_ctlPPMSpin, &CSpinButtonCtrl::DeltaPos, this,
            &CSetupMIDIMetronomeDlg::OnDeltaPosPPMSpin);
    connect(m_ctlTest, &QPushButton::toggled, this, &CSetupMIDIMetronomeDlg::OnTest);
}

CSetupMIDIMetronomeDlg::~CSetupMIDIMetronomeDlg()
{
    // Destroyed while still up (its parent went first): stop clicking; the
    // port closes with m_MIDIOutDevice.
    KillTestTimer();
}

void CSetupMIDIMetronomeDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_MM_EDIT, m_nMM);
    // OK is disabled for such a tempo already; this keeps a zero or absurd
    // tempo from reaching the metronome by any other way out of the dialog.
    DDV_MinMaxUInt(dx, m_nMM, MIN_MM, MAX_MM);
    DDX_Text(dx, IDC_PPM_EDIT, m_nPPM);
    // The profile's range: the stored measure may be 0.
    DDV_MinMaxUInt(dx, m_nPPM, Settings::MetronomePPM.lo, Settings::MetronomePPM.hi);
}

void CSetupMIDIMetronomeDlg::OnInitDialog()
{
    m_nEntryMM = m_nMM;
    m_nEntryPPM = m_nPPM;
    CDialog::OnInitDialog();

    m_ctlMMEdit->setTextMargins(0, 0, 3, 0);
    m_ctlMMSpin->SetRange(MIN_MM, MAX_MM);
    m_ctlMMSpin->SetPos(m_nMM);

    m_ctlPPMEdit->setTextMargins(0, 0, 3, 0);
    m_ctlPPMSpin->SetRange(MIN_PPM, MAX_PPM);
    m_ctlPPMSpin->SetPos(m_nPPM);

    UpdateOKButton();

    if (m_MIDIOutDevice.m_nDeviceID != MIDI_NO_DEVICE)
        m_MIDIOutDevice.Open(this);
}

void CSetupMIDIMetronomeDlg::OnCancel()
{
    // The edits update the values as the user types; Cancel keeps the caller's.
    m_nMM = m_nEntryMM;
    m_nPPM = m_nEntryPPM;
    CDialog::OnCancel();
}

void CSetupMIDIMetronomeDlg::OnDestroy()
{
    // Releasing the button ends the test and stops the timer.
    m_ctlTest->setChecked(false);
    KillTestTimer();
    // The caller reopens its own port on the same device after this.
    m_MIDIOutDevice.Close();
}

int CSetupMIDIMetronomeDlg::GetTestPeriod() const
{
    return m_nTimer ? m_Timer.interval() : 0;
}

void CSetupMIDIMetronomeDlg::UpdateOKButton()
{
    // Both values must be valid: each edit's rule alone would let the other
    // edit's bad value through.
    const int mm = GetDlgItemInt(IDC_MM_EDIT);
    const int ppm = GetDlgItemInt(IDC_PPM_EDIT);
    m_pOKButton->setEnabled(mm >= MIN_MM && mm <= MAX_MM && ppm >= MIN_PPM && ppm <= MAX_PPM);
}

void CSetupMIDIMetronomeDlg::OnChangeMMEdit()
{
    const int mm = GetDlgItemInt(IDC_MM_EDIT);
    m_nMM = static_cast<uint32_t>(mm);
    UpdateOKButton();
    if (m_nTimer) {
        // While typing, the test goes on at the nearest tempo in range.
        KillTestTimer();
        m_nMM = static_cast<uint32_t>(std::clamp(mm, MIN_MM, MAX_MM));
        SetTestTimer();
    }
}

void CSetupMIDIMetronomeDlg::OnDeltaPosMMSpin(int pos, int delta)
{
    m_nMM = static_cast<uint32_t>(std::clamp(pos + delta, MIN_MM, MAX_MM));
    if (m_nTimer) {
        KillTestTimer();
        SetTestTimer();
    }
    UpdateOKButton();
}

void CSetupMIDIMetronomeDlg::OnChangePPMEdit()
{
    m_nPPM = static_cast<uint32_t>(GetDlgItemInt(IDC_PPM_EDIT));
    UpdateOKButton();
}

void CSetupMIDIMetronomeDlg::OnDeltaPosPPMSpin(int pos, int delta)
{
    m_nPPM = static_cast<uint32_t>(std::clamp(pos + delta, MIN_PPM, MAX_PPM));
    UpdateOKButton();
}

void CSetupMIDIMetronomeDlg::OnTest(bool bDown)
{
    m_bTesting = bDown;
    KillTestTimer();
    if (m_bTesting) {
        // The spins' positions are always in range, whatever the edits say.
        m_nMM = static_cast<uint32_t>(m_ctlMMSpin->GetPos());
        m_nPPM = static_cast<uint32_t>(m_ctlPPMSpin->GetPos());
        m_Accent.Arm(m_nPPM);
        SetTestTimer();
    }
}

void CSetupMIDIMetronomeDlg::SetTestTimer()
{
    m_Timer.start(static_cast<int>(MetronomeBeat::PeriodMs(m_nMM)));
    m_nTimer = ID_TEST_TIMER;
}

void CSetupMIDIMetronomeDlg::KillTestTimer()
{
    m_Timer.stop();
    m_nTimer = 0;
}

void CSetupMIDIMetronomeDlg::OnTimer()
{
    // The pulses per measure follow the edit while the test runs: a changed
    // value takes over at the next measure.
    m_Accent.SetPulsesPerMeasure(m_nPPM);
    if (!MetronomeBeat::SendClick(m_MIDIOutDevice, m_Accent.NextVelocity()))
        CService<IBeep>::Get().Beep();
}
