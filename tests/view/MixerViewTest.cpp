// The mixer set-up after start-up, the slider, the mute box and the level
// meter, on the fake mixer.
#include "MessageBoxCatcher.h"
#include "ViewFixture.h"

#include "platform/FakeMixerBackend.h"
#include "platform/MixerLineTable.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>

namespace {

using namespace SystemMixerLayout;

class MixerViewTest : public ViewFixture {
protected:
    // The fake in place before the window, so its set-up finds it.
    explicit MixerViewTest(unsigned standardDevices = 1)
        : m_pFake(new CFakeMixerBackend(standardDevices)),
          m_mixer(std::unique_ptr<IMixerBackend>(m_pFake))
    {
    }
    void StartAndSetUp()
    {
        Start(1, 1);
        m_pView->m_MixerCheckTimer.stop();
        m_pView->OnMixerCheckTimer();
    }
    QSlider* Slider() const { return m_pView->m_pVolumeSlider; }

    CFakeMixerBackend* m_pFake;
    CScopedService<IMixerBackend> m_mixer;
};

TEST_F(MixerViewTest, TheSetUpComesOnceAfterAMomentAsksAboutAMutedMasterOnceAndRunsTheLine)
{
    m_pFake->SetValue(0, kSpeakersMute, 1);
    m_pFake->SetValue(0, kSynthMute, 1);
    m_pFake->SetValue(0, kSynthVolume, 40000);
    Start(1, 1);
    EXPECT_TRUE(m_pView->m_MixerCheckTimer.isActive());
    EXPECT_TRUE(m_pView->m_MixerCheckTimer.isSingleShot());
    {
        MessageBoxCatcher no(QMessageBox::No);
        ASSERT_TRUE(kvtest::WaitFor([&] { return m_pView->m_LevelMeterTimer.isActive(); }, 3000));
        EXPECT_EQ(no.texts, QStringList{"The master volume is currently muted.\nCan the line be unmuted?"});
    }
    // No: the master stays muted; the synthesizer's line is set up all the same.
    EXPECT_EQ(m_pFake->Value(0, kSpeakersMute), 1u);
    EXPECT_EQ(m_pFake->LastSet(0, kSynthMute), 0u);
    EXPECT_FALSE(m_pView->m_pMuteCheck->isChecked());
    EXPECT_TRUE(Slider()->isEnabled());
    EXPECT_EQ(Slider()->value(), 65535 - 40000);
    EXPECT_EQ(m_pView->m_pSliderCaption->text(), "Synthesizer");
    EXPECT_EQ(m_pFake->Opens().back().flags, CALLBACK_WINDOW);

    // The slider's bottom is silence, its top full volume; the box mutes the line.
    Slider()->setValue(Slider()->maximum());
    EXPECT_EQ(m_pFake->LastSet(0, kSynthVolume), 0u);
    Slider()->setValue(Slider()->minimum());
    EXPECT_EQ(m_pFake->LastSet(0, kSynthVolume), 65535u);
    for (uint32_t muted : {1u, 0u}) {
        m_pView->m_pMuteCheck->click();
        EXPECT_EQ(m_pFake->LastSet(0, kSynthMute), muted);
    }
    // The meter shows the level's magnitude; a failed read leaves the bar as it was.
    m_pFake->SetValue(0, kSynthPeak, static_cast<uint32_t>(-20000));
    m_pView->OnLevelMeterTimer();
    EXPECT_EQ(m_pView->m_pLevelMeter->value(), 20000);
    m_pFake->SetFailure(MixerCall::GetControlValue, kSynthPeak, MMSYSERR_ERROR);
    m_pFake->SetValue(0, kSynthPeak, 100);
    m_pView->OnLevelMeterTimer();
    EXPECT_EQ(m_pView->m_pLevelMeter->value(), 20000);
    Command(ID_VIEW_KEYBOARD); // the keyboard pane shows what the line has
    for (QWidget* w : {static_cast<QWidget*>(m_pView->m_pLevelMeter), static_cast<QWidget*>(m_pView->m_pMuteCheck),
                       static_cast<QWidget*>(Slider())})
        EXPECT_TRUE(w->isVisibleTo(m_pView));

    // A later set-up reopens and redoes the line without asking again.
    MessageBoxCatcher yes(QMessageBox::Yes);
    m_pView->OnMixerCheckTimer();
    QTest::qWait(50);
    EXPECT_TRUE(yes.texts.isEmpty());
    EXPECT_EQ(m_pFake->Value(0, kSpeakersMute), 1u);
    // The next start asks again, and Yes unmutes the master.
    Stop();
    StartAndSetUp();
    EXPECT_EQ(yes.texts.size(), 1);
    EXPECT_EQ(m_pFake->Value(0, kSpeakersMute), 0u);
}

class CustomMixerViewTest : public MixerViewTest {
protected:
    CustomMixerViewTest() : MixerViewTest(0) { m_nDev = m_pFake->AddDevice(); }
    void Speakers(uint32_t id, uint32_t type = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
    {
        m_pFake->AddDestination(m_nDev, CFakeMixerBackend::MakeLine(id, type, "Spk", "Speakers"));
    }
    void Synth(uint32_t destination, uint32_t id, const QString& name,
               uint32_t type = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER)
    {
        m_pFake->AddSource(m_nDev, destination, CFakeMixerBackend::MakeLine(id, type, "S", name));
        m_pFake->AddControl(m_nDev, id, CFakeMixerBackend::MakeControl(id + 1, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 65535, "Vol", "Volume"), 65535);
    }
    uint32_t m_nDev = 0;
};

TEST_F(CustomMixerViewTest, TheHigherSpeakersAndSynthesizerIndexWinAnOnOffSwitchIsAMuteAndNoMeterCentresTheSlider)
{
    Speakers(100);
    Speakers(200);
    // The master's only mute is an on-off switch, and it is off.
    m_pFake->AddControl(m_nDev, 200, CFakeMixerBackend::MakeControl(201, MIXERCONTROL_CONTROLTYPE_BOOLEAN, 0, 1, "On", "Switch"), 1);
    Synth(0, 110, "first speakers' synth");
    Synth(1, 210, "lower synth");
    Synth(1, 220, "higher synth");
    m_pFake->AddSource(m_nDev, 1, CFakeMixerBackend::MakeLine(230, 0x1003, "CD", "CD")); // not a synth
    MessageBoxCatcher yes(QMessageBox::Yes);
    StartAndSetUp();
    EXPECT_EQ(yes.texts.size(), 1);
    EXPECT_EQ(m_pFake->Value(m_nDev, 201), 0u);
    EXPECT_EQ(m_pView->m_dwSpeakersLineID, 200u);
    EXPECT_EQ(m_pView->m_dwSynthLineID, 220u);
    EXPECT_EQ(m_pView->m_pSliderCaption->text(), "higher synth");

    // No meter: no timer, the bar hidden, the slider under the middle of its caption.
    EXPECT_FALSE(m_pView->m_LevelMeterTimer.isActive());
    EXPECT_NEAR(Slider()->geometry().center().x(), m_pView->m_pSliderCaption->geometry().center().x(), 1);
    Command(ID_VIEW_KEYBOARD);
    EXPECT_FALSE(m_pView->m_pLevelMeter->isVisibleTo(m_pView));
    EXPECT_FALSE(m_pView->m_pMuteCheck->isVisibleTo(m_pView)); // nor a mute control
}

TEST_F(CustomMixerViewTest, AFailingLineQueryMeansNoLineAndAMeterMaximumAboveSixteenBitsIsCut)
{
    Speakers(100);
    Synth(0, 110, "synth");
    m_pFake->AddControl(m_nDev, 110, CFakeMixerBackend::MakeControl(120, MIXERCONTROL_CONTROLTYPE_PEAKMETER, 0, 0x18000, "Peak", "Peak"));
    m_pFake->SetFailure(MixerCall::GetLineInfo, 110, MMSYSERR_ERROR);
    StartAndSetUp();
    EXPECT_FALSE(Slider()->isEnabled()); // the search ends at the failed query

    m_pFake->ClearFailures();
    m_pView->OnMixerCheckTimer();
    EXPECT_EQ(m_pView->m_pLevelMeter->maximum(), 0x8000);
    EXPECT_TRUE(m_pView->m_LevelMeterTimer.isActive());
}

TEST_F(CustomMixerViewTest, NoMixerDeviceChangesNothing)
{
    m_pFake->SetDeviceCount(0);
    MessageBoxCatcher yes(QMessageBox::Yes);
    StartAndSetUp();
    EXPECT_FALSE(m_pView->m_Mixer.IsOpen());
    EXPECT_FALSE(Slider()->isEnabled());
    EXPECT_FALSE(m_pView->m_LevelMeterTimer.isActive());
    EXPECT_TRUE(yes.texts.isEmpty());
    EXPECT_TRUE(m_pFake->Sets().empty());
}

} // namespace
