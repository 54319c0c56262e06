#pragma once
// Our own small JACK client that watches the server for the whole process:
// whether one runs, which MIDI ports exist, when a port goes away and when the
// server shuts down. RtMidi does the MIDI input and output but tells us none of
// this: its clients simply go quiet when the server stops.
//
// It also keeps count of our other JACK clients (RtMidi's ports, the synth's
// audio output), because libjack 1.9 crashes when a client left over from a
// dead server is closed after a failed attempt to open a new one. So: nobody
// opens a JACK client unless we are connected to a live server, and we do not
// try to reconnect while clients of the dead server are still open. Whoever
// holds one learns of the loss through the change listeners and closes it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct _jack_client;

class CJackClientMonitor {
public:
    // The process's monitor, made on first use and gone with its last user.
    static std::shared_ptr<CJackClientMonitor> Shared();

    CJackClientMonitor();
    ~CJackClientMonitor();
    CJackClientMonitor(const CJackClientMonitor&) = delete;
    CJackClientMonitor& operator=(const CJackClientMonitor&) = delete;

    // Process-wide, once: libjack must never start a server of its own (that
    // blocks for seconds), and its messages go to our log instead of stderr.
    static void PrepareLibrary();

    // Called on a JACK thread when a port is unregistered or renamed, or the
    // server goes away: what may have cost an open port its peer. Must not
    // block. After RemoveChangeListener returns it is not called.
    int AddChangeListener(std::function<void()> onChange);
    void RemoveChangeListener(int id);

    // Called when the list of ports may have changed: a port registered,
    // unregistered or renamed, the server gone (all on a JACK thread), or a
    // new connection made (on the thread that called Connect(), after it let
    // go of the monitor). Must not block or call back into the monitor. After
    // RemovePortsListener returns it is not called.
    //
    // For both kinds: JACK tells of a port before its lists show the change
    // (MidiPorts() and PortAlive() see it a cycle or two later, see Cycles()).
    int AddPortsListener(std::function<void()> onChange);
    void RemovePortsListener(int id);

    // Connects when not connected (after a failure, tries again at most once a
    // second so that listing devices stays fast with no server). True while
    // connected to a live server. A new connection is told to the ports
    // listeners, so do not call it from inside one.
    bool Connect();
    bool IsConnected() const;

    // Changes at every new connection; a port opened under one epoch is gone
    // when the epoch changes (the server restarted in between). 0: none.
    uint64_t Epoch() const;
    bool EpochAlive(uint64_t epoch) const;

    // Before opening a JACK client of our own: the live epoch it belongs to, or
    // 0 (do not open) when no server is connected. Pair with ReleaseClient()
    // once the client is closed.
    uint64_t AcquireClient();
    void ReleaseClient(uint64_t epoch);

    // Full names ("client:port") of the MIDI ports we can read from (sources)
    // or write to (sinks), in the server's order.
    std::vector<std::string> MidiPorts(bool sources);

    // Whether the named port still exists on the server of that epoch.
    bool PortAlive(const std::string& name, uint64_t epoch);

    // Process cycles run so far (any thread). A port registered or gone shows
    // in the server's lists only from a cycle or two after it was told.
    uint64_t Cycles() const { return m_nCycles.load(); }

private:
    static int OnProcess(uint32_t frames, void* arg);
    static void OnShutdown(void* arg);
    static void OnPortRegistration(uint32_t port, int registered, void* arg);
    static void OnPortRename(uint32_t port, const char* oldName, const char* newName, void* arg);
    void NotifyChange();
    void NotifyPorts();
    // Connect() under m_mutex; *connected: a new connection was made.
    bool ConnectLocked(bool* connected);
    bool AliveLocked() const;
    void CloseLocked();

    mutable std::mutex m_mutex;
    _jack_client* m_pClient = nullptr;
    std::atomic<bool> m_bShutdown{false}; // set from the JACK thread
    std::atomic<uint64_t> m_nCycles{0};    // counted in the process callback
    uint64_t m_nEpoch = 0;
    uint64_t m_nNextEpoch = 1;
    std::map<uint64_t, int> m_clients; // our open JACK clients per epoch
    bool m_bFailed = false;
    std::chrono::steady_clock::time_point m_lastFailure;

    // Never held across a JACK call: JACK's threads take it to notify.
    std::mutex m_listenerMutex;
    std::map<int, std::function<void()>> m_listeners;
    std::map<int, std::function<void()>> m_portsListeners;
    int m_nNextListener = 1;
};
