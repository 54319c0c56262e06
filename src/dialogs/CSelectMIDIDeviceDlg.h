#pragma once
// What the input and output device selection dialogs share: the list of
// devices of one kind followed by an empty entry, the fixed labels and the
// description of the highlighted device beside them.
#include "dialogs/CDialog.h"

#include "platform/MMSystem.h"

#include <QRect>

#include <cstdint>

class QComboBox;
class QLabel;

class CSelectMIDIDeviceDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_DEVICE_LIST = 1016;
    static constexpr int IDC_DESCRIPTION = 1020;

    // The list entry of a device: its product name, whole; "[ Invalid Driver ]"
    // when its driver is missing; empty when it cannot be asked at all.
    static QString DeviceEntryText(bool bOutput, uint32_t id);
    // The six-line description of a device, or empty when it cannot be
    // described. bSigned prints the number as a signed value (the mapper's -1).
    static QString DescribeDevice(bool bOutput, uint32_t id, bool bSigned);

    QComboBox* m_ctlDeviceList = nullptr; // 1016
    QLabel* m_ctlDescription = nullptr;   // 1020

protected:
    CSelectMIDIDeviceDlg(unsigned nIDTemplate, const QString& caption, int cxDlu, int cyDlu,
                         bool bOutput, QWidget* parent);

    // Creates the list, the labels and the description from template row y.
    void CreateDeviceControls(int yList, int labelsId, const QString& labels);

    // One entry per device, then the empty entry (selection change signals
    // are held back while filling).
    void FillDeviceList();
    // Number of devices in the list (the empty entry's index).
    int DeviceCount() const;
    // The selected entry's index, or MIDI_NO_DEVICE with no selection.
    uint32_t SelectedIndex() const;
    // id's entry when id names a listed device, the first entry otherwise.
    void SelectInitialEntry(uint32_t id);
    // Widens the dialog so that the widest description line fits (product
    // names can be long); extraIds are further ids to measure (the mapper).
    void FitDescriptions(std::initializer_list<uint32_t> extraIds = {});

    virtual void OnSelChangeDeviceList() = 0;

private:
    void ApplyExtraWidth(int extra);

    bool m_bOutput;
    int m_cxBase;
    QRect m_rcList, m_rcDescription, m_rcOK, m_rcCancel;
};
