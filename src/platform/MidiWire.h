#pragma once
// The packed short message and its bytes on the wire. Every port checks what it
// sends and what it receives here, so a malformed word never reaches a peer and a
// malformed event never reaches the program.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace MidiWire {

// Bytes of the short message that starts with this status byte: 1 to 3, or 0
// when the byte cannot start a short message (a data byte, or system exclusive
// start/end, which travel as long messages).
std::size_t ShortMsgLength(uint8_t status);

// Splits a packed word (status bits 0-7, data 8-15 and 16-23) into its bytes.
// Returns how many bytes the message has, or 0 when it is malformed (no status
// byte, system exclusive, or a data byte with its top bit set). Bytes beyond the
// message's own length are ignored.
std::size_t Encode(uint32_t packed, uint8_t bytes[3]);

// Packs one complete short message received from a port. Anything else (system
// exclusive, a stray data byte, a message that is too short or too long)
// gives nothing.
std::optional<uint32_t> Decode(const uint8_t* bytes, std::size_t size);

} // namespace MidiWire
