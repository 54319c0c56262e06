#pragma once
// An up-down control bound to the edit before it: two arrow buttons at the
// edit's right edge that step the edit's integer within a range, also from the
// Up and Down keys in the edit. The edit stays an ordinary edit, so the user
// can still type any text there; the dialog decides what an out-of-range
// number means. Stepping always lands inside the range.
#include <QWidget>

#include <cstdint>

class QLineEdit;
class QToolButton;

class CSpinButtonCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CSpinButtonCtrl(QWidget* parent = nullptr);

    // Binds the edit and takes the right end of its rectangle (the edit
    // narrows by the control's width).
    void SetBuddy(QLineEdit* buddy);
    QLineEdit* GetBuddy() const { return m_pBuddy; }

    void SetRange(int lower, int upper);
    int GetLower() const { return m_nLower; }
    int GetUpper() const { return m_nUpper; }

    // The buddy's number brought into the range; the last position when the
    // buddy holds no number.
    int GetPos() const;
    // Brings pos into the range and writes it to the buddy.
    void SetPos(int pos);
    // The same for a dialog's unsigned value: one beyond INT_MAX is above
    // every range, not a negative number.
    void SetPos(uint32_t pos);

    // What a click on an arrow or an arrow key does: announces the move with
    // DeltaPos, then writes the new position.
    void Step(int delta);

signals:
    // Sent before a step moves the position: pos + delta is where it goes
    // (delta is 0 at the end of the range).
    void DeltaPos(int pos, int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_pBuddy = nullptr;
    QToolButton* m_pUp;
    QToolButton* m_pDown;
    int m_nLower = 0;
    int m_nUpper = 100;
    mutable int m_nPos = 0;
};
