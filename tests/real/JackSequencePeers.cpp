#include "JackSequencePeers.h"

#include "platform/JackBufferTurn.h"

#include <jack/midiport.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kvseq {

namespace {

// A client with one MIDI port, its callback started.
void OpenPeer(jack_client_t*& client, jack_port_t*& port, std::string& name, bool output,
              JackProcessCallback process, void* arg)
{
    jack_status_t status{};
    client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (!client)
        return;
    name = jack_get_client_name(client);
    port = jack_port_register(client, output ? "out" : "input", JACK_DEFAULT_MIDI_TYPE,
                              output ? JackPortIsOutput : JackPortIsInput, 0);
    jack_set_process_callback(client, process, arg);
    if (!port || jack_activate(client) != 0) {
        jack_client_close(client);
        client = nullptr;
    }
}

} // namespace

// ---- sender

Sender::Sender(const std::string& name, uint32_t perCycle)
    : m_strName(name), m_nPerCycle(std::max<uint32_t>(perCycle, 1)), m_raw(1 << 18)
{
    OpenPeer(m_pClient, m_pOut, m_strName, true, &Sender::Process, this);
}

Sender::~Sender()
{
    if (m_pClient)
        jack_client_close(m_pClient);
}

double Sender::PeriodMs() const
{
    return 1000.0 * jack_get_buffer_size(m_pClient) / jack_get_sample_rate(m_pClient);
}

void Sender::Start(uint32_t count, uint32_t rate)
{
    m_sentAt.assign(count, 0);
    m_nCount = count;
    m_nRate = std::max<uint32_t>(rate, 1);
    m_nNext.store(0);
    m_nLate.store(0);
    m_state.store(count ? kArmed : kFinished, std::memory_order_release);
}

bool Sender::Send(std::initializer_list<uint8_t> bytes)
{
    const uint32_t queued = m_nQueued.load();
    if (bytes.size() < 1 || bytes.size() > 7 || queued == m_raw.size())
        return false;
    m_raw[queued].size = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), m_raw[queued].bytes);
    m_nQueued.store(queued + 1, std::memory_order_release);
    return true;
}

int Sender::Process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<Sender*>(arg);
    void* buffer = jack_port_get_buffer(self->m_pOut, frames);
    const CJackBufferTurn turn(buffer);
    jack_midi_clear_buffer(buffer);
    int state = self->m_state.load(std::memory_order_acquire);
    const jack_nframes_t cycle = jack_last_frame_time(self->m_pClient);
    if (state == kArmed) {
        self->m_nStart = cycle;
        self->m_state.store(state = kRunning);
    }
    if (state != kRunning) {
        uint32_t sent = self->m_nRawSent.load(std::memory_order_relaxed);
        const uint32_t queued = self->m_nQueued.load(std::memory_order_acquire);
        const uint32_t end = std::min(queued, sent + self->m_nPerCycle);
        for (uint32_t i = 0; sent < end; ++sent, ++i) {
            const Event& e = self->m_raw[sent];
            if (jack_midi_event_write(buffer, i * frames / self->m_nPerCycle, e.bytes, e.size) != 0)
                break; // the rest next cycle
        }
        self->m_nRawSent.store(sent);
        return 0;
    }
    const uint64_t rate = jack_get_sample_rate(self->m_pClient);
    uint32_t next = self->m_nNext.load(std::memory_order_relaxed);
    while (next < self->m_nCount) {
        // Exact spacing: message i is due at frame start + i * rate / messages a second.
        const auto due = static_cast<jack_nframes_t>(self->m_nStart + next * rate / self->m_nRate);
        const auto offset = static_cast<int32_t>(due - cycle);
        if (offset >= static_cast<int32_t>(frames))
            break;
        const jack_nframes_t at = offset < 0 ? 0 : static_cast<jack_nframes_t>(offset);
        jack_midi_data_t* data = jack_midi_event_reserve(buffer, at, 3);
        if (!data) {
            self->m_nLate.fetch_add(1);
            break; // the rest go out next cycle, late and counted
        }
        const uint32_t code = next % kCodes;
        data[0] = 0x90;
        data[1] = static_cast<jack_midi_data_t>(code / 127);
        data[2] = static_cast<jack_midi_data_t>(code % 127 + 1);
        if (offset < 0)
            self->m_nLate.fetch_add(1);
        self->m_sentAt[next] = cycle + at;
        ++next;
    }
    self->m_nNext.store(next, std::memory_order_release);
    if (next == self->m_nCount)
        self->m_state.store(kFinished, std::memory_order_release);
    return 0;
}

