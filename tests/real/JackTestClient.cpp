#include "JackTestClient.h"

#include "platform/JackBufferTurn.h"

#include <jack/midiport.h>

JackTestClient::JackTestClient(const std::string& name) : m_strName(name)
{
    m_pQueue = jack_ringbuffer_create(1 << 18);
    jack_status_t status{};
    m_pClient = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (!m_pClient)
        return;
    m_strName = jack_get_client_name(m_pClient);
    m_pOut = jack_port_register(m_pClient, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(m_pClient, &JackTestClient::Process, this);
    if (!m_pOut || jack_activate(m_pClient) != 0) {
        jack_client_close(m_pClient);
        m_pClient = nullptr;
    }
}

JackTestClient::~JackTestClient()
{
    if (m_pClient)
        jack_client_close(m_pClient);
    jack_ringbuffer_free(m_pQueue);
}

bool JackTestClient::Send(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty() || bytes.size() > 255)
        return false;
    if (jack_ringbuffer_write_space(m_pQueue) < bytes.size() + 1)
        return false;
    const char size = static_cast<char>(bytes.size());
    jack_ringbuffer_write(m_pQueue, &size, 1);
    jack_ringbuffer_write(m_pQueue, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
}

bool JackTestClient::Drained() const
{
    return jack_ringbuffer_read_space(m_pQueue) == 0;
}

int JackTestClient::Process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<JackTestClient*>(arg);
    void* buffer = jack_port_get_buffer(self->m_pOut, frames);
    const CJackBufferTurn turn(buffer);
    jack_midi_clear_buffer(buffer);
    // A few events per cycle, one frame apart, so a burst spreads over cycles.
    for (jack_nframes_t frame = 0; frame < frames && frame < 32; ++frame) {
        unsigned char size = 0;
        if (jack_ringbuffer_peek(self->m_pQueue, reinterpret_cast<char*>(&size), 1) != 1)
            break;
        if (jack_ringbuffer_read_space(self->m_pQueue) < size + 1u)
            break;
        jack_midi_data_t* data = jack_midi_event_reserve(buffer, frame, size);
        if (!data)
            break;
        jack_ringbuffer_read_advance(self->m_pQueue, 1);
        jack_ringbuffer_read(self->m_pQueue, reinterpret_cast<char*>(data), size);
    }
    return 0;
}
