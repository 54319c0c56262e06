#include "dialogs/CSetupMIDIOutputDlg.h"

#include "dialogs/CDataExchange.h"
#include "dialogs/CSpinButtonCtrl.h"
#include "platform/Settings.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace {

struct PatchGroup {
    int nFirstProgram;
    unsigned nStringID;
};

// The General MIDI program groups by their first program, searched from the
// last row. Programs 96-119 have no names and are never offered, so they have
// no rows; the last row catches anything beyond the programs.
constexpr PatchGroup PatchGroupTable[] = {
    {0, 29650},   {8, 29651},   {16, 29652},  {24, 29653},  {32, 29654},
    {40, 29655},  {48, 29656},  {56, 29657},  {64, 29658},  {72, 29659},
    {80, 29660},  {88, 29661},  {120, 29662}, {130, IDS_PATCH_GROUP_UNDEFINED},
};

// The dialog shows channels 1..16 for the profile's 0..15.
constexpr int kMinChannel = Settings::Channel.lo + 1;
constexpr int kMaxChannel = Settings::Channel.hi + 1;
constexpr int kMaxVelocity = Settings::Velocity.hi;

} // namespace

unsigned CSetupMIDIOutputDlg::GetPatchGroupStringID(int nPatch)
{
    if (nPatch < 0)
        return IDS_PATCH_GROUP_UNDEFINED;
    for (auto row = std::rbegin(PatchGroupTable); row != std::rend(PatchGroupTable); ++row) {
        if (row->nFirstProgram <= nPatch)
            return row->nStringID;
    }
    return IDS_PATCH_GROUP_UNDEFINED;
}

CSetupMIDIOutputDlg::CSetupMIDIOutputDlg(QWidget* parent)
    : CDialog(IDD_SETUP_OUTPUT, QStringLiteral("Setup MIDI Output"), 227, 119, parent)
{
    m_ctlUseMIDIIn =
        new QCheckBox(QStringLiteral("&Use settings generated through MIDI In port"), this);
    AddControl(m_ctlUseMIDIIn, IDC_USE_MIDI_IN, 7, 7, 213, 10);

    m_ctlChannelLabel = new QLabel(QStringLiteral("&Channel:"), this);
    AddControl(m_ctlChannelLabel, IDC_CHANNEL_LABEL, 7, 26, 48, 8);
    m_ctlChannelEdit = new QLineEdit(this);
    AddControl(m_ctlChannelEdit, IDC_CHANNEL_EDIT, 58, 24, 36, 13);
    m_ctlChannelSpin = new CSpinButtonCtrl(this);
    SetControlID(m_ctlChannelSpin, IDC_CHANNEL_SPIN);
    m_ctlChannelSpin->SetBuddy(m_ctlChannelEdit);
    m_ctlChannelLabel->setBuddy(m_ctlChannelEdit);

    m_ctlVelocityLabel = new QLabel(QStringLiteral("&Velocity:"), this);
    AddControl(m_ctlVelocityLabel, IDC_VELOCITY_LABEL, 7, 44, 48, 8);
    m_ctlVelocityEdit = new QLineEdit(this);
    AddControl(m_ctlVelocityEdit, IDC_VELOCITY_EDIT, 58, 42, 36, 13);
    m_ctlVelocitySpin = new CSpinButtonCtrl(this);
    SetControlID(m_ctlVelocitySpin, IDC_VELOCITY_SPIN);
    m_ctlVelocitySpin->SetBuddy(m_ctlVelocityEdit);
    m_ctlVelocityLabel->setBuddy(m_ctlVelocityEdit);

    m_ctlPatchLabel = new QLabel(QStringLiteral("&Patch:"), this);
    AddControl(m_ctlPatchLabel, IDC_PATCH_LABEL, 7, 63, 48, 8);
    m_ctlPatchList = new QComboBox(this);
    AddControl(m_ctlPatchList, IDC_PATCH_LIST, 58, 61, 162, 12);
    m_ctlPatchLabel->setBuddy(m_ctlPatchList);

    m_ctlPatchGroupLabel = new QLabel(QStringLiteral("Patch group:"), this);
    AddControl(m_ctlPatchGroupLabel, IDC_PATCH_GROUP_LABEL, 7, 80, 48, 8);
    m_ctlPatchGroup = new QLabel(this);
    m_ctlPatchGroup->setTextFormat(Qt::PlainText);
    AddControl(m_ctlPatchGroup, IDC_PATCH_GROUP, 58, 80, 162, 8);

    AddOKCancel(116, 98, 170, 98);

    connect(m_ctlUseMIDIIn, &QCheckBox::clicked, this, [this] { OnClickedUseMIDIIn(); });
    connect(m_ctlChannelEdit, &QLineEdit::textChanged, this, [this] { OnChangeChannelEdit(); });
    connect(m_ctlChannelSpin, &CSpinButtonCtrl::DeltaPos, this,
            &CSetupMIDIOutputDlg::OnDeltaPosChannelSpin);
    connect(m_ctlPatchList, &QComboBox::currentIndexChanged, this,
            [this] { OnSelChangePatchList(); });
}

void CSetupMIDIOutputDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Check(dx, IDC_USE_MIDI_IN, m_bUseMIDIIn);
    DDX_Text(dx, IDC_CHANNEL_EDIT, m_nChannel);
    DDV_MinMaxUInt(dx, m_nChannel, kMinChannel, kMaxChannel);
    DDX_CBIndex(dx, IDC_PATCH_LIST, m_nPatch);
    DDX_Text(dx, IDC_VELOCITY_EDIT, m_nVelocity);
    DDV_MinMaxUInt(dx, m_nVelocity, 0, kMaxVelocity);
}

void CSetupMIDIOutputDlg::OnInitDialog()
{
    m_nEntryChannel = m_nChannel;
    m_nEntryPatch = m_nPatch;
    CDialog::OnInitDialog();

    {
        // The program names up to the first gap: programs 96 on are not offered.
        const QSignalBlocker blocker(m_ctlPatchList);
        m_ctlPatchList->clear();
        QString name;
        for (unsigned id = IDS_PROGRAM_BASE;
             id < IDS_PROGRAM_BASE + 128 && StringTable::LoadString(id, name); ++id)
            m_ctlPatchList->addItem(name);
        m_ctlPatchList->setCurrentIndex(
            m_nPatch >= 0 && m_nPatch < m_ctlPatchList->count() ? m_nPatch : -1);
    }

    m_ctlChannelEdit->setTextMargins(0, 0, 3, 0);
    m_ctlChannelSpin->SetRange(kMinChannel, kMaxChannel);
    m_ctlChannelSpin->SetPos(m_nChannel);

    m_ctlVelocityEdit->setTextMargins(0, 0, 3, 0);
    m_ctlVelocitySpin->SetRange(0, kMaxVelocity);
    m_ctlVelocitySpin->SetPos(m_nVelocity);

    OnSelChangePatchList();
    OnClickedUseMIDIIn();
}

void CSetupMIDIOutputDlg::OnCancel()
{
    // Channel and patch follow the controls as the user edits; Cancel keeps
    // the caller's values.
    m_nChannel = m_nEntryChannel;
    m_nPatch = m_nEntryPatch;
    CDialog::OnCancel();
}

void CSetupMIDIOutputDlg::OnSelChangePatchList()
{
    m_nPatch = m_ctlPatchList->currentIndex();
    m_ctlPatchGroup->setText(StringTable::GetString(GetPatchGroupStringID(m_nPatch)));
}

void CSetupMIDIOutputDlg::OnClickedUseMIDIIn()
{
    // Notes take channel and velocity from the MIDI In port then.
    const bool bOwn = !m_ctlUseMIDIIn->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_ctlChannelLabel, m_ctlChannelSpin,
                                                      m_ctlChannelEdit, m_ctlVelocityLabel,
                                                      m_ctlVelocitySpin, m_ctlVelocityEdit})
        w->setEnabled(bOwn);
    OnChangeChannelEdit();
}

void CSetupMIDIOutputDlg::OnChangeChannelEdit()
{
    const int channel = GetDlgItemInt(IDC_CHANNEL_EDIT);
    m_nChannel = static_cast<uint32_t>(channel);
    EnablePatchControls(channel != PERCUSSION_CHANNEL);
    m_pOKButton->setEnabled(channel >= kMinChannel && channel <= kMaxChannel);
}

void CSetupMIDIOutputDlg::OnDeltaPosChannelSpin(int pos, int delta)
{
    const int channel = std::clamp(pos + delta, kMinChannel, kMaxChannel);
    m_nChannel = static_cast<uint32_t>(channel);
    EnablePatchControls(channel != PERCUSSION_CHANNEL);
    m_pOKButton->setEnabled(true);
}

void CSetupMIDIOutputDlg::EnablePatchControls(bool bEnable)
{
    // The percussion channel plays drum kits: no program applies there.
    for (QWidget* w : std::initializer_list<QWidget*>{m_ctlPatchLabel, m_ctlPatchList,
                                                      m_ctlPatchGroupLabel, m_ctlPatchGroup})
        w->setEnabled(bEnable);
}