// ---- recorder

Recorder::Recorder(uint32_t capacity, const std::string& name) : m_strName(name), m_arrivals(capacity)
{
    OpenPeer(m_pClient, m_pIn, m_strName, false, &Recorder::Process, this);
}

Recorder::~Recorder()
{
    if (m_pClient)
        jack_client_close(m_pClient);
}

void Recorder::Clear()
{
    // Done by the callback itself, the only writer of the buffer.
    m_bClear.store(true, std::memory_order_release);
    QElapsedTimer timer;
    timer.start();
    while (m_bClear.load() && timer.elapsed() < 2000)
        QThread::msleep(1);
}

std::vector<Event> Recorder::Arrivals() const
{
    return {m_arrivals.begin(), m_arrivals.begin() + Count()};
}

QStringList Recorder::Events(uint32_t atLeast, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    while (Count() < atLeast && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    QStringList events;
    for (const Event& e : Arrivals())
        events << QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(e.bytes), e.size).toHex(' '));
    return events;
}

std::vector<uint32_t> Recorder::Messages() const
{
    std::vector<uint32_t> messages;
    for (const Event& e : Arrivals())
        messages.push_back(uint32_t(e.bytes[0]) | uint32_t(e.bytes[1]) << 8 | uint32_t(e.bytes[2]) << 16);
    return messages;
}

int Recorder::Process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<Recorder*>(arg);
    uint32_t count = self->m_nCount.load(std::memory_order_relaxed);
    if (self->m_bClear.load(std::memory_order_acquire)) {
        count = 0;
        self->m_nOverflow.store(0);
        self->m_bClear.store(false, std::memory_order_release);
    }
    void* buffer = jack_port_get_buffer(self->m_pIn, frames);
    const CJackBufferTurn turn(buffer);
    const jack_nframes_t cycle = jack_last_frame_time(self->m_pClient);
    const uint32_t events = jack_midi_get_event_count(buffer);
    for (uint32_t i = 0; i < events; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size < 1)
            continue;
        if (count == self->m_arrivals.size()) {
            self->m_nOverflow.fetch_add(1);
            continue;
        }
        Event& e = self->m_arrivals[count++];
        e.size = static_cast<uint8_t>(std::min<size_t>(event.size, 7)); // a longer one cut short
        std::fill(std::copy_n(event.buffer, e.size, e.bytes), std::end(e.bytes), 0);
        e.frame = cycle + event.time;
    }
    self->m_nCount.store(count, std::memory_order_release);
    return 0;
}

// ---- counting

