#pragma once
// Dialog 203, "Select MIDI Out Device": the caller sets m_bUseMapper (when the
// stored id is the mapper) and m_nDeviceID, runs the dialog and on OK takes
// the mapper when m_bUseMapper is set, else m_nDeviceID.
#include "dialogs/CSelectMIDIDeviceDlg.h"

class QCheckBox;

class CSelectMIDIOutDeviceDlg : public CSelectMIDIDeviceDlg {
    Q_OBJECT
public:
    static constexpr int IDC_USE_MAPPER = 1051;
    static constexpr int IDC_CAPTION = 1052;

    explicit CSelectMIDIOutDeviceDlg(QWidget* parent = nullptr);

    int m_bUseMapper = 0;
    // MIDI_MAPPER while the box is set; otherwise the selected device, or
    // MIDI_NO_DEVICE for the empty entry.
    uint32_t m_nDeviceID = MIDI_NO_DEVICE;

    QCheckBox* m_ctlUseMapper = nullptr; // 1051

protected:
    void OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnCancel() override;
    void OnSelChangeDeviceList() override;

private:
    void ApplyMapperBox();

    uint32_t m_nEntryDeviceID = MIDI_NO_DEVICE;
};
