#include "view/CKeyboardPane.h"

#include "gfx/ArtworkResources.h"
#include "view/IKeyPaneHost.h"
#include "view/KeyboardGeometry.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

// The picture's size at the normal scale; the maximised set is twice as big.
// Used when the picture itself could not be loaded, so the layout still works.
constexpr QSize kNominalPictureSize(174, 124);

} // namespace

CKeyboardPane::CKeyboardPane(IKeyboardPaneHost& host, QWidget* parent)
    : QLabel(parent)
    , m_Host(host)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Moves without a button reach the pane too: a release that went to
    // someone else (a popup took the mouse) still ends the note.
    setMouseTracking(true);
}

void CKeyboardPane::LoadKeyboardBitmaps(bool maximised)
{
    // The frame lays the panes out several times per resize; the bitmaps of a
    // scale already held are the same ones again.
    if (!m_bLoaded || maximised != m_bMaximised) {
        EnsureArtworkResources();
        const KeyboardBitmapSet& set = KeyboardBitmaps(maximised);
        m_BitmapIds = {set.picture, set.hitMap, set.whiteDown, set.whiteUp, set.whiteUpRight,
                       set.whiteUpBoth, set.whiteUpLeft, set.blackDown, set.blackUp};
        m_bLoaded = true;
        for (size_t i = 0; i < m_Bitmaps.size(); ++i)
            m_bLoaded = m_Bitmaps[i].LoadBitmap(m_BitmapIds[i]) && m_bLoaded;
        m_bMaximised = maximised;
    }
    // The key states may have changed while another pane was showing.
    ComposePicture();
    const int frame = 2 * frameWidth();
    setFixedSize(m_picture.width() + frame, m_picture.height() + frame);
    update();
}

const CDibPicture& CKeyboardPane::Bitmap(unsigned id) const
{
    for (size_t i = 0; i < m_BitmapIds.size(); ++i)
        if (m_BitmapIds[i] == id)
            return m_Bitmaps[i];
    return m_Bitmaps[Picture]; // not reached: every id asked for is of the set
}

QRect CKeyboardPane::WhiteRect(int displayNote) const
{
    return WhiteKeyRect(displayNote, ScaleFor(m_bMaximised), m_Bitmaps[WhiteDown].GetSize());
}

QRect CKeyboardPane::BlackRect(int displayNote) const
{
    return BlackKeyRect(displayNote, ScaleFor(m_bMaximised),
                        m_Bitmaps[WhiteDown].GetSize().width(), m_Bitmaps[BlackDown].GetSize());
}

void CKeyboardPane::ComposePicture()
{
    QSize size = m_Bitmaps[Picture].GetSize();
    if (size.isEmpty())
        size = kNominalPictureSize * (m_bMaximised ? 2 : 1);
    m_picture = QImage(size, QImage::Format_ARGB32_Premultiplied);
    m_picture.fill(palette().color(QPalette::Window));
    const QRect all(QPoint(0, 0), size);
    {
        QPainter dc(&m_picture);
        m_Bitmaps[Picture].Draw(dc, all, all);
    }
    const GUIKeySlots& keySlots = m_Host.KeyStates();
    // Released keys beside held ones first, so that the held keys' own
    // pictures are what shows where neighbouring white keys overlap.
    for (int k = 0; k < int(keySlots.size()); ++k) {
        const int d = kFirstDisplayNote + k;
        if (IsWhiteKey(d) && !keySlots[size_t(k)].IsPressed()) {
            const unsigned id = GetWhiteKeyBitmapID(k, keySlots, m_bMaximised);
            if (id != m_BitmapIds[WhiteUp])
                DrawOverlay(Bitmap(id), WhiteRect(d), false);
        }
    }
    for (int k = 0; k < int(keySlots.size()); ++k) {
        const int d = kFirstDisplayNote + k;
        if (keySlots[size_t(k)].IsPressed())
            DrawOverlay(IsWhiteKey(d) ? m_Bitmaps[WhiteDown] : m_Bitmaps[BlackDown],
                        IsWhiteKey(d) ? WhiteRect(d) : BlackRect(d), false);
    }
}

