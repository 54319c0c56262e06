#pragma once
// An open input on a JACK peer, on libjack directly: the process callback may
// not wait, allocate or take a lock, and the handler (which posts to the UI
// thread) does all three. So the two are decoupled by the relay's ring and
// reader thread (MidiInputRelay.h).
//
// Threading:
// - JACK's process thread: decodes the cycle's events (system exclusive and
//   malformed events are dropped) and pushes them, one batch a cycle.
// - The relay's reader thread: the handler, only while started.
// - Any thread: DeviceId(), LostMessages(). The owner: Start/Stop/Reset and
//   the destructor, which ends the JACK client before the reader thread.
#include "platform/JackMidiPortClient.h"
#include "platform/MidiBackend.h"
#include "platform/MidiInputRelay.h"
#include "platform/MidiPeerLink.h"

#include <memory>

class CJackMidiInPort : public IMidiInPort {
public:
    // deviceId: the peer's index in the list read at `generation`.
    static MMRESULT Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                         uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                         MidiPortLostHandler onLost, std::unique_ptr<IMidiInPort>& port);
    ~CJackMidiInPort() override;

    uint32_t DeviceId() const override { return m_link.DeviceId(); }
    MMRESULT Start() override;
    MMRESULT Stop() override;
    MMRESULT Reset() override;
    uint64_t LostMessages() const override { return m_relay.Lost(); }

private:
    CJackMidiInPort(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                    uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                    MidiPortLostHandler onLost);
    static int OnProcess(jack_nframes_t frames, void* self);

    CMidiPeerLink m_link;
    CMidiInputRelay m_relay;
    CJackMidiPortClient m_client; // last: closed first, ending the process callbacks
};
