#pragma once
// Base of the program's modal dialogs. Each dialog is a fixed-size window laid
// out in dialog units from its template size; its controls carry their numeric
// ids as object names so that handlers, callers and tests find them by id. The
// caller sets the value members, runs the dialog, and reads the members back
// when it ends with OK: DoDataExchange moves them into the controls when the
// dialog is shown and back out, validated, when OK is pressed.
#include "dialogs/DialogUnits.h"

#include <QDialog>

class CDataExchange;
class QPushButton;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;

class CDialog : public QDialog {
    Q_OBJECT
public:
    // cxDlu x cyDlu is the template's size in dialog units.
    CDialog(unsigned nIDTemplate, const QString& caption, int cxDlu, int cyDlu,
            QWidget* parent = nullptr);
    ~CDialog() override;

    unsigned GetTemplateID() const { return m_nIDTemplate; }

    // The control with the given id, or null.
    QWidget* GetDlgItem(int id) const;
    template <class T>
    T* GetDlgItem(int id) const
    {
        return qobject_cast<T*>(GetDlgItem(id));
    }

    // The text of a control read as a signed integer; 0 when it is not a number.
    int GetDlgItemInt(int id) const;

    // false: members to controls. true: controls to members with validation;
    // false is returned when a value was refused (the user has been told and
    // the focus is on the field).
    bool UpdateData(bool bSaveAndValidate = true);

    // OK from any source (button, Enter, code): validate, then end the dialog.
    void accept() override;
    // Cancel from any source (button, Escape, close box).
    void reject() override;
    void done(int r) override;
    void setVisible(bool visible) override;

    // Shows a message owned by this dialog (validation failures).
    void MessageBox(const QString& text);

protected:
    // Runs each time the dialog is about to be shown after it was created or
    // ended; the base moves the members into the controls.
    virtual void OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    // The OK action; the base validates and ends the dialog with Accepted.
    virtual void OnOK();
    // The Cancel action; ends the dialog with Rejected. Dialogs whose handlers
    // update members while the user edits put the caller's values back here.
    virtual void OnCancel();
    // Runs when the dialog ends (OK, Cancel, Escape, close box): the place to
    // stop what the dialog started while it was up.
    virtual void OnDestroy() {}

    void EndDialog(int r);
    const CDialogUnits& Units() const { return m_Units; }

    // Names a control by its id and puts it at its template rectangle.
    QWidget* AddControl(QWidget* control, int id, int x, int y, int cx, int cy);
    // As above, for a control made as a child of a group box placed at
    // (gx, gy): the template rectangle stays in dialog coordinates.
    QWidget* AddControlIn(QWidget* group, int gx, int gy, QWidget* control, int id, int x, int y,
                          int cx, int cy);
    // Creates the OK and Cancel buttons (ids 1 and 2) at their rectangles.
    void AddOKCancel(int xOK, int yOK, int xCancel, int yCancel, int cx = 50, int cy = 14);

    QPushButton* m_pOKButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;

private:
    unsigned m_nIDTemplate;
    CDialogUnits m_Units;
    bool m_bInitialized = false;
    bool m_bEnding = false;
};

// Sets a control's id (its object name).
void SetControlID(QWidget* control, int id);
