#include "view/KeyboardGeometry.h"

#include "res/ResourceIds.h"

namespace {

// By pitch class: the white keys numbered from C, the black keys by the
// white key to their left.
constexpr std::array<int, 12> kWhiteIndex{0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6};
constexpr std::array<int, 12> kBlackIndex{-1, 0, -1, 1, -1, -1, 3, -1, 4, -1, 5, -1};

int PitchClass(int note)
{
    const int pc = note % 12;
    return pc < 0 ? pc + 12 : pc;
}

bool IsDisplayNote(int note)
{
    return note >= kFirstDisplayNote && note <= kLastDisplayNote;
}

// Octave of a display note counted from the picture's first C.
int PictureOctave(int displayNote)
{
    return GetOctave(displayNote) - GetOctave(kFirstDisplayNote);
}

constexpr KeyboardBitmapSet kNormalSet{IDB_KEYBOARD,    IDB_KEYBOARD_MAP, IDB_WHITE_DOWN,
                                      IDB_WHITE_UP,    IDB_WHITE_UP_R,   IDB_WHITE_UP_LR,
                                      IDB_WHITE_UP_LEFT, IDB_BLACK_DOWN, IDB_BLACK_UP};
constexpr KeyboardBitmapSet kMaximisedSet{IDB_KEYBOARD_L,    IDB_KEYBOARD_MAP_L, IDB_WHITE_DOWN_L,
                                          IDB_WHITE_UP_L,    IDB_WHITE_UP_R_L,   IDB_WHITE_UP_LR_L,
                                          IDB_WHITE_UP_LEFT_L, IDB_BLACK_DOWN_L, IDB_BLACK_UP_L};

} // namespace

int GetOctave(int note)
{
    return note / 12;
}

bool IsWhiteKey(int note)
{
    return kWhiteIndex[size_t(PitchClass(note))] >= 0;
}

int GetWhiteKeyIndex(int note)
{
    return kWhiteIndex[size_t(PitchClass(note))];
}

int GetBlackKeyIndex(int note)
{
    return kBlackIndex[size_t(PitchClass(note))];
}

KeyboardScale ScaleAt(int scale)
{
    const KeyboardScale& n = kNormalScale;
    return {n.overlap * scale, n.leftMargin * scale, n.blackTop * scale, n.whiteTop * scale,
            n.blackOffset * scale};
}

QRect WhiteKeyRect(int displayNote, const KeyboardScale& scale, QSize whiteKey)
{
    const int w = GetWhiteKeyIndex(displayNote);
    if (!IsDisplayNote(displayNote) || w < 0)
        return QRect();
    const int step = whiteKey.width() - scale.overlap;
    const int left = (7 * PictureOctave(displayNote) + w) * step + scale.leftMargin;
    return QRect(QPoint(left, scale.whiteTop), whiteKey);
}

QRect BlackKeyRect(int displayNote, const KeyboardScale& scale, int whiteKeyWidth,
                   QSize blackKey)
{
    const int b = GetBlackKeyIndex(displayNote);
    if (!IsDisplayNote(displayNote) || b < 0)
        return QRect();
    const int step = whiteKeyWidth - scale.overlap;
    const int left =
        (7 * PictureOctave(displayNote) + b) * step + scale.leftMargin + scale.blackOffset;
    return QRect(QPoint(left, scale.blackTop), blackKey);
}

const KeyboardBitmapSet& KeyboardBitmaps(bool maximised)
{
    return maximised ? kMaximisedSet : kNormalSet;
}

ReleasedWhiteKey GetReleasedWhiteKey(int k, const GUIKeySlots& keySlots)
{
    const int last = int(keySlots.size()) - 1;
    auto held = [&](int j) { return j >= 0 && j <= last && keySlots[size_t(j)].IsPressed(); };
    // The white neighbour is one slot away, or two when a black key lies between.
    bool leftHeld = false, rightHeld = false;
    if (k > 0)
        leftHeld = held(IsWhiteKey(kFirstDisplayNote + k - 1) ? k - 1 : k - 2);
    if (k < last)
        rightHeld = held(IsWhiteKey(kFirstDisplayNote + k + 1) ? k + 1 : k + 2);
    if (leftHeld && rightHeld)
        return ReleasedWhiteKey::BothHeld;
    if (rightHeld)
        return ReleasedWhiteKey::RightHeld;
    if (leftHeld)
        return ReleasedWhiteKey::LeftHeld;
    return ReleasedWhiteKey::Alone;
}

NoteEvent ReadNoteEvent(uint32_t packedMsg)
{
    const unsigned status = packedMsg & 0xFF;
    const unsigned kind = status & 0xF0;
    NoteEvent e;
    // Only real status bytes: a packed word whose low byte is a data byte
    // carries no message.
    if (kind != 0x80 && kind != 0x90)
        return e;
    e.isNote = true;
    e.note = int((packedMsg >> 8) & 0xFF);
    e.on = kind == 0x90 && ((packedMsg >> 16) & 0xFF) > 0;
    return e;
}
