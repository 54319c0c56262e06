// The metronome as the view runs it: accents, the real timer, the setup command.
#include "ViewFixture.h"

#include "dialogs/CSetupMIDIMetronomeDlg.h"
#include "dialogs/DialogTestSupport.h"
#include "platform/Beep.h"
#include "platform/Ticks.h"
#include "view/CMetronome.h"

namespace {

int g_nBeeps = 0;

class CCountingBeep : public IBeep {
public:
    CCountingBeep() { g_nBeeps = 0; }
    void Beep() override { ++g_nBeeps; }
};

class MetronomeTest : public ViewFixture {
protected:
    void StartFast()
    {
        Start(0, 1);
        // The fastest tempo keeps the tests on the real timer short.
        m_pView->m_nMM = 140;
        m_pMidi->ClearSent();
    }

    // The pulses' velocities; each note-on must be followed at once by its note-off.
    std::vector<int> Pulses() const { return kvtest::ClickVelocities(m_pMidi->Sent(MIDI_MAPPER)); }

    std::vector<int> Ticks(unsigned ppm, int count)
    {
        m_pMidi->ClearSent();
        m_pView->Metronome().Arm(ppm);
        for (int i = 0; i < count; ++i)
            m_pView->Metronome().MetronomeTick();
        return Pulses();
    }

    // Runs the setup command; `during` is called with the dialog once it is up.
    bool RunSetup(const std::function<void(CSetupMIDIMetronomeDlg&)>& during)
    {
        bool seen = false;
        AnswerNextDialog([&](CDialog* dlg) {
            seen = true;
            during(*qobject_cast<CSetupMIDIMetronomeDlg*>(dlg));
        });
        Command(ID_MIDI_SETUP_METRONOME);
        return seen;
    }

    CScopedService<IBeep> m_Beep{std::make_unique<CCountingBeep>()};
};

} // namespace

TEST_F(MetronomeTest, TheFirstPulseOfEveryMeasureIsAccented)
{
    Start(0, 1);
    EXPECT_EQ(Ticks(4, 9), (std::vector<int>{112, 80, 80, 80, 112, 80, 80, 80, 112}));
    // No measure at all (a profile may say 0): every pulse stands alone.
    EXPECT_EQ(Ticks(0, 3), (std::vector<int>{112, 112, 112}));
    EXPECT_EQ(g_nBeeps, 0);

    // Without a port each pulse beeps instead.
    m_pView->m_OutDevice.Close();
    EXPECT_TRUE(Ticks(4, 1).empty());
    ASSERT_TRUE(kvtest::WaitFor([&] { return g_nBeeps == 1; }));
}

TEST_F(MetronomeTest, ToggleStartsOnAnAccentEveryTimeAndClosingStops)
{
    StartFast();
    m_pView->m_dwStartTicks = GetTickCountMs() - 100000;
    Command(ID_MIDI_TOGGLE_METRONOME);
    EXPECT_TRUE(m_pView->Metronome().IsRunning());
    EXPECT_FALSE(m_pFrame->Action(ID_MIDI_SETUP_METRONOME)->isEnabled());
    // The log's times count from the start of the metronome.
    EXPECT_LT(GetTickCountMs() - m_pView->m_dwStartTicks, 10000u);

    ASSERT_TRUE(kvtest::WaitFor([&] { return Pulses().size() >= 2; }, 3000));
    Command(ID_MIDI_TOGGLE_METRONOME);
    EXPECT_FALSE(m_pView->Metronome().IsRunning());
    const std::vector<int> first = Pulses();
    EXPECT_EQ(std::vector<int>(first.begin(), first.begin() + 2), (std::vector<int>{112, 80}));

    m_pMidi->ClearSent();
    Command(ID_MIDI_TOGGLE_METRONOME);
    ASSERT_TRUE(kvtest::WaitFor([&] { return !Pulses().empty(); }, 3000));
    m_pFrame->close(); // closing the window stops it too
    EXPECT_FALSE(m_pView->Metronome().IsRunning());
    EXPECT_EQ(Pulses().front(), 112);
    EXPECT_EQ(g_nBeeps, 0);
}

TEST_F(MetronomeTest, SetupCancelChangesNothingOkTakesTheValuesAndThePortComesBack)
{
    StartFast();
    ASSERT_TRUE(RunSetup([&](CSetupMIDIMetronomeDlg& dlg) {
        // The dialog plays on its own port on our device; ours is closed meanwhile.
        EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_NO_DEVICE);
        EXPECT_EQ(dlg.m_MIDIOutDevice.QueryOpenDeviceID(), MIDI_MAPPER);
        dlgtest::Click(dlg, CSetupMIDIMetronomeDlg::IDC_TEST);
        EXPECT_TRUE(kvtest::WaitFor([&] { return !Pulses().empty(); }, 3000));
        dlgtest::TypeInto(dlg, CSetupMIDIMetronomeDlg::IDC_MM_EDIT, "60");
        dlgtest::Click(dlg, IDCANCEL);
    }));
    EXPECT_EQ(m_pView->m_nMM, 140u);
    EXPECT_EQ(Profile::GetProfileInt("Metro", "MM", -1), -1);
    EXPECT_EQ(m_pMidi->OpenOutputs(MIDI_MAPPER), 1u);

    ASSERT_TRUE(RunSetup([&](CSetupMIDIMetronomeDlg& dlg) {
        dlgtest::TypeInto(dlg, CSetupMIDIMetronomeDlg::IDC_MM_EDIT, "120");
        dlgtest::TypeInto(dlg, CSetupMIDIMetronomeDlg::IDC_PPM_EDIT, "3");
        dlgtest::Click(dlg, IDOK);
    }));
    EXPECT_EQ(m_pView->m_nMM, 120u);
    EXPECT_EQ(Profile::GetProfileInt("Metro", "MM", -1), 120);
    EXPECT_EQ(Profile::GetProfileInt("Metro", "PPM", -1), 3);
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_METRONOME), "MM 120 : 3");
    EXPECT_EQ(m_pMidi->OpenOutputs(MIDI_MAPPER), 1u);
}
