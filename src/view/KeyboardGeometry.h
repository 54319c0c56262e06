#pragma once
// Where the keys of the pictured octave lie and which bitmap shows each of
// them. Everything here works on display notes (60 is the picture's first C,
// 72 its last) and knows nothing of widgets, so the arithmetic can be checked
// on its own.
#include "view/CGUIKeySlot.h"

#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>

using GUIKeySlots = std::array<CGUIKeySlot, 13>;

// The notes the picture shows, and the key slot of the first of them.
constexpr int kFirstDisplayNote = 60;
constexpr int kLastDisplayNote = 72;
// A hit-map pixel of palette index i lies on display note i + kHitIndexToNote;
// index 0 lies on no key.
constexpr int kHitIndexToNote = 47;

// Note arithmetic, by pitch class.
int GetOctave(int note);
bool IsWhiteKey(int note);
// 0..6 for C D E F G A B, -1 for a black key.
int GetWhiteKeyIndex(int note);
// The index of the white key to the left of a black key (C# 0, D# 1, F# 3,
// G# 4, A# 5), -1 for a white key.
int GetBlackKeyIndex(int note);

// The placement constants of one scale of the picture.
struct KeyboardScale {
    int overlap;     // white-key bitmap width minus the step between white keys
    int leftMargin;  // left edge of the first white key
    int blackTop;    // top of the black keys
    int whiteTop;    // top of the white-key bitmaps (their wide lower part)
    int blackOffset; // a black key's left edge right of its white key's
};
constexpr KeyboardScale kNormalScale{2, 6, 2, 78, 14};

// Every scale's pictures are the normal ones drawn s times as large, so their
// placement is the normal placement times s.
KeyboardScale ScaleAt(int scale);

// The rectangle a key overlay is drawn into, for display notes 60..72 of the
// right colour; an empty rectangle otherwise. The sizes are those of the
// pressed-key bitmaps of the scale.
QRect WhiteKeyRect(int displayNote, const KeyboardScale& scale, QSize whiteKey);
QRect BlackKeyRect(int displayNote, const KeyboardScale& scale, int whiteKeyWidth,
                   QSize blackKey);

// The nine bitmaps of one scale.
struct KeyboardBitmapSet {
    unsigned picture, hitMap, whiteDown, whiteUp, whiteUpRight, whiteUpBoth, whiteUpLeft,
        blackDown, blackUp;
};
const KeyboardBitmapSet& KeyboardBitmaps(bool maximised);

// The released picture of the white key of slot k (0..12). White-key
// bitmaps overlap their neighbours, so a released key must not paint over the
// edge of a held neighbour: the picture depends on which neighbours are held.
// By role, so it holds at every scale; in the order of the released bitmaps
// of a set (304, 352, 353, 354 at the normal scale).
enum class ReleasedWhiteKey { Alone, RightHeld, BothHeld, LeftHeld };
ReleasedWhiteKey GetReleasedWhiteKey(int k, const GUIKeySlots& keySlots);

// A note-on or note-off, as the displays read it: a note-on of velocity 0
// is a release. isNote is false for every other message.
struct NoteEvent {
    bool isNote = false;
    bool on = false;
    int note = 0;
};
NoteEvent ReadNoteEvent(uint32_t packedMsg);
