// The main window on the built-in synthesizer (rendering offline): the dialogs
// that close and reopen the output port around them leave the synth with the
// program and volume the user chose, as a hardware synthesizer would.
#include "SynthTestSupport.h"

#include "app/CMainFrame.h"
#include "app/CTessaroApp.h"
#include "app/CTessaroDoc.h"
#include "dialogs/CDialog.h"
#include "dialogs/CSetupMIDIMetronomeDlg.h"
#include "platform/RtMidiBackend.h"
#include "res/ResourceIds.h"
#include "support/TestSupport.h"
#include "view/CTessaroView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace synthtest;

// Answers the next modal dialog with a click on one of its buttons, after
// what `first` does with it.
void AnswerNextDialog(int button, std::function<void(CDialog*)> first = nullptr)
{
    QTimer::singleShot(0, [button, first] {
        auto* dlg = qobject_cast<CDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr) << "no dialog came up";
        if (first)
            first(dlg);
        auto* answer = dlg->GetDlgItem<QAbstractButton>(button);
        ASSERT_NE(answer, nullptr);
        answer->click();
    });
}

class SynthAcrossDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!SoundFontInstalled())
            GTEST_SKIP() << "no General MIDI SoundFont installed";
        kvtest::ClearProfile();
        m_pSynth = OfflineSynth();
        MidiSystem::Install(std::make_unique<CRtMidiBackend>(0u, m_pSynth));
        m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
        m_pView = m_pFrame->GetActiveView();
        ASSERT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER);
    }
    void TearDown() override
    {
        if (m_pFrame) {
            m_pFrame->close();
            delete m_pFrame;
        }
        MidiSystem::Install(nullptr);
    }

    // The violin at full volume, chosen through the view's port.
    void ChooseViolin()
    {
        EXPECT_EQ(m_pView->m_OutDevice.SendShortMsg(kViolin), MMSYSERR_NOERROR);
        EXPECT_EQ(m_pView->m_OutDevice.SendShortMsg(kFullVolume), MMSYSERR_NOERROR);
        Render(*m_pSynth, 0.1);
    }

    // Runs the command (its dialog answered already) and checks the port is back.
    void Run(unsigned command)
    {
        // Select Output Device is disabled in the menu while the synthesizer
        // is the only output; the view's command runs all the same.
        QAction* action = m_pFrame->Action(command);
        if (action->isEnabled())
            action->trigger();
        else
            m_pView->OnCommand(command);
        kvtest::Drain();
        EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER) << "the port is not back";
    }

    // The test note through the view's port, as it sounds.
    Stereo PlayTestNote()
    {
        EXPECT_EQ(m_pView->m_OutDevice.SendShortMsg(kTestNoteOn), MMSYSERR_NOERROR);
        return Render(*m_pSynth, 0.5);
    }

    void ExpectViolinAtFullVolume(const Stereo& played)
    {
        static const Stereo violin = Reference(40, 127, 0.5);
        static const Stereo piano = Reference(0, 100, 0.5); // as after a reset
        EXPECT_LT(Distance(played, violin), 0.08) << "not the violin at full volume";
        EXPECT_GT(Distance(played, piano), 0.5);
        EXPECT_NEAR(Peak(played.left) / Peak(violin.left), 1.0, 0.05);
    }

    CTessaroDoc m_doc;
    std::shared_ptr<CBuiltinSynth> m_pSynth;
    CMainFrame* m_pFrame = nullptr;
    CTessaroView* m_pView = nullptr;
};

TEST_F(SynthAcrossDialogsTest, SetupMetronomeKeepsTheProgramAndVolume)
{
    // The dialog clicks its test on a port of its own meanwhile.
    AnswerNextDialog(IDOK, [](CDialog* dlg) {
        auto* test = dlg->GetDlgItem<QAbstractButton>(CSetupMIDIMetronomeDlg::IDC_TEST);
        ASSERT_NE(test, nullptr);
        test->click();
        test->click();
    });
    ChooseViolin();
    Run(ID_MIDI_SETUP_METRONOME);
    ExpectViolinAtFullVolume(PlayTestNote());
}

TEST_F(SynthAcrossDialogsTest, SetupOutputDefaultsCancelledKeepsTheProgramAndVolume)
{
    ChooseViolin();
    AnswerNextDialog(IDCANCEL);
    Run(ID_MIDI_SETUP_OUTPUT_DEFAULTS);
    ExpectViolinAtFullVolume(PlayTestNote());
}

TEST_F(SynthAcrossDialogsTest, SelectOutputDeviceCancelledKeepsTheProgramAndVolume)
{
    ChooseViolin();
    AnswerNextDialog(IDCANCEL);
    Run(ID_MIDI_SELECT_OUTPUT);
    ExpectViolinAtFullVolume(PlayTestNote());
}

TEST_F(SynthAcrossDialogsTest, AllThreeInTurnKeepTheProgramAndVolume)
{
    ChooseViolin();
    for (unsigned command :
         {ID_MIDI_SETUP_METRONOME, ID_MIDI_SETUP_OUTPUT_DEFAULTS, ID_MIDI_SELECT_OUTPUT}) {
        AnswerNextDialog(IDCANCEL);
        Run(command);
    }
    ExpectViolinAtFullVolume(PlayTestNote());
}

} // namespace
