#include "platform/FakeMixerBackend.h"

#include "platform/MixerLineTable.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {

struct FakeDevice {
    MIXERCAPS caps;
    CMixerLineTable table;
    std::map<uint32_t, uint32_t> values;
    bool removed = false;
};

using DevicePtr = std::shared_ptr<FakeDevice>;

} // namespace

struct CFakeMixerBackend::State {
    mutable std::mutex mutex;
    std::vector<DevicePtr> devices;
    std::map<MixerCall, MMRESULT> everyCall;
    std::map<std::pair<MixerCall, uint32_t>, MMRESULT> callsAbout;
    std::vector<SetRecord> sets;
    std::vector<OpenRecord> opens;
    unsigned openHandles = 0;

    DevicePtr At(uint32_t id) const { return id < devices.size() ? devices[id] : nullptr; }

    uint32_t IndexOf(const FakeDevice& device) const
    {
        for (size_t i = 0; i < devices.size(); ++i) {
            if (devices[i].get() == &device)
                return static_cast<uint32_t>(i);
        }
        return UINT32_MAX;
    }

    MMRESULT EveryFailure(MixerCall call) const
    {
        auto it = everyCall.find(call);
        return it != everyCall.end() ? it->second : MMSYSERR_NOERROR;
    }

    MMRESULT Failure(MixerCall call, uint32_t id) const
    {
        if (const MMRESULT every = EveryFailure(call))
            return every;
        auto it = callsAbout.find({call, id});
        return it != callsAbout.end() ? it->second : MMSYSERR_NOERROR;
    }

    uint32_t AddStandard()
    {
        auto device = std::make_shared<FakeDevice>();
        device->caps.szPname = QStringLiteral("Fake Mixer");
        device->table = SystemMixerLayout::Make(QStringLiteral("Master"),
                                                QStringLiteral("Master (Fake Mixer)"), 2, true);
        using namespace SystemMixerLayout;
        device->values = {{kSpeakersVolume, 65535}, {kSpeakersMute, 0}, {kSynthVolume, 65535},
                          {kSynthMute, 0},          {kSynthPeak, 0}};
        devices.push_back(std::move(device));
        return static_cast<uint32_t>(devices.size() - 1);
    }
};

namespace {

using State = CFakeMixerBackend::State;

class CFakeMixerDevice : public IMixerDevice {
public:
    CFakeMixerDevice(std::shared_ptr<State> state, DevicePtr device)
        : m_pState(std::move(state)), m_pDevice(std::move(device))
    {
    }

    ~CFakeMixerDevice() override
    {
        std::lock_guard lock(m_pState->mutex);
        --m_pState->openHandles;
    }

    MMRESULT GetDevCaps(MIXERCAPS& caps) override
    {
        std::lock_guard lock(m_pState->mutex);
        if (m_pDevice->removed)
            return MMSYSERR_INVALHANDLE;
        if (const MMRESULT r = m_pState->Failure(MixerCall::GetDevCaps, m_pState->IndexOf(*m_pDevice)))
            return r;
        caps = m_pDevice->caps;
        caps.cDestinations = m_pDevice->table.DestinationCount();
        return MMSYSERR_NOERROR;
    }

    MMRESULT GetLineInfo(MIXERLINE& line, uint32_t fdwInfo) override
    {
        std::lock_guard lock(m_pState->mutex);
        if (m_pDevice->removed)
            return MMSYSERR_INVALHANDLE;
        if (const MMRESULT r = m_pState->EveryFailure(MixerCall::GetLineInfo))
            return r;
        MIXERLINE found = line;
        if (const MMRESULT r = m_pDevice->table.GetLineInfo(found, fdwInfo))
            return r;
        if (const MMRESULT r = m_pState->Failure(MixerCall::GetLineInfo, found.dwLineID))
            return r;
        line = found;
        return MMSYSERR_NOERROR;
    }

    MMRESULT GetLineControl(uint32_t lineId, uint32_t controlType, MIXERCONTROL& control) override
    {
        std::lock_guard lock(m_pState->mutex);
        if (m_pDevice->removed)
            return MMSYSERR_INVALHANDLE;
        if (const MMRESULT r = m_pState->Failure(MixerCall::GetLineControl, lineId))
            return r;
        return m_pDevice->table.GetLineControl(lineId, controlType, control);
    }

    MMRESULT GetControlValue(uint32_t controlId, uint32_t& value) override
    {
        std::lock_guard lock(m_pState->mutex);
        if (m_pDevice->removed)
            return MMSYSERR_INVALHANDLE;
        if (const MMRESULT r = m_pState->Failure(MixerCall::GetControlValue, controlId))
            return r;
        if (m_pDevice->table.Control(controlId) == nullptr)
            return MIXERR_INVALCONTROL;
        value = m_pDevice->values[controlId];
        return MMSYSERR_NOERROR;
    }

    MMRESULT SetControlValue(uint32_t controlId, uint32_t value) override
    {
        std::lock_guard lock(m_pState->mutex);
        if (m_pDevice->removed)
            return MMSYSERR_INVALHANDLE;
        MMRESULT result = m_pState->Failure(MixerCall::SetControlValue, controlId);
        if (result == MMSYSERR_NOERROR)
            result = m_pDevice->table.CheckSet(controlId, value);
        if (result == MMSYSERR_NOERROR)
            m_pDevice->values[controlId] = value;
        m_pState->sets.push_back({m_pState->IndexOf(*m_pDevice), controlId, value, result});
        return result;
    }

private:
    std::shared_ptr<State> m_pState;
    DevicePtr m_pDevice;
};

} // namespace

