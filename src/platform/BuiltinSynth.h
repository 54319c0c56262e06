#pragma once
// The built-in synthesizer: FluidSynth with the system's General MIDI SoundFont,
// playing through the desktop's audio. It is the output device MIDI_MAPPER, so
// that a key press makes a sound on a machine with no synthesizer attached.
//
// The synth and its SoundFont are loaded once (about 60 ms) and kept; the audio
// output runs while at least one port is open.
#include "platform/MidiBackend.h"
#include "platform/MidiPortWatch.h"

#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_audio_driver_t;
class CJackClientMonitor;

class CBuiltinSynth : public std::enable_shared_from_this<CBuiltinSynth> {
public:
    CBuiltinSynth();
    ~CBuiltinSynth();
    CBuiltinSynth(const CBuiltinSynth&) = delete;
    CBuiltinSynth& operator=(const CBuiltinSynth&) = delete;

    static QString ProductName();
    MidiCaps Caps() const;

    // SoundFonts tried in order; the default is the system's General MIDI font
    // and then any other .sf2 found in the usual folders.
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
    // SoundFont loads, MMSYSERR_NODRIVER when no audio output can be started,
    // MMSYSERR_NOMEM when FluidSynth cannot be created. onLost runs (on a
    // thread of ours) if the audio output dies: a JACK server that stops.
    MMRESULT OpenPort(std::unique_ptr<IMidiOutPort>& port, MidiPortLostHandler onLost = nullptr);

    // Plays one packed short message now; any thread. Malformed words give
    // MMSYSERR_INVALPARAM, a synth that is not loaded MMSYSERR_INVALHANDLE.
    MMRESULT Play(uint32_t packed);

    // Renders stereo samples while no audio output runs (offline use).
    bool Render(float* left, float* right, int frames);

    // What is in use, for diagnostics; empty until loaded / started.
    QString SoundFontPath() const;
    QString AudioDriverName() const;
    double SampleRate() const;
    bool AudioRunning() const;

private:
    friend class CBuiltinSynthPort;
    MMRESULT LoadLocked();
    MMRESULT StartAudioLocked();
    void PortClosed();

    mutable std::mutex m_mutex;
    _fluid_hashtable_t* m_pSettings = nullptr;
    std::atomic<_fluid_synth_t*> m_pSynth{nullptr}; // set once, read by sends without a lock
    _fluid_audio_driver_t* m_pAudio = nullptr;
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
    uint64_t m_nJackEpoch = 0;
};
