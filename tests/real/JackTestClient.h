#pragma once
// A tiny JACK MIDI client for the tests: it writes whatever events it is given
// to its output port ("<name>:out"), raw, so the test decides exactly what a
// peer sends, malformed events included.
#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <cstdint>
#include <string>
#include <vector>

class JackTestClient {
public:
    explicit JackTestClient(const std::string& name);
    ~JackTestClient();
    JackTestClient(const JackTestClient&) = delete;
    JackTestClient& operator=(const JackTestClient&) = delete;

    bool Ok() const { return m_pClient != nullptr; }
    std::string OutPort() const { return m_strName + ":out"; }

    // Queues one event (1 to 255 bytes); false when the queue is full.
    bool Send(const std::vector<uint8_t>& bytes);
    // Whether everything queued has been written to the port.
    bool Drained() const;

private:
    static int Process(jack_nframes_t frames, void* arg);

    std::string m_strName;
    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pOut = nullptr;
    jack_ringbuffer_t* m_pQueue = nullptr;
};
