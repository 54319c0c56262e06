#include "platform/MidiWire.h"

namespace MidiWire {

std::size_t ShortMsgLength(uint8_t status)
{
    if (status < 0x80)
        return 0;
    if (status < 0xC0)
        return 3; // note off/on, poly pressure, control change
    if (status < 0xE0)
        return 2; // program change, channel pressure
    if (status < 0xF0)
        return 3; // pitch bend
    switch (status) {
    case 0xF0: // system exclusive start
    case 0xF7: // and end: never part of a short message
        return 0;
    case 0xF1: // time code quarter frame
    case 0xF3: // song select
        return 2;
    case 0xF2: // song position
        return 3;
    default:   // tune request, real-time and the undefined single bytes
        return 1;
    }
}

std::size_t Encode(uint32_t packed, uint8_t bytes[3])
{
    bytes[0] = static_cast<uint8_t>(packed & 0xFF);
    bytes[1] = static_cast<uint8_t>((packed >> 8) & 0xFF);
    bytes[2] = static_cast<uint8_t>((packed >> 16) & 0xFF);
    const std::size_t n = ShortMsgLength(bytes[0]);
    for (std::size_t i = 1; i < n; ++i) {
        // A byte with its top bit set would be read by the receiver as a new
        // status byte and throw its parser out of step.
        if (bytes[i] & 0x80)
            return 0;
    }
    return n;
}

std::optional<uint32_t> Decode(const uint8_t* bytes, std::size_t size)
{
    if (bytes == nullptr || size == 0)
        return std::nullopt;
    const std::size_t n = ShortMsgLength(bytes[0]);
    if (n == 0 || n != size)
        return std::nullopt;
    uint32_t packed = bytes[0];
    for (std::size_t i = 1; i < n; ++i) {
        if (bytes[i] & 0x80)
            return std::nullopt;
        packed |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    }
    return packed;
}

} // namespace MidiWire
