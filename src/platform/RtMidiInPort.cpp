#include "platform/RtMidiInPort.h"

#include "platform/MidiWire.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcRtMidi)

CRtMidiInPort::CRtMidiInPort(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                             uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                             MidiPortLostHandler onLost)
    : m_link(std::move(systems), peer, deviceId, generation, std::move(onLost)),
      m_relay(std::move(onData))
{
}

CRtMidiInPort::~CRtMidiInPort()
{
    m_link.Unwatch();
    m_relay.SetStarted(false);
    try {
        m_pIn.reset(); // closes the port and joins RtMidi's input thread
    } catch (...) {
        // RtMidi reports through our error callback; nothing may escape a destructor.
    }
    m_relay.StopReader();
}

MMRESULT CRtMidiInPort::Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                             uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                             MidiPortLostHandler onLost, std::unique_ptr<IMidiInPort>& port)
{
    port.reset();
    std::unique_ptr<CRtMidiInPort> self(new CRtMidiInPort(systems, peer, deviceId, generation,
                                                          std::move(onData), std::move(onLost)));
    if (!self->m_relay.StartReader())
        return MMSYSERR_NOMEM;
    try {
        self->m_pIn = std::make_unique<RtMidiIn>(peer.api, CRtMidiSystems::kClientName);
        self->m_pIn->setErrorCallback(&CRtMidiInPort::OnError, self.get());
        // Keep clock and active sensing (the program's filter decides about
        // them); system exclusive is never wanted.
        self->m_pIn->ignoreTypes(true, false, false);
        self->m_pIn->setCallback(&CRtMidiInPort::OnMessage, self.get());

        // RtMidi numbers ports by its own listing, which may have changed since
        // ours: find the device by name.
        const unsigned count = self->m_pIn->getPortCount();
        unsigned index = count;
        for (unsigned i = 0; i < count && index == count; ++i) {
            if (self->m_pIn->getPortName(i) == peer.name)
                index = i;
        }
        if (index == count)
            return MMSYSERR_BADDEVICEID;
        self->m_pIn->openPort(index, "MIDI In");
        const int error = self->m_nOpenError.load();
        if (error >= 0)
            return CRtMidiSystems::ResultOf(static_cast<RtMidiError::Type>(error));
        if (!self->m_pIn->isPortOpen())
            return MMSYSERR_ERROR;
    } catch (const RtMidiError& e) {
        qCDebug(lcRtMidi, "opening input %s: %s", peer.name.c_str(), e.what());
        return CRtMidiSystems::ResultOf(e.getType());
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    } catch (const std::exception& e) {
        qCDebug(lcRtMidi, "opening input %s: %s", peer.name.c_str(), e.what());
        return MMSYSERR_ERROR;
    }
    self->m_bOpened.store(true);
    CRtMidiInPort* raw = self.get();
    self->m_link.Watch([raw] { raw->m_relay.SetStarted(false); });
    port = std::move(self);
    return MMSYSERR_NOERROR;
}

MMRESULT CRtMidiInPort::Start()
{
    if (m_link.IsLost())
        return MMSYSERR_NODRIVER;
    m_relay.SetStarted(true);
    return MMSYSERR_NOERROR;
}

MMRESULT CRtMidiInPort::Stop()
{
    m_relay.SetStarted(false);
    return MMSYSERR_NOERROR;
}

MMRESULT CRtMidiInPort::Reset()
{
    // No buffers are ever queued on the port, so there is nothing to hand back.
    m_relay.SetStarted(false);
    return MMSYSERR_NOERROR;
}

void CRtMidiInPort::OnMessage(double, std::vector<unsigned char>* message, void* arg)
{
    auto* self = static_cast<CRtMidiInPort*>(arg);
    if (message == nullptr || !self->m_relay.IsStarted())
        return;
    if (const auto packed = MidiWire::Decode(message->data(), message->size())) {
        self->m_relay.Push(*packed);
        self->m_relay.EndBatch();
    }
}

void CRtMidiInPort::OnError(RtMidiError::Type type, const std::string& text, void* arg)
{
    auto* self = static_cast<CRtMidiInPort*>(arg);
    qCDebug(lcRtMidi, "input %s: %s", self->m_link.Peer().name.c_str(), text.c_str());
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING)
        return;
    if (!self->m_bOpened.load())
        self->m_nOpenError.store(static_cast<int>(type));
    else
        self->m_link.Systems().Watch().Poke(); // something broke: is the device still there?
}

