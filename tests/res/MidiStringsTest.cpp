// The MIDI part of the string table: program and group names. The texts of
// single programs and manufacturers are checked where they are shown
// (tests/midi/MIDIShortMsgTest.cpp, tests/dialogs/SetupMIDIOutputDlgTest.cpp).
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <gtest/gtest.h>

namespace {

TEST(MidiStrings, ProgramNamesCarryTheirNumberAndGroupsEndWithTheUndefinedOne)
{
    for (unsigned p = 0; p <= 128; ++p) {
        QString text = QStringLiteral("keep");
        const bool present = StringTable::LoadString(IDS_PROGRAM_BASE + p, text);
        EXPECT_EQ(present, p <= 95 || (p >= 120 && p < 128)) << p;
        EXPECT_TRUE(present ? text.startsWith(QString::number(p) + QLatin1String(" - ")) : text == "keep")
            << p << ": a missing id leaves the output alone";
    }
    // Fourteen groups in a row, the undefined group last.
    for (unsigned i = 0; i < 14; ++i)
        EXPECT_TRUE(StringTable::HasString(IDS_PATCH_GROUP_FIRST + i)) << i;
    EXPECT_EQ(IDS_PATCH_GROUP_FIRST + 13, IDS_PATCH_GROUP_UNDEFINED);
    EXPECT_FALSE(StringTable::HasString(IDS_PATCH_GROUP_FIRST + 14));
    EXPECT_FALSE(StringTable::HasString(IDS_PATCH_GROUP_FIRST - 1));
}

} // namespace
