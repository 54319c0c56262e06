#include "view/CHandSignPane.h"

#include "view/CTessaroView.h"

CHandSignPane::CHandSignPane(CTessaroView* view, QWidget* parent)
    : QLabel(parent)
    , m_pView(view)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setFixedSize(280 + 2 * frameWidth(), 240 + 2 * frameWidth());
}

void CHandSignPane::LoadHandSigns(bool maximised)
{
    const int scale = maximised ? 2 : 1;
    setFixedSize(280 * scale + 2 * frameWidth(), 240 * scale + 2 * frameWidth());
}

void CHandSignPane::ShowHandSignMessage(uint32_t)
{
}
