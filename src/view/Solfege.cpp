#include "view/Solfege.h"

#include <QStringList>

namespace {

constexpr int kFirstNote = 60, kLastNote = 72;

// By semitones above do: the sign of a scale degree, or 0 for the five
// chromatic ones.
constexpr int kDiatonicSign[12] = {kSignDo, 0, kSignDo + 1, 0, kSignDo + 2, kSignDo + 3,
                                   0, kSignDo + 4, 0, kSignDo + 5, 0, kSignDo + 6};
// The chromatic ones, raised (di ri fi si li) and lowered (ra me se le te).
constexpr int kChromaticOrder[12] = {-1, 0, -1, 1, -1, -1, 2, -1, 3, -1, 4, -1};

const char* const kSyllables[kHandSignCount] = {
    "", "do", "re", "mi", "fa", "so", "la", "ti", "do'",
    "di", "ri", "fi", "si", "li", "ra", "me", "se", "le", "te"};

int PitchClass(int n)
{
    return ((n % 12) + 12) % 12;
}

// The tonics whose major keys are written with flats: F Bb Eb Ab Db.
bool IsFlatKey(int tonic)
{
    switch (tonic) {
    case 1: case 3: case 5: case 8: case 10: return true;
    default: return false;
    }
}

} // namespace

void CSolfege::SetTonic(int tonic)
{
    m_nTonic = PitchClass(tonic);
}

void CSolfege::NoteOn(int displayNote)
{
    if (m_nLastNote >= 0 && displayNote != m_nLastNote)
        m_bRising = displayNote > m_nLastNote;
    m_nLastNote = displayNote;
    if (displayNote >= kFirstNote && displayNote <= kLastNote)
        m_Lowered[size_t(displayNote - kFirstNote)] = !m_bRising;
}

static int SignIndex(int displayNote, int tonic, bool raised)
{
    const int fromDo = displayNote - kFirstNote - tonic;
    if (fromDo == 12)
        return kSignHighDo;
    const int pc = PitchClass(fromDo);
    if (kDiatonicSign[pc] != 0)
        return kDiatonicSign[pc];
    return (raised ? kSignRaisedFirst : kSignLoweredFirst) + kChromaticOrder[pc];
}

int CSolfege::SignOf(int displayNote) const
{
    if (displayNote == kFirstNote - 1)
        return kSignBlank;
    if (displayNote < kFirstNote || displayNote > kLastNote)
        return -1;
    const int sign = SignIndex(displayNote, m_nTonic, !m_Lowered[size_t(displayNote - kFirstNote)]);
    if (sign >= kSignRaisedFirst && !m_bChromatic)
        return -1;
    return sign;
}

QString CSolfege::SyllableOf(int displayNote) const
{
    if (displayNote < kFirstNote || displayNote > kLastNote)
        return QString();
    return SignSyllable(SignIndex(displayNote, m_nTonic, !m_Lowered[size_t(displayNote - kFirstNote)]));
}

QString SignSyllable(int sign)
{
    if (sign < 0 || sign >= kHandSignCount)
        return QString();
    return QString::fromLatin1(kSyllables[sign]);
}

QString TonicName(int tonic)
{
    return NoteLetterName(tonic, tonic);
}

QString NoteLetterName(int note, int tonic)
{
    static const char* const kSharps[12] = {"C", "C\u266F", "D", "D\u266F", "E", "F",
                                            "F\u266F", "G", "G\u266F", "A", "A\u266F", "B"};
    static const char* const kFlats[12] = {"C", "D\u266D", "D", "E\u266D", "E", "F",
                                           "G\u266D", "G", "A\u266D", "A", "B\u266D", "B"};
    const int pc = PitchClass(note);
    return QString::fromUtf8(IsFlatKey(PitchClass(tonic)) ? kFlats[pc] : kSharps[pc]);
}
