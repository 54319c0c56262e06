#include "platform/JackMidiInPort.h"

#include "platform/JackBufferTurn.h"
#include "platform/MidiWire.h"

#include <jack/midiport.h>

CJackMidiInPort::CJackMidiInPort(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                                 uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                                 MidiPortLostHandler onLost)
    : m_link(std::move(systems), peer, deviceId, generation, std::move(onLost)),
      m_relay(std::move(onData))
{
}

CJackMidiInPort::~CJackMidiInPort()
{
    m_link.Unwatch();
    m_relay.SetStarted(false);
    m_client.Close(); // no more pushes after this
    m_relay.StopReader();
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
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
    // The reader first: the process callback may wake it from the first cycle on.
    if (!self->m_relay.StartReader())
        return MMSYSERR_NOMEM;
    const MMRESULT result = self->m_client.Open(systems->Jack(), peer.epoch, peer.name, "MIDI In",
                                                true, &CJackMidiInPort::OnProcess, self.get());
    if (result != MMSYSERR_NOERROR)
        return result;
    CJackMidiInPort* raw = self.get();
    self->m_link.Watch([raw] { raw->m_relay.SetStarted(false); });
    port = std::move(self);
    return MMSYSERR_NOERROR;
}

MMRESULT CJackMidiInPort::Start()
{
    if (m_link.IsLost())
        return MMSYSERR_NODRIVER;
    m_relay.SetStarted(true);
    return MMSYSERR_NOERROR;
}

MMRESULT CJackMidiInPort::Stop()
{
    m_relay.SetStarted(false);
    return MMSYSERR_NOERROR;
}

MMRESULT CJackMidiInPort::Reset()
{
    // No buffers are ever queued on the port, so there is nothing to hand back.
    m_relay.SetStarted(false);
    return MMSYSERR_NOERROR;
}

int CJackMidiInPort::OnProcess(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<CJackMidiInPort*>(arg);
    void* buffer = self->m_client.Buffer(frames);
    if (!buffer || !self->m_relay.IsStarted())
        return 0; // nobody listens: what arrives now is not wanted later either
    const CJackBufferTurn turn(buffer);
    const uint32_t count = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        if (const auto packed = MidiWire::Decode(event.buffer, event.size))
            self->m_relay.Push(*packed);
    }
    self->m_relay.EndBatch();
    return 0;
}
