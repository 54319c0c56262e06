// The system mixer against a real PulseAudio server of the test's own,
// through ALSA's pulse plugin as on a desktop: the master follows the sink
// both ways, and with no server there is no mixer, at once. (The
// synthesizer's line, through this mixer: MixerWindowPulseTest.)
#include "PulseTestServer.h"

#include "platform/AlsaMixer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>

namespace {

class AlsaMixerPulseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PulseTestServer::Available())
            GTEST_SKIP() << "pulseaudio, pulseaudio-utils or libasound2-plugins is not installed";
        ASSERT_TRUE(m_server.Start()) << qPrintable(m_server.Log());
        ASSERT_EQ(m_backend.Open(0, CALLBACK_WINDOW, m_pMixer), MMSYSERR_NOERROR);
    }
    // The master's control of that type, found as the program finds it.
    uint32_t ControlId(uint32_t controlType)
    {
        MIXERLINE line;
        EXPECT_EQ(m_pMixer->GetLineInfo(line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_NOERROR);
        MIXERCONTROL control;
        EXPECT_EQ(m_pMixer->GetLineControl(line.dwLineID, controlType, control), MMSYSERR_NOERROR);
        return control.dwControlID;
    }
    int Read(uint32_t controlId)
    {
        uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(m_pMixer->GetControlValue(controlId, value), MMSYSERR_NOERROR);
        return static_cast<int32_t>(value);
    }

    PulseTestServer m_server; // outlives the mixer
    CAlsaMixerBackend m_backend;
    std::unique_ptr<IMixerDevice> m_pMixer;
};

TEST_F(AlsaMixerPulseTest, MasterFollowsTheSinkBothWaysAndNoServerMeansNoMixerAtOnce)
{
    const uint32_t mute = ControlId(MIXERCONTROL_CONTROLTYPE_MUTE);
    const uint32_t volume = ControlId(MIXERCONTROL_CONTROLTYPE_VOLUME);
    EXPECT_EQ(Read(mute), 0);
    EXPECT_EQ(Read(volume), 65535);

    // Changed by another program: the next reads see it.
    ASSERT_TRUE(m_server.SetSinkMute(true));
    EXPECT_TRUE(PulseTestServer::WaitFor([&] { return Read(mute) == 1; }));
    ASSERT_TRUE(m_server.SetSinkVolume(16384)); // 25 %
    EXPECT_TRUE(PulseTestServer::WaitFor([&] { return std::abs(Read(volume) - 16384) <= 2; }))
        << Read(volume);

    // Changed here: the server has it.
    ASSERT_EQ(m_pMixer->SetControlValue(mute, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(PulseTestServer::WaitFor([this] { return m_server.SinkMute() == false; }));
    ASSERT_EQ(m_pMixer->SetControlValue(volume, 49152), MMSYSERR_NOERROR); // 75 %
    EXPECT_TRUE(PulseTestServer::WaitFor([this] {
        return std::abs(int(m_server.SinkVolume().value_or(0)) - 49152) <= 2;
    })) << m_server.SinkVolume().value_or(0);
    EXPECT_EQ(m_pMixer->SetControlValue(volume, 65536), MIXERR_INVALVALUE);

    // No server: no mixer, and no waiting for one; the same backend finds the
    // server once it is reachable.
    CAlsaMixerBackend backend;
    setenv("PULSE_SERVER", m_server.DeadAddress().toLocal8Bit().constData(), 1);
    QElapsedTimer timer;
    timer.start();
    const unsigned count = backend.DeviceCount();
    std::unique_ptr<IMixerDevice> mixer;
    const MMRESULT opened = backend.Open(0, 0, mixer);
    EXPECT_LT(timer.elapsed(), 2000) << "no server must not be waited for";
    if (!QFileInfo::exists(QStringLiteral("/dev/snd"))) { // no card to fall back to either
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(opened, MMSYSERR_BADDEVICEID);
        EXPECT_FALSE(mixer);
    }
    setenv("PULSE_SERVER", m_server.ServerAddress().toLocal8Bit().constData(), 1);
    EXPECT_EQ(backend.DeviceCount(), 1u);
}

} // namespace
