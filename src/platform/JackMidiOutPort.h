#pragma once
// An open output to a JACK peer, on libjack directly. Senders put packed short
// messages into a ring; the process callback moves as many as the cycle's port
// buffer takes and leaves the rest, in order, for the cycles after. Nothing is
// dropped once accepted; a message the full ring cannot take is refused with an
// error and counted. Closing waits (briefly) until the last messages, the
// note-offs of the reset before it, have left and been read.
//
// Threading:
// - Any thread: ShortMsg() and Reset() (the UI and the metronome send at
//   once: a mutex orders the senders among themselves; the process thread
//   never takes it), DeviceId(), LostMessages().
// - JACK's process thread: reads the ring and writes the port buffer; no
//   lock, allocation or system call.
// - The owner: the destructor.
#include "platform/JackMidiPortClient.h"
#include "platform/MidiMessageRing.h"
#include "platform/MidiBackend.h"
#include "platform/MidiPeerLink.h"
#include "platform/RtMidiSystems.h"
#include "platform/SoundingNotes.h"

#include <atomic>
#include <memory>
#include <mutex>

class CJackMidiOutPort : public IMidiOutPort {
public:
    // deviceId: the peer's index in the list read at `generation`.
    static MMRESULT Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                         uint32_t deviceId, uint64_t generation, MidiPortLostHandler onLost,
                         std::unique_ptr<IMidiOutPort>& port);
    ~CJackMidiOutPort() override;

    uint32_t DeviceId() const override { return m_link.DeviceId(); }
    MMRESULT ShortMsg(uint32_t packed) override;
    MMRESULT Reset() override;
    uint64_t LostMessages() const override { return m_nLost.load(std::memory_order_relaxed); }

private:
    CJackMidiOutPort(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                     uint32_t deviceId, uint64_t generation, MidiPortLostHandler onLost);
    static int OnProcess(jack_nframes_t frames, void* self);
    MMRESULT PushLocked(uint32_t packed); // under m_mutex
    void WaitUntilDelivered();

    CMidiPeerLink m_link;
    std::atomic<uint64_t> m_nLost{0};   // written under m_mutex
    std::atomic<uint64_t> m_nCycles{0}; // process cycles run, counted at their end
    std::mutex m_mutex; // the senders' order; never taken by the process thread
    CSoundingNotes m_notes; // under m_mutex
    CMidiMessageRing m_ring{CMidiMessageRing::kPortMessages};
    CJackMidiPortClient m_client; // last: closed first, ending the process callbacks
};
