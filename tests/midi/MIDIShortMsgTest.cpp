// Packed short messages, builders, message texts and manufacturer names.
#include "midi/MIDIShortMsg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::string S(const QString& s) { return s.toStdString(); }

TEST(DescribeShortMsg, ExactTextsAndBoundaries)
{
    const struct {
        uint32_t packed;
        const char* text;
    } cases[] = {
        {0x00643C90, "[Note On] Ch 01  60 100"},
        {0x00007F80, "[Note Off] Ch 01  127 0"},
        {0x007F7FEF, "[Pitch Bend] Ch 16  127 127"},
        {0x00010AA5, "[Polyphonic Key Pressure] Ch 06  10 1"},
        {0x00400BB0, "[Control Change] Ch 01  11 64"},
        // Channel pressure: two bytes.
        {0x000040DF, "[Channel Pressure] Ch 16  64"},
        {0x00FF00D0, "[Channel Pressure] Ch 01  0"},
        // Program change: only data byte 1, then the program name, none from 96 to 119 or above 127.
        {0x00000AC2, "[Program Change] Ch 03  10 - Music box"},
        {0x00FF00C0, "[Program Change] Ch 01  0 - Acoustic grand piano"},
        {0x00005FC0, "[Program Change] Ch 01  95 - Pad 8 (sweep)"},
        {0x000060C0, "[Program Change] Ch 01  "},
        {0x00006AC2, "[Program Change] Ch 03  "},
        {0x000077C0, "[Program Change] Ch 01  "},
        {0x000078C0, "[Program Change] Ch 01  120 - Guitar fret noise"},
        {0x00007FC0, "[Program Change] Ch 01  127 - Gunshot"},
        {0x000080C0, "[Program Change] Ch 01  "},
        // Real time: only the status byte, even with data bytes set.
        {0x000201F8, "[System Real Time] Timing Clock"},
        {0x000000F9, "[System Real Time] <Undefined Message 249>"},
        {0x000000FF, "[System Real Time] System Reset"},
        // 0xF0 has no name part; 0xF7 is the last three-byte status.
        {0x000201F0, "[System Exclusive] 1 2"},
        {0x000100F2, "[System Common] Song Position Pointer 0 1"},
        {0x000000F4, "[System Common] <Undefined Message 244> 0 0"},
        {0x000000F7, "[System Common] End of Exclusive 0 0"},
        // Below 0x80: four bytes, the fourth included.
        {0x00000045, " 69 0 0 0"},
        {0x00020108, " 8 1 2 0"},
        {0x7F000000, " 0 0 0 127"},
        {0x0102037F, " 127 3 2 1"},
        // Every byte is worded as it is: a data byte with bit 7 set reads as a status byte.
        {0x00FF7FEF, "[Pitch Bend] Ch 16  127[System Real Time] System Reset"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(S(DescribeShortMsg(c.packed)), c.text) << std::hex << c.packed;
}

TEST(DescribeMIDIByte, EachKindOfByte)
{
    const struct {
        uint8_t b;
        const char* text;
    } cases[] = {
        {0x00, " 0"},
        {0x7F, " 127"},
        {0x80, "[Note Off] Ch 01 "},
        {0x89, "[Note Off] Ch 10 "},
        {0x8F, "[Note Off] Ch 16 "},
        {0xEF, "[Pitch Bend] Ch 16 "},
        {0xF0, "[System Exclusive]"},
        {0xF1, "[System Common] MIDI Time Code Quarter Frame"},
        {0xF5, "[System Common] <Undefined Message 245>"},
        {0xF7, "[System Common] End of Exclusive"},
        {0xF8, "[System Real Time] Timing Clock"},
        {0xFD, "[System Real Time] <Undefined Message 253>"},
        {0xFF, "[System Real Time] System Reset"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(S(DescribeMIDIByte(c.b)), c.text) << int(c.b);
}

TEST(ChannelMessageName, KnownAndUnknownStatuses)
{
    const struct {
        uint8_t s;
        const char* text;
    } cases[] = {
        {0x80, "Note Off"},
        {0x90, "Note On"},
        {0xA0, "Polyphonic Key Pressure"},
        {0xB0, "Control Change"},
        {0xC0, "Program Change"},
        {0xD0, "Channel Pressure"},
        {0xE0, "Pitch Bend"},
        {0xF0, "System Message"},
        // Not cleared low nibble, data bytes, system bytes other than 0xF0.
        {0x81, "<Unknown Status Byte 129>"},
        {0x00, "<Unknown Status Byte 0>"},
        {0x7F, "<Unknown Status Byte 127>"},
        {0xF8, "<Unknown Status Byte 248>"},
        {0xFF, "<Unknown Status Byte 255>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(S(ChannelMessageName(c.s)), c.text) << int(c.s);
}

TEST(SystemMessage, ClassAndNameForEverySystemStatus)
{
    const char* const common = "System Common";
    const char* const realTime = "System Real Time";
    const struct {
        uint8_t b;
        const char* cls;
        const char* name;
    } cases[] = {
        {0xF0, "System Exclusive", "<Undefined Message 240>"},
        {0xF1, common, "MIDI Time Code Quarter Frame"},
        {0xF2, common, "Song Position Pointer"},
        {0xF3, common, "Song Select"},
        {0xF4, common, "<Undefined Message 244>"},
        {0xF5, common, "<Undefined Message 245>"},
        {0xF6, common, "Tune Request"},
        {0xF7, common, "End of Exclusive"},
        {0xF8, realTime, "Timing Clock"},
        {0xF9, realTime, "<Undefined Message 249>"},
        {0xFA, realTime, "Start"},
        {0xFB, realTime, "Continue"},
        {0xFC, realTime, "Stop"},
        {0xFD, realTime, "<Undefined Message 253>"},
        {0xFE, realTime, "Active Sensing"},
        {0xFF, realTime, "System Reset"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(S(SystemMessageClass(c.b)), c.cls) << int(c.b);
        EXPECT_EQ(S(SystemMessageName(c.b)), c.name) << int(c.b);
    }
    EXPECT_EQ(S(SystemMessageName(0x00)), "<Undefined Message 0>");
    EXPECT_EQ(S(SystemMessageName(0x90)), "<Undefined Message 144>");
}

TEST(PackShortMsg, ByteOrderAndRoundTrip)
{
    const MIDIShortMsg m = UnpackShortMsg(0x12345678);
    EXPECT_EQ(m.status, 0x78);
    EXPECT_EQ(m.data1, 0x56);
    EXPECT_EQ(m.data2, 0x34);
    EXPECT_EQ(m.reserved, 0x12);
    for (uint32_t w : {0u, 0xFFFFFFFFu, 0x12345678u, 0x80000001u})
        EXPECT_EQ(PackShortMsg(UnpackShortMsg(w)), w);
}

TEST(Builders, PackedWords)
{
    const struct {
        uint32_t got;
        uint32_t want;
    } cases[] = {
        {MakeProgramChange(9, 0), 0x000000C9u},
        {MakeNoteOn(9, 67, 112), 0x00704399u},
        {MakeNoteOff(0, 60, 0), 0x00003C80u},
        {MakeControlChange(15, 7, 127), 0x007F07BFu},
        // Arguments are bytes without range checks.
        {MakeNoteOn(0, 200, 255), 0x00FFC890u},
        // Status wraps at 256: 0x90 + 0x70 = 0x100 -> 0x00, and so on.
        {MakeNoteOn(0x71, 1, 2), 0x00020101u},
        {MakeNoteOff(0x80, 1, 2), 0x00020100u},
        {MakeControlChange(0x50, 1, 2), 0x00020100u},
        {MakeProgramChange(0xFF, 5), 0x000005BFu},
        // Channel 16 (out of range) just runs into the next status.
        {MakeNoteOff(16, 60, 64), 0x00403C90u},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].got, cases[i].want) << i;
}

TEST(ManufacturerName, LookupRules)
{
    const struct {
        uint16_t mid;
        uint16_t recordMid;
        const char* text;
    } cases[] = {
        {37, 0, "Yamaha Corporation of America"},
        {5, 0, "Unknown manufacturer ID 5"},
        {0, 0, "Undefined manufacturer ID 0"},
        {0, 37, "Yamaha Corporation of America"}, // record's wMid stands in for 0
        {0, 5, "Unknown manufacturer ID 5"},
        {24, 37, "Roland"},                       // a given id wins over the record
        {1, 0, "Microsoft Corporation"},
        {93, 0, "Dialogic Corporation"},
        {94, 0, "Unknown manufacturer ID 94"},
        // Ids past the manufacturer block never borrow a program or group name.
        {500, 0, "Unknown manufacturer ID 500"},
        {650, 0, "Unknown manufacturer ID 650"},
        {65535, 0, "Unknown manufacturer ID 65535"},
        {56, 0, "Audio Processing Technology"},
        {74, 0, "Audio Processing Technology"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(S(ManufacturerName(c.mid, c.recordMid)), c.text) << c.mid;

    int known = 0;
    for (unsigned mid = 1; mid < 500; ++mid)
        known += !ManufacturerName(uint16_t(mid), 0).startsWith(QLatin1String("Unknown manufacturer ID "));
    EXPECT_EQ(known, 71);
    // Id 55: a role, a comma, then the company.
    const QString korg = ManufacturerName(55, 0);
    EXPECT_TRUE(korg.endsWith(QLatin1String(", Korg Inc."))) << S(korg);
    EXPECT_GT(korg.size(), QLatin1String(", Korg Inc.").size());
}

} // namespace
