#pragma once
// The built-in synthesizer: FluidSynth with the system's General MIDI SoundFont,
// playing through the desktop's audio. It is the output device MIDI_MAPPER, so
// that a key press makes a sound on a machine with no synthesizer attached.
//
// The synth and its SoundFont are loaded once (about 60 ms) and kept; the audio
// output runs while at least one port is open. The first open starts the load
// on a thread of its own and returns at once, so that the main window shows
// without waiting for it: what its ports send meanwhile is queued and played,
// in order, the moment the SoundFont is in. Everything it plays, through an
// output or offline, passes through the synthesizer's line (CSynthLine): its
// volume, mute and peak meter. Like a hardware synthesizer it
// keeps its programs and controllers when the last port closes: closing only
// silences it.
#include "platform/MidiBackend.h"
#include "platform/MidiPortWatch.h"

#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_audio_driver_t;
class CJackClientMonitor;
class CPulseStream;

class CBuiltinSynth : public std::enable_shared_from_this<CBuiltinSynth> {
public:
    CBuiltinSynth();
    ~CBuiltinSynth();
    CBuiltinSynth(const CBuiltinSynth&) = delete;
    CBuiltinSynth& operator=(const CBuiltinSynth&) = delete;

    static QString ProductName();
    MidiCaps Caps() const;

    // SoundFonts tried in order; the default is the system's General MIDI font
    // and then any other .sf2 found in the usual folders. Read when a load
    // starts; a synth that has loaded keeps its SoundFont.
    static QStringList DefaultSoundFonts();
    void SetSoundFonts(const QStringList& paths);

    // Audio drivers tried in order when the first port opens (FluidSynth gives
    // up at the first one that fails, so we walk the list ourselves).
    static QStringList DefaultAudioDrivers();
    void SetAudioDrivers(const QStringList& drivers);

    // Offline: ports open without any audio output and the caller pulls the
    // sound with Render(). For tests and tools.
    void SetOffline(bool offline);

    // Opens a port on the synthesizer. Fails with MMSYSERR_ERROR when no
    // SoundFont file exists (or, once a load has failed, none loads),
    // MMSYSERR_NODRIVER when no audio output can be started, MMSYSERR_NOMEM
    // when FluidSynth cannot be created; Problem() then says why. Fails fast,
    // as it is retried while the synth cannot sound (JACK, for one, is tried
    // only when its server runs).
    //
    // The first open returns while the SoundFont still loads (only an output
    // through JACK waits for it: JACK sets the synth's sample rate to its
    // server's when it starts). Its port queues what it is sent until then.
    // If that load fails, the port's sends fail from then on and its onLost
    // runs, after Problem() has said why: its owner takes it for a lost
    // output and shows the same message as for an open that failed. After a
    // failed load, opens load the SoundFont themselves, and so fail at once.
    // Closing the last port and destroying the synth wait for a load under
    // way (FluidSynth cannot stop one halfway): at most the load's own time.
    //
    // onLost runs (on a thread of ours, once) if the audio output dies: a
    // JACK server that stops. Its owner then closes the port. The dead output
    // is let go when the last port closes (or at the next open), so that an
    // open after the server is back plays through the new one.
    MMRESULT OpenPort(std::unique_ptr<IMidiOutPort>& port, MidiPortLostHandler onLost = nullptr);

    // Plays one packed short message now; any thread. Malformed words give
    // MMSYSERR_INVALPARAM, a synth that is not loaded MMSYSERR_INVALHANDLE.
    // While the SoundFont loads it is queued (MMSYSERR_ERROR once
    // kPendingLimit messages wait). A System Reset (0xFF) resets every
    // program and controller.
    MMRESULT Play(uint32_t packed);

    // What may wait for the SoundFont: at a dense flood (60,000 messages/s)
    // more than the load takes, and 64 KB at most.
    static constexpr size_t kPendingLimit = 4096;

    // Renders stereo samples while no audio output runs (offline use), through
    // the synthesizer's line as an output would play them. Waits for a load
    // under way, so that what was queued is rendered.
    bool Render(float* left, float* right, int frames);

