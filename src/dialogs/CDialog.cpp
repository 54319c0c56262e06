#include "dialogs/CDialog.h"

#include "dialogs/CDataExchange.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

void SetControlID(QWidget* control, int id)
{
    if (id != IDC_STATIC)
        control->setObjectName(QString::number(id));
}

CDialog::CDialog(unsigned nIDTemplate, const QString& caption, int cxDlu, int cyDlu,
                 QWidget* parent)
    : QDialog(parent), m_nIDTemplate(nIDTemplate), m_Units(font())
{
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(m_Units.Size(cxDlu, cyDlu));
}

CDialog::~CDialog() = default;

QWidget* CDialog::GetDlgItem(int id) const
{
    if (id == IDC_STATIC)
        return nullptr;
    return findChild<QWidget*>(QString::number(id));
}

int CDialog::GetDlgItemInt(int id) const
{
    QString text;
    if (auto* edit = GetDlgItem<QLineEdit>(id))
        text = edit->text();
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

bool CDialog::UpdateData(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CDialog::DoDataExchange(CDataExchange&) {}

void CDialog::OnInitDialog()
{
    UpdateData(false);
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(Accepted);
}

void CDialog::accept()
{
    OnOK();
}

void CDialog::reject()
{
    OnCancel();
}

void CDialog::OnCancel()
{
    EndDialog(Rejected);
}

void CDialog::EndDialog(int r)
{
    done(r);
}

void CDialog::done(int r)
{
    // Ending twice (OK that closes, then the close event) stops things once.
    if (!m_bEnding && m_bInitialized) {
        m_bEnding = true;
        OnDestroy();
        m_bInitialized = false;
        m_bEnding = false;
    }
    QDialog::done(r);
}

void CDialog::setVisible(bool visible)
{
    // Initialise before the window appears, so that it opens with its values
    // and focus in place; a dialog run again is initialised again.
    if (visible && !m_bInitialized) {
        m_bInitialized = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void CDialog::MessageBox(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, this);
    box.exec();
}

QWidget* CDialog::AddControl(QWidget* control, int id, int x, int y, int cx, int cy)
{
    SetControlID(control, id);
    PlaceAt(control, m_Units, x, y, cx, cy);
    return control;
}

QWidget* CDialog::AddControlIn(QWidget* group, int gx, int gy, QWidget* control, int id, int x,
                               int y, int cx, int cy)
{
    SetControlID(control, id);
    const QPoint origin = m_Units.Rect(gx, gy, 0, 0).topLeft();
    Q_ASSERT(control->parentWidget() == group);
    control->setGeometry(m_Units.Rect(x, y, cx, cy).translated(-origin));
    return control;
}

void CDialog::AddOKCancel(int xOK, int yOK, int xCancel, int yCancel, int cx, int cy)
{
    m_pOKButton = new QPushButton(QStringLiteral("OK"), this);
    AddControl(m_pOKButton, IDOK, xOK, yOK, cx, cy);
    m_pOKButton->setDefault(true);
    connect(m_pOKButton, &QPushButton::clicked, this, [this] { OnOK(); });

    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    AddControl(m_pCancelButton, IDCANCEL, xCancel, yCancel, cx, cy);
    connect(m_pCancelButton, &QPushButton::clicked, this, [this] { OnCancel(); });
}
