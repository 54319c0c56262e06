// The metronome setup dialog: OK rules and the test clicks on its own port.
// Run by the view, its port closes before the view's reopens
// (tests/view/MetronomeTest.cpp).
#include "DialogTestSupport.h"

#include "dialogs/CSetupMIDIMetronomeDlg.h"
#include "platform/Beep.h"

#include "support/TestSupport.h"

#include <tuple>

namespace {

using dlgtest::Click;
using dlgtest::Enabled;
using dlgtest::TypeInto;
using Dlg = CSetupMIDIMetronomeDlg;

int g_nBeeps = 0;

class CCountingBeep : public IBeep {
public:
    void Beep() override { ++g_nBeeps; }
};

class SetupMIDIMetronomeTest : public dlgtest::LoopbackTest {
protected:
    void SetUp() override
    {
        LoopbackTest::SetUp();
        m_pLoop->SetOutputCount(1);
        g_nBeeps = 0;
    }

    // The test clicks that reached output 0, each note-on followed by its note-off.
    std::vector<int> ClickVelocities() { return kvtest::ClickVelocities(m_pLoop->Sent(0)); }

    CScopedService<IBeep> m_Beep{std::make_unique<CCountingBeep>()};
};

TEST_F(SetupMIDIMetronomeTest, TestPeriodFollowsTheTempoWithinRange)
{
    Dlg dlg;
    dlg.show();
    Click(dlg, Dlg::IDC_TEST);
    EXPECT_TRUE(dlg.IsTesting());
    EXPECT_EQ(dlg.GetTestPeriod(), 600);
    // Out of range: OK goes off, the clicks go on at the nearest tempo.
    for (auto [mm, period, ok] : {std::tuple{"35", 1714, true}, {"140", 428, true}, {"99", 606, true},
                                  {"20", 1714, false}, {"1000", 428, false}, {"", 1714, false}}) {
        TypeInto(dlg, Dlg::IDC_MM_EDIT, mm);
        EXPECT_EQ(Enabled(dlg, IDOK), ok) << mm;
        EXPECT_TRUE(dlg.IsTesting()) << mm;
        EXPECT_EQ(dlg.GetTestPeriod(), period) << mm;
    }
    Click(dlg, Dlg::IDC_TEST);
    EXPECT_FALSE(dlg.IsTesting());
    EXPECT_EQ(dlg.GetTimerID(), 0);
}

TEST_F(SetupMIDIMetronomeTest, OkNeedsBothValuesInRange)
{
    // Stored values out of range open in range.
    Dlg dlg;
    dlg.m_nMM = 0;
    dlg.m_nPPM = 1000;
    dlg.show();
    EXPECT_EQ(dlg.GetDlgItem<QLineEdit>(Dlg::IDC_MM_EDIT)->text(), "35");
    EXPECT_EQ(dlg.GetDlgItem<QLineEdit>(Dlg::IDC_PPM_EDIT)->text(), "48");
    EXPECT_TRUE(Enabled(dlg, IDOK));
    for (auto [ppm, ok] : {std::pair{"0", false}, {"12", true}, {"49", false}}) {
        TypeInto(dlg, Dlg::IDC_PPM_EDIT, ppm);
        EXPECT_EQ(Enabled(dlg, IDOK), ok) << ppm;
    }

    // A bad tempo is not made good by an edit of the other value.
    TypeInto(dlg, Dlg::IDC_MM_EDIT, "0");
    TypeInto(dlg, Dlg::IDC_PPM_EDIT, "3");
    EXPECT_FALSE(Enabled(dlg, IDOK));
    // Stepping brings the tempo into range.
    QTest::keyClick(dlg.GetDlgItem(Dlg::IDC_MM_EDIT), Qt::Key_Down);
    EXPECT_EQ(dlg.GetDlgItem<QLineEdit>(Dlg::IDC_MM_EDIT)->text(), "35");
    Click(dlg, IDOK);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.m_nMM, 35u);
    EXPECT_EQ(dlg.m_nPPM, 3u);
}

// The view's metronome accents the same way (tests/view/MetronomeTest.cpp);
// here the measure a test click starts and one typed while it runs.
TEST_F(SetupMIDIMetronomeTest, ClicksAccentTheFirstPulseOfEachMeasure)
{
    Dlg dlg;
    dlg.m_nMM = 140;
    dlg.m_nPPM = 4;
    dlg.m_MIDIOutDevice.SetDeviceID(0);
    dlg.show();
    Click(dlg, Dlg::IDC_TEST);
    for (int i = 0; i < 5; ++i)
        dlg.OnTimer();
    EXPECT_EQ(ClickVelocities(), (std::vector<int>{112, 80, 80, 80, 112}));

    // Restarting the test starts a new measure; a measure typed while the
    // test runs starts once the current one is out.
    m_pLoop->ClearSent();
    Click(dlg, Dlg::IDC_TEST);
    TypeInto(dlg, Dlg::IDC_PPM_EDIT, "4");
    Click(dlg, Dlg::IDC_TEST);
    dlg.OnTimer();
    dlg.OnTimer();
    TypeInto(dlg, Dlg::IDC_PPM_EDIT, "2");
    for (int i = 0; i < 5; ++i)
        dlg.OnTimer();
    EXPECT_EQ(ClickVelocities(), (std::vector<int>{112, 80, 80, 80, 112, 80, 112}));
    EXPECT_EQ(g_nBeeps, 0);

    // A port that fails to open beeps instead.
    m_pLoop->SetOutputOpenResult(0, MMSYSERR_ALLOCATED);
    Dlg failing;
    failing.m_MIDIOutDevice.SetDeviceID(0);
    failing.show();
    failing.OnTimer();
    EXPECT_EQ(g_nBeeps, 1);
}

} // namespace
