#include "platform/BuiltinSynth.h"

#include "platform/JackClientMonitor.h"
#include "platform/MidiWire.h"
#include "platform/PulseStream.h"
#include "platform/SoundingNotes.h"
#include "platform/SynthLine.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <system_error>

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
// JACK's notices poke the watch; it also looks for a server gone this often,
// in case a notice never comes.
constexpr std::chrono::milliseconds kJackWatchPeriod{500};

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

// The audio output's callback, on its own thread, handed where the synth is
// published: the output may start while the SoundFont still loads, and plays
// silence until then. The effects buffers some drivers offer (JACK with
// audio.jack.multi, which we leave off) stay silent: the effects are in the pair.
int RenderForOutput(void* published, int frames, int, float*[], int outputs, float* out[])
{
    if (outputs < 2)
        return FLUID_FAILED;
    fluid_synth_t* synth =
        static_cast<std::atomic<fluid_synth_t*>*>(published)->load(std::memory_order_acquire);
    if (synth == nullptr) {
        std::fill(out[0], out[0] + frames, 0.0f);
        std::fill(out[1], out[1] + frames, 0.0f);
        return FLUID_OK;
    }
    return RenderBlock(synth, frames, out[0], out[1]);
}

// JACK must have the synth before it starts: it sets the synth's sample
// rate to its server's, and a synth made afterwards would play out of tune on
// a server not at ours.
bool NeedsTheSynth(const QString& driver)
{
    return driver == QLatin1String("jack");
}

// What starts, ends or presses a key: what a port's reset takes back from
// the queue while the SoundFont loads.
bool IsKeyMessage(uint32_t packed)
{
    const uint32_t kind = packed & 0xF0;
    return kind == 0x80 || kind == 0x90 || kind == 0xA0;
}

void Dispatch(fluid_synth_t* synth, const uint8_t b[3])
{
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
}

QString MissingSoundFontProblem(const QStringList& paths)
{
    QStringList folders;
    for (const QString& path : paths) {
        const QString folder = QFileInfo(path).absolutePath();
        if (!folders.contains(folder))
            folders << folder;
    }
    return QStringLiteral("no SoundFont found in %1: install %2")
        .arg(folders.isEmpty() ? QStringLiteral("the list given")
                               : folders.join(QLatin1String(", ")),
             QLatin1String(kSoundFontPackage));
}

