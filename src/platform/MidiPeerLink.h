#pragma once
// What every open port on another client's port keeps about that peer: who
// it is, where it stands in the list now, and whether it is gone. The watch
// asks after it from Watch() on and tells the port's owner, once, when it
// goes.
//
// Threading: DeviceId() and IsLost() from any thread; the lost handler runs
// on the watch thread. The owning port calls Unwatch() before it takes down
// what the handlers touch (the destructor does it too).
#include "platform/MidiBackend.h"
#include "platform/RtMidiSystems.h"

#include <atomic>
#include <functional>
#include <memory>

class CMidiPeerLink {
public:
    // deviceId: the peer's index in the list read at `generation`.
    CMidiPeerLink(std::shared_ptr<CRtMidiSystems> systems, CRtMidiPeer peer, uint32_t deviceId,
                  uint64_t generation, MidiPortLostHandler onLost);
    ~CMidiPeerLink() { Unwatch(); }
    CMidiPeerLink(const CMidiPeerLink&) = delete;
    CMidiPeerLink& operator=(const CMidiPeerLink&) = delete;

    // From now on the peer is watched. When it goes, beforeTelling runs (the
    // port stops what it does for the peer), then the owner's handler.
    void Watch(std::function<void()> beforeTelling = {});
    // After it returns no handler runs any more.
    void Unwatch();

    // Where the peer is in the list now (see CRtMidiSystems::CurrentIndex);
    // MIDI_NO_DEVICE once it is lost.
    uint32_t DeviceId() const;
    bool IsLost() const { return m_bLost.load(); }

    CRtMidiSystems& Systems() const { return *m_pSystems; }
    const CRtMidiPeer& Peer() const { return m_peer; }

private:
    void OnLost();

    const std::shared_ptr<CRtMidiSystems> m_pSystems;
    const CRtMidiPeer m_peer;
    mutable CRtMidiIndexCache m_index;
    const MidiPortLostHandler m_onLost;
    std::function<void()> m_beforeTelling; // set before the watch starts
    std::atomic<bool> m_bLost{false};
    int m_nWatchId = 0;
};
