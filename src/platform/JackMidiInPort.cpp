#include "platform/JackMidiInPort.h"

#include "platform/MidiWire.h"

#include <jack/midiport.h>

CJackMidiInPort::CJackMidiInPort(std::shared_ptr<CRtMidiSystems> systems, CRtMidiPeer peer,
                                 uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                                 MidiPortLostHandler onLost)
    : m_pSystems(std::move(systems)), m_peer(std::move(peer)), m_onData(std::move(onData)),
      m_onLost(std::move(onLost))
{
    m_index.generation = generation;
    m_index.index = deviceId;
    m_index.listed = std::chrono::steady_clock::now();
}

CJackMidiInPort::~CJackMidiInPort()
{
    if (m_nWatchId)
        m_pSystems->Watch().Remove(m_nWatchId);
    m_bStarted.store(false);
    m_client.Close(); // no more pushes after this
    if (m_reader.joinable()) {
        m_bQuit.store(true);
        m_nWake.fetch_add(1);
        m_nWake.notify_one();
        m_reader.join();
    }
}

MMRESULT CJackMidiInPort::Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                               uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                               MidiPortLostHandler onLost, std::unique_ptr<IMidiInPort>& port)
{
    port.reset();
    std::unique_ptr<CJackMidiInPort> self;
    try {
        self.reset(new CJackMidiInPort(systems, peer, deviceId, generation, std::move(onData),
                                       std::move(onLost)));
        // The reader first: the process callback may wake it from the first cycle on.
        self->m_reader = std::thread(&CJackMidiInPort::RunReader, self.get());
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    } catch (const std::system_error&) {
        return MMSYSERR_NOMEM;
    }
    const MMRESULT result = self->m_client.Open(systems->Jack(), peer.epoch, peer.name, "MIDI In",
                                                true, &CJackMidiInPort::OnProcess, self.get());
    if (result != MMSYSERR_NOERROR)
        return result;
    CJackMidiInPort* raw = self.get();
    self->m_nWatchId = systems->Watch().Add([raw] { return raw->m_pSystems->PeerAlive(raw->m_peer); },
                                            [raw] { raw->OnLost(); });
    port = std::move(self);
    return MMSYSERR_NOERROR;
}

uint32_t CJackMidiInPort::DeviceId() const
{
    return m_bLost.load() ? MIDI_NO_DEVICE : m_pSystems->CurrentIndex(m_peer, m_index);
}

MMRESULT CJackMidiInPort::Start()
{
    if (m_bLost.load())
        return MMSYSERR_NODRIVER;
    m_bStarted.store(true);
    return MMSYSERR_NOERROR;
}

MMRESULT CJackMidiInPort::Stop()
{
    m_bStarted.store(false);
    return MMSYSERR_NOERROR;
}

MMRESULT CJackMidiInPort::Reset()
{
    // No buffers are ever queued on the port, so there is nothing to hand back.
    m_bStarted.store(false);
    return MMSYSERR_NOERROR;
}

int CJackMidiInPort::OnProcess(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<CJackMidiInPort*>(arg);
    void* buffer = self->m_client.Buffer(frames);
    if (!buffer || !self->m_bStarted.load(std::memory_order_acquire))
        return 0; // nobody listens: what arrives now is not wanted later either
    const uint32_t count = jack_midi_get_event_count(buffer);
    uint64_t lost = 0;
    bool pushed = false;
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        const auto packed = MidiWire::Decode(event.buffer, event.size);
        if (!packed)
            continue;
        if (self->m_ring.Push(*packed))
            pushed = true;
        else
            ++lost;
    }
    if (lost)
        self->m_nLost.store(self->m_nLost.load(std::memory_order_relaxed) + lost,
                            std::memory_order_relaxed);
    // Every access to the flag is an exchange, so whichever side comes second
    // sees the other's work: a sleeping reader is woken, or a reader about to
    // sleep finds what was pushed.
    if (pushed && self->m_bSleeping.exchange(false, std::memory_order_acq_rel)) {
        self->m_nWake.fetch_add(1, std::memory_order_release);
        self->m_nWake.notify_one();
    }
    return 0;
}

void CJackMidiInPort::RunReader()
{
    while (!m_bQuit.load(std::memory_order_acquire)) {
        uint32_t msg;
        while (m_ring.Front(msg)) {
            m_ring.Pop();
            // Stopped: what was queued before is dropped, as it would have been
            // had it arrived a moment later.
            if (m_bStarted.load(std::memory_order_acquire))
                m_onData(msg);
        }
        const uint32_t wake = m_nWake.load(std::memory_order_acquire);
        m_bSleeping.exchange(true, std::memory_order_acq_rel);
        if (!m_ring.Empty() || m_bQuit.load(std::memory_order_acquire)) {
            m_bSleeping.exchange(false, std::memory_order_acq_rel);
            continue;
        }
        m_nWake.wait(wake, std::memory_order_acquire);
    }
}

void CJackMidiInPort::OnLost()
{
    if (m_bLost.exchange(true))
        return;
    m_bStarted.store(false);
    if (m_onLost)
        m_onLost();
}
