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

class NoMixerViewTest : public MixerViewTest {
protected:
    NoMixerViewTest() : MixerViewTest(0) {}
};

TEST_F(NoMixerViewTest, NoMixerDeviceChangesNothing)
{
    MessageBoxCatcher yes(QMessageBox::Yes);
    StartAndSetUp();
    EXPECT_FALSE(m_pView->m_Mixer.IsOpen());
    EXPECT_FALSE(Slider()->isEnabled());
    EXPECT_FALSE(m_pView->m_LevelMeterTimer.isActive());
    EXPECT_TRUE(yes.texts.isEmpty());
    EXPECT_TRUE(m_pFake->Sets().empty());
}

} // namespace
