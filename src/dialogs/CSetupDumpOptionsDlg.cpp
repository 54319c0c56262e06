#include "dialogs/CSetupDumpOptionsDlg.h"

#include "dialogs/CDataExchange.h"
#include "res/ResourceIds.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

CSetupDumpOptionsDlg::CSetupDumpOptionsDlg(QWidget* parent)
    : CDialog(IDD_SETUP_DUMP, QStringLiteral("Setup Dump Options"), 220, 110, parent)
{
    auto* text = new QLabel(
        QStringLiteral(
            "Select properties and format to be applied in the dump\nof MIDI input messages ."),
        this);
    text->setTextFormat(Qt::PlainText);
    AddControl(text, IDC_STATIC, 7, 7, 206, 18);

    auto* attributes = new QGroupBox(QStringLiteral("Attributes"), this);
    AddControl(attributes, IDC_STATIC, 7, 30, 100, 52);
    AddControlIn(attributes, 7, 30, new QCheckBox(QStringLiteral("&Application"), attributes),
                 IDC_APPLICATION, 14, 42, 86, 10);
    AddControlIn(attributes, 7, 30, new QCheckBox(QStringLiteral("&Date"), attributes), IDC_DATE, 14, 54, 86,
                 10);
    AddControlIn(attributes, 7, 30, new QCheckBox(QStringLiteral("&Time"), attributes), IDC_TIME, 14, 66, 86,
                 10);

    // Only plain lines are produced; the other formats are not offered.
    auto* format = new QGroupBox(QStringLiteral("Format"), this);
    AddControl(format, IDC_STATIC, 113, 30, 100, 52);
    AddControlIn(format, 113, 30, new QRadioButton(QStringLiteral("&Plain lines"), format),
                 IDC_PLAIN_LINES, 120, 42, 86, 10);
    AddControlIn(format, 113, 30, new QRadioButton(QStringLiteral("&Hanging indents"), format),
                 IDC_HANGING_INDENTS, 120, 54, 86, 10);
    AddControlIn(format, 113, 30, new QRadioButton(QStringLiteral("&Captions"), format), IDC_CAPTIONS,
                 120, 66, 86, 10);
    format->setEnabled(false);

    AddOKCancel(109, 89, 163, 89);
}

void CSetupDumpOptionsDlg::SetDumpAttributes(int nAttributes)
{
    m_bApplication = (nAttributes & DUMP_APPLICATION) ? 1 : 0;
    m_bDate = (nAttributes & DUMP_DATE) ? 1 : 0;
    m_bTime = (nAttributes & DUMP_TIME) ? 1 : 0;
}

int CSetupDumpOptionsDlg::GetDumpAttributes() const
{
    return (m_bApplication ? DUMP_APPLICATION : 0) | (m_bDate ? DUMP_DATE : 0) |
           (m_bTime ? DUMP_TIME : 0);
}

void CSetupDumpOptionsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (auto* plain = GetDlgItem<QRadioButton>(IDC_PLAIN_LINES))
        plain->setChecked(true);
}

void CSetupDumpOptionsDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Check(dx, IDC_APPLICATION, m_bApplication);
    DDX_Check(dx, IDC_DATE, m_bDate);
    DDX_Check(dx, IDC_TIME, m_bTime);
}
