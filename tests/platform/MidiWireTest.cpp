// Bytes on the wire: what may leave a port and what is let in.
#include "platform/MidiWire.h"

#include <gtest/gtest.h>

namespace {

std::optional<uint32_t> Decode(std::initializer_list<uint8_t> bytes)
{
    return MidiWire::Decode(std::data(bytes), bytes.size());
}

TEST(MidiWireTest, EncodeSendsOnlyTheMessagesOwnBytes)
{
    uint8_t b[3];
    EXPECT_EQ(MidiWire::Encode(0x00643C90, b), 3u);
    EXPECT_EQ(b[0], 0x90);
    EXPECT_EQ(b[1], 0x3C);
    EXPECT_EQ(b[2], 0x64);
    EXPECT_EQ(MidiWire::Encode(0x00FF05C3, b), 2u); // program change: the third byte is not sent
    EXPECT_EQ(MidiWire::Encode(0xABCDEFF8, b), 1u); // clock, junk above ignored
    EXPECT_EQ(MidiWire::Encode(0x000301F2, b), 3u); // song position
    EXPECT_EQ(MidiWire::Encode(0x000005F3, b), 2u); // song select
    EXPECT_EQ(MidiWire::Encode(0x000000F4, b), 1u); // undefined system common: one byte

    EXPECT_EQ(MidiWire::Encode(0x00643C10, b), 0u); // no status byte
    EXPECT_EQ(MidiWire::Encode(0x00000000, b), 0u);
    EXPECT_EQ(MidiWire::Encode(0x000000F0, b), 0u); // system exclusive is a long message
    EXPECT_EQ(MidiWire::Encode(0x000000F7, b), 0u);
    EXPECT_EQ(MidiWire::Encode(0x00803C90, b), 0u); // a data byte that reads as status
    EXPECT_EQ(MidiWire::Encode(0x0000BCB0, b), 0u);
}

TEST(MidiWireTest, DecodeTakesWholeShortMessagesOnly)
{
    EXPECT_EQ(Decode({0x90, 0x3C, 0x64}), 0x00643C90u);
    EXPECT_EQ(Decode({0xC5, 0x10}), 0x000010C5u);
    EXPECT_EQ(Decode({0xFE}), 0x000000FEu);
    EXPECT_EQ(Decode({0xE0, 0x00, 0x40}), 0x004000E0u);

    EXPECT_FALSE(Decode({}));
    EXPECT_FALSE(MidiWire::Decode(nullptr, 3));
    EXPECT_FALSE(Decode({0x90, 0x3C}));                   // cut short
    EXPECT_FALSE(Decode({0x90, 0x3C, 0x64, 0x80}));       // too long
    EXPECT_FALSE(Decode({0x3C, 0x64}));                   // running status
    EXPECT_FALSE(Decode({0xF0, 0x7E, 0x7F, 0xF7}));       // system exclusive
    EXPECT_FALSE(Decode({0xF7}));
    EXPECT_FALSE(Decode({0xB0, 0x07, 0x80}));             // data byte with the top bit
    EXPECT_FALSE(Decode({0xF8, 0x00}));                   // real-time is one byte
}

} // namespace
