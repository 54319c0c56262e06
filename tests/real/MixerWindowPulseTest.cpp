// The real main window against a PulseAudio server of the test's own, with
// the system mixer in place as the program installs it and its output the
// built-in synthesizer playing through the server: a muted master is asked
// about, and each answer is what the server keeps; the slider and the mute
// box decide what the sink really plays while a PC key is held, and the box
// follows the line when File > New sets it up again; the level meter rises
// with the note and is back at 0 about a second after it ends.
#include "PulseTestServer.h"
#include "SynthTestSupport.h"

#include "platform/MixerBackend.h"
#include "platform/RtMidiBackend.h"
#include "platform/Settings.h"
#include "platform/SynthLine.h"
#include "view/MessageBoxCatcher.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>

#include <optional>

namespace {

using namespace synthtest;

const QString kMasterMutedQuestion =
    QStringLiteral("The master volume is currently muted.\nCan the line be unmuted?");

class MixerWindowPulseTest : public WindowTest {
protected:
    void SetUp() override
    {
        if (!PulseTestServer::Available())
            GTEST_SKIP() << "pulseaudio, pulseaudio-utils or libasound2-plugins is not installed";
        if (!SoundFontInstalled())
            GTEST_SKIP() << "no General MIDI SoundFont installed";
        WindowTest::SetUp();
        ASSERT_TRUE(m_server.Start()) << qPrintable(m_server.Log());
        // A square lead holds its note at full strength while the key is down.
        Settings::Write(Settings::Patch, 80);
        ResetSynthLine();
        MixerSystem::InstallSystemMixer();
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        CService<IMixerBackend>::Install(nullptr);
        ResetSynthLine();
    }
    static void ResetSynthLine()
    {
        CSynthLine::Instance().SetVolume(CSynthLine::kMaxVolume);
        CSynthLine::Instance().SetMute(false);
    }

    // The window as start-up makes it, on the built-in synthesizer heard only
    // through the test's server; returns once the mixer set-up has run (its
    // last step starts the meter's timer).
    void StartProgram()
    {
        auto synth = std::make_shared<CBuiltinSynth>();
        synth->SetAudioDrivers({QStringLiteral("pulseaudio")});
        MidiSystem::Install(std::make_unique<CRtMidiBackend>(0u, synth));
        m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
        m_pView = m_pFrame->GetActiveView();
        ASSERT_NO_FATAL_FAILURE(Activate(m_pFrame));
        ASSERT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER) << qPrintable(synth->Problem());
        ASSERT_TRUE(kvtest::WaitFor([this] { return m_pView->m_LevelMeterTimer.isActive(); }, 5000))
            << "the mixer set-up did not run";
    }

    // R on the PC keyboard: middle C.
    void Key(QEvent::Type type)
    {
        QKeyEvent e(type, Qt::Key_R, Qt::NoModifier, QStringLiteral("r"));
        QWidget* target = QApplication::focusWidget();
        QApplication::sendEvent(target ? target : m_pFrame, &e);
    }
    bool Held() const { return m_pView->m_PCKeySlots[6].IsHeld(); }

    // The slider's top is full volume, its bottom silence.
    void SetSlider(bool top)
    {
        QSlider* slider = m_pView->m_pVolumeSlider;
        slider->setValue(top ? slider->minimum() : slider->maximum());
    }

    // What the sink plays once a change has had time to come through.
    PulseTestServer::Level Heard()
    {
        QTest::qWait(300);
        return m_server.Record(600);
    }

    PulseTestServer m_server; // outlives the window
    // Answers every question, keeping its text: one nobody expected is
    // answered, not waited for.
    std::optional<MessageBoxCatcher> m_answerer;
};