bool AnySoundFontFile(const QStringList& paths)
{
    return std::any_of(paths.begin(), paths.end(),
                       [](const QString& path) { return QFileInfo(path).isFile(); });
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

// A synth with its SoundFont, or why there is none.
struct CBuiltinSynth::LoadedSoundFont {
    fluid_synth_t* synth = nullptr;
    QString path;
    MMRESULT result = MMSYSERR_NOERROR;
    QString problem;

    // Creates the synth and loads the first SoundFont that loads; takes none
    // of our locks, so the loading thread may run it.
    static LoadedSoundFont From(fluid_settings_t* settings, const QStringList& paths)
    {
        LoadedSoundFont loaded;
        if (!AnySoundFontFile(paths)) {
            loaded.result = MMSYSERR_ERROR;
            loaded.problem = MissingSoundFontProblem(paths);
            return loaded;
        }
        // One load at a time in the process: FluidSynth's first synth fills
        // tables all synths share without a guard, and two loads at once only
        // slow each other down.
        static std::mutex oneAtATime;
        std::lock_guard lock(oneAtATime);
        fluid_synth_t* synth = new_fluid_synth(settings);
        if (synth == nullptr) {
            loaded.result = MMSYSERR_NOMEM;
            loaded.problem = QStringLiteral("FluidSynth could not be started");
            return loaded;
        }
        QString unloadable;
        for (const QString& path : paths) {
            if (!QFileInfo(path).isFile())
                continue;
            if (fluid_synth_sfload(synth, QFile::encodeName(path).constData(), 1) != FLUID_FAILED) {
                qCDebug(lcSynth) << "loaded SoundFont" << path;
                loaded.synth = synth;
                loaded.path = path;
                return loaded;
            }
            qCInfo(lcSynth) << "could not load SoundFont" << path;
            if (unloadable.isEmpty())
                unloadable = path;
        }
        delete_fluid_synth(synth);
        loaded.result = MMSYSERR_ERROR;
        loaded.problem = QStringLiteral("the SoundFont %1 could not be loaded: reinstall %2")
                             .arg(unloadable, QLatin1String(kSoundFontPackage));
        return loaded;
    }
};

// A port on the built-in synthesizer. Several may be open at once (the view's
// and the metronome dialog's); each silences only what it started.
class CBuiltinSynthPort : public IMidiOutPort {
public:
    // A port opened while the SoundFont loads is lost if the load fails; one
    // playing through JACK if its server goes.
    CBuiltinSynthPort(std::shared_ptr<CBuiltinSynth> synth, MidiPortLostHandler onLost,
                      uint64_t jackEpoch, bool loading)
        : m_pSynth(std::move(synth))
    {
        if ((jackEpoch != 0 || loading) && onLost) {
            CJackClientMonitor* jack = m_pSynth->m_pJack.get();
            CBuiltinSynth* owner = m_pSynth.get();
            // The synth says why before the owner hears of the loss.
            m_nWatchId = m_pSynth->m_pWatch->Add(
                [owner, jack, jackEpoch] {
                    return !owner->LoadFailed() && (jackEpoch == 0 || jack->EpochAlive(jackEpoch));
                },
                [owner, jackEpoch, onLost = std::move(onLost)] {
                    if (jackEpoch != 0 && !owner->LoadFailed())
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
        const MMRESULT result = m_pSynth->Send(packed, this);
        if (result == MMSYSERR_NOERROR)
            m_notes.Track(packed);
        else if (result == MMSYSERR_ERROR) // the queue is full
            m_nLost.fetch_add(1, std::memory_order_relaxed);
        return result;
    }

    MMRESULT Reset() override
    {
        std::lock_guard lock(m_mutex);
        // Notes still waiting for the SoundFont are dropped rather than
        // played and ended: a reset is asked for silence, and a note that
        // starts late only to be cut would be heard as a blip. The programs
        // and controllers sent stay queued; the pedals are let up below.
        m_pSynth->DropPendingNotes(this);
        m_notes.Silence([this](uint32_t msg) { m_pSynth->Send(msg, this); });
        return MMSYSERR_NOERROR;
    }

    // Only what a full queue refused: what waited for a load that failed is
    // not counted, as the port is reported lost instead.
    uint64_t LostMessages() const override { return m_nLost.load(std::memory_order_relaxed); }

private:
    std::shared_ptr<CBuiltinSynth> m_pSynth;
    std::mutex m_mutex;
    CSoundingNotes m_notes;
    std::atomic<uint64_t> m_nLost{0};
    int m_nWatchId = 0;
};

CBuiltinSynth::CBuiltinSynth()
    : m_soundFonts(DefaultSoundFonts()), m_audioDrivers(DefaultAudioDrivers())
{
    PrepareLibraries();
}

CBuiltinSynth::~CBuiltinSynth()
{
    // A load cannot be cut short (FluidSynth reads the SoundFont in one call):
    // waited for, at most the load's own time. Ports keep the synth alive, so
    // none is open here.
    if (m_loader.joinable())
        m_loader.join();
    if (m_pJack)
        m_pJack->RemoveChangeListener(m_nJackListener);
    m_pWatch.reset();
    m_pPulse.reset();
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
    std::lock_guard ports(m_portMutex);
    std::unique_lock lock(m_mutex);
    MMRESULT result = BeginLoadLocked();
    if (result != MMSYSERR_NOERROR)
        return result;
    if (!m_bOffline) {
        // The JACK server it played through is gone while ports of that time
        // are still open: let its client go (the monitor connects to no new
        // server while it is open) and start afresh.
        if (HasAudioLocked() && !AudioAliveLocked())
            StopAudioLocked();
        if (!HasAudioLocked()) {
            result = StartAudioLocked(lock);
            if (result != MMSYSERR_NOERROR)
                return result;
        }
    }
    const bool loading = m_load.load() == Load::Loading;
    if (loading && onLost)
        WatchLocked(); // tells the port if the load fails
    ++m_nOpenPorts;
    port = std::make_unique<CBuiltinSynthPort>(shared_from_this(), std::move(onLost), m_nJackEpoch,
                                               loading);
    SetProblem(Trouble::None, QString());
    return MMSYSERR_NOERROR;
}

MMRESULT CBuiltinSynth::Play(uint32_t packed)
{
    return Send(packed, nullptr);
}

MMRESULT CBuiltinSynth::Send(uint32_t packed, const void* source)
{
    uint8_t b[3];
    if (MidiWire::Encode(packed, b) == 0)
        return MMSYSERR_INVALPARAM;
    // The synth is created once and lives as long as we do; FluidSynth's own
    // API is thread-safe, so sends to a loaded synth take no lock of ours.
    fluid_synth_t* synth = m_pSynth.load(std::memory_order_acquire);
    if (synth == nullptr) {
        std::lock_guard lock(m_pendingMutex);
        // Published under this lock once the queue is played: from then on
        // sends go straight to the synth, after what waited.
        synth = m_pSynth.load(std::memory_order_relaxed);
        if (synth == nullptr) {
            if (m_load.load() != Load::Loading)
                return MMSYSERR_INVALHANDLE;
            if (m_pending.size() >= kPendingLimit)
                return MMSYSERR_ERROR;
            m_pending.push_back({packed, source});
            return MMSYSERR_NOERROR;
        }
    }
    Dispatch(synth, b);
    return MMSYSERR_NOERROR;
}

void CBuiltinSynth::DropPendingNotes(const void* source)
{
    std::lock_guard lock(m_pendingMutex);
    std::erase_if(m_pending, [source](const Pending& msg) {
        return msg.source == source && IsKeyMessage(msg.packed);
    });
}

bool CBuiltinSynth::Render(float* left, float* right, int frames)
{
    if (left == nullptr || right == nullptr || frames <= 0)
        return false;
    std::unique_lock lock(m_mutex);
    AwaitLoadLocked(lock);
    if (HasAudioLocked() || LoadLocked() != MMSYSERR_NOERROR)
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

bool CBuiltinSynth::HasAudioLocked() const
{
    return m_pAudio != nullptr || m_pPulse != nullptr;
}

bool CBuiltinSynth::AudioAliveLocked() const
{
    if (m_pPulse)
        return m_pPulse->Alive();
    if (m_pAudio == nullptr)
        return false;
    return m_nJackEpoch == 0 || m_pJack->EpochAlive(m_nJackEpoch);
}

MMRESULT CBuiltinSynth::PrepareSettingsLocked()
{
    if (m_pSettings != nullptr)
        return MMSYSERR_NOERROR;
    m_pSettings = new_fluid_settings();
    if (m_pSettings == nullptr) {
        SetProblem(Trouble::NoSynth, QStringLiteral("FluidSynth could not be started"));
        return MMSYSERR_NOMEM;
    }
    fluid_settings_setnum(m_pSettings, "synth.sample-rate", kSampleRate);
    fluid_settings_setnum(m_pSettings, "synth.gain", kGain);
    fluid_settings_setint(m_pSettings, "audio.period-size", kPeriodSize);
    fluid_settings_setint(m_pSettings, "audio.periods", kPeriods);
    fluid_settings_setint(m_pSettings, "audio.jack.autoconnect", 1);
    fluid_settings_setstr(m_pSettings, "audio.jack.id", "Kelvora Synthesizer");
    return MMSYSERR_NOERROR;
}

MMRESULT CBuiltinSynth::BeginLoadLocked()
{
    switch (m_load.load()) {
    case Load::Ready:
    case Load::Loading:
        return MMSYSERR_NOERROR;
    case Load::Failed:
        // A SoundFont that failed once is tried here and now: the opens that
        // retry it then fail at once and say why, and a port that came back
        // only to be lost again would make the window flicker.
        return LoadLocked();
    case Load::NotStarted:
        break;
    }
    // Whether it can load at all costs no more than looking for the files.
    if (!AnySoundFontFile(m_soundFonts)) {
        SetProblem(Trouble::NoSoundFont, MissingSoundFontProblem(m_soundFonts));
        return MMSYSERR_ERROR;
    }
    const MMRESULT result = PrepareSettingsLocked();
    if (result != MMSYSERR_NOERROR)
        return result;
    {
        std::lock_guard pending(m_pendingMutex);
        m_pending.reserve(256); // what a start-up sends without growing
        m_load.store(Load::Loading);
    }
    try {
        m_loader = std::thread([this, soundFonts = m_soundFonts] { LoadInBackground(soundFonts); });
    } catch (const std::system_error&) {
        {
            std::lock_guard pending(m_pendingMutex);
            m_load.store(Load::NotStarted);
        }
        return LoadLocked(); // no thread to spare: loaded while the caller waits
    }
    return MMSYSERR_NOERROR;
}

void CBuiltinSynth::LoadInBackground(QStringList soundFonts)
{
    LoadedSoundFont loaded = LoadedSoundFont::From(m_pSettings, soundFonts);
    std::lock_guard lock(m_mutex);
    FinishLoadLocked(std::move(loaded));
    m_loadDone.notify_all();
}

MMRESULT CBuiltinSynth::LoadLocked()
{
    if (m_pSynth.load())
        return MMSYSERR_NOERROR;
    const MMRESULT result = PrepareSettingsLocked();
    if (result != MMSYSERR_NOERROR)
        return result;
    return FinishLoadLocked(LoadedSoundFont::From(m_pSettings, m_soundFonts));
}

MMRESULT CBuiltinSynth::FinishLoadLocked(LoadedSoundFont loaded)
{
    if (loaded.synth != nullptr) {
        {
            std::lock_guard pending(m_pendingMutex);
            // In the order they were sent, and before anything sent from now on.
            uint8_t b[3];
            for (const Pending& msg : m_pending) {
                if (MidiWire::Encode(msg.packed, b) != 0)
                    Dispatch(loaded.synth, b);
            }
            m_pending = {};
            m_pSynth.store(loaded.synth, std::memory_order_release);
            m_load.store(Load::Ready);
        }
        m_strSoundFont = loaded.path;
        return MMSYSERR_NOERROR;
    }
    // Said before the ports that were waiting hear of it.
    SetProblem(loaded.result == MMSYSERR_NOMEM ? Trouble::NoSynth : Trouble::NoSoundFont,
               loaded.problem);
    {
        std::lock_guard pending(m_pendingMutex);
        m_pending = {};
        m_load.store(Load::Failed);
    }
    if (m_pWatch)
        m_pWatch->Poke();
    return loaded.result;
}

bool CBuiltinSynth::AwaitLoadLocked(std::unique_lock<std::mutex>& lock)
{
    m_loadDone.wait(lock, [this] { return m_load.load() != Load::Loading; });
    return m_load.load() == Load::Ready;
}

CMidiPortWatch& CBuiltinSynth::WatchLocked()
{
    // A failed load pokes it; only JACK needs it to look by itself as well.
    if (!m_pWatch)
        m_pWatch = std::make_unique<CMidiPortWatch>(CMidiPortWatch::kOnlyWhenPoked);
    return *m_pWatch;
}

MMRESULT CBuiltinSynth::StartAudioLocked(std::unique_lock<std::mutex>& lock)
{
    bool jackTried = false;
    for (const QString& driver : m_audioDrivers) {
        uint64_t jackEpoch = 0;
        if (driver == QLatin1String("jack")) {
            jackTried = true;
            // Only against a live server, and counted (see CJackClientMonitor):
            // with no server this costs nothing, libjack is never left to wait.
            if (!m_pJack) {
                CMidiPortWatch* watch = &WatchLocked();
                watch->SetPeriod(kJackWatchPeriod);
                m_pJack = CJackClientMonitor::Shared();
                m_nJackListener = m_pJack->AddChangeListener([watch] { watch->Poke(); });
            }
            if (!m_pJack->Connect() || (jackEpoch = m_pJack->AcquireClient()) == 0)
                continue;
        }
        // Only opens and last closes wait here, one at a time (m_portMutex),
        // so no other output starts meanwhile.
        if (NeedsTheSynth(driver) && !AwaitLoadLocked(lock)) {
            if (jackEpoch)
                m_pJack->ReleaseClient(jackEpoch);
            return MMSYSERR_ERROR; // the load has said why
        }
        if (driver == QLatin1String("pulseaudio")) {
            // Our own stream, so the volume control names it after us.
            CPulseStream::Format format;
            format.name = "Kelvora";
            format.sampleRate = static_cast<int>(kSampleRate);
            format.periodFrames = kPeriodSize;
            format.periods = kPeriods;
            std::string why;
            m_pPulse = CPulseStream::Open(format, &RenderForOutput, &m_pSynth, &why);
            if (!m_pPulse)
                qCDebug(lcSynth, "no PulseAudio stream: %s", why.c_str());
        } else if (fluid_settings_setstr(m_pSettings, "audio.driver", driver.toUtf8().constData())
                   == FLUID_OK) {
            // (a name FluidSynth does not know must not leave the last one chosen)
            m_pAudio = new_fluid_audio_driver2(m_pSettings, &RenderForOutput, &m_pSynth);
        }
        if (HasAudioLocked()) {
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
    if (HasAudioLocked()) {
        m_pPulse.reset();
        if (m_pAudio)
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
    if (synth == nullptr || HasAudioLocked())
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
    std::lock_guard ports(m_portMutex);
    std::unique_lock lock(m_mutex);
    if (m_nOpenPorts > 0)
        --m_nOpenPorts;
    if (m_nOpenPorts == 0) {
        // A load still under way is waited for (at most its own time), so
        // that what was queued reaches the synth and is silenced with the
        // rest, and the synth says whether it can sound once its port is gone.
        AwaitLoadLocked(lock);
        // Silenced, not reset: the chosen programs and volumes are kept for
        // the next open (the view closes its port around some dialogs).
        SilenceLocked();
        StopAudioLocked();
        FlushLocked();
    }
}
