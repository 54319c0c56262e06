// The device selection dialogs against loopback devices: list entries,
// descriptions, initial selection, the mapper box and the chosen id.
#include "DialogTestSupport.h"

#include "dialogs/CSelectMIDIInDeviceDlg.h"
#include "dialogs/CSelectMIDIOutDeviceDlg.h"
#include "dialogs/DeviceSelection.h"
#include "midi/MIDIOutDevice.h"
#include "midi/MidiDeviceDialogs.h"
#include "platform/Profile.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>

namespace {

using dlgtest::Click;
using OutDlg = CSelectMIDIOutDeviceDlg;

QStringList Entries(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

// Input 0 and output 0 "Keys" by a named manufacturer, input 1 without a
// driver, output 1 "Second synth", and a named mapper.
class DeviceSelectionTest : public dlgtest::LoopbackTest {
protected:
    void SetUp() override
    {
        LoopbackTest::SetUp();
        MidiCaps keys;
        keys.wMid = 1;
        keys.wPid = 42;
        keys.szPname = QStringLiteral("Keys");
        m_pLoop->SetInputCount(2);
        m_pLoop->SetInputCaps(0, keys);
        m_pLoop->SetInputNoDriver(1);
        m_pLoop->SetOutputCount(2);
        m_pLoop->SetOutputCaps(0, keys);
        m_pLoop->SetOutputName(1, QStringLiteral("Second synth"));
        keys.wPid = 7;
        keys.szPname = QStringLiteral("Built-in synthesizer");
        m_pLoop->SetOutputCaps(MIDI_MAPPER, keys);
    }
};

TEST_F(DeviceSelectionTest, InputListNamesDevicesAndEndsWithEmptyEntry)
{
    CSelectMIDIInDeviceDlg dlg;
    dlg.show();
    EXPECT_EQ(Entries(dlg.m_ctlDeviceList), QStringList({"Keys", "[ Invalid Driver ]", ""}));
    // Stored "no device": the first device, described beside the labels.
    EXPECT_EQ(dlg.m_ctlDeviceList->currentIndex(), 0);
    EXPECT_EQ(dlg.m_ctlDescription->text(), "0\n\nMicrosoft Corporation\nKeys\n1\n42");
    // Neither a driverless device nor the empty entry can be described.
    for (int i : {1, 2}) {
        dlg.m_ctlDeviceList->setCurrentIndex(i);
        EXPECT_EQ(dlg.m_ctlDescription->text(), "") << i;
    }
    Click(dlg, IDOK);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.m_nDeviceID, MIDI_NO_DEVICE);

    for (auto [stored, expected] : {std::pair{1u, 1}, {5u, 0}, {MIDI_NO_DEVICE, 0}}) {
        CSelectMIDIInDeviceDlg again;
        again.m_nDeviceID = stored;
        again.show();
        EXPECT_EQ(again.m_ctlDeviceList->currentIndex(), expected) << stored;
    }

    // Without devices only the empty entry is left, and it chooses none.
    m_pLoop->SetInputCount(0);
    CSelectMIDIInDeviceDlg none;
    none.m_nDeviceID = 0;
    none.show();
    EXPECT_EQ(Entries(none.m_ctlDeviceList), QStringList({""}));
    Click(none, IDOK);
    EXPECT_EQ(none.m_nDeviceID, MIDI_NO_DEVICE);

    // A long product name is shown whole, and the dialog grows to hold it.
    const QString longName =
        QStringLiteral("Very Long USB MIDI Interface Name:Port Number One 24:0 (with extras)");
    m_pLoop->SetInputCount(1);
    m_pLoop->SetInputName(0, longName);
    CSelectMIDIInDeviceDlg wide;
    wide.show();
    EXPECT_EQ(wide.m_ctlDeviceList->itemText(0), longName);
    EXPECT_TRUE(wide.m_ctlDescription->text().contains(longName));
    EXPECT_GE(wide.m_ctlDescription->width(), QFontMetrics(wide.m_ctlDescription->font()).horizontalAdvance(longName));
    EXPECT_LE(wide.m_ctlDescription->geometry().right(), wide.width());
    EXPECT_LE(wide.GetDlgItem(IDCANCEL)->geometry().right(), wide.width());
}

TEST_F(DeviceSelectionTest, OutputMapperBoxTogglesListAndDescription)
{
    OutDlg dlg;
    dlg.m_bUseMapper = 1;
    dlg.m_nDeviceID = MIDI_MAPPER;
    dlg.show();
    EXPECT_EQ(Entries(dlg.m_ctlDeviceList), QStringList({"Keys", "Second synth", ""}));
    EXPECT_TRUE(dlg.m_ctlUseMapper->isChecked());
    EXPECT_FALSE(dlg.m_ctlDeviceList->isEnabled());
    EXPECT_EQ(dlg.m_ctlDescription->text(), "-1\n\nMicrosoft Corporation\nBuilt-in synthesizer\n1\n7");

    // Clearing the box leaves the empty entry for the first device.
    Click(dlg, OutDlg::IDC_USE_MAPPER);
    EXPECT_TRUE(dlg.m_ctlDeviceList->isEnabled());
    EXPECT_EQ(dlg.m_ctlDeviceList->currentIndex(), 0);
    EXPECT_TRUE(dlg.m_ctlDescription->text().startsWith("0\n\n"));

    // The empty entry chooses no device, not an id beyond the last device,
    // which a device plugged in later would get.
    dlg.m_ctlDeviceList->setCurrentIndex(2);
    EXPECT_EQ(dlg.m_ctlDescription->text(), "");
    Click(dlg, IDOK);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.m_bUseMapper, 0);
    EXPECT_EQ(dlg.m_nDeviceID, MIDI_NO_DEVICE);
}

