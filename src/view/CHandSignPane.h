#pragma once
// The hand-sign picture (control 1076): the solfège sign of what sounds, the
// sign of the note just pressed or else of the highest key still held.
//
// The twice-size signs are big; when the pane is loaded for the maximised
// frame only the blank picture comes at once and the eight signs follow a
// second later (timer 2005). A sign asked for before then is loaded on the
// spot, so the pane never shows a sign of the other size.
#include "gfx/CDibPicture.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <array>
#include <cstdint>

class IKeyPaneHost;

class CHandSignPane : public QLabel {
    Q_OBJECT
public:
    static constexpr int kLargeSignDelayMs = 1000;

    CHandSignPane(IKeyPaneHost& host, QWidget* parent);
    // Loads the set for the frame's size and shows the blank picture.
    void LoadHandSigns(bool maximised);
    // Shows the sign for a note-on or note-off and records the key's new
    // state; any other message is ignored.
    void ShowHandSignMessage(uint32_t packedMsg);

    // A new pixmap of a degree's picture (-1 the blank one), null when the
    // degree has none or it could not be loaded.
    QPixmap GetHandSignBitmap(int degree);

    bool IsMaximisedSet() const { return m_bLarge; }
    bool IsLargeSignLoadPending() const { return m_LargeSignTimer.isActive(); }
    // The holder of the blank picture (0) and of the eight signs (1..8).
    const CDibPicture& HandSignHolder(int holder) const { return m_HandSigns[size_t(holder)]; }

private:
    enum class Held { None, Normal, Large };

    void LoadHolder(int holder, bool large);
    void LoadLargeSigns();

    IKeyPaneHost& m_Host;
    bool m_bLarge = false;
    std::array<CDibPicture, 9> m_HandSigns;
    std::array<Held, 9> m_Held{};
    QTimer m_LargeSignTimer;
};
