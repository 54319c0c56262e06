#include "JackSequencePeers.h"

#include "platform/JackBufferTurn.h"

#include <jack/midiport.h>

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

jack_client_t* OpenClient(std::string& name)
{
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client)
        name = jack_get_client_name(client);
    return client;
}

} // namespace

// ---- sender

Sender::Sender(const std::string& name) : m_strName(name)
{
    m_pClient = OpenClient(m_strName);
    if (!m_pClient)
        return;
    m_pOut = jack_port_register(m_pClient, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(m_pClient, &Sender::Process, this);
    if (!m_pOut || jack_activate(m_pClient) != 0) {
        jack_client_close(m_pClient);
        m_pClient = nullptr;
    }
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
    if (state != kRunning)
        return 0;
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

Recorder::Recorder(uint32_t capacity, const std::string& name) : m_strName(name)
{
    m_arrivals.resize(capacity);
    m_pClient = OpenClient(m_strName);
    if (!m_pClient)
        return;
    m_pIn = jack_port_register(m_pClient, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(m_pClient, &Recorder::Process, this);
    if (!m_pIn || jack_activate(m_pClient) != 0) {
        jack_client_close(m_pClient);
        m_pClient = nullptr;
    }
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

std::vector<Arrival> Recorder::Arrivals() const
{
    return {m_arrivals.begin(), m_arrivals.begin() + Count()};
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
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        // Only the numbered note-ons; the channel is the thru's to choose, and
        // the set-up a program sends its output is not ours to count.
        if (event.size != 3 || (event.buffer[0] & 0xF0) != 0x90 || event.buffer[2] == 0)
            continue;
        if (count == self->m_arrivals.size()) {
            self->m_nOverflow.fetch_add(1);
            continue;
        }
        self->m_arrivals[count++] = {static_cast<uint16_t>(event.buffer[1] * 127 + event.buffer[2] - 1),
                                     cycle + event.time};
    }
    self->m_nCount.store(count, std::memory_order_release);
    return 0;
}

// ---- counting

Report Analyze(const Sender& sender, const std::vector<Arrival>& arrivals)
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
    for (const Arrival& a : arrivals) {
        // The index with this code nearest to the one after the highest so far.
        const int64_t base = highest + 1;
        int64_t step = (static_cast<int64_t>(a.code) - base % kCodes + kCodes) % kCodes;
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
    // A real event loop that sleeps until something wakes it, as the program's does.
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
        // Settled: nothing new for a while after the last message went out.
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

// ---- load

BusyLoops::BusyLoops(int count)
{
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            // The child only spins; should the parent die, it goes too.
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
