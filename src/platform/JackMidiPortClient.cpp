#include "platform/JackMidiPortClient.h"

#include "platform/JackClientMonitor.h"
#include "platform/RtMidiSystems.h"

#include <QLoggingCategory>

#include <jack/midiport.h>

#include <cerrno>

Q_DECLARE_LOGGING_CATEGORY(lcJack)

MMRESULT CJackMidiPortClient::Open(CJackClientMonitor& monitor, uint64_t peerEpoch,
                                   const std::string& peerPort, const char* portName, bool input,
                                   JackProcessCallback process, void* arg)
{
    Close();
    m_pMonitor = &monitor;
    m_nEpoch = monitor.AcquireClient();
    if (m_nEpoch == 0 || m_nEpoch != peerEpoch) {
        Close(); // the server the peer was listed on is gone
        return MMSYSERR_NODRIVER;
    }
    jack_status_t status{};
    m_pClient = jack_client_open(CRtMidiSystems::kClientName, JackNoStartServer, &status);
    if (!m_pClient) {
        qCDebug(lcJack, "opening a client for %s failed (status 0x%x)", peerPort.c_str(),
                static_cast<unsigned>(status));
        Close();
        return MMSYSERR_NODRIVER;
    }
    m_pPort = jack_port_register(m_pClient, portName, JACK_DEFAULT_MIDI_TYPE,
                                 input ? JackPortIsInput : JackPortIsOutput, 0);
    if (!m_pPort || jack_set_process_callback(m_pClient, process, arg) != 0 ||
        jack_activate(m_pClient) != 0) {
        Close();
        return MMSYSERR_ERROR;
    }
    const char* ours = jack_port_name(m_pPort);
    const int connected = input ? jack_connect(m_pClient, peerPort.c_str(), ours)
                                : jack_connect(m_pClient, ours, peerPort.c_str());
    if (connected != 0 && connected != EEXIST) {
        qCDebug(lcJack, "connecting %s and %s failed", ours, peerPort.c_str());
        Close();
        return MMSYSERR_BADDEVICEID; // the peer's port went away meanwhile
    }
    return MMSYSERR_NOERROR;
}

void CJackMidiPortClient::Close()
{
    if (m_pClient) {
        // Deactivating first ends the callbacks before the port goes.
        jack_deactivate(m_pClient);
        jack_client_close(m_pClient);
        m_pClient = nullptr;
        m_pPort = nullptr;
    }
    if (m_nEpoch && m_pMonitor)
        m_pMonitor->ReleaseClient(m_nEpoch);
    m_nEpoch = 0;
}