void CKeyboardPane::DrawKeyboardMessage(uint32_t packedMsg)
{
    const NoteEvent e = ReadNoteEvent(packedMsg);
    if (!e.isNote)
        return;
    // Drawn before the key's own state changes: a released white key's
    // picture depends on its neighbours only.
    if (IsWhiteKey(e.note))
        DrawWhiteKey(e.note, e.on);
    else
        DrawBlackKey(e.note, e.on);
    m_Host.TrackKeySlot(packedMsg);
}

void CKeyboardPane::DrawWhiteKey(int note, bool on)
{
    const int k = m_Host.GetKeySlotIndex(note);
    if (k == -1)
        return;
    const CDibPicture& bitmap =
        on ? m_Bitmaps[WhiteDown]
           : Bitmap(GetWhiteKeyBitmapID(k, m_Host.KeyStates(), m_bMaximised));
    DrawOverlay(bitmap, WhiteRect(m_Host.ToDisplayNote(note)), true);
}

void CKeyboardPane::DrawBlackKey(int note, bool on)
{
    if (m_Host.GetKeySlotIndex(note) == -1)
        return;
    DrawOverlay(on ? m_Bitmaps[BlackDown] : m_Bitmaps[BlackUp],
                BlackRect(m_Host.ToDisplayNote(note)), true);
}

void CKeyboardPane::DrawOverlay(const CDibPicture& bitmap, const QRect& rect, bool repaint)
{
    if (rect.isEmpty() || bitmap.IsEmpty())
        return;
    {
        QPainter dc(&m_picture);
        bitmap.Draw(dc, rect, rect);
    }
    if (repaint)
        update(rect.translated(PictureOrigin()));
}

void CKeyboardPane::paintEvent(QPaintEvent* e)
{
    QFrame::paintEvent(e); // the sunken edge
    QPainter p(this);
    p.drawImage(PictureOrigin(), m_picture);
}

int CKeyboardPane::KeyIndexAt(const QPoint& viewPoint) const
{
    if (isHidden() || !geometry().contains(viewPoint))
        return 0;
    const QPoint at = viewPoint - pos() - PictureOrigin();
    return m_Bitmaps[HitMap].GetPixelIndex(at.x(), at.y());
}

// --- Mouse ----------------------------------------------------------------------

QPoint CKeyboardPane::ToViewPoint(const QPoint& panePoint) const
{
    return mapTo(parentWidget(), panePoint);
}

void CKeyboardPane::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        m_Host.OnLButtonDown(ToViewPoint(e->position().toPoint()));
}

void CKeyboardPane::mouseDoubleClickEvent(QMouseEvent* e)
{
    // A quick second click plays the key again, as the first one did.
    mousePressEvent(e);
}

void CKeyboardPane::mouseMoveEvent(QMouseEvent* e)
{
    m_Host.OnMouseMove(ToViewPoint(e->position().toPoint()),
                         (e->buttons() & Qt::LeftButton) != 0);
}

void CKeyboardPane::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        m_Host.OnLButtonUp();
}

void CKeyboardPane::leaveEvent(QEvent* e)
{
    QLabel::leaveEvent(e);
    m_Host.EndMouseNote();
}

void CKeyboardPane::hideEvent(QHideEvent* e)
{
    QLabel::hideEvent(e);
    m_Host.EndMouseNote();
}

void CKeyboardPane::focusOutEvent(QFocusEvent* e)
{
    QLabel::focusOutEvent(e);
    m_Host.EndMouseNote();
}

bool CKeyboardPane::event(QEvent* e)
{
    // Another window took over: the button's release will not come here.
    if (e->type() == QEvent::WindowDeactivate)
        m_Host.EndMouseNote();
    return QLabel::event(e);
}
