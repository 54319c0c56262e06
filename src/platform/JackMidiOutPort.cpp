#include "platform/JackMidiOutPort.h"

#include "platform/MidiWire.h"

#include <jack/midiport.h>

#include <cstring>
#include <thread>

namespace {

// How long closing waits for the last messages at most: long enough for a
// loaded machine, short enough not to stall the program when the server hangs.
constexpr auto kDeliveryLimit = std::chrono::milliseconds(500);

} // namespace

CJackMidiOutPort::CJackMidiOutPort(std::shared_ptr<CRtMidiSystems> systems, CRtMidiPeer peer,
                                   uint32_t deviceId, uint64_t generation,
                                   MidiPortLostHandler onLost)
    : m_pSystems(std::move(systems)), m_peer(std::move(peer)), m_onLost(std::move(onLost))
{
    m_index.generation = generation;
    m_index.index = deviceId;
    m_index.listed = std::chrono::steady_clock::now();
}

CJackMidiOutPort::~CJackMidiOutPort()
{
    if (m_nWatchId)
        m_pSystems->Watch().Remove(m_nWatchId);
    WaitUntilDelivered();
    m_client.Close();
}

MMRESULT CJackMidiOutPort::Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                                uint32_t deviceId, uint64_t generation, MidiPortLostHandler onLost,
                                std::unique_ptr<IMidiOutPort>& port)
{
    port.reset();
    std::unique_ptr<CJackMidiOutPort> self;
    try {
        self.reset(new CJackMidiOutPort(systems, peer, deviceId, generation, std::move(onLost)));
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
    const MMRESULT result = self->m_client.Open(systems->Jack(), peer.epoch, peer.name, "MIDI Out",
                                                false, &CJackMidiOutPort::OnProcess, self.get());
    if (result != MMSYSERR_NOERROR)
        return result;
    CJackMidiOutPort* raw = self.get();
    self->m_nWatchId = systems->Watch().Add([raw] { return raw->m_pSystems->PeerAlive(raw->m_peer); },
                                            [raw] { raw->OnLost(); });
    port = std::move(self);
    return MMSYSERR_NOERROR;
}

uint32_t CJackMidiOutPort::DeviceId() const
{
    return m_bLost.load() ? MIDI_NO_DEVICE : m_pSystems->CurrentIndex(m_peer, m_index);
}

MMRESULT CJackMidiOutPort::ShortMsg(uint32_t packed)
{
    uint8_t bytes[3];
    if (MidiWire::Encode(packed, bytes) == 0)
        return MMSYSERR_INVALPARAM;
    if (m_bLost.load(std::memory_order_relaxed))
        return MMSYSERR_NODRIVER;
    std::lock_guard lock(m_mutex);
    const MMRESULT result = PushLocked(packed);
    if (result == MMSYSERR_NOERROR)
        m_notes.Track(packed);
    return result;
}

MMRESULT CJackMidiOutPort::Reset()
{
    std::lock_guard lock(m_mutex);
    if (m_bLost.load()) {
        m_notes.Clear(); // nobody is listening any more
        return MMSYSERR_NODRIVER;
    }
    MMRESULT result = MMSYSERR_NOERROR;
    m_notes.Silence([&](uint32_t msg) {
        if (PushLocked(msg) != MMSYSERR_NOERROR)
            result = MMSYSERR_ERROR;
    });
    return result;
}

MMRESULT CJackMidiOutPort::PushLocked(uint32_t packed)
{
    if (m_ring.Push(packed))
        return MMSYSERR_NOERROR;
    // A second's worth not taken: the server is stalled or gone. Counted, so
    // the loss shows, and the watch asks whether the peer is still there.
    m_nLost.store(m_nLost.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    m_pSystems->Watch().Poke();
    return MMSYSERR_ERROR;
}

int CJackMidiOutPort::OnProcess(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<CJackMidiOutPort*>(arg);
    void* buffer = self->m_client.Buffer(frames);
    if (buffer) {
        jack_midi_clear_buffer(buffer);
        // All at the cycle's first frame: they are already late, and equal
        // times keep the order they were sent in.
        uint32_t msg;
        while (self->m_ring.Front(msg)) {
            uint8_t bytes[3];
            const std::size_t size = MidiWire::Encode(msg, bytes); // checked when sent
            jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, size);
            if (!data)
                break; // the port's buffer is full: the rest go in the next cycles
            std::memcpy(data, bytes, size);
            self->m_ring.Pop();
        }
    }
    self->m_nCycles.fetch_add(1, std::memory_order_release);
    return 0;
}

void CJackMidiOutPort::WaitUntilDelivered()
{
    const uint64_t epoch = m_client.Epoch();
    if (epoch == 0 || m_bLost.load())
        return;
    // Unregistering the port drops what its buffer holds: wait until the ring
    // is empty, then two more cycle ends, so the cycle that wrote the last
    // messages has finished and the peer has had a cycle to read them (one
    // behind on an asynchronous server).
    const auto deadline = std::chrono::steady_clock::now() + kDeliveryLimit;
    const auto waiting = [&] {
        return std::chrono::steady_clock::now() < deadline && !m_bLost.load() &&
               m_pSystems->Jack().EpochAlive(epoch);
    };
    while (!m_ring.Empty() && waiting())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const uint64_t until = m_nCycles.load(std::memory_order_acquire) + 2;
    while (m_nCycles.load(std::memory_order_acquire) < until && waiting())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void CJackMidiOutPort::OnLost()
{
    if (m_bLost.exchange(true))
        return;
    if (m_onLost)
        m_onLost();
}
