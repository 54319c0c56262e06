#include "dialogs/CDataExchange.h"

#include "dialogs/CDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

CDataExchange::CDataExchange(CDialog* pDlg, bool bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlg)
{
}

QWidget* CDataExchange::PrepareCtrl(int id)
{
    m_pLastControl = m_pDlgWnd->GetDlgItem(id);
    return m_pLastControl;
}

void CDataExchange::Fail(const QString& message)
{
    m_bFailed = true;
    m_pDlgWnd->MessageBox(message);
    if (m_pLastControl) {
        m_pLastControl->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(m_pLastControl))
            edit->selectAll();
    }
}

void DDX_Check(CDataExchange& dx, int id, int& value)
{
    if (dx.Failed())
        return;
    auto* box = qobject_cast<QAbstractButton*>(dx.PrepareCtrl(id));
    if (!box)
        return;
    if (dx.m_bSaveAndValidate)
        value = box->isChecked() ? 1 : 0;
    else
        box->setChecked(value != 0);
}

void DDX_Check(CDataExchange& dx, int id, bool& value)
{
    int v = value ? 1 : 0;
    DDX_Check(dx, id, v);
    value = v != 0;
}

void DDX_Text(CDataExchange& dx, int id, uint32_t& value)
{
    if (dx.Failed())
        return;
    auto* edit = qobject_cast<QLineEdit*>(dx.PrepareCtrl(id));
    if (!edit)
        return;
    if (!dx.m_bSaveAndValidate) {
        edit->setText(QString::number(value));
        return;
    }
    // Digits only, spaces around allowed: a sign or anything else is refused
    // rather than wrapped into a huge unsigned value.
    const QString text = edit->text().trimmed();
    bool ok = !text.isEmpty() && !text.startsWith(u'+') && !text.startsWith(u'-');
    const uint32_t parsed = ok ? text.toUInt(&ok, 10) : 0;
    if (!ok) {
        dx.Fail(QStringLiteral("Please enter a positive integer."));
        return;
    }
    value = parsed;
}

void DDV_MinMaxUInt(CDataExchange& dx, uint32_t value, uint32_t minVal, uint32_t maxVal)
{
    if (dx.Failed() || !dx.m_bSaveAndValidate)
        return;
    if (value < minVal || value > maxVal)
        dx.Fail(QStringLiteral("Please enter an integer between %1 and %2.").arg(minVal).arg(maxVal));
}

void DDX_CBIndex(CDataExchange& dx, int id, int& index)
{
    if (dx.Failed())
        return;
    auto* list = qobject_cast<QComboBox*>(dx.PrepareCtrl(id));
    if (!list)
        return;
    if (dx.m_bSaveAndValidate)
        index = list->currentIndex();
    else
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}
