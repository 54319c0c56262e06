#pragma once
// Capability records: what a device says of itself, plus the id it describes.
#include "platform/MidiBackend.h"

#include <QString>

class CMIDIInCaps : public MidiCaps {
public:
    CMIDIInCaps() = default;
    explicit CMIDIInCaps(uint32_t id) : m_nDeviceID(id) {}
    MMRESULT Query(uint32_t id = MIDI_NO_DEVICE);
    void GetManufacturerName(QString& text, uint16_t mid = 0) const;
    uint32_t m_nDeviceID = MIDI_NO_DEVICE;
};

class CMIDIOutCaps : public MidiCaps {
public:
    CMIDIOutCaps() = default;
    explicit CMIDIOutCaps(uint32_t id) : m_nDeviceID(id) {}
    MMRESULT Query(uint32_t id = MIDI_NO_DEVICE);
    void GetManufacturerName(QString& text, uint16_t mid = 0) const;
    uint32_t m_nDeviceID = MIDI_NO_DEVICE;
};
