#include "view/CKeyboardPane.h"

#include "gfx/ArtworkResources.h"
#include "res/artgen/ScaledArt.h"
#include "view/IKeyPaneHost.h"
#include "view/KeyboardGeometry.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

// The picture's size at the normal scale; every other scale is a multiple.
// Used when the picture itself could not be loaded, so the layout still works.
constexpr QSize kNominalPictureSize(174, 124);

// Where a held key's name goes, inside its pressed overlay at the normal
// scale. Clear of the red dot, and of the edge columns that neighbouring
// white keys' overlays paint over, so nothing but the key's own release
// touches the name. On a white key the room above the dot; on a black key
// its lower part above the dot, where two glyphs stand one over the other.
constexpr QRect kWhiteLabelBox(2, 1, 18, 16);
constexpr QRect kBlackLabelBox(1, 24, 10, 22);
constexpr int kWhiteLabelPixels = 12;
constexpr int kBlackLabelPixels = 9;
// One hue in two shades: dark on the white key, light on the black one.
constexpr QColor kWhiteLabelColour(20, 50, 150);
constexpr QColor kBlackLabelColour(160, 210, 255);

QRect Scaled(const QRect& r, int scale)
{
    return QRect(r.topLeft() * scale, r.size() * scale);
}

// Bold sans at the largest pixel size up to `pixels` at which text fits box.
QFont LabelFont(const QString& text, QSize box, int pixels)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(pixels);
    QSize size = QFontMetrics(font).size(0, text);
    if (size.width() <= box.width() && size.height() <= box.height())
        return font;
    // Text grows with the pixel size; start from the proportional guess and
    // step down the little that rounding and hinting leave.
    const double shrink = std::min(double(box.width()) / std::max(1, size.width()),
                                   double(box.height()) / std::max(1, size.height()));
    for (int px = std::max(1, int(pixels * shrink)); px >= 1; --px) {
        font.setPixelSize(px);
        size = QFontMetrics(font).size(0, text);
        if (size.width() <= box.width() && size.height() <= box.height())
            break;
    }
    return font;
}

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

void CKeyboardPane::LoadKeyboardBitmaps(int scale)
{
    scale = std::clamp(scale, 1, artgen::kMaxArtScale);
    // The frame lays the panes out several times per resize; the bitmaps of a
    // scale already held are the same ones again.
    if (!m_bLoaded || scale != m_nAskedScale) {
        m_nAskedScale = scale;
        const bool drawn = scale > 2 && LoadDrawnSet(scale);
        if (!drawn && !(m_bLoaded && m_nScale == std::min(scale, 2)))
            LoadResourceSet(std::min(scale, 2));
    }
    // The key states may have changed while another pane was showing.
    ComposePicture();
    const int frame = 2 * frameWidth();
    setFixedSize(m_picture.width() + frame, m_picture.height() + frame);
    update();
}

void CKeyboardPane::LoadResourceSet(int scale)
{
    EnsureArtworkResources();
    const KeyboardBitmapSet& set = KeyboardBitmaps(scale == 2);
    const std::array<unsigned, RoleCount> ids{set.picture,     set.hitMap,      set.whiteDown,
                                              set.whiteUp,     set.whiteUpRight, set.whiteUpBoth,
                                              set.whiteUpLeft, set.blackDown,   set.blackUp};
    m_bLoaded = true;
    for (size_t i = 0; i < m_Bitmaps.size(); ++i)
        m_bLoaded = m_Bitmaps[i].LoadBitmap(ids[i]) && m_bLoaded;
    m_nScale = scale;
}

bool CKeyboardPane::LoadDrawnSet(int scale)
{
    // The generator hands the nine bitmaps over in the order of the roles.
    const std::vector<QByteArray> files = artgen::KeyboardBitmapsAt(scale);
    if (files.size() != m_Bitmaps.size())
        return false;
    m_nScale = scale;
    m_bLoaded = true;
    for (size_t i = 0; i < m_Bitmaps.size(); ++i)
        m_bLoaded = m_Bitmaps[i].LoadBitmap(files[i]) && m_bLoaded;
    return m_bLoaded;
}

const CDibPicture& CKeyboardPane::ReleasedWhite(int k) const
{
    return m_Bitmaps[size_t(WhiteUp + int(GetReleasedWhiteKey(k, m_Host.KeyStates())))];
}

