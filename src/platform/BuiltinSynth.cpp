#include "platform/BuiltinSynth.h"

#include "platform/JackClientMonitor.h"
#include "platform/MidiWire.h"
#include "platform/SoundingNotes.h"
#include "platform/SynthLine.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>

Q_LOGGING_CATEGORY(lcSynth, "kelvora.synth", QtWarningMsg)

namespace {

constexpr double kSampleRate = 48000.0;
// 3 periods of 128 frames at 48 kHz: 8 ms of buffering, enough to ride out a
// busy two-core machine and well under what a player notices. (FluidSynth's own
// default is 16 x 64 frames, about 23 ms.) JACK uses the server's period instead.
constexpr int kPeriodSize = 128;
constexpr int kPeriods = 3;
// FluidSynth's default gain of 0.2 is much quieter than other synthesizers.
constexpr double kGain = 0.5;
// What is left of the effects' tails once every voice is off, rendered away
// while no audio output runs: below -80 dBFS for two blocks, at most 3 s.
constexpr int kFlushBlock = 1024;
constexpr int kFlushMaxBlocks = static_cast<int>(3 * kSampleRate) / kFlushBlock;
constexpr float kFlushQuiet = 1e-4f;

// The package that brings the General MIDI SoundFont (default-GM.sf2).
constexpr const char* kSoundFontPackage = "timgm6mb-soundfont";

// FluidSynth and ALSA describe every audio driver they could not start; trying
// drivers in turn is our normal path, so their messages go to the debug log.
void LogFluidMessage(int level, const char* message, void*)
{
    if (level <= FLUID_ERR)
        qCInfo(lcSynth, "%s", message);
    else
        qCDebug(lcSynth, "%s", message);
}

void QuietAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// An audio driver as the user knows it.
QString DriverTitle(const QString& driver)
{
    if (driver == QLatin1String("pulseaudio"))
        return QStringLiteral("PulseAudio");
    if (driver == QLatin1String("jack"))
        return QStringLiteral("JACK");
    if (driver == QLatin1String("alsa"))
        return QStringLiteral("ALSA");
    if (driver == QLatin1String("pipewire"))
        return QStringLiteral("PipeWire");
    return driver;
}

QString NoAudioProblem(const QStringList& drivers)
{
    if (drivers.isEmpty())
        return QStringLiteral("no audio output is configured");
    QStringList titles;
    for (const QString& driver : drivers)
        titles << DriverTitle(driver);
    return QStringLiteral("no audio output could be started (tried %1)")
        .arg(titles.join(QLatin1String(", ")));
}

QString ServerStoppedProblem()
{
    return QStringLiteral("the sound server stopped: the JACK server it played through went away");
}

// One block as every output hears it: reverb and chorus mixed into the dry
// pair (as FluidSynth's own rendering does), then through the synthesizer's
// line, whose volume, mute and meter the mixer shows.
int RenderBlock(fluid_synth_t* synth, int frames, float* left, float* right)
{
    // fluid_synth_process adds to what the buffers hold. FluidSynth 2.3's
    // drivers hand them over zeroed (older PulseAudio drivers did not), and
    // offline buffers are the caller's: cleared here either way.
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);
    float* dry[2] = {left, right};
    float* effects[4] = {left, right, left, right}; // reverb L/R, chorus L/R
    const int result = fluid_synth_process(synth, frames, 4, effects, 2, dry);
    CSynthLine::Instance().Process(left, right, frames);
    return result;
}

// The audio output's callback, on its own thread. The effects buffers some
// drivers offer (JACK with audio.jack.multi, which we leave off) stay silent:
// the effects are in the pair.
int RenderForOutput(void* synth, int frames, int, float*[], int outputs, float* out[])
{
    if (outputs < 2)
        return FLUID_FAILED;
    return RenderBlock(static_cast<fluid_synth_t*>(synth), frames, out[0], out[1]);
}

// FluidSynth 2.3's drivers without a callback mode play the synthesizer
// straight: the line's volume, mute and meter do not reach what they play.
// Ours (PulseAudio, JACK, ALSA) all have one.
bool PlaysPastTheLine(const QString& driver)
{
    return driver == QLatin1String("file") || driver == QLatin1String("sdl2");
}

void PrepareLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, &LogFluidMessage, nullptr);
        snd_lib_error_set_handler(&QuietAlsaMessage);
        CJackClientMonitor::PrepareLibrary();
    });
}

} // namespace

// A port on the built-in synthesizer. Several may be open at once (the view's
// and the metronome dialog's); each silences only what it started.
class CBuiltinSynthPort : public IMidiOutPort {
public:
    CBuiltinSynthPort(std::shared_ptr<CBuiltinSynth> synth, MidiPortLostHandler onLost,
                      uint64_t jackEpoch)
        : m_pSynth(std::move(synth))
    {
        if (jackEpoch != 0 && onLost) {
            CJackClientMonitor* jack = m_pSynth->m_pJack.get();
            CBuiltinSynth* owner = m_pSynth.get();
            // The synth says why before the owner hears of the loss.
            m_nWatchId = m_pSynth->m_pWatch->Add(
                [jack, jackEpoch] { return jack->EpochAlive(jackEpoch); },
                [owner, jackEpoch, onLost = std::move(onLost)] {
                    owner->AudioLost(jackEpoch);
                    onLost();
                });
        }
    }

    ~CBuiltinSynthPort() override
    {
        if (m_nWatchId)
            m_pSynth->m_pWatch->Remove(m_nWatchId);
        m_pSynth->PortClosed();
    }

    uint32_t DeviceId() const override { return MIDI_MAPPER; }

    MMRESULT ShortMsg(uint32_t packed) override
    {
        std::lock_guard lock(m_mutex);
        const MMRESULT result = m_pSynth->Play(packed);
        if (result == MMSYSERR_NOERROR)
            m_notes.Track(packed);
        return result;
    }

    MMRESULT Reset() override
    {
        std::lock_guard lock(m_mutex);
        m_notes.Silence([this](uint32_t msg) { m_pSynth->Play(msg); });
        return MMSYSERR_NOERROR;
    }

private:
    std::shared_ptr<CBuiltinSynth> m_pSynth;
    std::mutex m_mutex;
    CSoundingNotes m_notes;
    int m_nWatchId = 0;
};

CBuiltinSynth::CBuiltinSynth()
    : m_soundFonts(DefaultSoundFonts()), m_audioDrivers(DefaultAudioDrivers())
{
    PrepareLibraries();
}

CBuiltinSynth::~CBuiltinSynth()
{
    // Ports keep the synth alive, so none is open here.
    if (m_pJack)
        m_pJack->RemoveChangeListener(m_nJackListener);
    m_pWatch.reset();
    if (m_pAudio)
        delete_fluid_audio_driver(m_pAudio);
    if (m_nJackEpoch)
        m_pJack->ReleaseClient(m_nJackEpoch);
    if (fluid_synth_t* synth = m_pSynth.load())
        delete_fluid_synth(synth);
    if (m_pSettings)
        delete_fluid_settings(m_pSettings);
}

QString CBuiltinSynth::ProductName()
{
    return QStringLiteral("Kelvora Synthesizer (FluidSynth)");
}

MidiCaps CBuiltinSynth::Caps() const
{
    MidiCaps caps;
    int major = 0, minor = 0, micro = 0;
    fluid_version(&major, &minor, &micro);
    caps.vDriverVersion = static_cast<uint32_t>((major << 8) | (minor & 0xFF));
    caps.szPname = ProductName();
    return caps;
}

