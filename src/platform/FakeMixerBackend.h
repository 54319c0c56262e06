#pragma once
// In-process mixer devices for tests: devices, lines and controls set up from
// outside (any component and control types, bounds, names and ids), failures
// chosen per kind of call or per line or control, values changed as if from
// outside the program, and every value set and every open recorded.
//
// Devices are an ordered list; a device removed (SetDeviceCount) takes its
// values with it, and handles still open on it answer MMSYSERR_INVALHANDLE,
// as a mixer whose card was unplugged. Any thread; calls are serialised.
#include "platform/MixerBackend.h"

#include <optional>
#include <vector>

// The kinds of call a failure can be chosen for.
enum class MixerCall {
    Open,
    GetDevCaps,
    GetLineInfo,
    GetLineControl,
    GetControlValue,
    SetControlValue,
};

class CFakeMixerBackend : public IMixerBackend {
public:
    // Starts with that many standard devices: laid out as the system mixer is
    // (SystemMixerLayout, speakers "Master" with a mute), every volume at
    // 65535, mutes off, the meter at 0.
    explicit CFakeMixerBackend(unsigned standardDevices = 1);
    ~CFakeMixerBackend() override;

    // ---- devices, lines and controls
    // A device with no lines, at the end of the list; returns its id.
    uint32_t AddDevice(const QString& name = QStringLiteral("Fake Mixer"));
    // Lines and controls as given; the fake keeps the indices, counts and
    // source flags as a mixer does (see CMixerLineTable). The line adders
    // return the line's index (UINT32_MAX: no such device or destination).
    uint32_t AddDestination(uint32_t device, const MIXERLINE& line);
    uint32_t AddSource(uint32_t device, uint32_t destination, const MIXERLINE& line);
    bool AddControl(uint32_t device, uint32_t lineId, const MIXERCONTROL& control, uint32_t value = 0);
    // Devices go from the end of the list, or standard ones are added.
    void SetDeviceCount(unsigned count);

    static MIXERLINE MakeLine(uint32_t lineId, uint32_t componentType, const QString& shortName,
                              const QString& name, uint32_t channels = 2);
    static MIXERCONTROL MakeControl(uint32_t controlId, uint32_t controlType, uint32_t minimum,
                                    uint32_t maximum, const QString& shortName, const QString& name);

    // ---- failures (MMSYSERR_NOERROR: the calls work again)
    // Every call of that kind, on every device.
    void SetFailure(MixerCall call, MMRESULT result);
    // Only the calls about that id: the device for Open and GetDevCaps, the
    // line for GetLineControl and for GetLineInfo (the line it finds), the
    // control for GetControlValue and SetControlValue.
    void SetFailure(MixerCall call, uint32_t id, MMRESULT result);
    void ClearFailures();

    // ---- values
    // What GetControlValue reads (0 for a control that is not there).
    uint32_t Value(uint32_t device, uint32_t controlId) const;
    // A change made outside the program: the desktop's volume, the synth playing.
    void SetValue(uint32_t device, uint32_t controlId, uint32_t value);
    // The last value SetControlValue stored there; nothing if none was.
    std::optional<uint32_t> LastSet(uint32_t device, uint32_t controlId) const;
    // Every SetControlValue call, refused ones too, in order.
    struct SetRecord {
        uint32_t device;
        uint32_t controlId;
        uint32_t value;
        MMRESULT result;
    };
    std::vector<SetRecord> Sets() const;
    // Every Open call with its flags, in order.
    struct OpenRecord {
        uint32_t device;
        uint32_t flags;
        MMRESULT result;
    };
    std::vector<OpenRecord> Opens() const;
    unsigned OpenHandles() const; // handles open now, on listed devices or gone ones

    // ---- IMixerBackend
    unsigned DeviceCount() override;
    MMRESULT Open(uint32_t id, uint32_t fdwOpen, std::unique_ptr<IMixerDevice>& device) override;

    struct State; // shared with the open handles, which may outlive the backend object

private:
    std::shared_ptr<State> m_pState;
};
