#pragma once
// JACK peers of the test's own, working in their process callbacks so they
// never fall behind: a sender of numbered note-ons at an exact rate (or of
// raw events) and a recorder of every event with its frame time. Lost,
// doubled and reordered messages come from sequence numbers. Shared with the
// thru benchmark.
//
// Message i is a note-on on channel 0 with code = i mod 16256: note = code /
// 127, velocity = code % 127 + 1, never a note-off. Gaps or repeats of fewer
// than 8128 messages unwrap unambiguously.
#include "platform/MidiBackend.h"

#include <jack/jack.h>

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kvseq {

inline constexpr uint32_t kCodes = 128 * 127;

// One event as it went out or came in, of up to 7 bytes.
struct Event {
    uint8_t size = 0;
    uint8_t bytes[7] = {};
    jack_nframes_t frame = 0; // frame time at which it came in
};

// Plays to "<name>:out": during a run, `count` numbered note-ons at `rate` a
// second; otherwise the raw events queued with Send(), perCycle a cycle.
class Sender {
public:
    explicit Sender(const std::string& name = "kvsend", uint32_t perCycle = 32);
    ~Sender();
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    bool Ok() const { return m_pClient != nullptr; }
    std::string Port() const { return m_strName + ":out"; }
    QString PortName() const { return QString::fromStdString(Port()); }
    jack_client_t* Client() const { return m_pClient; }
    double PeriodMs() const;

    // Arms a run that starts with the next cycle; only between runs.
    void Start(uint32_t count, uint32_t rate);
    bool Done() const { return m_state.load(std::memory_order_acquire) == kFinished; }
    uint32_t Sent() const { return m_nNext.load(std::memory_order_acquire); }
    // Messages that went out in a later cycle than their time: our own shortfall.
    uint32_t Late() const { return m_nLate.load(); }
    jack_nframes_t SentAt(uint32_t index) const { return m_sentAt[index]; }

    // Queues one raw event of 1 to 7 bytes (2^18 in all); false when there is no room.
    bool Send(std::initializer_list<uint8_t> bytes);
    bool Drained() const { return m_nRawSent.load() == m_nQueued.load(); }
    // Whether the server's graph, the one cycles run on, has our port connected.
    bool Connected() const { return jack_port_connected(m_pOut) > 0; }

private:
    static int Process(jack_nframes_t frames, void* arg);
    enum : int { kIdle, kArmed, kRunning, kFinished };

    std::string m_strName;
    const uint32_t m_nPerCycle;
    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pOut = nullptr;
    std::vector<jack_nframes_t> m_sentAt; // sized by Start(), never in the callback
    std::atomic<int> m_state{kIdle};
    std::atomic<uint32_t> m_nNext{0};
    std::atomic<uint32_t> m_nLate{0};
    uint32_t m_nCount = 0;
    uint64_t m_nRate = 1;
    jack_nframes_t m_nStart = 0;
    std::vector<Event> m_raw;
    std::atomic<uint32_t> m_nQueued{0}, m_nRawSent{0};
};

// Keeps every event (its first 7 bytes) that reaches "<name>:input", named as
// jack_midi_dump's is, in room made up front.
class Recorder {
public:
    explicit Recorder(uint32_t capacity, const std::string& name = "kvrec");
    explicit Recorder(const std::string& name) : Recorder(1 << 18, name) {}
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    bool Ok() const { return m_pClient != nullptr; }
    std::string Port() const { return m_strName + ":input"; }
    QString PortName() const { return QString::fromStdString(Port()); }

    void Clear(); // forgets what came so far, between runs
    uint32_t Count() const { return m_nCount.load(std::memory_order_acquire); }
    uint32_t Overflow() const { return m_nOverflow.load(); }
    std::vector<Event> Arrivals() const;
    // What came, as "90 3c 64", once `atLeast` came or timeoutMs passed.
    QStringList Events(uint32_t atLeast = 0, int timeoutMs = 5000) const;
    // What came, as short messages (first byte lowest).
    std::vector<uint32_t> Messages() const;

private:
    static int Process(jack_nframes_t frames, void* arg);

    std::string m_strName;
    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pIn = nullptr;
    std::vector<Event> m_arrivals;
    std::atomic<uint32_t> m_nCount{0};
    std::atomic<uint32_t> m_nOverflow{0};
    std::atomic<bool> m_bClear{false};
};

struct Report {
    uint32_t sent = 0, delivered = 0, lost = 0, doubled = 0, reordered = 0, stray = 0;
    uint32_t late = 0;
    double medianMs = 0, p99Ms = 0, periodMs = 0;
    std::string Text() const;
};

// One run of `count` numbered messages at `rate`, the Qt event loop running,
// until arrivals stop; what the recorder holds against what was sent.
Report Run(Sender& sender, Recorder& recorder, uint32_t count, uint32_t rate);

// Connects or disconnects two ports through the sender's client.
bool Connect(const Sender& sender, const std::string& from, const std::string& to, bool on = true);

// The backend's ports by name, in index order, and the index of one.
QStringList PortNames(IMidiBackend& backend, bool inputs);
uint32_t IndexOf(IMidiBackend& backend, const QString& port, bool input);

// Processes that keep `count` cores busy while they live.
class BusyLoops {
public:
    explicit BusyLoops(int count);
    ~BusyLoops();
    BusyLoops(const BusyLoops&) = delete;
    BusyLoops& operator=(const BusyLoops&) = delete;

private:
    std::vector<pid_t> m_pids;
};

} // namespace kvseq
