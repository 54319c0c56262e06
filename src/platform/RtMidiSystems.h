#pragma once
// What the RtMidi backend shares with its open ports: the device lists of the
// ALSA sequencer and of JACK, whether a device still exists, and the watch that
// notices when one goes away. Open ports hold it, so it outlives them all.
//
// A device is another client's port. Ours (every client named "Kelvora", which
// JACK numbers "Kelvora-01"... when there are several) never appear.
#include "platform/JackClientMonitor.h"
#include "platform/MMSystem.h"
#include "platform/MidiPortWatch.h"

#include <rtmidi/RtMidi.h>

#include <QString>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct CRtMidiPeer {
    RtMidi::Api api = RtMidi::UNSPECIFIED;
    std::string name;   // as RtMidi lists it: "client:port" (ALSA adds "  client:port" numbers)
    bool source = true; // a port we read from (input device) or write to (output device)
    uint64_t epoch = 0; // JACK connection under which it was listed
};

class CRtMidiSystems {
public:
    static constexpr const char* kClientName = "Kelvora";

    CRtMidiSystems(bool useAlsa, bool useJack);
    ~CRtMidiSystems();
    CRtMidiSystems(const CRtMidiSystems&) = delete;
    CRtMidiSystems& operator=(const CRtMidiSystems&) = delete;

    static bool AlsaSequencerPresent();
    static bool IsOwnPort(const std::string& name);
    static MMRESULT ResultOf(RtMidiError::Type type);

    bool UsesAlsa() const { return m_bAlsa; }
    bool UsesJack() const { return m_bJack; }

    // The devices in index order: ALSA first, then JACK.
    std::vector<CRtMidiPeer> Sources();
    std::vector<CRtMidiPeer> Sinks();

    bool PeerAlive(const CRtMidiPeer& peer);
    CMidiPortWatch& Watch() { return m_watch; }
    CJackClientMonitor& Jack() { return *m_pJack; }

private:
    std::vector<CRtMidiPeer> List(bool sources);
    void AlsaPortsLocked(bool sources, std::vector<std::string>& names);

    const bool m_bAlsa;
    const bool m_bJack;
    std::mutex m_alsaMutex; // RtMidi objects are not thread-safe
    std::unique_ptr<RtMidiIn> m_pAlsaSources;
    std::unique_ptr<RtMidiOut> m_pAlsaSinks;
    bool m_bAlsaFailed = false;
    std::chrono::steady_clock::time_point m_alsaFailure;
    std::shared_ptr<CJackClientMonitor> m_pJack;
    int m_nJackListener = 0;
    CMidiPortWatch m_watch; // last: its thread stops before the lists it reads go away
};