namespace {

// What the recorder holds, against what the sender sent.
Report Analyze(const Sender& sender, const std::vector<Event>& arrivals)
{
    Report r;
    r.sent = sender.Sent();
    r.late = sender.Late();
    r.periodMs = sender.PeriodMs();
    const double msPerFrame = 1000.0 / jack_get_sample_rate(sender.Client());
    std::vector<uint8_t> seen(r.sent, 0);
    std::vector<double> latency;
    latency.reserve(r.sent);
    int64_t highest = -1;
    for (const Event& a : arrivals) {
        // Only the numbered note-ons, whatever the channel.
        if (a.size != 3 || (a.bytes[0] & 0xF0) != 0x90 || a.bytes[2] == 0)
            continue;
        const int64_t code = a.bytes[1] * 127 + a.bytes[2] - 1;
        // The index with this code nearest to the one after the highest so far.
        const int64_t base = highest + 1;
        int64_t step = (code - base % kCodes + kCodes) % kCodes;
        if (step >= kCodes / 2)
            step -= kCodes;
        const int64_t index = base + step;
        if (index < 0 || index >= static_cast<int64_t>(r.sent)) {
            ++r.stray;
            continue;
        }
        if (seen[index]++) {
            ++r.doubled;
            continue;
        }
        ++r.delivered;
        if (index < highest)
            ++r.reordered;
        highest = std::max(highest, index);
        latency.push_back(msPerFrame * static_cast<int32_t>(a.frame - sender.SentAt(uint32_t(index))));
    }
    r.lost = r.sent - r.delivered;
    std::sort(latency.begin(), latency.end());
    if (!latency.empty()) {
        r.medianMs = latency[latency.size() / 2];
        r.p99Ms = latency[std::min(latency.size() - 1, latency.size() * 99 / 100)];
    }
    return r;
}

} // namespace

std::string Report::Text() const
{
    std::ostringstream s;
    s << "sent " << sent << " delivered " << delivered << " lost " << lost << " doubled " << doubled
      << " reordered " << reordered << " stray " << stray << " late-at-sender " << late
      << " latency median " << medianMs << " ms p99 " << p99Ms << " ms (period " << periodMs << " ms)";
    return s.str();
}

Report Run(Sender& sender, Recorder& recorder, uint32_t count, uint32_t rate)
{
    recorder.Clear();
    sender.Start(count, rate);
    QEventLoop loop;
    QTimer check;
    QElapsedTimer sinceChange, total;
    sinceChange.start();
    total.start();
    uint32_t lastCount = 0;
    const qint64 limitMs = 1000LL * count / std::max<uint32_t>(rate, 1) + 20000;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        const uint32_t now = recorder.Count();
        if (now != lastCount) {
            lastCount = now;
            sinceChange.restart();
        }
        const qint64 quiet = now >= sender.Sent() ? 100 : 500;
        if ((sender.Done() && sinceChange.elapsed() > quiet) || total.elapsed() > limitMs)
            loop.quit();
    });
    check.start(20);
    loop.exec();
    return Analyze(sender, recorder.Arrivals());
}

bool Connect(const Sender& sender, const std::string& from, const std::string& to, bool on)
{
    const int result = on ? jack_connect(sender.Client(), from.c_str(), to.c_str())
                          : jack_disconnect(sender.Client(), from.c_str(), to.c_str());
    return result == 0 || (on && result == EEXIST);
}

QStringList PortNames(IMidiBackend& backend, bool inputs)
{
    QStringList names;
    for (unsigned i = 0, n = inputs ? backend.InputCount() : backend.OutputCount(); i < n; ++i) {
        MidiCaps caps;
        (void)(inputs ? backend.GetInputCaps(i, caps) : backend.GetOutputCaps(i, caps));
        names << caps.portName;
    }
    return names;
}

uint32_t IndexOf(IMidiBackend& backend, const QString& port, bool input)
{
    const qsizetype index = PortNames(backend, input).indexOf(port);
    return index < 0 ? MIDI_NO_DEVICE : static_cast<uint32_t>(index);
}

// ---- load

BusyLoops::BusyLoops(int count)
{
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            volatile unsigned long spin = 0;
            for (;;)
                spin = spin + 1;
        }
        if (pid > 0)
            m_pids.push_back(pid);
    }
}

BusyLoops::~BusyLoops()
{
    for (pid_t pid : m_pids)
        kill(pid, SIGKILL);
    for (pid_t pid : m_pids)
        waitpid(pid, nullptr, 0);
}

} // namespace kvseq
