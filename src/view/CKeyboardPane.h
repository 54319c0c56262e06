#pragma once
// The keyboard picture (control 1033): one octave whose keys go down and up.
//
// A note message paints the key's overlay (pressed with a red dot, or
// released) onto a picture the pane keeps, so the keys that are down survive
// every repaint of the control; reloading the set (a change of scale, or the
// pane shown again after the key states moved on elsewhere) composes that
// picture afresh from the key states. A held key carries its name (a letter
// or a syllable, as the host says), written just after its pressed overlay
// and inside it, so the key's released overlay wipes the name with it.
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
    void LoadKeyboardBitmaps(bool maximised) { LoadKeyboardBitmaps(maximised ? 2 : 1); }
    // The same at a scale: 1 normal, 2 maximised, 3.. a maximised window
    // fitted to a big screen. The larger scales are drawn by the artwork
    // generator; where it cannot draw them, the pane shows scale 2.
    void LoadKeyboardBitmaps(int scale);
    // Draws a note-on or note-off and records the key's new state; any other
    // message is ignored.
    void DrawKeyboardMessage(uint32_t packedMsg);

    // The hit map's palette index under a point in the view's coordinates;
    // 0 where there is no key, or when the point is off the picture.
    int KeyIndexAt(const QPoint& viewPoint) const;

    bool IsMaximisedSet() const { return m_nScale >= 2; }
    // The scale of the set held: 1, 2 or a larger one.
    int Scale() const { return m_nScale; }
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

    void LoadResourceSet(int scale);
    bool LoadDrawnSet(int scale);
    const CDibPicture& ReleasedWhite(int k) const;
    QRect WhiteRect(int displayNote) const;
    QRect BlackRect(int displayNote) const;
    void DrawWhiteKey(int note, bool on);
    void DrawBlackKey(int note, bool on);
    void DrawOverlay(const CDibPicture& bitmap, const QRect& rect, bool repaint);
    void DrawKeyLabel(int displayNote, const QRect& keyRect);
    void ComposePicture();
    QPoint ToViewPoint(const QPoint& panePoint) const;

    IKeyboardPaneHost& m_Host;
    int m_nScale = 1;       // of the bitmaps held
    int m_nAskedScale = 1;  // what the host last asked for; more than m_nScale after a fallback
    bool m_bLoaded = false; // every bitmap of the current scale is held
    std::array<CDibPicture, RoleCount> m_Bitmaps;
    QImage m_picture;
};
