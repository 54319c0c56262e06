#include "platform/JackClientMonitor.h"

#include <QLoggingCategory>

#include <jack/jack.h>

#include <cstdlib>

Q_LOGGING_CATEGORY(lcJack, "kelvora.jack", QtWarningMsg)

namespace {

constexpr auto kRetryAfterFailure = std::chrono::seconds(1);
constexpr const char* kMonitorClientName = "Kelvora monitor";

// libjack reports every failed connection attempt at length; with no server
// running that is the normal case, so it goes to the debug log only.
void LogJackMessage(const char* text)
{
    qCDebug(lcJack, "%s", text);
}

} // namespace

std::shared_ptr<CJackClientMonitor> CJackClientMonitor::Shared()
{
    static std::mutex mutex;
    static std::weak_ptr<CJackClientMonitor> shared;
    std::lock_guard lock(mutex);
    std::shared_ptr<CJackClientMonitor> monitor = shared.lock();
    if (!monitor) {
        monitor = std::make_shared<CJackClientMonitor>();
        shared = monitor;
    }
    return monitor;
}

void CJackClientMonitor::PrepareLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        setenv("JACK_NO_START_SERVER", "1", 1);
        jack_set_error_function(&LogJackMessage);
        jack_set_info_function(&LogJackMessage);
    });
}

CJackClientMonitor::CJackClientMonitor()
{
    PrepareLibrary();
}

CJackClientMonitor::~CJackClientMonitor()
{
    std::lock_guard lock(m_mutex);
    CloseLocked();
}

int CJackClientMonitor::AddChangeListener(std::function<void()> onChange)
{
    std::lock_guard lock(m_listenerMutex);
    const int id = m_nNextListener++;
    m_listeners.emplace(id, std::move(onChange));
    return id;
}

void CJackClientMonitor::RemoveChangeListener(int id)
{
    std::lock_guard lock(m_listenerMutex); // waits for a notification in progress
    m_listeners.erase(id);
}

int CJackClientMonitor::AddPortsListener(std::function<void()> onChange)
{
    std::lock_guard lock(m_listenerMutex);
    const int id = m_nNextListener++;
    m_portsListeners.emplace(id, std::move(onChange));
    return id;
}

void CJackClientMonitor::RemovePortsListener(int id)
{
    std::lock_guard lock(m_listenerMutex); // waits for a notification in progress
    m_portsListeners.erase(id);
}

bool CJackClientMonitor::Connect()
{
    bool connected = false;
    bool alive;
    {
        std::lock_guard lock(m_mutex);
        alive = ConnectLocked(&connected);
    }
    // A server that was not there before brings its ports with it. Told with
    // the monitor let go of, so a listener may list them at once.
    if (connected)
        NotifyPorts();
    return alive;
}

bool CJackClientMonitor::ConnectLocked(bool* connected)
{
    if (AliveLocked())
        return true;
    if (m_pClient) {
        // The server went away. Our own client of it goes at once, while no
        // client of a new server exists in the process yet: closed after
        // one was opened, it takes that one's slot in libjack with it.
        CloseLocked();
    }
    {
        // Open nothing new until every client of ours from that server has
        // been closed (see the header).
        const auto it = m_clients.find(m_nEpoch);
        if (it != m_clients.end() && it->second > 0)
            return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_bFailed && now - m_lastFailure < kRetryAfterFailure)
        return false;

    jack_status_t status{};
    jack_client_t* client = jack_client_open(kMonitorClientName, JackNoStartServer, &status);
    if (client == nullptr) {
        m_bFailed = true;
        m_lastFailure = now;
        return false;
    }
    m_bShutdown.store(false);
    jack_on_shutdown(client, &CJackClientMonitor::OnShutdown, this);
    jack_set_process_callback(client, &CJackClientMonitor::OnProcess, this);
    jack_set_port_registration_callback(client, &CJackClientMonitor::OnPortRegistration, this);
    jack_set_port_rename_callback(client, &CJackClientMonitor::OnPortRename, this);
    if (jack_activate(client) != 0) {
        jack_client_close(client);
        m_bFailed = true;
        m_lastFailure = now;
        return false;
    }
    m_pClient = client;
    m_nEpoch = m_nNextEpoch++;
    m_bFailed = false;
    *connected = true;
    qCDebug(lcJack, "connected to the JACK server (epoch %llu)",
            static_cast<unsigned long long>(m_nEpoch));
    return true;
}