// Runs `drive` on the modal dialog of type T that is up next.
template <class T, class F>
void WhenDialogRuns(F drive)
{
    QTimer::singleShot(0, [drive] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dlg = qobject_cast<T*>(modal)) {
            drive(*dlg);
        } else {
            ADD_FAILURE() << "not the expected dialog";
            if (modal)
                modal->close();
        }
    });
}

// Unticks the mapper box, picks entry 1, and answers with `button`.
void PickSecond(int button)
{
    WhenDialogRuns<OutDlg>([button](OutDlg& dlg) {
        Click(dlg, OutDlg::IDC_USE_MAPPER);
        dlg.m_ctlDeviceList->setCurrentIndex(1);
        Click(dlg, button);
    });
}

// The view drives the input's selection (tests/view/ViewDialogCommandsTest.cpp);
// here the output's answers reach the device and the profile.
TEST_F(DeviceSelectionTest, SelectDeviceRunsTheDialogs)
{
    // Whatever was installed before comes back at the end.
    const CScopedService<IMidiDeviceDialogs> restore(nullptr);
    InstallDeviceSelectionDialogs();
    kvtest::ClearProfile();

    CMIDIOutDevice out;
    out.SetDeviceID(MIDI_MAPPER);
    PickSecond(IDCANCEL);
    EXPECT_EQ(out.SelectDevice(true), MIDI_MAPPER);
    PickSecond(IDOK);
    EXPECT_EQ(out.SelectDevice(true), 1u);
    EXPECT_EQ(Profile::GetProfileInt("MIDIOut", "DevID", -100), 1);
    // Offered the current device; ticking the box last chooses the mapper, whatever the list shows.
    WhenDialogRuns<OutDlg>([](OutDlg& dlg) {
        EXPECT_EQ(dlg.m_ctlDeviceList->currentIndex(), 1);
        Click(dlg, OutDlg::IDC_USE_MAPPER);
        Click(dlg, IDOK);
    });
    EXPECT_EQ(out.SelectDevice(true), MIDI_MAPPER);
    EXPECT_EQ(Profile::GetProfileInt("MIDIOut", "DevID", -100), -1);
}

} // namespace
