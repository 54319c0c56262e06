#pragma once
// The hand-sign picture (control 1076): the solfège sign of what sounds.
#include <QLabel>

#include <cstdint>

class CTessaroView;

class CHandSignPane : public QLabel {
    Q_OBJECT
public:
    CHandSignPane(CTessaroView* view, QWidget* parent);
    // Loads the set for the frame's size and shows the blank picture.
    void LoadHandSigns(bool maximised);
    void ShowHandSignMessage(uint32_t packedMsg);

private:
    CTessaroView* m_pView;
};
