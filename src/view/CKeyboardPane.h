#pragma once
// The keyboard picture (control 1033): one octave whose keys go down and up.
//
// A note message paints the key's overlay (pressed with a red dot, or
// released) onto a picture the pane keeps, so the keys that are down survive
// every repaint of the control; reloading the set (a change of scale, or the
// pane shown again after the key states moved on elsewhere) composes that
// picture afresh from the key states.
//
// Mouse presses, moves and releases on the pane go to the host, which plays
// the notes; the pane only tells it when a held mouse note has to end
// (hidden, left, window or focus lost).
#include "gfx/CDibPicture.h"

#include <QImage>
#include <QLabel>

#include <array>
#include <cstdint>

class IKeyboardPaneHost;

class CKeyboardPane : public QLabel {
    Q_OBJECT
public:
    // The pane sits directly on its host's widget, `parent`.
    CKeyboardPane(IKeyboardPaneHost& host, QWidget* parent);
    // Loads the normal or the twice-size set, sizes the control to the
    // picture and shows it with the keys that are down.
    void LoadKeyboardBitmaps(bool maximised);
    // Draws a note-on or note-off and records the key's new state; any other
    // message is ignored.
    void DrawKeyboardMessage(uint32_t packedMsg);

    // The hit map's palette index under a point in the view's coordinates;
    // 0 where there is no key, or when the point is off the picture.
    int KeyIndexAt(const QPoint& viewPoint) const;

    bool IsMaximisedSet() const { return m_bMaximised; }
    // The picture as the control shows it, key overlays included.
    const QImage& ShownPicture() const { return m_picture; }
    // Where the picture's top-left corner lies in the control.
    QPoint PictureOrigin() const { return contentsRect().topLeft(); }

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool event(QEvent* e) override;

private:
    enum Role { Picture, HitMap, WhiteDown, WhiteUp, WhiteUpRight, WhiteUpBoth, WhiteUpLeft,
                BlackDown, BlackUp, RoleCount };

    const CDibPicture& Bitmap(unsigned id) const;
    QRect WhiteRect(int displayNote) const;
    QRect BlackRect(int displayNote) const;
    void DrawWhiteKey(int note, bool on);
    void DrawBlackKey(int note, bool on);
    void DrawOverlay(const CDibPicture& bitmap, const QRect& rect, bool repaint);
    void ComposePicture();
    QPoint ToViewPoint(const QPoint& panePoint) const;

    IKeyboardPaneHost& m_Host;
    bool m_bMaximised = false;
    bool m_bLoaded = false; // every bitmap of the current scale is held
    std::array<CDibPicture, RoleCount> m_Bitmaps;
    std::array<unsigned, RoleCount> m_BitmapIds{};
    QImage m_picture;
};
