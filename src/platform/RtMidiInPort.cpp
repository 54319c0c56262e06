#include "platform/RtMidiInPort.h"

#include "platform/MidiWire.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcRtMidi)

CRtMidiInPort::CRtMidiInPort(std::shared_ptr<CRtMidiSystems> systems, CRtMidiPeer peer,
                             uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                             MidiPortLostHandler onLost)
    : m_pSystems(std::move(systems)), m_peer(std::move(peer)), m_onData(std::move(onData)),
      m_onLost(std::move(onLost))
{
    m_index.generation = generation;
    m_index.index = deviceId;
    m_index.listed = std::chrono::steady_clock::now();
}

uint32_t CRtMidiInPort::DeviceId() const
{
    return m_bLost.load() ? MIDI_NO_DEVICE : m_pSystems->CurrentIndex(m_peer, m_index);
}

CRtMidiInPort::~CRtMidiInPort()
{
    if (m_nWatchId)
        m_pSystems->Watch().Remove(m_nWatchId);
    m_bStarted.store(false);
    try {
        m_pIn.reset(); // closes the port and joins RtMidi's input thread
    } catch (...) {
        // RtMidi reports through our error callback; nothing may escape a destructor.
    }
}

MMRESULT CRtMidiInPort::Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                             uint32_t deviceId, uint64_t generation, MidiInputHandler onData,
                             MidiPortLostHandler onLost, std::unique_ptr<IMidiInPort>& port)
{
    port.reset();
    std::unique_ptr<CRtMidiInPort> self(new CRtMidiInPort(systems, peer, deviceId, generation,
                                                          std::move(onData), std::move(onLost)));
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
    self->m_nWatchId = systems->Watch().Add([raw] { return raw->m_pSystems->PeerAlive(raw->m_peer); },
                                            [raw] { raw->OnLost(); });
    port = std::move(self);
    return MMSYSERR_NOERROR;
}

MMRESULT CRtMidiInPort::Start()
{
    if (m_bLost.load())
        return MMSYSERR_NODRIVER;
    m_bStarted.store(true);
    return MMSYSERR_NOERROR;
}

MMRESULT CRtMidiInPort::Stop()
{
    m_bStarted.store(false);
    return MMSYSERR_NOERROR;
}

MMRESULT CRtMidiInPort::Reset()
{
    // No buffers are ever queued on the port, so there is nothing to hand back.
    m_bStarted.store(false);
    return MMSYSERR_NOERROR;
}

void CRtMidiInPort::OnMessage(double, std::vector<unsigned char>* message, void* arg)
{
    auto* self = static_cast<CRtMidiInPort*>(arg);
    if (message == nullptr || !self->m_bStarted.load(std::memory_order_acquire))
        return;
    if (const auto packed = MidiWire::Decode(message->data(), message->size()))
        self->m_onData(*packed);
}

void CRtMidiInPort::OnError(RtMidiError::Type type, const std::string& text, void* arg)
{
    auto* self = static_cast<CRtMidiInPort*>(arg);
    qCDebug(lcRtMidi, "input %s: %s", self->m_peer.name.c_str(), text.c_str());
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING)
        return;
    if (!self->m_bOpened.load())
        self->m_nOpenError.store(static_cast<int>(type));
    else
        self->m_pSystems->Watch().Poke(); // something broke: is the device still there?
}

void CRtMidiInPort::OnLost()
{
    if (m_bLost.exchange(true))
        return;
    m_bStarted.store(false);
    if (m_onLost)
        m_onLost();
}
