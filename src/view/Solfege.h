#pragma once
// Movable do: the syllable and hand sign of a pictured note in the tonic the
// lesson is in. With the tonic C this is the fixed reading the hand-sign
// pane has always had (60 do ... 72 do'). Notes outside the major scale of
// the tonic read as chromatic degrees: raised when the melody reached them
// going up (di ri fi si li), lowered when going down (ra me se le te).
//
// Works on display notes (60..72 the pictured octave, 59 the note just below
// it, which shows the blank picture) and knows nothing of widgets.
#include <QString>

#include <array>

// The hand-sign pictures, by index.
enum HandSignIndex : int {
    kSignBlank = 0,
    kSignDo = 1,          // 1..7 do re mi fa so la ti
    kSignHighDo = 8,
    kSignRaisedFirst = 9, // 9..13 di ri fi si li
    kSignLoweredFirst = 14, // 14..18 ra me se le te
    kHandSignCount = 19,
};

class CSolfege {
public:
    // 0 C, 1 C#/Db ... 11 B; anything else is brought into range.
    void SetTonic(int tonic);
    int Tonic() const { return m_nTonic; }
    // Off: a chromatic note has no sign of its own (SignOf gives -1).
    void SetChromatic(bool on) { m_bChromatic = on; }
    bool IsChromatic() const { return m_bChromatic; }

    // A note-on of a display note: fixes whether that key reads raised or
    // lowered while it is held (raised after a lower note, lowered after a
    // higher one, as before for the same note, raised for the first note).
    void NoteOn(int displayNote);

    // The sign of a display note: kSignBlank for 59, the sign's index for
    // 60..72, -1 for every other note and for a chromatic note while the
    // chromatic signs are off.
    int SignOf(int displayNote) const;
    // The syllable of a display note 60..72 ("do" .. "ti", "do'" an octave
    // above the tonic, the chromatic forms whatever the setting); empty
    // otherwise.
    QString SyllableOf(int displayNote) const;

private:
    int m_nTonic = 0;
    bool m_bChromatic = false;
    int m_nLastNote = -1;
    bool m_bRising = true;
    // By key slot: how the key read when it last went down. A key not yet
    // played reads raised, as a first note does.
    std::array<bool, 13> m_Lowered{};
};

// The syllable of a sign index ("" for the blank picture).
QString SignSyllable(int sign);
// The name of a tonic for the menu: C Db D Eb E F F# G Ab A Bb B (with the
// sharp and flat signs).
QString TonicName(int tonic);
// A note's letter name spelt in the tonic's key: sharps in the sharp keys
// and C, flats in the flat keys ("C", "F♯", "B♭").
QString NoteLetterName(int note, int tonic);
