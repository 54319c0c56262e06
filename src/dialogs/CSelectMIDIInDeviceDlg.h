#pragma once
// Dialog 202, "Select MIDI In Device": the caller sets m_nDeviceID to the
// stored input device, runs the dialog and on OK reads the chosen device back
// (MIDI_NO_DEVICE for the empty entry).
#include "dialogs/CSelectMIDIDeviceDlg.h"

class CSelectMIDIInDeviceDlg : public CSelectMIDIDeviceDlg {
    Q_OBJECT
public:
    explicit CSelectMIDIInDeviceDlg(QWidget* parent = nullptr);

    uint32_t m_nDeviceID = MIDI_NO_DEVICE;

protected:
    void OnInitDialog() override;
    void OnOK() override;
    void OnSelChangeDeviceList() override;
};
