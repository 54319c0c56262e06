#pragma once
// An open output of the ALSA sequencer through RtMidi (JACK peers have ports
// of their own, JackMidiOutPort.h): our own port ("Kelvora:MIDI Out")
// connected to the device's port. Sends are serialised here (RtMidi objects are
// not thread-safe) and remember what they left sounding, so Reset() can end it.
#include "platform/MidiBackend.h"
#include "platform/MidiPeerLink.h"
#include "platform/RtMidiSystems.h"
#include "platform/SoundingNotes.h"

#include <atomic>
#include <memory>
#include <mutex>

class CRtMidiOutPort : public IMidiOutPort {
public:
    // deviceId: the peer's index in the list read at `generation`.
    static MMRESULT Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                         uint32_t deviceId, uint64_t generation, MidiPortLostHandler onLost,
                         std::unique_ptr<IMidiOutPort>& port);
    ~CRtMidiOutPort() override;

    uint32_t DeviceId() const override { return m_link.DeviceId(); }
    MMRESULT ShortMsg(uint32_t packed) override;
    MMRESULT Reset() override;

private:
    CRtMidiOutPort(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                   uint32_t deviceId, uint64_t generation, MidiPortLostHandler onLost);
    static void OnError(RtMidiError::Type type, const std::string& text, void* self);
    MMRESULT SendLocked(const uint8_t* bytes, std::size_t size);

    CMidiPeerLink m_link;
    std::atomic<int> m_nLastError{-1}; // RtMidiError::Type of the call in progress
    std::mutex m_mutex; // one sender at a time
    CSoundingNotes m_notes;
    std::unique_ptr<RtMidiOut> m_pOut;
};
