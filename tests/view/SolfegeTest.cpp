// Movable do: the sign and syllable of every pictured note in a tonic, and
// how a chromatic note reads by the direction the melody reached it from.
#include "view/Solfege.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Plays from `from` by step to the edge of the picture; what each note read,
// lowest first.
QString Played(CSolfege& s, int from, int step)
{
    QStringList read;
    for (int n = from; n >= 60 && n <= 72; n += step) {
        s.NoteOn(n);
        read << s.SyllableOf(n);
        // The picture is the syllable's; a chromatic one only with those signs on.
        static const QStringList chromaticForms = QString("di ri fi si li ra me se le te").split(' ');
        const int sign = s.SignOf(n);
        if (s.IsChromatic() || !chromaticForms.contains(read.last()))
            EXPECT_EQ(SignSyllable(sign), read.last()) << n;
        else
            EXPECT_EQ(sign, -1) << n;
    }
    if (step < 0)
        std::reverse(read.begin(), read.end());
    return read.join(' ');
}

} // namespace

TEST(SolfegeTest, EveryPicturedNoteInSeveralTonics)
{
    const struct {
        int tonic;
        const char* up;   // reached from below
        const char* down; // reached from above
    } keys[] = {
        {0, "do di re ri mi fa fi so si la li ti do'", "do ra re me mi fa se so le la te ti do'"},
        {7, "fa fi so si la li ti do di re ri mi fa", "fa se so le la te ti do ra re me mi fa"},
        {5, "so si la li ti do di re ri mi fa fi so", "so le la te ti do ra re me mi fa se so"},
        {3, "la li ti do di re ri mi fa fi so si la", "la te ti do ra re me mi fa se so le la"},
    };
    for (const auto& k : keys) {
        for (bool chromatic : {true, false}) {
            CSolfege s;
            s.SetTonic(k.tonic);
            s.SetChromatic(chromatic);
            s.NoteOn(59);
            EXPECT_EQ(Played(s, 60, 1), QString::fromUtf8(k.up)) << k.tonic;
            s.NoteOn(73);
            EXPECT_EQ(Played(s, 72, -1), QString::fromUtf8(k.down)) << k.tonic;
            // Just below the picture the blank one; beyond it none.
            EXPECT_EQ(s.SignOf(59), kSignBlank);
            EXPECT_EQ(s.SignOf(58), -1);
            EXPECT_EQ(s.SignOf(73), -1);
            EXPECT_TRUE(s.SyllableOf(59).isEmpty());
        }
    }

    CSolfege s;
    s.SetTonic(19);
    EXPECT_EQ(s.Tonic(), 7);
    s.SetTonic(-1);
    EXPECT_EQ(s.Tonic(), 11);
}

TEST(SolfegeTest, ChromaticReadingIsFixedWhenTheKeyGoesDown)
{
    CSolfege s;
    s.SetChromatic(true);
    EXPECT_EQ(s.SyllableOf(66), "fi"); // a key not yet played reads raised
    s.NoteOn(61);
    EXPECT_EQ(s.SyllableOf(61), "di"); // the first note, too
    s.NoteOn(64);
    s.NoteOn(62); // the melody turns down: the held C# still reads di
    EXPECT_EQ(s.SyllableOf(61), "di");
    s.NoteOn(61);
    EXPECT_EQ(s.SignOf(61), kSignLoweredFirst); // ra
    s.NoteOn(61); // again the same note: read as before
    EXPECT_EQ(s.SyllableOf(61), "ra");
    s.NoteOn(80); // outside the picture, still where the melody came from
    s.NoteOn(70);
    EXPECT_EQ(s.SyllableOf(70), "te");
}

TEST(SolfegeTest, LetterNamesAreSpeltInTheKey)
{
    QStringList tonics;
    for (int t = 0; t < 12; ++t)
        tonics << TonicName(t);
    EXPECT_EQ(tonics.join(' '), QString::fromUtf8("C D♭ D E♭ E F F♯ G A♭ A B♭ B"));
    EXPECT_EQ(NoteLetterName(70, 7), QString::fromUtf8("A♯"));
    EXPECT_EQ(NoteLetterName(70, 5), QString::fromUtf8("B♭"));
    EXPECT_EQ(NoteLetterName(61, 0), QString::fromUtf8("C♯"));
}
