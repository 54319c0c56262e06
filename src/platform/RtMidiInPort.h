#pragma once
// An open input of the ALSA sequencer through RtMidi (JACK peers have ports
// of their own, JackMidiInPort.h): our own port ("Kelvora:MIDI In") connected
// to the device's port. Messages arrive on RtMidi's ALSA input thread and go
// to the handler as packed
// short messages; system exclusive and malformed events are dropped there.
#include "platform/MidiBackend.h"
#include "platform/RtMidiSystems.h"

#include <atomic>
#include <memory>

class CRtMidiInPort : public IMidiInPort {
public:
    // deviceId: the peer's index in the list read at `generation`.
    static MMRESULT Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                         uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                         MidiPortLostHandler onLost, std::unique_ptr<IMidiInPort>& port);
    ~CRtMidiInPort() override;

    // Where the peer is in the list now (see CRtMidiSystems::CurrentIndex);
    // MIDI_NO_DEVICE once it is lost. Any thread.
    uint32_t DeviceId() const override;
    MMRESULT Start() override;
    MMRESULT Stop() override;
    MMRESULT Reset() override;

private:
    CRtMidiInPort(std::shared_ptr<CRtMidiSystems> systems, CRtMidiPeer peer, uint32_t deviceId,
                  uint64_t generation, MidiInputHandler onData, MidiPortLostHandler onLost);
    static void OnMessage(double timeStamp, std::vector<unsigned char>* message, void* self);
    static void OnError(RtMidiError::Type type, const std::string& text, void* self);
    void OnLost();

    std::shared_ptr<CRtMidiSystems> m_pSystems;
    const CRtMidiPeer m_peer;
    mutable CRtMidiIndexCache m_index;
    const MidiInputHandler m_onData;
    const MidiPortLostHandler m_onLost;
    std::atomic<bool> m_bStarted{false};
    std::atomic<bool> m_bLost{false};
    std::atomic<bool> m_bOpened{false};
    std::atomic<int> m_nOpenError{-1}; // RtMidiError::Type reported while opening
    int m_nWatchId = 0;
    std::unique_ptr<RtMidiIn> m_pIn; // last: destroyed first, which ends its thread's callbacks
};
