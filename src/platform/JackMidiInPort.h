#pragma once
// An open input on a JACK peer, on libjack directly: the process callback may
// not wait, allocate or take a lock, and the handler (which posts to the UI
// thread) does all three. So the two are decoupled by a ring of packed short
// messages that holds more than a second of the densest stream JACK MIDI
// carries, and a thread of the port hands them on in order. What does not fit
// is counted, never silently gone, and never overwrites or reorders anything.
//
// Threading:
// - JACK's process thread: decodes the cycle's events (system exclusive and
//   malformed events are dropped), pushes them; on a full ring counts a loss.
//   It wakes the reader only when the reader said it sleeps, at most once a
//   cycle: a futex wake with no lock held, the one system call it may make.
// - The port's reader thread: pops and calls the handler, only while started.
// - Any thread: DeviceId(), LostMessages(). The owner: Start/Stop/Reset and
//   the destructor, which ends the JACK client before the reader thread.
#include "platform/JackMidiPortClient.h"
#include "platform/JackMidiPortRing.h"
#include "platform/MidiBackend.h"
#include "platform/RtMidiSystems.h"

#include <atomic>
#include <memory>
#include <thread>

class CJackMidiInPort : public IMidiInPort {
public:
    // Over a second at 100,000 messages a second.
    static constexpr std::size_t kRingMessages = 1u << 17;

    // deviceId: the peer's index in the list read at `generation`.
    static MMRESULT Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                         uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                         MidiPortLostHandler onLost, std::unique_ptr<IMidiInPort>& port);
    ~CJackMidiInPort() override;

    uint32_t DeviceId() const override;
    MMRESULT Start() override;
    MMRESULT Stop() override;
    MMRESULT Reset() override;
    uint64_t LostMessages() const override { return m_nLost.load(std::memory_order_relaxed); }

private:
    CJackMidiInPort(std::shared_ptr<CRtMidiSystems> systems, CRtMidiPeer peer, uint32_t deviceId,
                    uint64_t generation, MidiInputHandler onData, MidiPortLostHandler onLost);
    static int OnProcess(jack_nframes_t frames, void* self);
    void RunReader();
    void OnLost();

    std::shared_ptr<CRtMidiSystems> m_pSystems;
    const CRtMidiPeer m_peer;
    mutable CRtMidiIndexCache m_index;
    const MidiInputHandler m_onData;
    const MidiPortLostHandler m_onLost;
    std::atomic<bool> m_bStarted{false};
    std::atomic<bool> m_bLost{false};
    std::atomic<uint64_t> m_nLost{0}; // written by the process thread only
    CJackMidiPortRing m_ring{kRingMessages};
    // The reader's sleep: it sets m_bSleeping, looks at the ring once more and
    // waits on m_nWake; the process thread clears the flag and bumps m_nWake.
    // Both sides only exchange the flag, so what was pushed before is seen.
    std::atomic<bool> m_bSleeping{false};
    std::atomic<uint32_t> m_nWake{0};
    std::atomic<bool> m_bQuit{false};
    int m_nWatchId = 0;
    std::thread m_reader;
    CJackMidiPortClient m_client; // last: closed first, ending the process callbacks
};
