#pragma once
// The hand-sign picture (control 1076): the solfège sign of what sounds in
// the lesson's tonic, the sign of the note just pressed or else of the
// highest key still held, the blank picture when neither has one.
//
// The signs above the normal size are big; when the pane is loaded for the
// maximised frame only the blank picture comes at once and the other signs
// follow a second later (timer 2005), one at a time. A sign asked for before
// then is loaded on the spot, so the pane never shows a sign of another size.
#include "gfx/CDibPicture.h"
#include "view/HandSigns.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <array>
#include <cstdint>

class IKeyPaneHost;
class CSolfege;

class CHandSignPane : public QLabel {
    Q_OBJECT
public:
    static constexpr int kLargeSignDelayMs = 1000;

    // The syllables and signs come from the host's solfege, which follows
    // the notes before they reach the pane.
    CHandSignPane(IKeyPaneHost& host, const CSolfege& solfege, QWidget* parent);
    // Loads the set for the frame's size and shows the blank picture.
    void LoadHandSigns(bool maximised) { LoadHandSigns(maximised ? 2 : 1); }
    // The same at a scale: 1 normal, 2 maximised, 3.. fitted to a big screen
    // (drawn for that scale; the maximised set when it cannot be drawn).
    void LoadHandSigns(int scale);
    // Shows the sign for a note-on or note-off and records the key's new
    // state; any other message is ignored.
    void ShowHandSignMessage(uint32_t packedMsg);

    // A new pixmap of a sign's picture (index as in Solfege.h), null when the
    // index has none or it could not be loaded.
    QPixmap GetHandSignBitmap(int sign);

    int Scale() const { return m_nScale; }
    bool IsMaximisedSet() const { return m_nScale >= 2; }
    bool IsLargeSignLoadPending() const { return m_LargeSignTimer.isActive(); }
    const CDibPicture& HandSignHolder(int sign) const { return m_HandSigns[size_t(sign)]; }

private:
    void LoadHolder(int sign);
    void LoadDeferredSigns();

    IKeyPaneHost& m_Host;
    const CSolfege& m_Solfege;
    int m_nScale = 1;
    std::array<CDibPicture, kHandSignHolders> m_HandSigns;
    // The scale each holder was last loaded for, 0 never. A picture that
    // failed stays failed at that scale: the set is compiled in, asking again
    // gives the same answer.
    std::array<int, kHandSignHolders> m_LoadedScale{};
    QTimer m_LargeSignTimer;
};