QStringList CBuiltinSynth::DefaultSoundFonts()
{
    QStringList paths{QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2")};
    for (const QString& folder : {QStringLiteral("/usr/share/sounds/sf2"),
                                  QStringLiteral("/usr/share/soundfonts")}) {
        const QFileInfoList found =
            QDir(folder).entryInfoList({QStringLiteral("*.sf2")}, QDir::Files | QDir::Readable,
                                       QDir::Name);
        for (const QFileInfo& info : found) {
            if (!paths.contains(info.absoluteFilePath()))
                paths << info.absoluteFilePath();
        }
    }
    return paths;
}

void CBuiltinSynth::SetSoundFonts(const QStringList& paths)
{
    std::lock_guard lock(m_mutex);
    m_soundFonts = paths;
}

QStringList CBuiltinSynth::DefaultAudioDrivers()
{
    // PulseAudio covers PipeWire desktops too; JACK for studios; ALSA last.
    return {QStringLiteral("pulseaudio"), QStringLiteral("jack"), QStringLiteral("alsa")};
}

void CBuiltinSynth::SetAudioDrivers(const QStringList& drivers)
{
    std::lock_guard lock(m_mutex);
    m_audioDrivers = drivers;
}

void CBuiltinSynth::SetOffline(bool offline)
{
    std::lock_guard lock(m_mutex);
    m_bOffline = offline;
}

MMRESULT CBuiltinSynth::OpenPort(std::unique_ptr<IMidiOutPort>& port, MidiPortLostHandler onLost)
{
    port.reset();
    std::lock_guard lock(m_mutex);
    MMRESULT result = LoadLocked();
    if (result != MMSYSERR_NOERROR)
        return result;
    if (!m_bOffline) {
        // The JACK server it played through is gone while ports of that time
        // are still open: let its client go (the monitor connects to no new
        // server while it is open) and start afresh.
        if (m_pAudio != nullptr && !AudioAliveLocked())
            StopAudioLocked();
        if (m_pAudio == nullptr) {
            result = StartAudioLocked();
            if (result != MMSYSERR_NOERROR)
                return result;
        }
    }
    ++m_nOpenPorts;
    port = std::make_unique<CBuiltinSynthPort>(shared_from_this(), std::move(onLost), m_nJackEpoch);
    SetProblem(Trouble::None, QString());
    return MMSYSERR_NOERROR;
}

MMRESULT CBuiltinSynth::Play(uint32_t packed)
{
    uint8_t b[3];
    if (MidiWire::Encode(packed, b) == 0)
        return MMSYSERR_INVALPARAM;
    // The synth is created once and lives as long as we do; FluidSynth's own
    // API is thread-safe, so sends take no lock of ours.
    fluid_synth_t* synth = m_pSynth.load(std::memory_order_acquire);
    if (synth == nullptr)
        return MMSYSERR_INVALHANDLE;
    const int ch = b[0] & 0x0F;
    switch (b[0] & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, ch, b[1]);
        break;
    case 0x90:
        if (b[2] == 0)
            fluid_synth_noteoff(synth, ch, b[1]);
        else
            fluid_synth_noteon(synth, ch, b[1], b[2]);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, ch, b[1], b[2]);
        break;
    case 0xB0:
        fluid_synth_cc(synth, ch, b[1], b[2]);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, ch, b[1]);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, ch, b[1]);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, ch, b[1] | (b[2] << 7));
        break;
    default:
        if (b[0] == 0xFF)
            fluid_synth_system_reset(synth);
        break; // clock, active sensing and the other system messages mean nothing here
    }
    return MMSYSERR_NOERROR;
}

bool CBuiltinSynth::Render(float* left, float* right, int frames)
{
    if (left == nullptr || right == nullptr || frames <= 0)
        return false;
    std::lock_guard lock(m_mutex);
    if (m_pAudio != nullptr || LoadLocked() != MMSYSERR_NOERROR)
        return false;
    return RenderBlock(m_pSynth.load(), frames, left, right) == FLUID_OK;
}

QString CBuiltinSynth::SoundFontPath() const
{
    std::lock_guard lock(m_mutex);
    return m_strSoundFont;
}

QString CBuiltinSynth::AudioDriverName() const
{
    std::lock_guard lock(m_mutex);
    return m_strAudioDriver;
}

double CBuiltinSynth::SampleRate() const
{
    std::lock_guard lock(m_mutex);
    double rate = kSampleRate;
    if (m_pSettings)
        fluid_settings_getnum(m_pSettings, "synth.sample-rate", &rate);
    return rate;
}

bool CBuiltinSynth::AudioRunning() const
{
    std::lock_guard lock(m_mutex);
    return AudioAliveLocked();
}

QString CBuiltinSynth::Problem() const
{
    std::lock_guard lock(m_problemMutex);
    return m_strProblem;
}

void CBuiltinSynth::SetProblem(Trouble trouble, const QString& text)
{
    std::lock_guard lock(m_problemMutex);
    if (trouble == m_trouble && text == m_strProblem)
        return;
    m_trouble = trouble;
    m_strProblem = text;
    if (trouble != Trouble::None)
        qCInfo(lcSynth, "cannot sound: %s", qPrintable(text));
}

