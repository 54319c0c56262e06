#pragma once
// What the RtMidi backend shares with its open ports: the device lists of the
// ALSA sequencer and of JACK, whether a device still exists, the watch that
// notices when one goes away, and who is told when the lists change. Open
// ports hold it, so it outlives them all.
//
// A device is another client's port. Ours (every client named "Kelvora", which
// JACK numbers "Kelvora-01"... when there are several) never appear.
//
// Changes come from JACK's registration and shutdown callbacks and from the
// ALSA sequencer's announcements (CAlsaAnnounceWatch). Each one counts up the
// generation at once (open ports keep their index until it moves) and pokes
// the watch; the listeners hear of it on a thread of ours. JACK tells of a
// port before its lists show it, so that thread first waits the server's next
// cycles, then counts and pokes once more before telling. It also
// looks for what nothing announces: a JACK server started later (it tries to
// connect about once a second while someone listens) and, where the sequencer
// does not announce, the ALSA lists themselves.
#include "platform/AlsaAnnounceWatch.h"
#include "platform/JackClientMonitor.h"
#include "platform/MMSystem.h"
#include "platform/MidiPortWatch.h"

#include <rtmidi/RtMidi.h>

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct CRtMidiPeer {
    RtMidi::Api api = RtMidi::UNSPECIFIED;
    std::string name;   // as RtMidi lists it: "client:port" (ALSA adds "  client:port" numbers)
    bool source = true; // a port we read from (input device) or write to (output device)
    uint64_t epoch = 0; // JACK connection under which it was listed
};

// An open port's place in the list, remembered until the lists change.
struct CRtMidiIndexCache {
    std::mutex mutex;
    uint64_t generation = 0;
    uint32_t index = MIDI_NO_DEVICE;
    std::chrono::steady_clock::time_point listed;
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
    // The name a port keeps while it exists and again when it comes back:
    // ALSA's "client:port" without the numbers RtMidi appends (they change on
    // a replug); JACK's full name as it is.
    static std::string StableName(RtMidi::Api api, const std::string& name);
    // Ports that only pass on what is sent to them: ALSA's "Midi Through" and
    // system ports, also as JACK bridges (a2jmidid, PipeWire) show them.
    static bool IsLoopback(RtMidi::Api api, const std::string& name);

    bool UsesAlsa() const { return m_bAlsa; }
    bool UsesJack() const { return m_bJack; }

    // The devices in index order: ALSA first, then JACK.
    std::vector<CRtMidiPeer> Sources();
    std::vector<CRtMidiPeer> Sinks();

    bool PeerAlive(const CRtMidiPeer& peer);
    CMidiPortWatch& Watch() { return m_watch; }
    CJackClientMonitor& Jack() { return *m_pJack; }

    // Counts every change we are told of; read it before listing, and what
    // was listed is current for as long as it stays the same.
    uint64_t Generation() const { return m_nGeneration.load(); }
    // Whether every change to the lists counts up the generation: false where
    // ALSA is used without its announcements.
    bool AnnouncesAllChanges() const;
    // The peer's index among the devices of its kind, or MIDI_NO_DEVICE when
    // it is no longer listed (a JACK peer of a server since gone counts as
    // gone). Lists only when the generation moved, or where changes are not
    // all announced, when the last look is more than a moment old. Any thread.
    uint32_t CurrentIndex(const CRtMidiPeer& peer, CRtMidiIndexCache& cache);

    // onChange is called on our notifier thread whenever the lists may have
    // changed, with no lock of ours held: it may list ports, and add or remove
    // listeners (itself too). After RemoveListener returns it is not called
    // again (removing from another thread waits for a call in progress).
    int AddListener(std::function<void()> onChange);
    void RemoveListener(int id);

private:
    std::vector<CRtMidiPeer> List(bool sources);
    void AlsaPortsLocked(bool sources, std::vector<std::string>& names);
    // A source told us the lists may have changed. Any thread, never blocks.
    void OnChanged(bool fromJack = false);
    void StartNotifierLocked(); // under m_listenerMutex
    void RunNotifier();
    // Waits for JACK's graph to show what it told of; false when stopping.
    bool SettleJack();
    // What nothing announces, looked for while someone listens.
    bool NeedsLooking();
    void Look();
    void TellListeners();

    const bool m_bAlsa;
    const bool m_bJack;
    std::mutex m_alsaMutex; // RtMidi objects are not thread-safe
    std::unique_ptr<RtMidiIn> m_pAlsaSources;
    std::unique_ptr<RtMidiOut> m_pAlsaSinks;
    bool m_bAlsaFailed = false;
    std::chrono::steady_clock::time_point m_alsaFailure;
    std::shared_ptr<CJackClientMonitor> m_pJack;
    int m_nJackPortsListener = 0;
    std::unique_ptr<CAlsaAnnounceWatch> m_pAnnounce; // set in the constructor only
    std::atomic<uint64_t> m_nGeneration{1};

    // The notifier thread: woken by m_changed, stopped by m_bStop.
    std::mutex m_notifyMutex; // held only to flag or wait, never across a call out
    std::condition_variable m_changed;
    bool m_bChangePending = false;
    bool m_bJackPending = false; // a change told by JACK, not yet in its lists
    std::atomic<bool> m_bStop{false};
    std::vector<std::string> m_alsaSeen; // what Look() last listed (notifier thread)
    bool m_bAlsaSeen = false;
    std::thread m_notifier;

    std::mutex m_listenerMutex; // guards m_listeners and the start of m_notifier
    std::mutex m_callMutex;     // held while a listener runs, so removing can wait for it
    std::map<int, std::shared_ptr<const std::function<void()>>> m_listeners;
    int m_nNextListener = 1;

    CMidiPortWatch m_watch; // last: its thread stops before the lists it reads go away
};