bool CJackClientMonitor::IsConnected() const
{
    std::lock_guard lock(m_mutex);
    return AliveLocked();
}

uint64_t CJackClientMonitor::Epoch() const
{
    std::lock_guard lock(m_mutex);
    return AliveLocked() ? m_nEpoch : 0;
}

bool CJackClientMonitor::EpochAlive(uint64_t epoch) const
{
    std::lock_guard lock(m_mutex);
    return epoch != 0 && AliveLocked() && epoch == m_nEpoch;
}

uint64_t CJackClientMonitor::AcquireClient()
{
    std::lock_guard lock(m_mutex);
    if (!AliveLocked())
        return 0;
    ++m_clients[m_nEpoch];
    return m_nEpoch;
}

void CJackClientMonitor::ReleaseClient(uint64_t epoch)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_clients.find(epoch);
    if (it != m_clients.end() && --it->second <= 0)
        m_clients.erase(it);
}

std::vector<std::string> CJackClientMonitor::MidiPorts(bool sources)
{
    std::vector<std::string> names;
    std::lock_guard lock(m_mutex);
    if (!AliveLocked())
        return names;
    // A source is a port other clients write into: a JACK output.
    const char** ports = jack_get_ports(m_pClient, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                        sources ? JackPortIsOutput : JackPortIsInput);
    if (ports == nullptr)
        return names;
    for (const char** p = ports; *p; ++p)
        names.emplace_back(*p);
    jack_free(ports);
    return names;
}

bool CJackClientMonitor::PortAlive(const std::string& name, uint64_t epoch)
{
    std::lock_guard lock(m_mutex);
    if (!AliveLocked() || epoch != m_nEpoch)
        return false;
    return jack_port_by_name(m_pClient, name.c_str()) != nullptr;
}

int CJackClientMonitor::OnProcess(uint32_t, void* arg)
{
    static_cast<CJackClientMonitor*>(arg)->m_nCycles.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void CJackClientMonitor::OnShutdown(void* arg)
{
    auto* self = static_cast<CJackClientMonitor*>(arg);
    self->m_bShutdown.store(true);
    self->NotifyChange();
    self->NotifyPorts();
}

void CJackClientMonitor::OnPortRegistration(uint32_t, int registered, void* arg)
{
    auto* self = static_cast<CJackClientMonitor*>(arg);
    if (!registered)
        self->NotifyChange();
    self->NotifyPorts();
}

void CJackClientMonitor::OnPortRename(uint32_t, const char*, const char*, void* arg)
{
    // A port known by its old name is gone as far as its users can tell.
    auto* self = static_cast<CJackClientMonitor*>(arg);
    self->NotifyChange();
    self->NotifyPorts();
}

void CJackClientMonitor::NotifyChange()
{
    std::lock_guard lock(m_listenerMutex);
    for (const auto& [id, listener] : m_listeners)
        listener();
}

void CJackClientMonitor::NotifyPorts()
{
    std::lock_guard lock(m_listenerMutex);
    for (const auto& [id, listener] : m_portsListeners)
        listener();
}

bool CJackClientMonitor::AliveLocked() const
{
    return m_pClient != nullptr && !m_bShutdown.load();
}

void CJackClientMonitor::CloseLocked()
{
    if (m_pClient == nullptr)
        return;
    jack_client_close(m_pClient);
    m_pClient = nullptr;
}