bool CBuiltinSynth::AudioAliveLocked() const
{
    if (m_pAudio == nullptr)
        return false;
    return m_nJackEpoch == 0 || m_pJack->EpochAlive(m_nJackEpoch);
}

MMRESULT CBuiltinSynth::LoadLocked()
{
    if (m_pSynth.load())
        return MMSYSERR_NOERROR;
    const QString noSynth = QStringLiteral("FluidSynth could not be started");
    if (m_pSettings == nullptr) {
        m_pSettings = new_fluid_settings();
        if (m_pSettings == nullptr) {
            SetProblem(Trouble::NoSynth, noSynth);
            return MMSYSERR_NOMEM;
        }
        fluid_settings_setnum(m_pSettings, "synth.sample-rate", kSampleRate);
        fluid_settings_setnum(m_pSettings, "synth.gain", kGain);
        fluid_settings_setint(m_pSettings, "audio.period-size", kPeriodSize);
        fluid_settings_setint(m_pSettings, "audio.periods", kPeriods);
        fluid_settings_setint(m_pSettings, "audio.jack.autoconnect", 1);
        fluid_settings_setstr(m_pSettings, "audio.jack.id", "Kelvora Synthesizer");
        fluid_settings_setstr(m_pSettings, "audio.pulseaudio.media-role", "music");
    }
    fluid_synth_t* synth = new_fluid_synth(m_pSettings);
    if (synth == nullptr) {
        SetProblem(Trouble::NoSynth, noSynth);
        return MMSYSERR_NOMEM;
    }
    QString unloadable;
    QStringList folders;
    for (const QString& path : m_soundFonts) {
        const QFileInfo info(path);
        if (!folders.contains(info.absolutePath()))
            folders << info.absolutePath();
        if (!info.isFile())
            continue;
        if (fluid_synth_sfload(synth, QFile::encodeName(path).constData(), 1) != FLUID_FAILED) {
            m_pSynth.store(synth, std::memory_order_release);
            m_strSoundFont = path;
            qCDebug(lcSynth) << "loaded SoundFont" << path;
            return MMSYSERR_NOERROR;
        }
        qCInfo(lcSynth) << "could not load SoundFont" << path;
        if (unloadable.isEmpty())
            unloadable = path;
    }
    delete_fluid_synth(synth);
    if (!unloadable.isEmpty())
        SetProblem(Trouble::NoSoundFont,
                   QStringLiteral("the SoundFont %1 could not be loaded: reinstall %2")
                       .arg(unloadable, QLatin1String(kSoundFontPackage)));
    else
        SetProblem(Trouble::NoSoundFont,
                   QStringLiteral("no SoundFont found in %1: install %2")
                       .arg(folders.isEmpty() ? QStringLiteral("the list given")
                                              : folders.join(QLatin1String(", ")),
                            QLatin1String(kSoundFontPackage)));
    return MMSYSERR_ERROR;
}

