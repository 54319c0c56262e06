#include "platform/BuiltinSynth.h"

#include "platform/JackClientMonitor.h"
#include "platform/MidiWire.h"
#include "platform/SoundingNotes.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

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
            m_nWatchId = m_pSynth->m_pWatch->Add(
                [jack, jackEpoch] { return jack->EpochAlive(jackEpoch); }, std::move(onLost));
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
    if (!m_bOffline && m_pAudio == nullptr) {
        result = StartAudioLocked();
        if (result != MMSYSERR_NOERROR)
            return result;
    }
    ++m_nOpenPorts;
    port = std::make_unique<CBuiltinSynthPort>(shared_from_this(), std::move(onLost), m_nJackEpoch);
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
    return fluid_synth_write_float(m_pSynth.load(), frames, left, 0, 1, right, 0, 1) == FLUID_OK;
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
    return m_pAudio != nullptr;
}

MMRESULT CBuiltinSynth::LoadLocked()
{
    if (m_pSynth.load())
        return MMSYSERR_NOERROR;
    if (m_pSettings == nullptr) {
        m_pSettings = new_fluid_settings();
        if (m_pSettings == nullptr)
            return MMSYSERR_NOMEM;
        fluid_settings_setnum(m_pSettings, "synth.sample-rate", kSampleRate);
        fluid_settings_setnum(m_pSettings, "synth.gain", kGain);
        fluid_settings_setint(m_pSettings, "audio.period-size", kPeriodSize);
        fluid_settings_setint(m_pSettings, "audio.periods", kPeriods);
        fluid_settings_setint(m_pSettings, "audio.jack.autoconnect", 1);
        fluid_settings_setstr(m_pSettings, "audio.jack.id", "Kelvora Synthesizer");
        fluid_settings_setstr(m_pSettings, "audio.pulseaudio.media-role", "music");
    }
    fluid_synth_t* synth = new_fluid_synth(m_pSettings);
    if (synth == nullptr)
        return MMSYSERR_NOMEM;
    for (const QString& path : m_soundFonts) {
        if (!QFileInfo(path).isFile())
            continue;
        if (fluid_synth_sfload(synth, QFile::encodeName(path).constData(), 1) != FLUID_FAILED) {
            m_pSynth.store(synth, std::memory_order_release);
            m_strSoundFont = path;
            qCDebug(lcSynth) << "loaded SoundFont" << path;
            return MMSYSERR_NOERROR;
        }
        qCInfo(lcSynth) << "could not load SoundFont" << path;
    }
    delete_fluid_synth(synth);
    return MMSYSERR_ERROR;
}

MMRESULT CBuiltinSynth::StartAudioLocked()
{
    for (const QString& driver : m_audioDrivers) {
        uint64_t jackEpoch = 0;
        if (driver == QLatin1String("jack")) {
            // Only against a live server, and counted (see CJackClientMonitor).
            if (!m_pJack) {
                m_pWatch = std::make_unique<CMidiPortWatch>();
                m_pJack = CJackClientMonitor::Shared();
                CMidiPortWatch* watch = m_pWatch.get();
                m_nJackListener = m_pJack->AddChangeListener([watch] { watch->Poke(); });
            }
            if (!m_pJack->Connect() || (jackEpoch = m_pJack->AcquireClient()) == 0)
                continue;
        }
        fluid_settings_setstr(m_pSettings, "audio.driver", driver.toUtf8().constData());
        m_pAudio = new_fluid_audio_driver(m_pSettings, m_pSynth.load());
        if (m_pAudio) {
            m_strAudioDriver = driver;
            m_nJackEpoch = jackEpoch;
            qCDebug(lcSynth) << "audio through" << driver;
            return MMSYSERR_NOERROR;
        }
        if (jackEpoch)
            m_pJack->ReleaseClient(jackEpoch);
    }
    qCInfo(lcSynth) << "no audio output among" << m_audioDrivers;
    return MMSYSERR_NODRIVER;
}

void CBuiltinSynth::PortClosed()
{
    std::lock_guard lock(m_mutex);
    if (m_nOpenPorts > 0)
        --m_nOpenPorts;
    if (m_nOpenPorts == 0) {
        if (m_pAudio) {
            delete_fluid_audio_driver(m_pAudio);
            m_pAudio = nullptr;
            m_strAudioDriver.clear();
        }
        if (m_nJackEpoch) {
            m_pJack->ReleaseClient(m_nJackEpoch);
            m_nJackEpoch = 0;
        }
        // The next open starts from General MIDI defaults, with no release
        // tails left over from this session.
        if (fluid_synth_t* synth = m_pSynth.load())
            fluid_synth_system_reset(synth);
    }
}
