#pragma once
// The keyboard picture (control 1033): one octave whose keys go down and up.
#include <QLabel>

#include <cstdint>

class CTessaroView;

class CKeyboardPane : public QLabel {
    Q_OBJECT
public:
    CKeyboardPane(CTessaroView* view, QWidget* parent);
    // Loads the normal or the twice-size set and shows the plain picture.
    void LoadKeyboardBitmaps(bool maximised);
    // Draws a note-on or note-off; any other message is ignored.
    void DrawKeyboardMessage(uint32_t packedMsg);

private:
    CTessaroView* m_pView;
};
