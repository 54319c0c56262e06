#include "platform/JackMidiOutPort.h"

#include "platform/JackBufferTurn.h"
#include "platform/MidiWire.h"

#include <jack/midiport.h>

#include <cstring>
#include <thread>

namespace {

// How long closing waits for the last messages at most: long enough for a
// loaded machine, short enough not to stall the program when the server hangs.
constexpr auto kDeliveryLimit = std::chrono::milliseconds(500);

} // namespace

CJackMidiOutPort::CJackMidiOutPort(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                                   uint32_t deviceId, uint64_t generation, MidiPortLostHandler onLost)
    : m_link(std::move(systems), peer, deviceId, generation, std::move(onLost))
{
}

CJackMidiOutPort::~CJackMidiOutPort()
{
    m_link.Unwatch();
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
    self->m_link.Watch();
    port = std::move(self);
    return MMSYSERR_NOERROR;
}

MMRESULT CJackMidiOutPort::ShortMsg(uint32_t packed)
{
    uint8_t bytes[3];
    if (MidiWire::Encode(packed, bytes) == 0)
        return MMSYSERR_INVALPARAM;
    if (m_link.IsLost())
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
    if (m_link.IsLost()) {
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
    m_link.Systems().Watch().Poke();
    return MMSYSERR_ERROR;
}

int CJackMidiOutPort::OnProcess(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<CJackMidiOutPort*>(arg);
    void* buffer = self->m_client.Buffer(frames);
    if (buffer) {
        const CJackBufferTurn turn(buffer);
        jack_midi_clear_buffer(buffer);
        // All at the cycle's first frame: they are already late, and equal
        // times keep the order they were sent in. Nothing before the
        // connection is in the server's graph: what was sent as the port
        // opened (the channel set-up) would go nowhere.
        uint32_t msg;
        const bool connected = self->m_client.Connected();
        while (connected && self->m_ring.Front(msg)) {
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
    if (epoch == 0 || m_link.IsLost())
        return;
    // Unregistering the port drops what its buffer holds: wait until the ring
    // is empty, then two more cycle ends, so the cycle that wrote the last
    // messages has finished and the peer has had a cycle to read them (one
    // behind on an asynchronous server).
    const auto deadline = std::chrono::steady_clock::now() + kDeliveryLimit;
    const auto waiting = [&] {
        return std::chrono::steady_clock::now() < deadline && !m_link.IsLost() &&
               m_link.Systems().Jack().EpochAlive(epoch);
    };
    while (!m_ring.Empty() && waiting())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const uint64_t until = m_nCycles.load(std::memory_order_acquire) + 2;
    while (m_nCycles.load(std::memory_order_acquire) < until && waiting())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