QRect CKeyboardPane::WhiteRect(int displayNote) const
{
    return WhiteKeyRect(displayNote, ScaleAt(m_nScale), m_Bitmaps[WhiteDown].GetSize());
}

QRect CKeyboardPane::BlackRect(int displayNote) const
{
    return BlackKeyRect(displayNote, ScaleAt(m_nScale), m_Bitmaps[WhiteDown].GetSize().width(),
                        m_Bitmaps[BlackDown].GetSize());
}

void CKeyboardPane::ComposePicture()
{
    QSize size = m_Bitmaps[Picture].GetSize();
    if (size.isEmpty())
        size = kNominalPictureSize * m_nScale;
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
        if (IsWhiteKey(d) && !keySlots[size_t(k)].IsPressed() &&
            GetReleasedWhiteKey(k, keySlots) != ReleasedWhiteKey::Alone)
            DrawOverlay(ReleasedWhite(k), WhiteRect(d), false);
    }
    for (int k = 0; k < int(keySlots.size()); ++k) {
        const int d = kFirstDisplayNote + k;
        if (!keySlots[size_t(k)].IsPressed())
            continue;
        const QRect rect = IsWhiteKey(d) ? WhiteRect(d) : BlackRect(d);
        DrawOverlay(IsWhiteKey(d) ? m_Bitmaps[WhiteDown] : m_Bitmaps[BlackDown], rect, false);
        DrawKeyLabel(d, rect);
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
    const int d = m_Host.ToDisplayNote(note);
    const QRect rect = WhiteRect(d);
    DrawOverlay(on ? m_Bitmaps[WhiteDown] : ReleasedWhite(k), rect, true);
    if (on)
        DrawKeyLabel(d, rect);
}

void CKeyboardPane::DrawBlackKey(int note, bool on)
{
    if (m_Host.GetKeySlotIndex(note) == -1)
        return;
    const int d = m_Host.ToDisplayNote(note);
    const QRect rect = BlackRect(d);
    DrawOverlay(on ? m_Bitmaps[BlackDown] : m_Bitmaps[BlackUp], rect, true);
    if (on)
        DrawKeyLabel(d, rect);
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

void CKeyboardPane::DrawKeyLabel(int displayNote, const QRect& keyRect)
{
    if (keyRect.isEmpty())
        return;
    QString label = m_Host.KeyLabel(displayNote);
    if (label.isEmpty())
        return;
    const bool white = IsWhiteKey(displayNote);
    const QRect box =
        Scaled(white ? kWhiteLabelBox : kBlackLabelBox, m_nScale).translated(keyRect.topLeft());
    QPainter dc(&m_picture);
    dc.setRenderHint(QPainter::TextAntialiasing);
    dc.setClipRect(box); // the overlay's release must cover every pixel drawn
    dc.setPen(white ? kWhiteLabelColour : kBlackLabelColour);
    const int pixels = (white ? kWhiteLabelPixels : kBlackLabelPixels) * m_nScale;
    const int first = label.front().isHighSurrogate() ? 2 : 1;
    if (white || label.size() <= first) {
        dc.setFont(LabelFont(label, box.size(), pixels));
        dc.drawText(box, Qt::AlignCenter, label);
        return;
    }
    // A black key is too narrow for two glyphs side by side at a size that
    // reads: the sign or the vowel goes under the first one. The signs are
    // small in their em and come without a bold face, so they are set larger
    // and struck twice, a little apart, to match the letter above.
    const QString top = label.left(first), bottom = label.mid(first);
    const bool sign = bottom == QStringLiteral("\u266F") || bottom == QStringLiteral("\u266D");
    const int half = box.height() / 2;
    const QRect upper(box.left(), box.top(), box.width(), half);
    const QRect lower(box.left(), box.top() + half, box.width(), box.height() - half);
    // Only the width limits a line: its font's line spacing exceeds the ink.
    const QSize wide(box.width(), box.height() * 2);
    dc.setFont(LabelFont(top, wide, pixels));
    dc.drawText(upper, Qt::AlignHCenter | Qt::AlignBottom, top);
    dc.setFont(LabelFont(bottom, wide, sign ? pixels * 3 / 2 : pixels));
    dc.drawText(lower, Qt::AlignHCenter | (sign ? Qt::AlignVCenter : Qt::AlignTop), bottom);
    if (sign)
        dc.drawText(lower.translated(std::max(1, m_nScale / 2), 0), Qt::AlignHCenter | Qt::AlignVCenter,
                    bottom);
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
