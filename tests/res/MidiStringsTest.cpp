// The MIDI part of the string table: manufacturer, program and group names.
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Str(unsigned id)
{
    return StringTable::GetString(id).toStdString();
}

TEST(MidiStrings, ManufacturerRangeHolds71Names)
{
    int count = 0;
    for (unsigned id = IDS_MANUFACTURER_BASE; id < IDS_PROGRAM_BASE; ++id)
        count += StringTable::HasString(id) ? 1 : 0;
    EXPECT_EQ(count, 71);
    EXPECT_FALSE(StringTable::HasString(IDS_MANUFACTURER_BASE));
    EXPECT_EQ(Str(29001), "Microsoft Corporation");
    EXPECT_EQ(Str(29093), "Dialogic Corporation");
    EXPECT_EQ(Str(29056), Str(29074));
    EXPECT_EQ(Str(29056), "Audio Processing Technology");
}

TEST(MidiStrings, ProgramNamesWithGap)
{
    for (unsigned p = 0; p < 128; ++p) {
        SCOPED_TRACE(p);
        QString text;
        const bool present = StringTable::LoadString(IDS_PROGRAM_BASE + p, text);
        EXPECT_EQ(present, p <= 95 || p >= 120);
        if (present) {
            EXPECT_TRUE(text.startsWith(QString::number(p) + QLatin1String(" - ")))
                << text.toStdString();
        }
    }
    const struct {
        unsigned program;
        const char* text;
    } cases[] = {
        {0, "0 - Acoustic grand piano"},
        {95, "95 - Pad 8 (sweep)"},
        {120, "120 - Guitar fret noise"},
        {127, "127 - Gunshot"},
        {87, "87 - Lead 8 (brass + lead)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Str(IDS_PROGRAM_BASE + c.program), c.text);
    EXPECT_FALSE(StringTable::HasString(IDS_PROGRAM_BASE + 128));
}

TEST(MidiStrings, MissingIdLeavesOutputUntouched)
{
    QString text = QStringLiteral("keep");
    EXPECT_FALSE(StringTable::LoadString(IDS_PROGRAM_BASE + 96, text));
    EXPECT_EQ(text.toStdString(), "keep");
    EXPECT_FALSE(StringTable::LoadString(IDS_PROGRAM_BASE + 119, text));
    EXPECT_EQ(text.toStdString(), "keep");
}

TEST(MidiStrings, PatchGroupNames)
{
    const char* const names[] = {
        "Piano", "Chromatic Percussion", "Organ", "Guitar", "Bass", "Strings", "Ensemble",
        "Brass", "Reed", "Pipe", "Synth Lead", "Synth Pad", "Sound Effects",
        "<Undefined Patch Group>",
    };
    static_assert(std::size(names) == 14);
    for (unsigned i = 0; i < std::size(names); ++i)
        EXPECT_EQ(Str(IDS_PATCH_GROUP_FIRST + i), names[i]);
    EXPECT_EQ(IDS_PATCH_GROUP_FIRST + 13, IDS_PATCH_GROUP_UNDEFINED);
    EXPECT_FALSE(StringTable::HasString(IDS_PATCH_GROUP_FIRST + 14));
    EXPECT_FALSE(StringTable::HasString(IDS_PATCH_GROUP_FIRST - 1));
}

} // namespace