    // What is in use, for diagnostics; empty until loaded / started.
    QString SoundFontPath() const;
    QString AudioDriverName() const;
    double SampleRate() const;
    // An audio output is open and its server alive.
    bool AudioRunning() const;

    // Why the synthesizer cannot sound now, in the user's words and short
    // enough for a status bar ("no SoundFont found ..."); empty when it can
    // (or has not been tried yet). Set when an open fails or the audio output
    // is lost, cleared when a port opens with the synth sounding. Any thread.
    QString Problem() const;

private:
    friend class CBuiltinSynthPort;
    enum class Trouble { None, NoSoundFont, NoSynth, NoAudio, ServerStopped };
    enum class Load { NotStarted, Loading, Ready, Failed };
    struct LoadedSoundFont;
    // A message waiting for the SoundFont, and the port that sent it (null
    // for Play()), so that a port's reset can take back its notes.
    struct Pending {
        uint32_t packed;
        const void* source;
    };

    MMRESULT Send(uint32_t packed, const void* source);
    void DropPendingNotes(const void* source);
    bool LoadFailed() const { return m_load.load() == Load::Failed; }
    MMRESULT PrepareSettingsLocked();
    MMRESULT BeginLoadLocked();
    MMRESULT LoadLocked();
    MMRESULT FinishLoadLocked(LoadedSoundFont loaded);
    void LoadInBackground(QStringList soundFonts);
    bool AwaitLoadLocked(std::unique_lock<std::mutex>& lock);
    CMidiPortWatch& WatchLocked();
    MMRESULT StartAudioLocked(std::unique_lock<std::mutex>& lock);
    void StopAudioLocked();
    bool HasAudioLocked() const;
    bool AudioAliveLocked() const;
    void SilenceLocked();
    void FlushLocked();
    void PortClosed();
    void SetProblem(Trouble trouble, const QString& text);
    // On the watch thread: the server of that epoch went away. Takes no lock
    // but the problem's.
    void AudioLost(uint64_t jackEpoch);

    // The problem has a lock of its own, never held while calling out: the
    // watch thread sets it while the watch's lock is held.
    mutable std::mutex m_problemMutex;
    Trouble m_trouble = Trouble::None;
    QString m_strProblem;

    // Opens and last closes, which start and stop the audio output, one at a
    // time: both may wait for the load with m_mutex let go.
    std::mutex m_portMutex;
    mutable std::mutex m_mutex;
    _fluid_hashtable_t* m_pSettings = nullptr;
    // Set once, read by sends and the audio output without a lock; published
    // (with m_load) under m_pendingMutex once what waited has been played.
    std::atomic<_fluid_synth_t*> m_pSynth{nullptr};
    std::atomic<Load> m_load{Load::NotStarted}; // changed under m_mutex and m_pendingMutex
    std::condition_variable m_loadDone;         // with m_mutex, when m_load leaves Loading
    std::thread m_loader;
    // Taken by sends only while the synth is not published; held while what
    // waited is played into the synth, never while calling anything of ours.
    // The innermost of our locks.
    std::mutex m_pendingMutex;
    std::vector<Pending> m_pending;
    _fluid_audio_driver_t* m_pAudio = nullptr;   // FluidSynth's output (JACK, ALSA)...
    std::unique_ptr<CPulseStream> m_pPulse;      // ... or our PulseAudio stream
    QStringList m_soundFonts;
    QStringList m_audioDrivers;
    bool m_bOffline = false;
    QString m_strSoundFont;
    QString m_strAudioDriver;
    unsigned m_nOpenPorts = 0;
    // Audio through JACK: the server may stop under us, and its client must be
    // counted with the monitor (see CJackClientMonitor).
    std::shared_ptr<CJackClientMonitor> m_pJack;
    std::unique_ptr<CMidiPortWatch> m_pWatch;
    int m_nJackListener = 0;
    uint64_t m_nJackEpoch = 0;   // of the JACK audio client while it is open
    int m_nAudioWatchId = 0;     // notices the loss of that client's server
    std::atomic<uint64_t> m_nAudioEpoch{0}; // m_nJackEpoch, for the watch thread
};
