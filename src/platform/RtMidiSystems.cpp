#include "platform/RtMidiSystems.h"

#include <QLoggingCategory>

#include <alsa/asoundlib.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcRtMidi, "kelvora.rtmidi", QtWarningMsg)

namespace {

constexpr auto kRetryAfterFailure = std::chrono::seconds(1);
// How often the notifier looks for what nothing announces (a JACK server
// started later, ALSA without announcements): about as often as the monitor
// lets us try to connect.
constexpr auto kLookEvery = std::chrono::seconds(1);
// Where ALSA does not announce its changes, how often an open port's peer is
// looked for and how long its index is taken as current.
constexpr auto kUnannouncedWatchPeriod = std::chrono::milliseconds(500);
constexpr auto kUnannouncedIndexAge = std::chrono::milliseconds(500);
// JACK tells of a port registered or gone before its lists show it: the
// server takes up the changed graph at the start of one of the next cycles
// (measured: two). Until then a listing finds the old ports.
constexpr uint64_t kJackSettleCycles = 3;
// A synchronous server that lost a client mid-cycle stops cycling for about
// five seconds, and tells of the port once more when it goes on. Waiting
// longer than that is pointless: the change is told, and again with JACK's
// next word.
constexpr auto kJackSettleLimit = std::chrono::seconds(6);

// The ALSA clients whose ports only pass on what they are sent.
constexpr std::string_view kLoopbackClients[] = {"Midi Through", "System"};
// JACK clients that show ALSA sequencer ports as "<ALSA client> [14] (capture):
// <port>" (a2jmidid; "<ALSA client> (capture): ..." with -u) or as "<ALSA
// client>:(capture_0) <port>" (PipeWire).
constexpr std::string_view kAlsaBridges[] = {"a2j", "Midi-Bridge"};

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return c >= '0' && c <= '9'; });
}

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
    // A port registered, unregistered or renamed, the server gone or found:
    // the lists changed, and an open port's peer may be gone.
    if (m_bJack)
        m_nJackPortsListener = m_pJack->AddPortsListener([this] { OnChanged(true); });
    if (m_bAlsa) {
        m_pAnnounce = std::make_unique<CAlsaAnnounceWatch>(
            kClientName, [this] { OnChanged(); },
            [this] {
                // From now on we look for ourselves.
                m_watch.SetPeriod(kUnannouncedWatchPeriod);
                OnChanged();
            });
    }
    // JACK tells of every port that goes and of the server's end, and the
    // sequencer announces every port's exit: where both do, the watch has
    // nothing to look for between pokes. A sequencer that does not announce
    // (no client of ours could subscribe) leaves the watch asking twice a
    // second. Asked after setting, so that announcements failing meanwhile
    // cannot be overwritten.
    m_watch.SetPeriod(CMidiPortWatch::kOnlyWhenPoked);
    if (!AnnouncesAllChanges())
        m_watch.SetPeriod(kUnannouncedWatchPeriod);
    // JACK's changes need the notifier to settle whether anyone listens or
    // not: open ports learn of a lost peer only from the watch's second look.
    // Otherwise it starts with the first listener.
    if (m_bJack) {
        std::lock_guard lock(m_listenerMutex);
        StartNotifierLocked();
    }
}

