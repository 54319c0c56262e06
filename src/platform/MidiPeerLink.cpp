#include "platform/MidiPeerLink.h"

CMidiPeerLink::CMidiPeerLink(std::shared_ptr<CRtMidiSystems> systems, CRtMidiPeer peer,
                             uint32_t deviceId, uint64_t generation, MidiPortLostHandler onLost)
    : m_pSystems(std::move(systems)), m_peer(std::move(peer)), m_onLost(std::move(onLost))
{
    m_index.generation = generation;
    m_index.index = deviceId;
    m_index.listed = std::chrono::steady_clock::now();
}

void CMidiPeerLink::Watch(std::function<void()> beforeTelling)
{
    m_beforeTelling = std::move(beforeTelling);
    m_nWatchId = m_pSystems->Watch().Add([this] { return m_pSystems->PeerAlive(m_peer); },
                                         [this] { OnLost(); });
}

void CMidiPeerLink::Unwatch()
{
    if (m_nWatchId)
        m_pSystems->Watch().Remove(m_nWatchId); // waits for a handler in progress
    m_nWatchId = 0;
}

uint32_t CMidiPeerLink::DeviceId() const
{
    return m_bLost.load() ? MIDI_NO_DEVICE : m_pSystems->CurrentIndex(m_peer, m_index);
}

void CMidiPeerLink::OnLost()
{
    if (m_bLost.exchange(true))
        return;
    if (m_beforeTelling)
        m_beforeTelling();
    if (m_onLost)
        m_onLost();
}
