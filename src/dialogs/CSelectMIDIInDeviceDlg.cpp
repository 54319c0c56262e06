#include "dialogs/CSelectMIDIInDeviceDlg.h"

#include "res/ResourceIds.h"

#include <QComboBox>
#include <QLabel>

CSelectMIDIInDeviceDlg::CSelectMIDIInDeviceDlg(QWidget* parent)
    : CSelectMIDIDeviceDlg(IDD_SELECT_MIDI_IN, QStringLiteral("Select MIDI In Device"), 188, 109,
                           false, parent)
{
    CreateDeviceControls(
        7, IDC_STATIC,
        QStringLiteral("Input Device:\n\nManufacturer:\nProduct:\nManufacturer ID:\nProduct ID:"));
    AddOKCancel(77, 88, 131, 88);
}

void CSelectMIDIInDeviceDlg::OnInitDialog()
{
    CSelectMIDIDeviceDlg::OnInitDialog();
    FillDeviceList();
    FitDescriptions();
    SelectInitialEntry(m_nDeviceID);
    OnSelChangeDeviceList();
}

void CSelectMIDIInDeviceDlg::OnSelChangeDeviceList()
{
    m_ctlDescription->setText(DescribeDevice(false, SelectedIndex(), true));
}

void CSelectMIDIInDeviceDlg::OnOK()
{
    const uint32_t index = SelectedIndex();
    m_nDeviceID = index < static_cast<uint32_t>(DeviceCount()) ? index : MIDI_NO_DEVICE;
    EndDialog(Accepted);
}
