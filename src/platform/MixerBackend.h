#pragma once
// The audio mixer services the program needs, shaped like the multimedia
// mixer it was designed on: numbered mixer devices, each with destination
// lines (the speakers) that have source lines (the synthesizer), controls
// found by line and type, every value read and written as one 32-bit value
// for all channels of a line, and MMRESULT codes.
//
// Behind it on Linux: the system's master output through the ALSA simple
// mixer (the desktop's default sink, or the card's Master), with the built-in
// synthesizer as a source line on it; a fake for tests.
//
// Threading: an open device is used from one thread at a time (the UI
// thread). The backend's device list may be asked from any thread.
#include "platform/MMSystem.h"
#include "platform/Service.h"

#include <QString>

#include <cstdint>
#include <memory>

constexpr MMRESULT MIXERR_INVALLINE = 1024;
constexpr MMRESULT MIXERR_INVALCONTROL = 1025;
constexpr MMRESULT MIXERR_INVALVALUE = 1026;

// Line component types.
constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 0x4;
constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER = 0x1004;

// Line flags.
constexpr uint32_t MIXERLINE_LINEF_ACTIVE = 0x00000001;
constexpr uint32_t MIXERLINE_LINEF_SOURCE = 0x80000000;

// Control types. Bits 16-23 say how the value reads: a signed type keeps
// negative values (and its bounds) as two's complement in the 32 bits.
// The top four bits are the class: a meter is only read.
constexpr uint32_t MIXERCONTROL_CT_CLASS_MASK = 0xF0000000;
constexpr uint32_t MIXERCONTROL_CT_CLASS_METER = 0x10000000;
constexpr uint32_t MIXERCONTROL_CT_UNITS_MASK = 0x00FF0000;
constexpr uint32_t MIXERCONTROL_CT_UNITS_SIGNED = 0x00020000;
constexpr uint32_t MIXERCONTROL_CONTROLTYPE_BOOLEAN = 0x20010000;
constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
constexpr uint32_t MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
constexpr uint32_t MIXERCONTROL_CONTROLTYPE_PEAKMETER = 0x10020001;

// The control acts on all channels of its line alike.
constexpr uint32_t MIXERCONTROL_CONTROLF_UNIFORM = 0x00000001;

// How GetLineInfo finds the line.
constexpr uint32_t MIXER_GETLINEINFOF_DESTINATION = 0x0; // by dwDestination
constexpr uint32_t MIXER_GETLINEINFOF_SOURCE = 0x1;      // by dwDestination and dwSource
constexpr uint32_t MIXER_GETLINEINFOF_LINEID = 0x2;      // by dwLineID

// Open flags: with CALLBACK_WINDOW the mixer may tell a window of changes.
constexpr uint32_t CALLBACK_WINDOW = 0x00010000;

struct MIXERCAPS {
    uint16_t wMid = 0;
    uint16_t wPid = 0;
    uint32_t vDriverVersion = 0;
    QString szPname;
    uint32_t fdwSupport = 0;
    uint32_t cDestinations = 0;
};

struct MIXERLINE {
    uint32_t dwDestination = 0;
    uint32_t dwSource = 0;
    uint32_t dwLineID = 0;
    uint32_t fdwLine = 0;
    uint32_t dwComponentType = 0;
    uint32_t cChannels = 0;
    uint32_t cConnections = 0; // sources of a destination
    uint32_t cControls = 0;
    QString szShortName;
    QString szName;
};

struct MIXERCONTROL {
    uint32_t dwControlID = 0;
    uint32_t dwControlType = 0;
    uint32_t fdwControl = 0;
    uint32_t cMultipleItems = 0;
    QString szShortName;
    QString szName;
    // The value bounds, unsigned as stored; a signed control (the peak
    // meter) keeps its signed bounds in the same bits.
    struct {
        uint32_t dwMinimum = 0;
        uint32_t dwMaximum = 0;
    } Bounds;
};

// Whether value lies within the control's bounds, read signed or unsigned
// as its type says.
inline bool MixerValueInBounds(const MIXERCONTROL& control, uint32_t value)
{
    if ((control.dwControlType & MIXERCONTROL_CT_UNITS_MASK) == MIXERCONTROL_CT_UNITS_SIGNED) {
        const auto v = static_cast<int32_t>(value);
        return v >= static_cast<int32_t>(control.Bounds.dwMinimum)
               && v <= static_cast<int32_t>(control.Bounds.dwMaximum);
    }
    return value >= control.Bounds.dwMinimum && value <= control.Bounds.dwMaximum;
}

// An open mixer device (the design's mixer handle).
class IMixerDevice {
public:
    virtual ~IMixerDevice() = default;
    virtual MMRESULT GetDevCaps(MIXERCAPS& caps) = 0;
    // line holds what fdwInfo names (see MIXER_GETLINEINFOF_*) and is filled
    // in on success. MIXERR_INVALLINE when no line answers to it,
    // MMSYSERR_INVALPARAM for an fdwInfo that is none of those.
    virtual MMRESULT GetLineInfo(MIXERLINE& line, uint32_t fdwInfo) = 0;
    // The first control of that type on the line: MIXERR_INVALLINE for an
    // unknown line, MIXERR_INVALCONTROL when the line has none of that type.
    virtual MMRESULT GetLineControl(uint32_t lineId, uint32_t controlType,
                                    MIXERCONTROL& control) = 0;
    // One value, uniform over the line's channels; value is written only on
    // success. Booleans read 0 or 1; a peak meter's value is signed. A read
    // sees changes made outside the program. MIXERR_INVALCONTROL for an
    // unknown control.
    virtual MMRESULT GetControlValue(uint32_t controlId, uint32_t& value) = 0;
    // Values outside the control's bounds give MIXERR_INVALVALUE, a meter
    // (it is only read) MMSYSERR_INVALPARAM.
    virtual MMRESULT SetControlValue(uint32_t controlId, uint32_t value) = 0;
};

class IMixerBackend {
public:
    virtual ~IMixerBackend() = default;
    virtual unsigned DeviceCount() = 0;
    // MMSYSERR_BADDEVICEID for a device that does not exist; fdwOpen may hold
    // CALLBACK_WINDOW (changes are not told: nothing listens for them).
    virtual MMRESULT Open(uint32_t id, uint32_t fdwOpen, std::unique_ptr<IMixerDevice>& device) = 0;
};

// Until one is installed there is no mixer device.
template <>
struct ServiceDefault<IMixerBackend> {
    static std::unique_ptr<IMixerBackend> Make();
};

namespace MixerSystem {

// The backend in use: CService<IMixerBackend>.
inline IMixerBackend& Backend()
{
    return CService<IMixerBackend>::Get();
}

// Puts the system's mixer in place (the ALSA mixer with the built-in
// synthesizer's line on it); the program calls it at start-up. Until then,
// and in tests, there is no mixer device.
void InstallSystemMixer();

} // namespace MixerSystem
