// What SelectDevice runs before the user interface installs the real dialogs.
#include "midi/MidiDeviceDialogs.h"

namespace {

class CNoDeviceDialogs : public IMidiDeviceDialogs {
public:
    std::optional<uint32_t> RunSelectInput(uint32_t, QWidget*) override { return std::nullopt; }
    std::optional<CMIDIOutSelection> RunSelectOutput(uint32_t, bool, QWidget*) override
    {
        return std::nullopt;
    }
};

} // namespace

std::unique_ptr<IMidiDeviceDialogs> ServiceDefault<IMidiDeviceDialogs>::Make()
{
    return std::make_unique<CNoDeviceDialogs>();
}
