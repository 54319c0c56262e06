#include "dialogs/DeviceSelection.h"

#include "dialogs/CSelectMIDIInDeviceDlg.h"
#include "dialogs/CSelectMIDIOutDeviceDlg.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"

namespace {

std::optional<uint32_t> RunSelectMIDIInDevice(uint32_t deviceId, QWidget* parent)
{
    CSelectMIDIInDeviceDlg dlg(parent);
    dlg.m_nDeviceID = deviceId;
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.m_nDeviceID;
}

std::optional<CMIDIOutSelection> RunSelectMIDIOutDevice(uint32_t deviceId, bool useMapper,
                                                        QWidget* parent)
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

} // namespace

void InstallDeviceSelectionDialogs()
{
    CMIDIInDevice::s_pfnRunSelectDialog = RunSelectMIDIInDevice;
    CMIDIOutDevice::s_pfnRunSelectDialog = RunSelectMIDIOutDevice;
}
