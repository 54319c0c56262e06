#include "platform/RtMidiSystems.h"

#include <QLoggingCategory>

#include <alsa/asoundlib.h>

#include <algorithm>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcRtMidi, "kelvora.rtmidi", QtWarningMsg)

namespace {

constexpr auto kRetryAfterFailure = std::chrono::seconds(1);

void LogRtMidiError(RtMidiError::Type type, const std::string& text, void*)
{
    qCDebug(lcRtMidi, "RtMidi error %d: %s", static_cast<int>(type), text.c_str());
}

void QuietAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

} // namespace

CRtMidiSystems::CRtMidiSystems(bool useAlsa, bool useJack)
    : m_bAlsa(useAlsa), m_bJack(useJack), m_pJack(CJackClientMonitor::Shared())
{
    if (m_bAlsa)
        snd_lib_error_set_handler(&QuietAlsaMessage);
    // A port unregistered or the server gone: have the watch look at once.
    m_nJackListener = m_pJack->AddChangeListener([this] { m_watch.Poke(); });
}

CRtMidiSystems::~CRtMidiSystems()
{
    m_pJack->RemoveChangeListener(m_nJackListener);
}

bool CRtMidiSystems::AlsaSequencerPresent()
{
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

bool CRtMidiSystems::IsOwnPort(const std::string& name)
{
    const std::string client = name.substr(0, name.find(':'));
    const std::string own = kClientName;
    if (client == own)
        return true;
    if (client.size() <= own.size() + 1 || client.compare(0, own.size() + 1, own + "-") != 0)
        return false;
    return std::all_of(client.begin() + static_cast<std::ptrdiff_t>(own.size()) + 1, client.end(),
                       [](unsigned char c) { return c >= '0' && c <= '9'; });
}

MMRESULT CRtMidiSystems::ResultOf(RtMidiError::Type type)
{
    switch (type) {
    case RtMidiError::NO_DEVICES_FOUND:
    case RtMidiError::INVALID_DEVICE:
    case RtMidiError::INVALID_PARAMETER:
        return MMSYSERR_BADDEVICEID;
    case RtMidiError::MEMORY_ERROR:
        return MMSYSERR_NOMEM;
    case RtMidiError::DRIVER_ERROR:
        return MMSYSERR_NODRIVER;
    default:
        return MMSYSERR_ERROR;
    }
}

std::vector<CRtMidiPeer> CRtMidiSystems::Sources()
{
    return List(true);
}

std::vector<CRtMidiPeer> CRtMidiSystems::Sinks()
{
    return List(false);
}

std::vector<CRtMidiPeer> CRtMidiSystems::List(bool sources)
{
    std::vector<CRtMidiPeer> peers;
    if (m_bAlsa) {
        std::vector<std::string> names;
        {
            std::lock_guard lock(m_alsaMutex);
            AlsaPortsLocked(sources, names);
        }
        for (auto& name : names) {
            if (!IsOwnPort(name))
                peers.push_back({RtMidi::LINUX_ALSA, std::move(name), sources, 0});
        }
    }
    if (m_bJack && m_pJack->Connect()) {
        const uint64_t epoch = m_pJack->Epoch();
        for (auto& name : m_pJack->MidiPorts(sources)) {
            if (!IsOwnPort(name))
                peers.push_back({RtMidi::UNIX_JACK, std::move(name), sources, epoch});
        }
    }
    return peers;
}

void CRtMidiSystems::AlsaPortsLocked(bool sources, std::vector<std::string>& names)
{
    RtMidi* lister = sources ? static_cast<RtMidi*>(m_pAlsaSources.get())
                             : static_cast<RtMidi*>(m_pAlsaSinks.get());
    if (lister == nullptr) {
        const auto now = std::chrono::steady_clock::now();
        if (m_bAlsaFailed && now - m_alsaFailure < kRetryAfterFailure)
            return;
        try {
            if (sources) {
                m_pAlsaSources = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kClientName);
                lister = m_pAlsaSources.get();
            } else {
                m_pAlsaSinks = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
                lister = m_pAlsaSinks.get();
            }
            lister->setErrorCallback(&LogRtMidiError, nullptr);
            m_bAlsaFailed = false;
        } catch (const std::exception& e) {
            // No sequencer (no /dev/snd/seq, or no permission): no ALSA devices.
            qCDebug(lcRtMidi, "ALSA sequencer unavailable: %s", e.what());
            m_bAlsaFailed = true;
            m_alsaFailure = now;
            return;
        }
    }
    try {
        const unsigned count = lister->getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            std::string name = lister->getPortName(i);
            if (!name.empty())
                names.push_back(std::move(name));
        }
    } catch (const std::exception& e) {
        qCDebug(lcRtMidi, "listing ALSA ports failed: %s", e.what());
    }
}

bool CRtMidiSystems::PeerAlive(const CRtMidiPeer& peer)
{
    if (peer.api == RtMidi::UNIX_JACK)
        return m_pJack->PortAlive(peer.name, peer.epoch);
    // ALSA names end in the client and port numbers, so a peer that went and
    // came back under new numbers counts as gone too.
    std::vector<std::string> names;
    {
        std::lock_guard lock(m_alsaMutex);
        AlsaPortsLocked(peer.source, names);
    }
    return std::find(names.begin(), names.end(), peer.name) != names.end();
}
