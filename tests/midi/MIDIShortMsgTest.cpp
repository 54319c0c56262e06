// Packed short messages, builders, message texts and manufacturer names.
#include "midi/MIDIShortMsg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::string S(const QString& s) { return s.toStdString(); }

TEST(DescribeShortMsg, ExactTextsAndBoundaries)
{
    const std::pair<uint32_t, const char*> cases[] = {
        {0x00643C90, "[Note On] Ch 01  60 100"}, {0x007F7FEF, "[Pitch Bend] Ch 16  127 127"},
        {0x00FF00D0, "[Channel Pressure] Ch 01  0"}, // two bytes
        // Program change: only data byte 1, as the name the table has for it (its gaps
        // and end: tests/res/MidiStringsTest.cpp), or nothing, even for 0x80.
        {0x00FF00C0, "[Program Change] Ch 01  0 - Acoustic grand piano"}, {0x000080C2, "[Program Change] Ch 03  "},
        // Real time: only the status byte, even with data bytes set; 0xF0 has
        // no name part; 0xF7 is the last three-byte status; below 0x80, four bytes.
        {0x000201F8, "[System Real Time] Timing Clock"}, {0x000201F0, "[System Exclusive] 1 2"},
        {0x000000F7, "[System Common] End of Exclusive 0 0"}, {0x0102037F, " 127 3 2 1"},
        // Every byte is worded as it is: a data byte with bit 7 set reads as a status byte.
        {0x00FF7FEF, "[Pitch Bend] Ch 16  127[System Real Time] System Reset"},
    };
    for (const auto& [packed, text] : cases)
        EXPECT_EQ(S(DescribeShortMsg(packed)), text) << std::hex << packed;

    // The system bytes (the classes change at 0xF0, 0xF1 and 0xF8) and the
    // numbered gaps in their names.
    const std::pair<uint8_t, const char*> system[] = {
        {0xF1, "[System Common] MIDI Time Code Quarter Frame"}, {0xF4, "[System Common] <Undefined Message 244>"},
        {0xF6, "[System Common] Tune Request"}, {0xF9, "[System Real Time] <Undefined Message 249>"},
        {0xFE, "[System Real Time] Active Sensing"},
    };
    for (const auto& [b, text] : system)
        EXPECT_EQ(S(DescribeMIDIByte(b)), text) << int(b);
    EXPECT_EQ(S(ChannelMessageName(0x81)), "<Unknown Status Byte 129>");
}

TEST(ShortMsg, PackingAndBuilders)
{
    const MIDIShortMsg m = UnpackShortMsg(0x12345678);
    EXPECT_EQ((std::vector<int>{m.status, m.data1, m.data2, m.reserved}), (std::vector<int>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(PackShortMsg(m), 0x12345678u);
    // Arguments are bytes without range checks; the status wraps at 256, and
    // channel 16 just runs into the next status.
    const std::pair<uint32_t, uint32_t> cases[] = {
        {MakeProgramChange(9, 0), 0x000000C9u},   {MakeNoteOn(9, 67, 112), 0x00704399u},
        {MakeControlChange(15, 7, 127), 0x007F07BFu}, {MakeNoteOn(0, 200, 255), 0x00FFC890u},
        {MakeNoteOn(0x71, 1, 2), 0x00020101u},    {MakeNoteOff(16, 60, 64), 0x00403C90u},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].first, cases[i].second) << i;
}

TEST(ManufacturerName, LookupRules)
{
    const struct {
        uint16_t mid, recordMid;
        const char* text;
    } cases[] = {
        {37, 0, "Yamaha Corporation of America"}, {0, 0, "Undefined manufacturer ID 0"},
        // The record's wMid stands in for 0; a given id wins over the record.
        {0, 37, "Yamaha Corporation of America"}, {0, 5, "Unknown manufacturer ID 5"}, {24, 37, "Roland"},
        // The first and last of the block, and past it.
        {1, 0, "Microsoft Corporation"}, {93, 0, "Dialogic Corporation"}, {94, 0, "Unknown manufacturer ID 94"},
        // Ids past the manufacturer block never borrow a program or group name.
        {500, 0, "Unknown manufacturer ID 500"}, {65535, 0, "Unknown manufacturer ID 65535"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(S(ManufacturerName(c.mid, c.recordMid)), c.text) << c.mid;

    int known = 0;
    for (unsigned mid = 1; mid < 500; ++mid)
        known += !ManufacturerName(uint16_t(mid), 0).startsWith(QLatin1String("Unknown manufacturer ID "));
    EXPECT_EQ(known, 71);
}

} // namespace
