// The main window on the built-in synthesizer (rendering offline): the dialogs
// that close and reopen the output port around them leave the synth with the
// program and volume the user chose, as a hardware synthesizer would.
#include "SynthTestSupport.h"

#include "dialogs/CDialog.h"
#include "dialogs/CSetupMIDIMetronomeDlg.h"
#include "platform/RtMidiBackend.h"
#include "res/ResourceIds.h"
#include "view/ViewFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

namespace {

using namespace synthtest;

class SynthAcrossDialogsTest : public ViewFixture {
protected:
    void TearDown() override
    {
        ViewFixture::TearDown();
        MidiSystem::Install(nullptr);
    }
};

TEST_F(SynthAcrossDialogsTest, DialogsThatReopenThePortKeepTheProgramAndVolume)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto synth = OfflineSynth();
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(0u, synth));
    m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
    CMIDIOutDevice& out = m_pFrame->GetActiveView()->m_OutDevice;
    ASSERT_EQ(out.QueryOpenDeviceID(), MIDI_MAPPER);
    EXPECT_EQ(out.SendShortMsg(kViolin), MMSYSERR_NOERROR);
    EXPECT_EQ(out.SendShortMsg(kFullVolume), MMSYSERR_NOERROR);
    const std::vector<float> violin = Reference(40, 127, 0.5);

    // The buttons clicked in each dialog: the metronome dialog's test plays on
    // a port of its own meanwhile.
    const int test = CSetupMIDIMetronomeDlg::IDC_TEST;
    const struct {
        unsigned command;
        std::vector<int> clicks;
    } steps[] = {{ID_MIDI_SETUP_METRONOME, {test, test, IDOK}},
                 {ID_MIDI_SETUP_OUTPUT_DEFAULTS, {IDCANCEL}},
                 {ID_MIDI_SELECT_OUTPUT, {IDCANCEL}}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.command);
        QTimer::singleShot(0, [clicks = step.clicks] {
            auto* dlg = qobject_cast<CDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr) << "no dialog came up";
            for (int id : clicks) {
                auto* button = dlg->GetDlgItem<QAbstractButton>(id);
                ASSERT_NE(button, nullptr);
                button->click();
            }
        });
        // Select Output Device is disabled in the menu while the synthesizer is
        // the only output; the view's command runs all the same.
        m_pFrame->GetActiveView()->OnCommand(step.command);
        kvtest::Drain();
        ASSERT_EQ(out.QueryOpenDeviceID(), MIDI_MAPPER) << "the port is not back";
        EXPECT_EQ(out.SendShortMsg(kTestNoteOn), MMSYSERR_NOERROR);
        EXPECT_LT(Distance(Render(*synth, 0.5), violin), 0.08) << "not the violin at full volume";
        EXPECT_EQ(out.SendShortMsg(kTestNoteOff), MMSYSERR_NOERROR);
    }
}

} // namespace
