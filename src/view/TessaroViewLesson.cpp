// The view's settings for lessons over a video call: movable do in any
// tonic with the chromatic signs, names on the keys, and pictures as large as
// the shared window holds.
#include "view/CTessaroView.h"

#include "platform/Settings.h"
#include "res/artgen/ScaledArt.h"
#include "view/CBeatMark.h"
#include "view/CHandSignPane.h"
#include "view/CKeyboardPane.h"

#include <QLabel>
#include <QSlider>

namespace {

// The pictures' sizes at the normal scale, and the room kept around a fitted
// picture, so that it does not touch the window's edges.
constexpr QSize kKeyboardPicture(174, 124);
constexpr QSize kHandSignPicture(280, 240);
constexpr int kFitMargin = 12;

} // namespace

void CTessaroView::OnTonic(int tonic)
{
    m_nTonic = tonic;
    m_Solfege.SetTonic(tonic);
    Settings::Write(Settings::Tonic, m_nTonic);
    ReloadPictures();
}

void CTessaroView::OnChromaticSigns()
{
    m_bChromaticSigns = m_bChromaticSigns ? 0 : 1;
    m_Solfege.SetChromatic(m_bChromaticSigns != 0);
    Settings::Write(Settings::ChromaticSigns, m_bChromaticSigns);
    ReloadPictures();
}

void CTessaroView::OnKeyNames(int names)
{
    m_nKeyNames = names;
    Settings::Write(Settings::KeyNames, m_nKeyNames);
    ReloadPictures();
}

void CTessaroView::OnFitPictures()
{
    m_bFitPictures = m_bFitPictures ? 0 : 1;
    Settings::Write(Settings::FitPictures, m_bFitPictures);
    // The scale changes only in a maximised window; there the pane is laid
    // out again at its new size.
    OnUpdate(LayoutChanged);
}

void CTessaroView::ReloadPictures()
{
    if (m_nViewMode == 1)
        LoadKeyboardBitmaps();
    else if (m_nViewMode == 3)
        LoadHandSigns();
}

QString CTessaroView::KeyLabel(int displayNote) const
{
    switch (m_nKeyNames) {
    case 1: return NoteLetterName(displayNote, m_nTonic);
    case 2: return m_Solfege.SyllableOf(displayNote);
    default: return QString();
    }
}

int CTessaroView::PictureScale() const
{
    if (!IsFrameZoomed())
        return 1;
    if (!m_bFitPictures)
        return 2;
    if (m_nViewMode == 1) {
        // The mixer column stays beside the keyboard at its own size.
        const int beside = m_pKeyboardPicture->x() -
                           qMin(m_pSliderCaption->x(), m_pVolumeSlider->x());
        return FitScale(kKeyboardPicture, qMax(0, beside));
    }
    if (m_nViewMode == 3)
        return FitScale(kHandSignPicture, 0);
    return 2;
}

int CTessaroView::FitScale(QSize picture, int beside) const
{
    // The sunken frames of both pictures are as wide.
    const int frame = 2 * m_pKeyboardPicture->frameWidth();
    // The beat mark keeps its corner on both sides of a centred picture.
    const int markRoom = 2 * (CBeatMark::kSide * 2 + kBeatMarkMargin);
    const int room = width() - 2 * kFitMargin - beside - frame - markRoom;
    const int tall = height() - 2 * kFitMargin - frame;
    int scale = qMin(room / picture.width(), tall / picture.height());
    return qBound(2, scale, artgen::kMaxArtScale);
}
