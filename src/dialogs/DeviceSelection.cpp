#include "dialogs/DeviceSelection.h"

#include "dialogs/CSelectMIDIInDeviceDlg.h"
#include "dialogs/CSelectMIDIOutDeviceDlg.h"
#include "midi/MidiDeviceDialogs.h"

namespace {

class CDeviceSelectionDialogs : public IMidiDeviceDialogs {
public:
    std::optional<uint32_t> RunSelectInput(uint32_t deviceId, QWidget* parent) override
    {
        CSelectMIDIInDeviceDlg dlg(parent);
        dlg.m_nDeviceID = deviceId;
        if (dlg.exec() != QDialog::Accepted)
            return std::nullopt;
        return dlg.m_nDeviceID;
    }

    std::optional<CMIDIOutSelection> RunSelectOutput(uint32_t deviceId, bool useMapper,
                                                     QWidget* parent) override
    {
        CSelectMIDIOutDeviceDlg dlg(parent);
        dlg.m_bUseMapper = useMapper ? 1 : 0;
        dlg.m_nDeviceID = deviceId;
        if (dlg.exec() != QDialog::Accepted)
            return std::nullopt;
        CMIDIOutSelection chosen;
        chosen.m_nDeviceID = dlg.m_nDeviceID;
        chosen.m_bUseMapper = dlg.m_bUseMapper != 0;
        return chosen;
    }
};

} // namespace

void InstallDeviceSelectionDialogs()
{
    CService<IMidiDeviceDialogs>::Install(std::make_unique<CDeviceSelectionDialogs>());
}