CFakeMixerBackend::CFakeMixerBackend(unsigned standardDevices)
    : m_pState(std::make_shared<State>())
{
    for (unsigned i = 0; i < standardDevices; ++i)
        m_pState->AddStandard();
}

CFakeMixerBackend::~CFakeMixerBackend() = default;

uint32_t CFakeMixerBackend::AddDevice(const QString& name)
{
    std::lock_guard lock(m_pState->mutex);
    auto device = std::make_shared<FakeDevice>();
    device->caps.szPname = name;
    m_pState->devices.push_back(std::move(device));
    return static_cast<uint32_t>(m_pState->devices.size() - 1);
}

uint32_t CFakeMixerBackend::AddDestination(uint32_t device, const MIXERLINE& line)
{
    std::lock_guard lock(m_pState->mutex);
    const DevicePtr d = m_pState->At(device);
    return d ? d->table.AddDestination(line) : UINT32_MAX;
}

uint32_t CFakeMixerBackend::AddSource(uint32_t device, uint32_t destination, const MIXERLINE& line)
{
    std::lock_guard lock(m_pState->mutex);
    const DevicePtr d = m_pState->At(device);
    return d ? d->table.AddSource(destination, line) : UINT32_MAX;
}

bool CFakeMixerBackend::AddControl(uint32_t device, uint32_t lineId, const MIXERCONTROL& control,
                                   uint32_t value)
{
    std::lock_guard lock(m_pState->mutex);
    const DevicePtr d = m_pState->At(device);
    if (!d || !d->table.AddControl(lineId, control))
        return false;
    d->values[control.dwControlID] = value;
    return true;
}

void CFakeMixerBackend::SetDeviceCount(unsigned count)
{
    std::lock_guard lock(m_pState->mutex);
    auto& devices = m_pState->devices;
    while (devices.size() > count) {
        devices.back()->removed = true;
        devices.pop_back();
    }
    while (devices.size() < count)
        m_pState->AddStandard();
}

MIXERLINE CFakeMixerBackend::MakeLine(uint32_t lineId, uint32_t componentType, const QString& shortName,
                                      const QString& name, uint32_t channels)
{
    MIXERLINE line;
    line.dwLineID = lineId;
    line.fdwLine = MIXERLINE_LINEF_ACTIVE;
    line.dwComponentType = componentType;
    line.cChannels = channels;
    line.szShortName = shortName;
    line.szName = name;
    return line;
}

MIXERCONTROL CFakeMixerBackend::MakeControl(uint32_t controlId, uint32_t controlType, uint32_t minimum,
                                            uint32_t maximum, const QString& shortName,
                                            const QString& name)
{
    return MakeMixerControl(controlId, controlType, minimum, maximum, shortName, name);
}

void CFakeMixerBackend::SetFailure(MixerCall call, MMRESULT result)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->everyCall[call] = result;
}

void CFakeMixerBackend::SetFailure(MixerCall call, uint32_t id, MMRESULT result)
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->callsAbout[{call, id}] = result;
}

void CFakeMixerBackend::ClearFailures()
{
    std::lock_guard lock(m_pState->mutex);
    m_pState->everyCall.clear();
    m_pState->callsAbout.clear();
}

uint32_t CFakeMixerBackend::Value(uint32_t device, uint32_t controlId) const
{
    std::lock_guard lock(m_pState->mutex);
    const DevicePtr d = m_pState->At(device);
    if (!d)
        return 0;
    auto it = d->values.find(controlId);
    return it != d->values.end() ? it->second : 0;
}

void CFakeMixerBackend::SetValue(uint32_t device, uint32_t controlId, uint32_t value)
{
    std::lock_guard lock(m_pState->mutex);
    if (const DevicePtr d = m_pState->At(device))
        d->values[controlId] = value;
}

std::optional<uint32_t> CFakeMixerBackend::LastSet(uint32_t device, uint32_t controlId) const
{
    std::lock_guard lock(m_pState->mutex);
    const auto& sets = m_pState->sets;
    const auto it = std::find_if(sets.rbegin(), sets.rend(), [&](const SetRecord& set) {
        return set.device == device && set.controlId == controlId && set.result == MMSYSERR_NOERROR;
    });
    return it != sets.rend() ? std::optional<uint32_t>(it->value) : std::nullopt;
}

std::vector<CFakeMixerBackend::SetRecord> CFakeMixerBackend::Sets() const
{
    std::lock_guard lock(m_pState->mutex);
    return m_pState->sets;
}

std::vector<CFakeMixerBackend::OpenRecord> CFakeMixerBackend::Opens() const
{
    std::lock_guard lock(m_pState->mutex);
    return m_pState->opens;
}

unsigned CFakeMixerBackend::OpenHandles() const
{
    std::lock_guard lock(m_pState->mutex);
    return m_pState->openHandles;
}

unsigned CFakeMixerBackend::DeviceCount()
{
    std::lock_guard lock(m_pState->mutex);
    return static_cast<unsigned>(m_pState->devices.size());
}

MMRESULT CFakeMixerBackend::Open(uint32_t id, uint32_t fdwOpen, std::unique_ptr<IMixerDevice>& device)
{
    device.reset();
    std::lock_guard lock(m_pState->mutex);
    const DevicePtr d = m_pState->At(id);
    MMRESULT result = d ? m_pState->Failure(MixerCall::Open, id) : MMSYSERR_BADDEVICEID;
    m_pState->opens.push_back({id, fdwOpen, result});
    if (result != MMSYSERR_NOERROR)
        return result;
    ++m_pState->openHandles;
    device = std::make_unique<CFakeMixerDevice>(m_pState, d);
    return MMSYSERR_NOERROR;
}
