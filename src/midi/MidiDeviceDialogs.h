#pragma once
// The device selection dialogs as the device classes see them. The dialogs
// live with the other dialogs, above this layer, so the user interface
// installs them as a service (see dialogs/DeviceSelection.h); until it does,
// every selection ends as a Cancel would and SelectDevice changes nothing.
#include "platform/MMSystem.h"
#include "platform/Service.h"

#include <cstdint>
#include <optional>

class QWidget;

// What the output selection dialog hands back on OK.
struct CMIDIOutSelection {
    uint32_t m_nDeviceID = MIDI_NO_DEVICE; // the list's choice (the device count for the empty entry)
    bool m_bUseMapper = false;             // "&Use MIDI Mapper" was set
};

class IMidiDeviceDialogs {
public:
    virtual ~IMidiDeviceDialogs() = default;
    // Dialog 202, modally, for the stored id: the chosen id on OK (possibly
    // MIDI_NO_DEVICE), nothing on Cancel.
    virtual std::optional<uint32_t> RunSelectInput(uint32_t deviceId, QWidget* parent) = 0;
    // Dialog 203 for the stored id and use-mapper flag: the selection on OK,
    // nothing on Cancel.
    virtual std::optional<CMIDIOutSelection> RunSelectOutput(uint32_t deviceId, bool useMapper,
                                                             QWidget* parent) = 0;
};

// No dialogs: nothing is ever chosen.
template <>
struct ServiceDefault<IMidiDeviceDialogs> {
    static std::unique_ptr<IMidiDeviceDialogs> Make();
};