MMRESULT CBuiltinSynth::StartAudioLocked()
{
    bool jackTried = false;
    for (const QString& driver : m_audioDrivers) {
        uint64_t jackEpoch = 0;
        if (driver == QLatin1String("jack")) {
            jackTried = true;
            // Only against a live server, and counted (see CJackClientMonitor):
            // with no server this costs nothing, libjack is never left to wait.
            if (!m_pJack) {
                m_pWatch = std::make_unique<CMidiPortWatch>();
                m_pJack = CJackClientMonitor::Shared();
                CMidiPortWatch* watch = m_pWatch.get();
                m_nJackListener = m_pJack->AddChangeListener([watch] { watch->Poke(); });
            }
            if (!m_pJack->Connect() || (jackEpoch = m_pJack->AcquireClient()) == 0)
                continue;
        }
        // A name FluidSynth does not know must not leave the last one chosen.
        if (fluid_settings_setstr(m_pSettings, "audio.driver", driver.toUtf8().constData())
            == FLUID_OK) {
            fluid_synth_t* synth = m_pSynth.load();
            if (PlaysPastTheLine(driver)) {
                m_pAudio = new_fluid_audio_driver(m_pSettings, synth);
                if (m_pAudio)
                    qCInfo(lcSynth) << "audio through" << driver
                                    << "plays past the synthesizer line: its volume, mute and meter do nothing";
            } else {
                m_pAudio = new_fluid_audio_driver2(m_pSettings, &RenderForOutput, synth);
            }
        }
        if (m_pAudio) {
            m_strAudioDriver = driver;
            m_nJackEpoch = jackEpoch;
            if (jackEpoch) {
                // Noticed on the watch thread (poked when the server shuts
                // down), also while no port asks to hear of it.
                m_nAudioEpoch.store(jackEpoch);
                CJackClientMonitor* jack = m_pJack.get();
                m_nAudioWatchId = m_pWatch->Add(
                    [jack, jackEpoch] { return jack->EpochAlive(jackEpoch); },
                    [this, jackEpoch] { AudioLost(jackEpoch); });
            }
            qCDebug(lcSynth) << "audio through" << driver;
            return MMSYSERR_NOERROR;
        }
        if (jackEpoch)
            m_pJack->ReleaseClient(jackEpoch);
    }
    qCInfo(lcSynth) << "no audio output among" << m_audioDrivers;
    {
        // While JACK is not back, that it stopped says more than the list tried.
        std::lock_guard lock(m_problemMutex);
        if (jackTried && m_trouble == Trouble::ServerStopped)
            return MMSYSERR_NODRIVER;
    }
    SetProblem(Trouble::NoAudio, NoAudioProblem(m_audioDrivers));
    return MMSYSERR_NODRIVER;
}

void CBuiltinSynth::AudioLost(uint64_t jackEpoch)
{
    // A port of a server gone before the audio output was started afresh
    // says nothing of the output playing now.
    if (jackEpoch == m_nAudioEpoch.load())
        SetProblem(Trouble::ServerStopped, ServerStoppedProblem());
}

void CBuiltinSynth::StopAudioLocked()
{
    // The loss handlers take no lock of ours, so waiting for them here is
    // safe; once Remove() returns, none still holds the old epoch.
    m_nAudioEpoch.store(0);
    if (m_nAudioWatchId) {
        m_pWatch->Remove(m_nAudioWatchId);
        m_nAudioWatchId = 0;
    }
    if (m_pAudio) {
        delete_fluid_audio_driver(m_pAudio);
        m_pAudio = nullptr;
        m_strAudioDriver.clear();
    }
    if (m_nJackEpoch) {
        m_pJack->ReleaseClient(m_nJackEpoch);
        m_nJackEpoch = 0;
    }
}

void CBuiltinSynth::SilenceLocked()
{
    // What closing does on a hardware synthesizer: every pedal up, every note
    // and its release cut; programs, volumes and the other controllers stay.
    fluid_synth_t* synth = m_pSynth.load();
    if (synth == nullptr)
        return;
    const int channels = fluid_synth_count_midi_channels(synth);
    for (int ch = 0; ch < channels; ++ch) {
        fluid_synth_cc(synth, ch, 64, 0); // sustain
        fluid_synth_cc(synth, ch, 66, 0); // sostenuto
        fluid_synth_all_notes_off(synth, ch);
        fluid_synth_all_sounds_off(synth, ch);
    }
}

void CBuiltinSynth::FlushLocked()
{
    // With no audio output running nothing renders: what the reverb and chorus
    // still hold would be heard at the next open. Rendered away here instead.
    fluid_synth_t* synth = m_pSynth.load();
    if (synth == nullptr || m_pAudio != nullptr)
        return;
    float left[kFlushBlock], right[kFlushBlock];
    int quiet = 0;
    for (int block = 0; block < kFlushMaxBlocks && quiet < 2; ++block) {
        if (fluid_synth_write_float(synth, kFlushBlock, left, 0, 1, right, 0, 1) != FLUID_OK)
            return;
        float peak = 0;
        for (int i = 0; i < kFlushBlock; ++i)
            peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
        quiet = peak < kFlushQuiet ? quiet + 1 : 0;
    }
}

void CBuiltinSynth::PortClosed()
{
    std::lock_guard lock(m_mutex);
    if (m_nOpenPorts > 0)
        --m_nOpenPorts;
    if (m_nOpenPorts == 0) {
        // Silenced, not reset: the chosen programs and volumes are kept for
        // the next open (the view closes its port around some dialogs).
        SilenceLocked();
        StopAudioLocked();
        FlushLocked();
    }
}
