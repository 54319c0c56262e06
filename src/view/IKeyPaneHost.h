#pragma once
// What the keyboard and hand-sign pictures need of their host: the key states
// they share, the voice's mapping of notes onto the pictured octave, and, for
// the keyboard picture, where its mouse presses go. The pictures know nothing
// else of the view, and a test can host them on its own.
#include "view/KeyboardGeometry.h"

#include <QPoint>
#include <QString>

#include <cstdint>

class IKeyPaneHost {
public:
    // The keys of the pictured octave that are down.
    virtual const GUIKeySlots& KeyStates() const = 0;
    // Records a note-on or note-off in the key states.
    virtual void TrackKeySlot(uint32_t packedMsg) = 0;
    // The display note of a played note, and its key slot (-1 off the picture).
    virtual int ToDisplayNote(int note) const = 0;
    virtual int GetKeySlotIndex(int note) const = 0;
    // The name written on a held key of a display note (a letter or a
    // syllable, as the lesson asks); empty when the keys carry no names.
    virtual QString KeyLabel(int displayNote) const = 0;

protected:
    ~IKeyPaneHost() = default;
};

// The keyboard picture is also played with the mouse. Points are in the
// coordinates of the picture's parent widget, the host's own.
class IKeyboardPaneHost : public IKeyPaneHost {
public:
    virtual void OnLButtonDown(const QPoint& point) = 0;
    virtual void OnMouseMove(const QPoint& point, bool leftButtonDown) = 0;
    virtual void OnLButtonUp() = 0;
    // The note held with the mouse must end now (the picture was hidden or
    // left, or lost the window or the focus).
    virtual void EndMouseNote() = 0;

protected:
    ~IKeyboardPaneHost() = default;
};
