#include "about/CAboutDlg.h"

#include "about/CIconButton.h"
#include "about/CVersionInfo.h"
#include "dialogs/CDataExchange.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <QLabel>
#include <QPushButton>

#ifndef KELVORA_BUILD_DATE
#define KELVORA_BUILD_DATE __DATE__
#endif

namespace {

QLabel* MakeStatic(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent, VersionReader read)
    : CDialog(IDD_ABOUTBOX, QStringLiteral("About..."), 233, 101, parent)
{
    m_pIconButton = new CIconButton(this);
    AddControl(m_pIconButton, IDC_ICON_BUTTON, 7, 8, 38, 40);
    AddControl(MakeStatic(QStringLiteral("Kelvora, a MIDI assistant for music lessons"), this),
               IDC_DESCRIPTION, 70, 8, 132, 19);
    AddControl(MakeStatic(QStringLiteral("Copyright (C) Morvessa"), this), IDC_LEGAL, 70, 30, 149,
               23);
    AddControl(MakeStatic(QString(), this), IDC_COMMENTS, 70, 53, 156, 17);
    // OK only; Escape and the close box end it too.
    m_pOKButton = new QPushButton(QStringLiteral("OK"), this);
    AddControl(m_pOKButton, IDOK, 177, 80, 49, 14);
    m_pOKButton->setDefault(true);
    connect(m_pOKButton, &QPushButton::clicked, this, [this] { OnOK(); });
    OnCreate(read ? read : [](CVersionInfo& info) { return info.Read(QString()); });
}

QString CAboutDlg::BuildDate()
{
    return QStringLiteral(KELVORA_BUILD_DATE).simplified(); // "Dec  8 2026" reads "Dec 8 2026"
}

void CAboutDlg::OnCreate(const VersionReader& read)
{
    CVersionInfo info;
    if (!read(info))
        return;

    QString title, value;
    if (info.GetString(QStringLiteral("ProductName"), &value))
        title = QStringLiteral("About %1").arg(value);
    else if (const QString app = StringTable::GetString(AFX_IDS_APP_TITLE); !app.isEmpty())
        title = QStringLiteral("About ") + app;
    if (!title.isEmpty())
        setWindowTitle(title);

    if (info.GetString(QStringLiteral("FileDescription"), &value)) {
        m_strDescription = value;
        if (info.GetString(QStringLiteral("FileVersion"), &value))
            m_strDescription += QStringLiteral("\nVer. ") + value;
        const uint32_t flags = info.GetFixedFileInfo().dwFileFlags;
        if (flags & VS_FF_DEBUG)
            m_strDescription += QStringLiteral(" debug");
        if (flags & VS_FF_PRERELEASE)
            m_strDescription += QStringLiteral(" beta");
        m_strDescription += QStringLiteral(" (%1).").arg(BuildDate());
    }
    if (info.GetString(QStringLiteral("LegalCopyright"), &value))
        m_strLegalNotice = value;
    if (info.GetString(QStringLiteral("Comments"), &value))
        m_strComments = value;
}

void CAboutDlg::DoDataExchange(CDataExchange& dx)
{
    auto* description = GetDlgItem<QLabel>(IDC_DESCRIPTION);
    auto* legal = GetDlgItem<QLabel>(IDC_LEGAL);
    auto* comments = GetDlgItem<QLabel>(IDC_COMMENTS);
    // What the block did not give keeps the template's text.
    if (m_strDescription.isEmpty() && description)
        m_strDescription = description->text();
    if (m_strLegalNotice.isEmpty() && legal)
        m_strLegalNotice = legal->text();
    const auto exchange = [&](QLabel* label, QString& member) {
        if (!label)
            return;
        if (dx.m_bSaveAndValidate)
            member = label->text();
        else
            label->setText(member);
    };
    exchange(description, m_strDescription);
    exchange(legal, m_strLegalNotice);
    exchange(comments, m_strComments);
}

void CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    FitTexts();
    m_pIconButton->SetIcon(kIconGroup);
}

void CAboutDlg::FitTexts()
{
    // The template's boxes fit a short version line; a longer text (a build
    // between releases names its commit) is shown whole: its box grows and
    // what stands below it moves down, the dialog with them.
    int shift = 0;
    for (int id : {IDC_DESCRIPTION, IDC_LEGAL, IDC_COMMENTS}) {
        auto* label = GetDlgItem<QLabel>(id);
        if (!label)
            continue;
        QRect box = label->geometry();
        box.translate(0, shift);
        const int needed = label->heightForWidth(box.width());
        if (needed > box.height()) {
            shift += needed - box.height();
            box.setHeight(needed);
        }
        label->setGeometry(box);
    }
    if (shift <= 0)
        return;
    m_pOKButton->move(m_pOKButton->x(), m_pOKButton->y() + shift);
    setFixedSize(width(), height() + shift);
}
