#include "platform/RtMidiOutPort.h"

#include "platform/MidiWire.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcRtMidi)

CRtMidiOutPort::CRtMidiOutPort(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                               uint32_t deviceId, uint64_t generation, MidiPortLostHandler onLost)
    : m_link(std::move(systems), peer, deviceId, generation, std::move(onLost))
{
}

CRtMidiOutPort::~CRtMidiOutPort()
{
    m_link.Unwatch();
    std::lock_guard lock(m_mutex);
    try {
        m_pOut.reset();
    } catch (...) {
    }
}

MMRESULT CRtMidiOutPort::Open(std::shared_ptr<CRtMidiSystems> systems, const CRtMidiPeer& peer,
                              uint32_t deviceId, uint64_t generation, MidiPortLostHandler onLost,
                              std::unique_ptr<IMidiOutPort>& port)
{
    port.reset();
    std::unique_ptr<CRtMidiOutPort> self(
        new CRtMidiOutPort(systems, peer, deviceId, generation, std::move(onLost)));
    try {
        self->m_pOut = std::make_unique<RtMidiOut>(peer.api, CRtMidiSystems::kClientName);
        self->m_pOut->setErrorCallback(&CRtMidiOutPort::OnError, self.get());
        const unsigned count = self->m_pOut->getPortCount();
        unsigned index = count;
        for (unsigned i = 0; i < count && index == count; ++i) {
            if (self->m_pOut->getPortName(i) == peer.name)
                index = i;
        }
        if (index == count)
            return MMSYSERR_BADDEVICEID;
        self->m_nLastError.store(-1);
        self->m_pOut->openPort(index, "MIDI Out");
        const int error = self->m_nLastError.load();
        if (error >= 0 && error != RtMidiError::WARNING && error != RtMidiError::DEBUG_WARNING)
            return CRtMidiSystems::ResultOf(static_cast<RtMidiError::Type>(error));
        if (!self->m_pOut->isPortOpen())
            return MMSYSERR_ERROR;
    } catch (const RtMidiError& e) {
        qCDebug(lcRtMidi, "opening output %s: %s", peer.name.c_str(), e.what());
        return CRtMidiSystems::ResultOf(e.getType());
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    } catch (const std::exception& e) {
        qCDebug(lcRtMidi, "opening output %s: %s", peer.name.c_str(), e.what());
        return MMSYSERR_ERROR;
    }
    self->m_link.Watch();
    port = std::move(self);
    return MMSYSERR_NOERROR;
}

MMRESULT CRtMidiOutPort::ShortMsg(uint32_t packed)
{
    uint8_t bytes[3];
    const std::size_t size = MidiWire::Encode(packed, bytes);
    if (size == 0)
        return MMSYSERR_INVALPARAM;
    if (m_link.IsLost())
        return MMSYSERR_NODRIVER;
    std::lock_guard lock(m_mutex);
    const MMRESULT result = SendLocked(bytes, size);
    if (result == MMSYSERR_NOERROR)
        m_notes.Track(packed);
    return result;
}

MMRESULT CRtMidiOutPort::Reset()
{
    std::lock_guard lock(m_mutex);
    if (m_link.IsLost()) {
        m_notes.Clear(); // nobody is listening any more
        return MMSYSERR_NODRIVER;
    }
    MMRESULT result = MMSYSERR_NOERROR;
    m_notes.Silence([&](uint32_t msg) {
        uint8_t bytes[3];
        const std::size_t size = MidiWire::Encode(msg, bytes);
        if (SendLocked(bytes, size) != MMSYSERR_NOERROR)
            result = MMSYSERR_ERROR;
    });
    return result;
}

MMRESULT CRtMidiOutPort::SendLocked(const uint8_t* bytes, std::size_t size)
{
    m_nLastError.store(-1, std::memory_order_relaxed);
    try {
        m_pOut->sendMessage(bytes, size);
    } catch (const std::exception&) {
        m_link.Systems().Watch().Poke();
        return MMSYSERR_ERROR;
    }
    if (m_nLastError.load(std::memory_order_relaxed) >= 0) {
        m_link.Systems().Watch().Poke(); // a failed send: is the device still there?
        return MMSYSERR_ERROR;
    }
    return MMSYSERR_NOERROR;
}

void CRtMidiOutPort::OnError(RtMidiError::Type type, const std::string& text, void* arg)
{
    auto* self = static_cast<CRtMidiOutPort*>(arg);
    qCDebug(lcRtMidi, "output %s: %s", self->m_link.Peer().name.c_str(), text.c_str());
    // Errors come from the call in progress on the sending thread; a warning
    // (a full JACK buffer dropping the message) is a failed send too.
    self->m_nLastError.store(static_cast<int>(type), std::memory_order_relaxed);
}
