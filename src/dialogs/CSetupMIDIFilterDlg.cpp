#include "dialogs/CSetupMIDIFilterDlg.h"

#include "dialogs/CDataExchange.h"
#include "res/ResourceIds.h"

#include <QCheckBox>
#include <QLabel>

CSetupMIDIFilterDlg::CSetupMIDIFilterDlg(QWidget* parent)
    : CDialog(IDD_SETUP_FILTER, QStringLiteral("Setup MIDI Filter"), 186, 97, parent)
{
    AddControl(new QLabel(QStringLiteral("Disable MIDI messages by checking boxes"), this),
               IDC_STATIC, 7, 7, 172, 8);
    // System messages on the left, channel messages on the right.
    struct Box {
        int id;
        const char* text;
        int x, y;
    };
    const Box boxes[] = {
        {IDC_SYS_REAL_TIME, "&System Real Time", 14, 22},
        {IDC_ACTIVE_SENSING, "&Active Sensing", 14, 34},
        {IDC_PITCH_BEND, "&Pitch Bend", 100, 22},
        {IDC_CTRL_CHANGE, "Con&trol Change", 100, 34},
        {IDC_CHAN_PRESSURE, "&Channel Pressure", 100, 46},
        {IDC_KEY_PRESSURE, "&Key Pressure", 100, 58},
    };
    for (const Box& b : boxes)
        AddControl(new QCheckBox(QString::fromUtf8(b.text), this), b.id, b.x, b.y, 80, 10);

    AddOKCancel(75, 76, 129, 76);
}

void CSetupMIDIFilterDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Check(dx, IDC_SYS_REAL_TIME, m_bFilterSysRealTime);
    DDX_Check(dx, IDC_PITCH_BEND, m_bFilterPitchBend);
    DDX_Check(dx, IDC_CTRL_CHANGE, m_bFilterCtrlChange);
    DDX_Check(dx, IDC_CHAN_PRESSURE, m_bFilterChanPressure);
    DDX_Check(dx, IDC_KEY_PRESSURE, m_bFilterKeyPressure);
    DDX_Check(dx, IDC_ACTIVE_SENSING, m_bFilterActiveSensing);
}
