// The filter and dump options dialogs carry their flags in and out, and every
// dialog keeps its controls inside its template size.
#include "DialogTestSupport.h"

#include "dialogs/CSelectMIDIInDeviceDlg.h"
#include "dialogs/CSelectMIDIOutDeviceDlg.h"
#include "dialogs/CSetupDumpOptionsDlg.h"
#include "dialogs/CSetupMIDIFilterDlg.h"
#include "dialogs/CSetupMIDIMetronomeDlg.h"
#include "dialogs/CSetupMIDIOutputDlg.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

namespace {

using dlgtest::Click;
using Filter = CSetupMIDIFilterDlg;
using Dump = CSetupDumpOptionsDlg;

bool Checked(CDialog& dlg, int id)
{
    auto* b = dlg.GetDlgItem<QAbstractButton>(id);
    return b && b->isChecked();
}

TEST(SetupMIDIFilterDlg, FlagsRoundTrip)
{
    Filter dlg;
    struct Box {
        int id;
        const char* text;
        int* flag;
        int value;
    };
    const Box boxes[] = {
        {Filter::IDC_SYS_REAL_TIME, "&System Real Time", &dlg.m_bFilterSysRealTime, 1},
        {Filter::IDC_PITCH_BEND, "&Pitch Bend", &dlg.m_bFilterPitchBend, 0},
        {Filter::IDC_CTRL_CHANGE, "Con&trol Change", &dlg.m_bFilterCtrlChange, 1},
        {Filter::IDC_CHAN_PRESSURE, "&Channel Pressure", &dlg.m_bFilterChanPressure, 0},
        {Filter::IDC_KEY_PRESSURE, "&Key Pressure", &dlg.m_bFilterKeyPressure, 0},
        {Filter::IDC_ACTIVE_SENSING, "&Active Sensing", &dlg.m_bFilterActiveSensing, 1},
    };
    for (const Box& b : boxes)
        *b.flag = b.value;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Setup MIDI Filter");
    for (const Box& b : boxes) {
        EXPECT_EQ(dlg.GetDlgItem<QAbstractButton>(b.id)->text(), b.text);
        EXPECT_EQ(Checked(dlg, b.id), b.value == 1) << b.text;
        Click(dlg, b.id);
    }
    Click(dlg, IDOK);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    for (const Box& b : boxes)
        EXPECT_EQ(*b.flag, 1 - b.value) << b.text;

    // Escape keeps the flags.
    Filter cancelled;
    cancelled.show();
    Click(cancelled, Filter::IDC_SYS_REAL_TIME);
    QTest::keyClick(&cancelled, Qt::Key_Escape);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_EQ(cancelled.m_bFilterSysRealTime, 1);
}

TEST(SetupDumpOptionsDlg, AttributesRoundTrip)
{
    Dump dlg;
    EXPECT_EQ(dlg.windowTitle(), "Setup Dump Options");
    // Bits other than application, time and date are dropped.
    dlg.SetDumpAttributes(1 | 2 | 8);
    EXPECT_EQ(dlg.GetDumpAttributes(), 9);
    dlg.show();
    EXPECT_TRUE(Checked(dlg, Dump::IDC_APPLICATION) && Checked(dlg, Dump::IDC_DATE));
    EXPECT_FALSE(Checked(dlg, Dump::IDC_TIME));

    Click(dlg, Dump::IDC_APPLICATION);
    Click(dlg, Dump::IDC_TIME);
    Click(dlg, IDOK);
    EXPECT_EQ(dlg.GetDumpAttributes(), 12); // time and date
}

TEST(SetupDumpOptionsDlg, FormatIsPlainLinesOnly)
{
    Dump dlg;
    dlg.show();
    EXPECT_TRUE(Checked(dlg, Dump::IDC_PLAIN_LINES));
    for (int id : {Dump::IDC_PLAIN_LINES, Dump::IDC_HANGING_INDENTS, Dump::IDC_CAPTIONS})
        EXPECT_FALSE(dlg.GetDlgItem(id)->isEnabled()) << id;
    const auto labels = dlg.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* l) {
        return l->text() == "Select properties and format to be applied in the dump\nof MIDI input messages .";
    }));
    QStringList groups;
    for (auto* group : dlg.findChildren<QGroupBox*>())
        groups << group->title();
    EXPECT_EQ(groups, QStringList({"Attributes", "Format"}));
}

// Every control of every dialog lies inside the dialog, and the dialog has
// its template size in dialog units of its own font.
TEST(DialogLayout, ControlsFitTheTemplate)
{
    struct Case {
        std::unique_ptr<CDialog> dlg;
        int cx, cy;
    };
    Case cases[] = {
        {std::make_unique<CSelectMIDIInDeviceDlg>(), 188, 109},
        {std::make_unique<CSelectMIDIOutDeviceDlg>(), 188, 127},
        {std::make_unique<CSetupMIDIMetronomeDlg>(), 186, 84},
        {std::make_unique<CSetupMIDIOutputDlg>(), 227, 119},
        {std::make_unique<Filter>(), 0, 0},
        {std::make_unique<Dump>(), 0, 0},
    };
    for (auto& c : cases) {
        CDialog& dlg = *c.dlg;
        dlg.show();
        const CDialogUnits du = CDialogUnits::For(&dlg);
        if (c.cx) {
            EXPECT_EQ(dlg.size(), du.Size(c.cx, c.cy)) << dlg.GetTemplateID();
        }
        for (QWidget* w : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (w->isWindow() || !w->isVisible())
                continue;
            EXPECT_TRUE(dlg.rect().contains(w->geometry()))
                << dlg.GetTemplateID() << " " << w->objectName().toStdString();
        }
        ASSERT_NE(dlg.GetDlgItem(IDOK), nullptr);
        ASSERT_NE(dlg.GetDlgItem(IDCANCEL), nullptr);
        dlg.reject();
    }
}

} // namespace
