#pragma once
// Moves dialog members to and from controls, in the order a dialog lists them.
// On the way back each value is validated; the first failure tells the user,
// puts the focus on the offending field and makes every later step a no-op, so
// the dialog stays open with the members it could read.
#include <QString>

#include <cstdint>

class CDialog;
class QWidget;

class CDataExchange {
public:
    CDataExchange(CDialog* pDlg, bool bSaveAndValidate);

    // The control with the id, remembered as the field a later validation
    // step refers to; null when the dialog has no such control.
    QWidget* PrepareCtrl(int id);

    // Reports a refused value: message, focus (and selection) on the last
    // prepared control; no further exchange happens.
    void Fail(const QString& message);
    bool Failed() const { return m_bFailed; }

    const bool m_bSaveAndValidate;
    CDialog* const m_pDlgWnd;

private:
    QWidget* m_pLastControl = nullptr;
    bool m_bFailed = false;
};

// Check box: 0 clear, anything else marked; saved as 0 or 1.
void DDX_Check(CDataExchange& dx, int id, int& value);
void DDX_Check(CDataExchange& dx, int id, bool& value);
// Edit with an unsigned decimal number; anything else is refused.
void DDX_Text(CDataExchange& dx, int id, uint32_t& value);
// Range check of a value read by the step before.
void DDV_MinMaxUInt(CDataExchange& dx, uint32_t value, uint32_t minVal, uint32_t maxVal);
// Selected index of a list (-1 for none).
void DDX_CBIndex(CDataExchange& dx, int id, int& index);
