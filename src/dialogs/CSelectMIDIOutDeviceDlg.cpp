#include "dialogs/CSelectMIDIOutDeviceDlg.h"

#include "dialogs/CDataExchange.h"
#include "res/ResourceIds.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

CSelectMIDIOutDeviceDlg::CSelectMIDIOutDeviceDlg(QWidget* parent)
    : CSelectMIDIDeviceDlg(IDD_SELECT_MIDI_OUT, QStringLiteral("Select MIDI Out Device"), 188, 127,
                           true, parent)
{
    m_ctlUseMapper = new QCheckBox(QStringLiteral("&Use MIDI Mapper"), this);
    AddControl(m_ctlUseMapper, IDC_USE_MAPPER, 7, 7, 174, 10);
    connect(m_ctlUseMapper, &QCheckBox::clicked, this, [this] { ApplyMapperBox(); });

    CreateDeviceControls(
        22, IDC_CAPTION,
        QStringLiteral("Output Device:\n\nManufacturer:\nProduct:\nManufacturer ID:\nProduct ID:"));
    AddOKCancel(77, 106, 131, 106);
}

void CSelectMIDIOutDeviceDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Check(dx, IDC_USE_MAPPER, m_bUseMapper);
}

void CSelectMIDIOutDeviceDlg::OnInitDialog()
{
    m_nEntryDeviceID = m_nDeviceID;
    CSelectMIDIDeviceDlg::OnInitDialog();
    FillDeviceList();
    FitDescriptions({MIDI_MAPPER});
    if (m_nDeviceID == MIDI_MAPPER)
        m_ctlDeviceList->setCurrentIndex(DeviceCount());
    else
        SelectInitialEntry(m_nDeviceID);
    ApplyMapperBox();
}

void CSelectMIDIOutDeviceDlg::OnCancel()
{
    // The id follows the list and the box as the user clicks; Cancel keeps
    // the caller's.
    m_nDeviceID = m_nEntryDeviceID;
    CSelectMIDIDeviceDlg::OnCancel();
}

void CSelectMIDIOutDeviceDlg::ApplyMapperBox()
{
    const bool useMapper = m_ctlUseMapper->isChecked();
    m_ctlDeviceList->setEnabled(!useMapper);
    if (useMapper) {
        m_nDeviceID = MIDI_MAPPER;
        m_ctlDescription->setText(DescribeDevice(true, MIDI_MAPPER, true));
        return;
    }
    // Back from the mapper, start from a device rather than the empty entry.
    if (m_ctlDeviceList->currentIndex() == DeviceCount())
        m_ctlDeviceList->setCurrentIndex(0);
    m_ctlDeviceList->setFocus(Qt::OtherFocusReason);
    OnSelChangeDeviceList();
}

void CSelectMIDIOutDeviceDlg::OnSelChangeDeviceList()
{
    const uint32_t index = SelectedIndex();
    // The empty entry chooses no device; a made-up id beyond the last device
    // would name whichever device is plugged in next.
    m_nDeviceID = index < static_cast<uint32_t>(DeviceCount()) ? index : MIDI_NO_DEVICE;
    m_ctlDescription->setText(DescribeDevice(true, index, false));
}
