#pragma once
// The JACK client behind one open port of ours: a client named "Kelvora" (JACK
// numbers it when the name is taken) with one MIDI port, connected to the
// peer's port. It keeps the monitor's rules: it is counted with
// CJackClientMonitor for as long as it is open, and it opens only on the live
// server the peer was listed on.
//
// Threading: Open() and Close() from one thread (the port's owner). The
// process callback runs on JACK's real-time thread from Open() until Close()
// returns; everything it reads must be set before Open().
#include "platform/MMSystem.h"

#include <jack/jack.h>

#include <cstdint>
#include <string>

class CJackClientMonitor;

class CJackMidiPortClient {
public:
    CJackMidiPortClient() = default;
    ~CJackMidiPortClient() { Close(); }
    CJackMidiPortClient(const CJackMidiPortClient&) = delete;
    CJackMidiPortClient& operator=(const CJackMidiPortClient&) = delete;

    // input: our port receives from peerPort (else it sends to it). On failure
    // everything is undone and the result says why.
    MMRESULT Open(CJackClientMonitor& monitor, uint64_t peerEpoch, const std::string& peerPort,
                  const char* portName, bool input, JackProcessCallback process, void* arg);
    // Disconnects, unregisters and closes; process is not called after it.
    void Close();

    // For the process callback: the port's buffer of this cycle.
    void* Buffer(jack_nframes_t frames) const { return jack_port_get_buffer(m_pPort, frames); }
    // For the process callback: whether this cycle's graph has our port
    // connected. jack_connect() returns before the server takes the new
    // connection into its graph, a cycle or more later.
    bool Connected() const { return jack_port_connected(m_pPort) > 0; }
    uint64_t Epoch() const { return m_nEpoch; }

private:
    CJackClientMonitor* m_pMonitor = nullptr;
    uint64_t m_nEpoch = 0; // counted with the monitor while nonzero
    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pPort = nullptr;
};
