#include "view/CKeyboardPane.h"

#include "view/CTessaroView.h"

CKeyboardPane::CKeyboardPane(CTessaroView* view, QWidget* parent)
    : QLabel(parent)
    , m_pView(view)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setFixedSize(174 + 2 * frameWidth(), 124 + 2 * frameWidth());
}

void CKeyboardPane::LoadKeyboardBitmaps(bool maximised)
{
    const int scale = maximised ? 2 : 1;
    setFixedSize(174 * scale + 2 * frameWidth(), 124 * scale + 2 * frameWidth());
}

void CKeyboardPane::DrawKeyboardMessage(uint32_t)
{
}
