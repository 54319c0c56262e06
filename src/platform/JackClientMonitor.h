#pragma once
// Our own small JACK client that watches the server: whether one runs, which
// MIDI ports exist, when a port goes away and when the server shuts down.
// RtMidi does the MIDI input and output but tells us none of this: its clients
// simply go quiet when the server stops.
//
// The client has no ports and no process callback. Change notifications arrive
// on a JACK thread and must not block.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct _jack_client;

class CJackClientMonitor {
public:
    CJackClientMonitor();
    ~CJackClientMonitor();
    CJackClientMonitor(const CJackClientMonitor&) = delete;
    CJackClientMonitor& operator=(const CJackClientMonitor&) = delete;

    // Process-wide, once: libjack must never start a server of its own (that
    // blocks for seconds), and its messages go to our log instead of stderr.
    static void PrepareLibrary();

    // Called on a JACK thread when a port is unregistered or the server goes
    // away. Set before the first Connect(); must not block.
    void SetChangeCallback(std::function<void()> onChange);

    // Connects when not connected (after a failure, tries again at most once a
    // second so that listing devices stays fast with no server). True while
    // connected to a live server.
    bool Connect();
    bool IsConnected() const;

    // Changes at every new connection; a port opened under one epoch is gone
    // when the epoch changes (the server restarted in between).
    uint64_t Epoch() const;

    // Full names ("client:port") of the MIDI ports we can read from (sources)
    // or write to (sinks), in the server's order.
    std::vector<std::string> MidiPorts(bool sources);

    // Whether the named port still exists on the server of that epoch.
    bool PortAlive(const std::string& name, uint64_t epoch);

private:
    static void OnShutdown(void* arg);
    static void OnPortRegistration(uint32_t port, int registered, void* arg);
    void NotifyChange();
    void CloseLocked();

    mutable std::mutex m_mutex;
    _jack_client* m_pClient = nullptr;
    std::atomic<bool> m_bShutdown{false}; // set from the JACK thread
    uint64_t m_nEpoch = 0;
    uint64_t m_nNextEpoch = 1;
    bool m_bFailed = false;
    std::chrono::steady_clock::time_point m_lastFailure;
    std::function<void()> m_onChange;
};
