#include "platform/JackClientMonitor.h"

#include <QLoggingCategory>

#include <jack/jack.h>

#include <cstdlib>
#include <mutex>

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

void CJackClientMonitor::SetChangeCallback(std::function<void()> onChange)
{
    std::lock_guard lock(m_mutex);
    m_onChange = std::move(onChange);
}

bool CJackClientMonitor::Connect()
{
    std::lock_guard lock(m_mutex);
    if (m_pClient && !m_bShutdown.load())
        return true;
    if (m_pClient)
        CloseLocked(); // the server went away; free what is left of the old client
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
    jack_set_port_registration_callback(client, &CJackClientMonitor::OnPortRegistration, this);
    if (jack_activate(client) != 0) {
        jack_client_close(client);
        m_bFailed = true;
        m_lastFailure = now;
        return false;
    }
    m_pClient = client;
    m_nEpoch = m_nNextEpoch++;
    m_bFailed = false;
    qCDebug(lcJack, "connected to the JACK server (epoch %llu)",
            static_cast<unsigned long long>(m_nEpoch));
    return true;
}

bool CJackClientMonitor::IsConnected() const
{
    std::lock_guard lock(m_mutex);
    return m_pClient && !m_bShutdown.load();
}

uint64_t CJackClientMonitor::Epoch() const
{
    std::lock_guard lock(m_mutex);
    return (m_pClient && !m_bShutdown.load()) ? m_nEpoch : 0;
}

std::vector<std::string> CJackClientMonitor::MidiPorts(bool sources)
{
    std::vector<std::string> names;
    std::lock_guard lock(m_mutex);
    if (!m_pClient || m_bShutdown.load())
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
    if (!m_pClient || m_bShutdown.load() || epoch != m_nEpoch)
        return false;
    return jack_port_by_name(m_pClient, name.c_str()) != nullptr;
}

void CJackClientMonitor::OnShutdown(void* arg)
{
    auto* self = static_cast<CJackClientMonitor*>(arg);
    self->m_bShutdown.store(true);
    self->NotifyChange();
}

void CJackClientMonitor::OnPortRegistration(uint32_t, int registered, void* arg)
{
    if (!registered)
        static_cast<CJackClientMonitor*>(arg)->NotifyChange();
}

void CJackClientMonitor::NotifyChange()
{
    // m_onChange is set before the client exists and never changes while it does.
    if (m_onChange)
        m_onChange();
}

void CJackClientMonitor::CloseLocked()
{
    if (m_pClient == nullptr)
        return;
    jack_client_close(m_pClient);
    m_pClient = nullptr;
    m_nEpoch = 0;
}
