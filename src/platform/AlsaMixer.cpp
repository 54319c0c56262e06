#include "platform/AlsaMixer.h"

#include "platform/MixerLineTable.h"
#include "platform/SynthLine.h"

#include <QLoggingCategory>

#include <alsa/asoundlib.h>

#include <algorithm>
#include <mutex>

Q_LOGGING_CATEGORY(lcMixer, "kelvora.mixer", QtWarningMsg)

namespace {

// The element that carries the master level, in the order we look for it.
// The pulse plugin and nearly every card have a Master; many USB and HDMI
// devices have only PCM, and some laptop codecs only Speaker or Headphone.
constexpr const char* kMasterElements[] = {"Master", "PCM", "Speaker", "Headphone"};

void QuietAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

void PrepareAlsa()
{
    // Finding no card or no sound server is a normal answer here, not
    // something for the terminal.
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&QuietAlsaMessage); });
}

// The mixer's 0..65535 over the element's own range, rounded to the nearest.
long ToElement(uint32_t level, long minimum, long maximum)
{
    const long long span = static_cast<long long>(maximum) - minimum;
    return minimum + static_cast<long>((level * span + 65535 / 2) / 65535);
}

uint32_t FromElement(long raw, long minimum, long maximum)
{
    const long long span = static_cast<long long>(maximum) - minimum;
    const long long offset = std::clamp<long long>(static_cast<long long>(raw) - minimum, 0, span);
    return static_cast<uint32_t>((offset * 65535 + span / 2) / span);
}

// Calls visit(channel) for each playback channel of the element; true when
// it answered for at least one.
template <class Visit>
bool EachPlaybackChannel(snd_mixer_elem_t* element, Visit visit)
{
    bool any = false;
    for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
        const auto channel = static_cast<snd_mixer_selem_channel_id_t>(ch);
        if (snd_mixer_selem_has_playback_channel(element, channel) && visit(channel))
            any = true;
    }
    return any;
}

bool VolumeRange(snd_mixer_elem_t* element, long& minimum, long& maximum)
{
    return snd_mixer_selem_get_playback_volume_range(element, &minimum, &maximum) == 0 &&
           maximum > minimum;
}

// The master element of one control device, opened with an ALSA
// configuration of its own.
class CAlsaMaster {
public:
    static std::unique_ptr<CAlsaMaster> Open(const QByteArray& device);
    ~CAlsaMaster();
    CAlsaMaster(const CAlsaMaster&) = delete;
    CAlsaMaster& operator=(const CAlsaMaster&) = delete;

    QString CardName() const { return m_strCard; }
    QString ElementName() const { return m_strElement; }
    unsigned Channels() const { return m_nChannels; }
    bool HasSwitch() const { return m_bSwitch; }

    MMRESULT ReadVolume(uint32_t& level);
    MMRESULT WriteVolume(uint32_t level);
    MMRESULT ReadMute(uint32_t& muted);
    MMRESULT WriteMute(bool muted);

private:
    CAlsaMaster() = default;
    // The element as it is now: changes made elsewhere (another program, the
    // desktop's volume applet) arrive as events, which the simple mixer only
    // takes in when asked. Null when the element has gone.
    snd_mixer_elem_t* Current(MMRESULT& result);

    snd_config_t* m_pConfig = nullptr;
    snd_mixer_t* m_pMixer = nullptr;
    snd_mixer_selem_id_t* m_pId = nullptr;
    QString m_strCard;
    QString m_strElement;
    unsigned m_nChannels = 0;
    bool m_bSwitch = false;
};

