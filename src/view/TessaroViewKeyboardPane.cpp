// The view's side of the keyboard picture: playing it with the mouse, and the
// key states that the keyboard and hand-sign pictures share.
//
// One note at a time sounds from the mouse, m_nMouseNote. Every way the
// button's release can get lost ends it too: the pane reports being hidden,
// left, or losing the window or the focus, and the view ends it on shutdown.
#include "view/CTessaroView.h"

#include "view/CKeyboardPane.h"
#include "view/KeyboardGeometry.h"

#include <QMouseEvent>

int CTessaroView::HitTestKeyboard(const QPoint& point) const
{
    const int index = m_pKeyboardPicture->KeyIndexAt(point);
    if (index == 0)
        return -1;
    // Index 13 is the picture's first C; the male voice plays it an octave down.
    return ToVoiceNote(index + kHitIndexToNote);
}

void CTessaroView::OnLButtonDown(const QPoint& point)
{
    if (m_nViewMode != 1 || m_bShutDown)
        return;
    const int n = HitTestKeyboard(point);
    // A note still held (its release went elsewhere) ends before another starts.
    EndMouseNote();
    if (n != -1) {
        m_nMouseNote = n;
        SendAndAnimate(MakeNoteMessage(static_cast<uint8_t>(n), true));
    }
}

void CTessaroView::OnLButtonUp()
{
    EndMouseNote();
}

void CTessaroView::OnMouseMove(const QPoint& point, bool leftButtonDown)
{
    if (!leftButtonDown) {
        EndMouseNote();
        return;
    }
    if (m_nViewMode != 1 || m_bShutDown)
        return;
    // Sliding across the keys plays them one after the other; off the keys,
    // nothing sounds.
    const int n = HitTestKeyboard(point);
    if (n == m_nMouseNote)
        return;
    EndMouseNote();
    if (n != -1) {
        m_nMouseNote = n;
        SendAndAnimate(MakeNoteMessage(static_cast<uint8_t>(n), true));
    }
}

void CTessaroView::EndMouseNote()
{
    if (m_nMouseNote == -1)
        return;
    const int n = m_nMouseNote;
    m_nMouseNote = -1;
    SendAndAnimate(MakeNoteMessage(static_cast<uint8_t>(n), false));
}

void CTessaroView::TrackKeySlot(uint32_t packedMsg)
{
    const NoteEvent e = ReadNoteEvent(packedMsg);
    if (!e.isNote)
        return;
    const int k = GetKeySlotIndex(e.note);
    if (k != -1)
        m_GUIKeySlots[size_t(k)].SetPressed(e.on);
}

// A double-click reaches mousePressEvent through QWidget's own handler.
void CTessaroView::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        OnLButtonDown(e->position().toPoint());
    QWidget::mousePressEvent(e);
}

void CTessaroView::mouseMoveEvent(QMouseEvent* e)
{
    OnMouseMove(e->position().toPoint(), (e->buttons() & Qt::LeftButton) != 0);
    QWidget::mouseMoveEvent(e);
}

void CTessaroView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        OnLButtonUp();
    QWidget::mouseReleaseEvent(e);
}
