#include "platform/RtMidiBackend.h"

#include "platform/BuiltinSynth.h"
#include "platform/JackMidiInPort.h"
#include "platform/JackMidiOutPort.h"
#include "platform/RtMidiInPort.h"
#include "platform/RtMidiOutPort.h"
#include "platform/RtMidiSystems.h"

namespace {

MidiCaps CapsOf(const CRtMidiPeer& peer)
{
    // The sequencer knows no manufacturer or product ids; the name is all there is.
    MidiCaps caps;
    caps.szPname = QString::fromStdString(peer.name);
    caps.portName = QString::fromStdString(CRtMidiSystems::StableName(peer.api, peer.name));
    caps.bLoopback = CRtMidiSystems::IsLoopback(peer.api, peer.name);
    return caps;
}

} // namespace

CRtMidiBackend::CRtMidiBackend(unsigned systems, std::shared_ptr<CBuiltinSynth> synth)
    : m_pSystems(std::make_shared<CRtMidiSystems>((systems & Alsa) != 0, (systems & Jack) != 0)),
      m_pSynth(synth ? std::move(synth) : std::make_shared<CBuiltinSynth>())
{
}

CRtMidiBackend::~CRtMidiBackend()
{
    std::set<int> ids;
    {
        std::lock_guard lock(m_listenerMutex);
        ids.swap(m_listenerIds);
    }
    for (int id : ids)
        m_pSystems->RemoveListener(id);
}

bool CRtMidiBackend::AlsaSequencerPresent()
{
    return CRtMidiSystems::AlsaSequencerPresent();
}

QString CRtMidiBackend::Name() const
{
    if (m_pSystems->UsesAlsa() && m_pSystems->UsesJack())
        return QStringLiteral("ALSA+JACK");
    if (m_pSystems->UsesAlsa())
        return QStringLiteral("ALSA");
    if (m_pSystems->UsesJack())
        return QStringLiteral("JACK");
    return QStringLiteral("none");
}

unsigned CRtMidiBackend::InputCount()
{
    return static_cast<unsigned>(m_pSystems->Sources().size());
}

unsigned CRtMidiBackend::OutputCount()
{
    return static_cast<unsigned>(m_pSystems->Sinks().size());
}

MMRESULT CRtMidiBackend::GetInputCaps(uint32_t id, MidiCaps& caps)
{
    const auto peers = m_pSystems->Sources();
    if (id >= peers.size())
        return MMSYSERR_BADDEVICEID;
    caps = CapsOf(peers[id]);
    return MMSYSERR_NOERROR;
}

MMRESULT CRtMidiBackend::GetOutputCaps(uint32_t id, MidiCaps& caps)
{
    if (id == MIDI_MAPPER) {
        caps = m_pSynth->Caps();
        return MMSYSERR_NOERROR;
    }
    const auto peers = m_pSystems->Sinks();
    if (id >= peers.size())
        return MMSYSERR_BADDEVICEID;
    caps = CapsOf(peers[id]);
    return MMSYSERR_NOERROR;
}

MMRESULT CRtMidiBackend::OpenInput(uint32_t id, MidiInputHandler onData,
                                   MidiPortLostHandler onLost, std::unique_ptr<IMidiInPort>& port)
{
    port.reset();
    const uint64_t generation = m_pSystems->Generation();
    const auto peers = m_pSystems->Sources();
    if (id >= peers.size())
        return MMSYSERR_BADDEVICEID;
    // JACK ports are our own: RtMidi's call the handler on the real-time thread
    // and drop what its buffers cannot take without a word.
    if (peers[id].api == RtMidi::UNIX_JACK)
        return CJackMidiInPort::Open(m_pSystems, peers[id], id, generation, std::move(onData),
                                     std::move(onLost), port);
    return CRtMidiInPort::Open(m_pSystems, peers[id], id, generation, std::move(onData),
                               std::move(onLost), port);
}

MMRESULT CRtMidiBackend::OpenOutput(uint32_t id, MidiPortLostHandler onLost,
                                    std::unique_ptr<IMidiOutPort>& port)
{
    port.reset();
    if (id == MIDI_MAPPER)
        return m_pSynth->OpenPort(port, std::move(onLost));
    const uint64_t generation = m_pSystems->Generation();
    const auto peers = m_pSystems->Sinks();
    if (id >= peers.size())
        return MMSYSERR_BADDEVICEID;
    if (peers[id].api == RtMidi::UNIX_JACK)
        return CJackMidiOutPort::Open(m_pSystems, peers[id], id, generation, std::move(onLost), port);
    return CRtMidiOutPort::Open(m_pSystems, peers[id], id, generation, std::move(onLost), port);
}

int CRtMidiBackend::AddPortsListener(MidiPortsChangedHandler onChange)
{
    std::lock_guard lock(m_listenerMutex);
    const int id = m_pSystems->AddListener(std::move(onChange));
    m_listenerIds.insert(id);
    return id;
}

void CRtMidiBackend::RemovePortsListener(int id)
{
    {
        std::lock_guard lock(m_listenerMutex);
        if (m_listenerIds.erase(id) == 0)
            return; // not ours, or removed already
    }
    m_pSystems->RemoveListener(id);
}

QString CRtMidiBackend::OutputProblem(uint32_t id)
{
    return id == MIDI_MAPPER ? m_pSynth->Problem() : QString();
}
