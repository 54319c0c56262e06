// Bytes on the wire: what may leave a port and what is let in.
#include "platform/MidiWire.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MidiWireTest, EncodeSendsOnlyTheMessagesOwnBytes)
{
    const std::pair<uint32_t, std::vector<uint8_t>> cases[] = {
        {0x00643C90, {0x90, 0x3C, 0x64}}, {0x00FF05C3, {0xC3, 0x05}}, // program change: no third byte
        {0xABCDEFF8, {0xF8}},             {0x000301F2, {0xF2, 0x01, 0x03}}, // clock, junk above ignored
        {0x000005F3, {0xF3, 0x05}},       {0x000000F4, {0xF4}}, // undefined system common: one byte
        // Nothing: no status byte, system exclusive (a long message), a data byte that reads as status.
        {0x00643C10, {}}, {0x00000000, {}}, {0x000000F0, {}}, {0x000000F7, {}}, {0x00803C90, {}}, {0x0000BCB0, {}},
    };
    for (const auto& [msg, bytes] : cases) {
        uint8_t b[3] = {};
        const size_t n = MidiWire::Encode(msg, b);
        EXPECT_EQ(std::vector<uint8_t>(b, b + std::min<size_t>(n, 3)), bytes) << std::hex << msg;
        EXPECT_EQ(n, bytes.size()) << std::hex << msg;
    }
}

TEST(MidiWireTest, DecodeTakesWholeShortMessagesOnly)
{
    const std::pair<std::vector<uint8_t>, uint32_t> whole[] = {
        {{0x90, 0x3C, 0x64}, 0x00643C90u}, {{0xC5, 0x10}, 0x000010C5u}, {{0xFE}, 0x000000FEu}, {{0xE0, 0x00, 0x40}, 0x004000E0u}};
    for (const auto& [bytes, msg] : whole)
        EXPECT_EQ(MidiWire::Decode(bytes.data(), bytes.size()), msg) << std::hex << msg;
    // Empty, cut short, too long, running status, system exclusive, a data
    // byte with the top bit, real-time with a data byte.
    const std::vector<uint8_t> refused[] = {{}, {0x90, 0x3C}, {0x90, 0x3C, 0x64, 0x80}, {0x3C, 0x64},
                                            {0xF0, 0x7E, 0x7F, 0xF7}, {0xF7}, {0xB0, 0x07, 0x80}, {0xF8, 0x00}};
    for (const auto& bytes : refused)
        EXPECT_FALSE(MidiWire::Decode(bytes.data(), bytes.size())) << bytes.size();
    EXPECT_FALSE(MidiWire::Decode(nullptr, 3));
}

} // namespace