std::unique_ptr<CAlsaMaster> CAlsaMaster::Open(const QByteArray& device)
{
    std::unique_ptr<CAlsaMaster> master(new CAlsaMaster);
    // ALSA's shared configuration decides once per process whether "default"
    // is the sound server (the pulse plugin's hook asks whether one runs);
    // a configuration read now sees a server started since. The hook asks
    // without starting a server, so with none running this fails at once.
    snd_config_update_t* update = nullptr;
    if (snd_config_update_r(&master->m_pConfig, &update, nullptr) < 0)
        return nullptr;
    snd_config_update_free(update);

    snd_ctl_t* ctl = nullptr;
    if (snd_ctl_open_lconf(&ctl, device.constData(), SND_CTL_NONBLOCK, master->m_pConfig) < 0)
        return nullptr;
    snd_ctl_card_info_t* info = nullptr;
    snd_ctl_card_info_alloca(&info);
    if (snd_ctl_card_info(ctl, info) == 0)
        master->m_strCard = QString::fromLocal8Bit(snd_ctl_card_info_get_name(info));
    snd_hctl_t* hctl = nullptr;
    if (snd_hctl_open_ctl(&hctl, ctl) < 0) {
        snd_ctl_close(ctl);
        return nullptr;
    }
    if (snd_mixer_open(&master->m_pMixer, 0) < 0) {
        master->m_pMixer = nullptr;
        snd_hctl_close(hctl);
        return nullptr;
    }
    if (snd_mixer_attach_hctl(master->m_pMixer, hctl) < 0) // closes hctl when it fails
        return nullptr;
    if (snd_mixer_selem_register(master->m_pMixer, nullptr, nullptr) < 0
        || snd_mixer_load(master->m_pMixer) < 0)
        return nullptr;

    if (snd_mixer_selem_id_malloc(&master->m_pId) < 0) {
        master->m_pId = nullptr;
        return nullptr;
    }
    snd_mixer_elem_t* element = nullptr;
    for (const char* name : kMasterElements) {
        snd_mixer_selem_id_set_name(master->m_pId, name);
        snd_mixer_selem_id_set_index(master->m_pId, 0);
        element = snd_mixer_find_selem(master->m_pMixer, master->m_pId);
        if (element && snd_mixer_selem_has_playback_volume(element)) {
            master->m_strElement = QString::fromLatin1(name);
            break;
        }
        element = nullptr;
    }
    if (element == nullptr) {
        qCDebug(lcMixer) << "no master element on" << device;
        return nullptr;
    }
    EachPlaybackChannel(element, [&](snd_mixer_selem_channel_id_t) {
        ++master->m_nChannels;
        return true;
    });
    master->m_bSwitch = snd_mixer_selem_has_playback_switch(element) != 0;
    return master;
}

CAlsaMaster::~CAlsaMaster()
{
    if (m_pId)
        snd_mixer_selem_id_free(m_pId);
    if (m_pMixer)
        snd_mixer_close(m_pMixer);
    if (m_pConfig)
        snd_config_delete(m_pConfig);
}

snd_mixer_elem_t* CAlsaMaster::Current(MMRESULT& result)
{
    if (snd_mixer_handle_events(m_pMixer) < 0) {
        result = MMSYSERR_ERROR;
        return nullptr;
    }
    // Looked up again each time: an event may have removed the element (and
    // freed it), as when a USB card is unplugged.
    snd_mixer_elem_t* element = snd_mixer_find_selem(m_pMixer, m_pId);
    result = element ? MMSYSERR_NOERROR : MMSYSERR_NODRIVER;
    return element;
}

MMRESULT CAlsaMaster::ReadVolume(uint32_t& level)
{
    MMRESULT result;
    snd_mixer_elem_t* element = Current(result);
    if (element == nullptr)
        return result;
    long minimum = 0, maximum = 0;
    if (!VolumeRange(element, minimum, maximum))
        return MMSYSERR_ERROR;
    // One value for the line: the loudest channel, as a single slider shows
    // a balance set elsewhere.
    long loudest = minimum;
    if (!EachPlaybackChannel(element, [&](snd_mixer_selem_channel_id_t channel) {
            long raw = 0;
            if (snd_mixer_selem_get_playback_volume(element, channel, &raw) != 0)
                return false;
            loudest = std::max(loudest, raw);
            return true;
        }))
        return MMSYSERR_ERROR;
    level = FromElement(loudest, minimum, maximum);
    return MMSYSERR_NOERROR;
}

MMRESULT CAlsaMaster::WriteVolume(uint32_t level)
{
    MMRESULT result;
    snd_mixer_elem_t* element = Current(result);
    if (element == nullptr)
        return result;
    long minimum = 0, maximum = 0;
    if (!VolumeRange(element, minimum, maximum))
        return MMSYSERR_ERROR;
    const long raw = ToElement(level, minimum, maximum);
    return snd_mixer_selem_set_playback_volume_all(element, raw) < 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
}

MMRESULT CAlsaMaster::ReadMute(uint32_t& muted)
{
    MMRESULT result;
    snd_mixer_elem_t* element = Current(result);
    if (element == nullptr)
        return result;
    // Muted when no channel plays.
    bool playing = false;
    if (!EachPlaybackChannel(element, [&](snd_mixer_selem_channel_id_t channel) {
            int on = 0;
            if (snd_mixer_selem_get_playback_switch(element, channel, &on) != 0)
                return false;
            playing = playing || on;
            return true;
        }))
        return MMSYSERR_ERROR;
    muted = playing ? 0 : 1;
    return MMSYSERR_NOERROR;
}

