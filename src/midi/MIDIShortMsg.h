#pragma once
// Packed and decoded MIDI short messages, their builders and their texts.
#include <QString>

#include <cstdint>

struct MIDIShortMsg {
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    uint8_t reserved = 0;
};

uint32_t PackShortMsg(const MIDIShortMsg& msg);
MIDIShortMsg UnpackShortMsg(uint32_t packed);

uint32_t MakeNoteOff(uint8_t channel, uint8_t key, uint8_t velocity);
uint32_t MakeNoteOn(uint8_t channel, uint8_t key, uint8_t velocity);
uint32_t MakeControlChange(uint8_t channel, uint8_t controller, uint8_t value);
uint32_t MakeProgramChange(uint8_t channel, uint8_t program);

QString DescribeShortMsg(uint32_t packed);
QString DescribeMIDIByte(uint8_t b);
QString ChannelMessageName(uint8_t status);
QString SystemMessageClass(uint8_t b);
QString SystemMessageName(uint8_t b);
// Text for a manufacturer id; with mid 0 the record's own wMid is used.
QString ManufacturerName(uint16_t mid, uint16_t recordMid);