// One start per answer: a window on the server takes a while to set up.
TEST_F(MixerWindowPulseTest, AMutedMasterIsAskedAboutAndTheLineDecidesWhatTheSinkPlaysAndMeters)
{
    // No keeps the sink muted; Yes unmutes it, and that window plays on.
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "Yes" : "No");
        Stop();
        ASSERT_TRUE(m_server.SetSinkMute(true));
        m_answerer.emplace(answer);
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        EXPECT_EQ(m_answerer->texts, QStringList{kMasterMutedQuestion});
        if (answer == QMessageBox::Yes) {
            EXPECT_TRUE(PulseTestServer::WaitFor([this] { return m_server.SinkMute() == false; }))
                << "Yes left the sink muted";
        } else {
            QTest::qWait(300);
            EXPECT_EQ(m_server.SinkMute(), true) << "No unmuted the sink";
        }
        // The synthesizer's line either way: full volume at the slider's top,
        // its name above it, its mute unchecked beside the meter.
        QSlider* slider = m_pView->m_pVolumeSlider;
        EXPECT_TRUE(slider->isEnabled());
        EXPECT_EQ(slider->value(), slider->minimum());
        EXPECT_FALSE(m_pView->m_pSliderCaption->text().isEmpty());
        for (QWidget* w : {static_cast<QWidget*>(slider), static_cast<QWidget*>(m_pView->m_pLevelMeter),
                           static_cast<QWidget*>(m_pView->m_pMuteCheck)})
            EXPECT_TRUE(w->isVisible()) << qPrintable(w->objectName());
        EXPECT_FALSE(m_pView->m_pMuteCheck->isChecked());
    }

    // The meter rises with a held note, played once the window has the
    // keyboard back from the question.
    ASSERT_NO_FATAL_FAILURE(Activate(m_pFrame));
    QProgressBar* meter = m_pView->m_pLevelMeter;
    EXPECT_LE(meter->value(), 0); // nothing set yet (a bar never set reads -1)
    Key(QEvent::KeyPress);
    ASSERT_TRUE(Held()) << "the key played nothing";
    EXPECT_TRUE(kvtest::WaitFor([meter] { return meter->value() > meter->maximum() / 20; }, 3000))
        << "the meter shows " << meter->value() << " while the note sounds";

    // The slider and the mute box decide what the sink plays meanwhile.
    SetSlider(false);
    ASSERT_EQ(CSynthLine::Instance().Volume(), 0u);
    const PulseTestServer::Level bottom = Heard();
    EXPECT_GT(bottom.frames, 10000) << "the recording did not run";
    EXPECT_LT(bottom.peak, 1e-4f) << "the slider's bottom still sounds";
    SetSlider(true);
    ASSERT_EQ(CSynthLine::Instance().Volume(), CSynthLine::kMaxVolume);
    EXPECT_GT(Heard().peak, 0.01f) << "the held note is not heard at the slider's top";
    QTest::mouseClick(m_pView->m_pMuteCheck, Qt::LeftButton);
    ASSERT_TRUE(m_pView->m_pMuteCheck->isChecked());
    EXPECT_LT(Heard().peak, 1e-4f) << "checked, the mute box lets the note through";
    QTest::mouseClick(m_pView->m_pMuteCheck, Qt::LeftButton);
    EXPECT_GT(Heard().peak, 0.01f) << "unchecked, the note stays silent";

    // Released, the meter is back at 0 after the note's release, the meter's
    // fall and one tick of the meter's timer.
    ASSERT_TRUE(kvtest::WaitFor([meter] { return meter->value() > meter->maximum() / 20; }, 3000));
    Key(QEvent::KeyRelease);
    ASSERT_TRUE(kvtest::WaitFor([this] { return !Held(); }, 1000)) << "the key never let go";
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(kvtest::WaitFor([meter] { return meter->value() == 0; }, 5000))
        << "the meter still shows " << meter->value();
    EXPECT_LT(timer.elapsed(), 1800) << "the meter took too long to fall";

    // File > New (in the log pane) sets the line up again, which unmutes it:
    // the box must not go on showing a mute.
    QTest::mouseClick(m_pView->m_pMuteCheck, Qt::LeftButton);
    ASSERT_TRUE(m_pView->m_pMuteCheck->isChecked());
    Command(ID_VIEW_MIDI_INPUT);
    Command(ID_FILE_NEW);
    ASSERT_TRUE(m_pView->m_MixerCheckTimer.isActive());
    ASSERT_TRUE(kvtest::WaitFor([this] { return !m_pView->m_MixerCheckTimer.isActive(); }, 3000));
    EXPECT_FALSE(CSynthLine::Instance().Mute());
    EXPECT_FALSE(m_pView->m_pMuteCheck->isChecked()) << "the box shows a mute the line no longer has";
}

} // namespace
