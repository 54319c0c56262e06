#pragma once
// An open input of the ALSA sequencer through RtMidi (JACK peers have ports
// of their own, JackMidiInPort.h): our own port ("Kelvora:MIDI In") connected
// to the device's port. Messages arrive on RtMidi's ALSA input thread, which
// only decodes them (system exclusive and malformed events are dropped) and
// hands them to the relay (MidiInputRelay.h): it never waits for the UI
// thread, so the sequencer's own input buffer does not fill while the UI is
// busy.
#include "platform/MidiBackend.h"
#include "platform/MidiInputRelay.h"
#include "platform/MidiPeerLink.h"

#include <atomic>
#include <memory>

class CRtMidiInPort : public IMidiInPort {
public:
    // deviceId: the peer's index in the list read at `generation`.
    static MMRESULT Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                         uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                         MidiPortLostHandler onLost, std::unique_ptr<IMidiInPort>& port);
    ~CRtMidiInPort() override;

    uint32_t DeviceId() const override { return m_link.DeviceId(); }
    MMRESULT Start() override;
    MMRESULT Stop() override;
    MMRESULT Reset() override;
    uint64_t LostMessages() const override { return m_relay.Lost(); }

private:
    CRtMidiInPort(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                  uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                  MidiPortLostHandler onLost);
    static void OnMessage(double timeStamp, std::vector<unsigned char>* message, void* self);
    static void OnError(RtMidiError::Type type, const std::string& text, void* self);

    CMidiPeerLink m_link;
    CMidiInputRelay m_relay;
    std::atomic<bool> m_bOpened{false};
    std::atomic<int> m_nOpenError{-1}; // RtMidiError::Type reported while opening
    std::unique_ptr<RtMidiIn> m_pIn; // last: destroyed first, which ends its thread's callbacks
};
