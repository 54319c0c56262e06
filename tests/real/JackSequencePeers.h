#pragma once
// Two JACK peers that count what a MIDI path loses: a sender that plays
// numbered note-ons at an exact rate and a recorder that keeps every event it
// receives with its frame time, so delivered, lost, doubled and reordered
// messages, and the latency of each, come from sequence numbers, never from
// guesses. Shared by the flood test and the thru benchmark.
//
// Message i is a note-on on channel 0 carrying code = i mod 16256:
//   note = code / 127, velocity = code % 127 + 1   (1..127, never a note-off)
// so every message is a plain, valid short message that a thru passes as it
// is, whatever it does to the channel. Indices are recovered from the codes
// in arrival order; gaps or stray repeats of fewer than 8128 messages unwrap
// unambiguously.
#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kvseq {

inline constexpr uint32_t kCodes = 128 * 127;

struct Arrival {
    uint16_t code;
    jack_nframes_t frame; // frame time at which the event came in
};

// Plays `count` numbered note-ons at `rate` a second from its process
// callback, each at the frame its time falls on, to "<name>:out".
class Sender {
public:
    explicit Sender(const std::string& name = "kvsend");
    ~Sender();
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    bool Ok() const { return m_pClient != nullptr; }
    std::string Port() const { return m_strName + ":out"; }
    jack_client_t* Client() const { return m_pClient; }
    double PeriodMs() const;

    // Arms a run that starts with the next cycle; only between runs.
    void Start(uint32_t count, uint32_t rate);
    bool Done() const { return m_state.load(std::memory_order_acquire) == kFinished; }
    uint32_t Sent() const { return m_nNext.load(std::memory_order_acquire); }
    // Messages that went out in a later cycle than their time (full buffer or
    // a late cycle): the fixture's own shortfall, reported, never hidden.
    uint32_t Late() const { return m_nLate.load(); }
    jack_nframes_t SentAt(uint32_t index) const { return m_sentAt[index]; }

private:
    static int Process(jack_nframes_t frames, void* arg);
    enum : int { kIdle, kArmed, kRunning, kFinished };

    std::string m_strName;
    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pOut = nullptr;
    std::vector<jack_nframes_t> m_sentAt; // sized by Start(), never in the callback
    std::atomic<int> m_state{kIdle};
    std::atomic<uint32_t> m_nNext{0};
    std::atomic<uint32_t> m_nLate{0};
    uint32_t m_nCount = 0;
    uint64_t m_nRate = 1;
    jack_nframes_t m_nStart = 0;
};

// Keeps every note-on that reaches "<name>:in" in a buffer sized up front.
class Recorder {
public:
    explicit Recorder(uint32_t capacity, const std::string& name = "kvrec");
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    bool Ok() const { return m_pClient != nullptr; }
    std::string Port() const { return m_strName + ":in"; }

    void Clear(); // forgets what came so far, between runs
    uint32_t Count() const { return m_nCount.load(std::memory_order_acquire); }
    uint32_t Overflow() const { return m_nOverflow.load(); }
    std::vector<Arrival> Arrivals() const;

private:
    static int Process(jack_nframes_t frames, void* arg);

    std::string m_strName;
    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pIn = nullptr;
    std::vector<Arrival> m_arrivals;
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

// What the recorder holds, against what the sender sent.
Report Analyze(const Sender& sender, const std::vector<Arrival>& arrivals);

// One run: `count` messages at `rate`, the Qt event loop running meanwhile
// (as in the program), until everything came or arrivals stopped coming.
Report Run(Sender& sender, Recorder& recorder, uint32_t count, uint32_t rate);

// Connects or disconnects two ports through the sender's client.
bool Connect(const Sender& sender, const std::string& from, const std::string& to, bool on = true);

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