CRtMidiSystems::~CRtMidiSystems()
{
    // The sources first, so nothing wakes the notifier or pokes the watch
    // once they are gone; members (the watch first) go after this.
    if (m_nJackPortsListener)
        m_pJack->RemovePortsListener(m_nJackPortsListener);
    m_pAnnounce.reset();
    {
        std::lock_guard lock(m_notifyMutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    if (m_notifier.joinable())
        m_notifier.join();
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

std::string CRtMidiSystems::StableName(RtMidi::Api api, const std::string& name)
{
    if (api != RtMidi::LINUX_ALSA)
        return name;
    // RtMidi lists "client:port 20:0"; the numbers are the sequencer's, given
    // afresh when the device is plugged in again.
    const std::size_t space = name.rfind(' ');
    if (space == std::string::npos)
        return name;
    const std::string_view numbers = std::string_view(name).substr(space + 1);
    const std::size_t colon = numbers.find(':');
    if (colon == std::string_view::npos || !AllDigits(numbers.substr(0, colon)) ||
        !AllDigits(numbers.substr(colon + 1)))
        return name;
    return name.substr(0, space);
}

bool CRtMidiSystems::IsLoopback(RtMidi::Api api, const std::string& name)
{
    const std::string_view full(name);
    if (api == RtMidi::LINUX_ALSA) {
        return std::any_of(std::begin(kLoopbackClients), std::end(kLoopbackClients),
                           [&](std::string_view client) {
                               return full.size() > client.size() && full.starts_with(client) &&
                                      full[client.size()] == ':';
                           });
    }
    const std::size_t colon = full.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view client = full.substr(0, colon);
    const std::string_view port = full.substr(colon + 1);
    if (std::find(std::begin(kAlsaBridges), std::end(kAlsaBridges), client) ==
        std::end(kAlsaBridges))
        return false;
    return std::any_of(std::begin(kLoopbackClients), std::end(kLoopbackClients),
                       [&](std::string_view alsaClient) {
                           if (!port.starts_with(alsaClient))
                               return false;
                           const std::string_view rest = port.substr(alsaClient.size());
                           return rest.starts_with(" [") || rest.starts_with(" (") ||
                                  rest.starts_with(":");
                       });
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

bool CRtMidiSystems::AnnouncesAllChanges() const
{
    return !m_bAlsa || (m_pAnnounce && m_pAnnounce->Running());
}

uint32_t CRtMidiSystems::CurrentIndex(const CRtMidiPeer& peer, CRtMidiIndexCache& cache)
{
    std::lock_guard lock(cache.mutex);
    // Read before listing: a change during the listing moves it on again.
    const uint64_t generation = m_nGeneration.load();
    const auto now = std::chrono::steady_clock::now();
    if (generation == cache.generation &&
        (AnnouncesAllChanges() || now - cache.listed < kUnannouncedIndexAge))
        return cache.index;
    const auto peers = List(peer.source);
    uint32_t index = MIDI_NO_DEVICE;
    for (std::size_t i = 0; i < peers.size(); ++i) {
        const CRtMidiPeer& listed = peers[i];
        // Full names: under ALSA they carry the numbers, so a device plugged
        // in again is another port; under JACK the same name on a new server
        // is too.
        if (listed.api == peer.api && listed.name == peer.name &&
            (peer.api != RtMidi::UNIX_JACK || listed.epoch == peer.epoch)) {
            index = static_cast<uint32_t>(i);
            break;
        }
    }
    cache.generation = generation;
    cache.index = index;
    cache.listed = now;
    return index;
}

int CRtMidiSystems::AddListener(std::function<void()> onChange)
{
    std::lock_guard lock(m_listenerMutex);
    const int id = m_nNextListener++;
    m_listeners.emplace(id, std::make_shared<const std::function<void()>>(std::move(onChange)));
    StartNotifierLocked();
    return id;
}

void CRtMidiSystems::StartNotifierLocked()
{
    if (m_notifier.joinable())
        return;
    try {
        m_notifier = std::thread([this] { RunNotifier(); });
    } catch (const std::exception& e) {
        qCWarning(lcRtMidi, "no thread to tell of port changes: %s", e.what());
    }
}

void CRtMidiSystems::RemoveListener(int id)
{
    bool onNotifier;
    {
        std::lock_guard lock(m_listenerMutex);
        m_listeners.erase(id);
        onNotifier = m_notifier.get_id() == std::this_thread::get_id();
    }
    // A call in progress ends before we return, unless it is the caller.
    if (!onNotifier) {
        std::lock_guard call(m_callMutex);
    }
}

void CRtMidiSystems::OnChanged(bool fromJack)
{
    // At once, for what already shows; JACK's changes once more when settled.
    m_nGeneration.fetch_add(1);
    m_watch.Poke();
    {
        std::lock_guard lock(m_notifyMutex);
        m_bChangePending = true;
        m_bJackPending = m_bJackPending || fromJack;
    }
    m_changed.notify_one();
}

void CRtMidiSystems::RunNotifier()
{
    auto nextLook = std::chrono::steady_clock::now();
    for (;;) {
        const bool looking = NeedsLooking(); // takes the monitor's lock: not under ours
        bool pending, fromJack;
        {
            std::unique_lock lock(m_notifyMutex);
            const auto woken = [this] { return m_bChangePending || m_bStop; };
            if (looking)
                m_changed.wait_until(lock, nextLook, woken);
            else
                m_changed.wait(lock, woken);
            if (m_bStop)
                return;
            pending = std::exchange(m_bChangePending, false);
            fromJack = std::exchange(m_bJackPending, false);
        }
        if (fromJack && !SettleJack())
            return;
        if (pending)
            TellListeners();
        if (looking && std::chrono::steady_clock::now() >= nextLook) {
            Look();
            nextLook = std::chrono::steady_clock::now() + kLookEvery;
        }
    }
}

bool CRtMidiSystems::SettleJack()
{
    // Listeners would list the old ports, open ports would find their peer
    // still there, and nothing would tell again: wait until the server has
    // run the cycles, then count the change anew and have the watch look.
    const uint64_t start = m_pJack->Cycles();
    const auto begun = std::chrono::steady_clock::now();
    while (m_pJack->Cycles() < start + kJackSettleCycles) {
        if (m_bStop.load())
            return false;
        const auto waited = std::chrono::steady_clock::now() - begun;
        if (waited >= kJackSettleLimit || !m_pJack->IsConnected())
            break;
        // A few periods normally; a stalled server is asked less often.
        std::this_thread::sleep_for(waited < std::chrono::milliseconds(100)
                                        ? std::chrono::milliseconds(1)
                                        : std::chrono::milliseconds(20));
    }
    m_nGeneration.fetch_add(1);
    m_watch.Poke();
    return true;
}

bool CRtMidiSystems::NeedsLooking()
{
    {
        std::lock_guard lock(m_listenerMutex);
        if (m_listeners.empty())
            return false;
    }
    if (m_bJack && !m_pJack->IsConnected())
        return true;
    return !AnnouncesAllChanges();
}

void CRtMidiSystems::Look()
{
    // A server that started since: the monitor tells its ports listeners,
    // us among them, when it connects. It does not try while clients of ours
    // from a dead server are still open (see CJackClientMonitor).
    if (m_bJack && !m_pJack->IsConnected())
        m_pJack->Connect();
    if (!AnnouncesAllChanges()) {
        std::vector<std::string> names;
        {
            std::lock_guard lock(m_alsaMutex);
            AlsaPortsLocked(true, names);
            names.emplace_back(); // between sources and sinks: no port is named ""
            AlsaPortsLocked(false, names);
        }
        if (names != m_alsaSeen) {
            m_alsaSeen = std::move(names);
            OnChanged();
        }
    }
}

void CRtMidiSystems::TellListeners()
{
    std::vector<std::pair<int, std::shared_ptr<const std::function<void()>>>> listeners;
    {
        std::lock_guard lock(m_listenerMutex);
        listeners.assign(m_listeners.begin(), m_listeners.end());
    }
    for (const auto& [id, onChange] : listeners) {
        std::lock_guard call(m_callMutex);
        {
            std::lock_guard lock(m_listenerMutex);
            if (m_listeners.find(id) == m_listeners.end())
                continue; // removed meanwhile
        }
        try {
            (*onChange)();
        } catch (const std::exception& e) {
            qCWarning(lcRtMidi, "a port list listener failed: %s", e.what());
        } catch (...) {
            qCWarning(lcRtMidi, "a port list listener failed");
        }
    }
}