MMRESULT CAlsaMaster::WriteMute(bool muted)
{
    MMRESULT result;
    snd_mixer_elem_t* element = Current(result);
    if (element == nullptr)
        return result;
    return snd_mixer_selem_set_playback_switch_all(element, muted ? 0 : 1) < 0 ? MMSYSERR_ERROR
                                                                                : MMSYSERR_NOERROR;
}

class CAlsaMixerDevice : public IMixerDevice {
public:
    explicit CAlsaMixerDevice(std::unique_ptr<CAlsaMaster> master)
        : m_pMaster(std::move(master)),
          m_table(SystemMixerLayout::Make(m_pMaster->ElementName(), SpeakersName(*m_pMaster),
                                          m_pMaster->Channels(), m_pMaster->HasSwitch()))
    {
    }

    MMRESULT GetDevCaps(MIXERCAPS& caps) override
    {
        caps = MIXERCAPS();
        caps.vDriverVersion = (SND_LIB_MAJOR << 8) | SND_LIB_MINOR;
        caps.szPname = m_pMaster->CardName().isEmpty() ? QStringLiteral("ALSA Mixer") : m_pMaster->CardName();
        caps.cDestinations = m_table.DestinationCount();
        return MMSYSERR_NOERROR;
    }

    MMRESULT GetLineInfo(MIXERLINE& line, uint32_t fdwInfo) override
    {
        return m_table.GetLineInfo(line, fdwInfo);
    }

    MMRESULT GetLineControl(uint32_t lineId, uint32_t controlType, MIXERCONTROL& control) override
    {
        return m_table.GetLineControl(lineId, controlType, control);
    }

    MMRESULT GetControlValue(uint32_t controlId, uint32_t& value) override
    {
        if (m_table.Control(controlId) == nullptr)
            return MIXERR_INVALCONTROL;
        CSynthLine& synth = CSynthLine::Instance();
        switch (controlId) {
        case SystemMixerLayout::kSpeakersVolume:
            return m_pMaster->ReadVolume(value);
        case SystemMixerLayout::kSpeakersMute:
            return m_pMaster->ReadMute(value);
        case SystemMixerLayout::kSynthVolume:
            value = synth.Volume();
            return MMSYSERR_NOERROR;
        case SystemMixerLayout::kSynthMute:
            value = synth.Mute() ? 1 : 0;
            return MMSYSERR_NOERROR;
        case SystemMixerLayout::kSynthPeak:
            value = static_cast<uint32_t>(synth.Peak());
            return MMSYSERR_NOERROR;
        default:
            return MIXERR_INVALCONTROL;
        }
    }

    MMRESULT SetControlValue(uint32_t controlId, uint32_t value) override
    {
        if (const MMRESULT refused = m_table.CheckSet(controlId, value); refused != MMSYSERR_NOERROR)
            return refused;
        CSynthLine& synth = CSynthLine::Instance();
        switch (controlId) {
        case SystemMixerLayout::kSpeakersVolume:
            return m_pMaster->WriteVolume(value);
        case SystemMixerLayout::kSpeakersMute:
            return m_pMaster->WriteMute(value != 0);
        case SystemMixerLayout::kSynthVolume:
            synth.SetVolume(value);
            return MMSYSERR_NOERROR;
        case SystemMixerLayout::kSynthMute:
            synth.SetMute(value != 0);
            return MMSYSERR_NOERROR;
        default:
            return MIXERR_INVALCONTROL;
        }
    }

private:
    static QString SpeakersName(const CAlsaMaster& master)
    {
        return master.CardName().isEmpty()
                   ? master.ElementName()
                   : QStringLiteral("%1 (%2)").arg(master.ElementName(), master.CardName());
    }

    std::unique_ptr<CAlsaMaster> m_pMaster;
    CMixerLineTable m_table;
};

} // namespace

CAlsaMixerBackend::CAlsaMixerBackend(QByteArray controlDevice)
    : m_controlDevice(std::move(controlDevice))
{
    PrepareAlsa();
}

unsigned CAlsaMixerBackend::DeviceCount()
{
    return CAlsaMaster::Open(m_controlDevice) ? 1 : 0;
}

MMRESULT CAlsaMixerBackend::Open(uint32_t id, uint32_t fdwOpen, std::unique_ptr<IMixerDevice>& device)
{
    (void)fdwOpen; // nothing tells of changes: a window is never called back
    device.reset();
    if (id != 0)
        return MMSYSERR_BADDEVICEID;
    std::unique_ptr<CAlsaMaster> master = CAlsaMaster::Open(m_controlDevice);
    if (!master)
        return MMSYSERR_BADDEVICEID; // gone since it was counted
    device = std::make_unique<CAlsaMixerDevice>(std::move(master));
    return MMSYSERR_NOERROR;
}
