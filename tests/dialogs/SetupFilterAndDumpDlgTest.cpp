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

namespace {

using dlgtest::Click;
using Filter = CSetupMIDIFilterDlg;
using Dump = CSetupDumpOptionsDlg;

bool Checked(CDialog& dlg, int id)
{
    auto* b = dlg.GetDlgItem<QAbstractButton>(id);
    return b && b->isChecked();
}

// Each box shows and sets its own flag, and no other (the view stores them
// and cancels: tests/view/ViewDialogCommandsTest.cpp).
TEST(SetupMIDIFilterDlg, FlagsRoundTrip)
{
    const std::pair<int, int Filter::*> boxes[] = {
        {Filter::IDC_SYS_REAL_TIME, &Filter::m_bFilterSysRealTime}, {Filter::IDC_PITCH_BEND, &Filter::m_bFilterPitchBend},
        {Filter::IDC_CTRL_CHANGE, &Filter::m_bFilterCtrlChange},    {Filter::IDC_CHAN_PRESSURE, &Filter::m_bFilterChanPressure},
        {Filter::IDC_KEY_PRESSURE, &Filter::m_bFilterKeyPressure},  {Filter::IDC_ACTIVE_SENSING, &Filter::m_bFilterActiveSensing},
    };
    for (const auto& [id, flag] : boxes) {
        Filter dlg;
        for (const auto& box : boxes)
            dlg.*box.second = box.first == id;
        dlg.show();
        for (const auto& box : boxes)
            EXPECT_EQ(Checked(dlg, box.first), box.first == id) << id << " " << box.first;
        Click(dlg, id);
        Click(dlg, IDOK);
        for (const auto& box : boxes)
            EXPECT_EQ(dlg.*box.second, 0) << id << " " << box.first;
    }
}

TEST(SetupDumpOptionsDlg, AttributesRoundTripAndTheFormatIsFixed)
{
    Dump dlg;
    // Bits other than application, time and date are dropped.
    dlg.SetDumpAttributes(1 | 2 | 8);
    EXPECT_EQ(dlg.GetDumpAttributes(), 9);
    dlg.show();
    EXPECT_TRUE(Checked(dlg, Dump::IDC_APPLICATION) && Checked(dlg, Dump::IDC_DATE));
    EXPECT_FALSE(Checked(dlg, Dump::IDC_TIME));
    // Plain lines are the only format there is.
    EXPECT_TRUE(Checked(dlg, Dump::IDC_PLAIN_LINES));
    for (int id : {Dump::IDC_PLAIN_LINES, Dump::IDC_HANGING_INDENTS, Dump::IDC_CAPTIONS})
        EXPECT_FALSE(dlg.GetDlgItem(id)->isEnabled()) << id;
    // What the boxes answer reaches the profile: tests/view/ViewDialogCommandsTest.cpp.
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
