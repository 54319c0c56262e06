// The system mixer against a real PulseAudio server of the test's own,
// through ALSA's pulse plugin as on a desktop: the master follows the sink
// both ways, the synthesizer's line decides what the sink really plays and
// meters it, and with no server there is no mixer, at once.
#include "PulseTestServer.h"
#include "SynthTestSupport.h"

#include "platform/AlsaMixer.h"
#include "platform/SynthLine.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace {

using namespace synthtest;

class AlsaMixerPulseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (PulseTestServer::Available())
            s_bStarted = Server().Start();
    }
    static void TearDownTestSuite() { Server().Stop(); }

    void SetUp() override
    {
        if (!PulseTestServer::Available())
            GTEST_SKIP() << "pulseaudio, pulseaudio-utils or libasound2-plugins is not installed";
        ASSERT_TRUE(s_bStarted) << qPrintable(Server().Log());
        ASSERT_TRUE(Server().SetSinkMute(false) && Server().SetSinkVolume(65536));
        ASSERT_EQ(m_backend.Open(0, CALLBACK_WINDOW, m_pMixer), MMSYSERR_NOERROR);
    }
    void TearDown() override
    {
        CSynthLine::Instance().SetVolume(CSynthLine::kMaxVolume);
        CSynthLine::Instance().SetMute(false);
    }

    static PulseTestServer& Server()
    {
        static PulseTestServer server;
        return server;
    }

    // The control of that type on the master (destination) or synthesizer
    // (source) line, found as the program finds it.
    uint32_t ControlId(uint32_t fdwInfo, uint32_t controlType)
    {
        MIXERLINE line;
        EXPECT_EQ(m_pMixer->GetLineInfo(line, fdwInfo), MMSYSERR_NOERROR);
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

    static inline bool s_bStarted = false;
    CAlsaMixerBackend m_backend;
    std::unique_ptr<IMixerDevice> m_pMixer;
};

TEST_F(AlsaMixerPulseTest, NoServerMeansNoMixerAtOnceAndAServerIsFoundWhenItComes)
{
    CAlsaMixerBackend backend;
    setenv("PULSE_SERVER", Server().DeadAddress().toLocal8Bit().constData(), 1);
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
    // The same backend finds the server once it is reachable.
    setenv("PULSE_SERVER", Server().ServerAddress().toLocal8Bit().constData(), 1);
    EXPECT_EQ(backend.DeviceCount(), 1u);
}

TEST_F(AlsaMixerPulseTest, MasterFollowsTheSinkBothWays)
{
    const uint32_t mute = ControlId(MIXER_GETLINEINFOF_DESTINATION, MIXERCONTROL_CONTROLTYPE_MUTE);
    const uint32_t volume = ControlId(MIXER_GETLINEINFOF_DESTINATION, MIXERCONTROL_CONTROLTYPE_VOLUME);
    EXPECT_EQ(Read(mute), 0);
    EXPECT_EQ(Read(volume), 65535);

    // Changed by another program: the next reads see it.
    ASSERT_TRUE(Server().SetSinkMute(true));
    EXPECT_TRUE(PulseTestServer::WaitFor([&] { return Read(mute) == 1; }));
    ASSERT_TRUE(Server().SetSinkVolume(16384)); // 25 %
    EXPECT_TRUE(PulseTestServer::WaitFor([&] { return std::abs(Read(volume) - 16384) <= 2; }))
        << Read(volume);

    // Changed here: the server has it.
    ASSERT_EQ(m_pMixer->SetControlValue(mute, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(PulseTestServer::WaitFor([] { return Server().SinkMute() == false; }));
    ASSERT_EQ(m_pMixer->SetControlValue(volume, 49152), MMSYSERR_NOERROR); // 75 %
    EXPECT_TRUE(PulseTestServer::WaitFor([] {
        return std::abs(int(Server().SinkVolume().value_or(0)) - 49152) <= 2;
    })) << Server().SinkVolume().value_or(0);
    EXPECT_EQ(m_pMixer->SetControlValue(volume, 65536), MIXERR_INVALVALUE);
}

TEST_F(AlsaMixerPulseTest, SynthesizerLineDecidesWhatTheSinkPlaysAndMetersIt)
{
    if (!SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    const uint32_t volume = ControlId(MIXER_GETLINEINFOF_SOURCE, MIXERCONTROL_CONTROLTYPE_VOLUME);
    const uint32_t mute = ControlId(MIXER_GETLINEINFOF_SOURCE, MIXERCONTROL_CONTROLTYPE_MUTE);
    const uint32_t peak = ControlId(MIXER_GETLINEINFOF_SOURCE, MIXERCONTROL_CONTROLTYPE_PEAKMETER);
    ASSERT_NE(volume, ControlId(MIXER_GETLINEINFOF_DESTINATION, MIXERCONTROL_CONTROLTYPE_VOLUME));

    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetAudioDrivers({QStringLiteral("pulseaudio")});
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR) << qPrintable(synth->Problem());
    ASSERT_EQ(port->ShortMsg(0x000050C0), MMSYSERR_NOERROR); // square lead: it holds
    ASSERT_EQ(port->ShortMsg(0x00643C90), MMSYSERR_NOERROR); // C4 held throughout

    // What the sink plays once a change has had time to come through.
    const auto heard = [] {
        QThread::msleep(300);
        return Server().Record(600);
    };
    ASSERT_EQ(m_pMixer->SetControlValue(volume, 0), MMSYSERR_NOERROR);
    const PulseTestServer::Level silent = heard();
    EXPECT_GT(silent.frames, 10000) << "the recording did not run";
    EXPECT_LT(silent.peak, 1e-4f) << "volume 0 still sounds";

    ASSERT_EQ(m_pMixer->SetControlValue(volume, 65535), MMSYSERR_NOERROR);
    EXPECT_GT(heard().peak, 0.01f) << "the note is not heard at full volume";
    EXPECT_TRUE(PulseTestServer::WaitFor([&] { return Read(peak) > 1000; })) << Read(peak);

    ASSERT_EQ(m_pMixer->SetControlValue(mute, 1), MMSYSERR_NOERROR);
    EXPECT_EQ(Read(mute), 1);
    EXPECT_LT(heard().peak, 1e-4f) << "muted, it still sounds";
    EXPECT_TRUE(PulseTestServer::WaitFor([&] { return Read(peak) == 0; }));

    // Sounding again, then the output stops: the meter falls to nothing
    // although no block comes any more.
    ASSERT_EQ(m_pMixer->SetControlValue(mute, 0), MMSYSERR_NOERROR);
    ASSERT_TRUE(PulseTestServer::WaitFor([&] { return Read(peak) > 1000; })) << Read(peak);
    port.reset();
    EXPECT_FALSE(synth->AudioRunning());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(PulseTestServer::WaitFor([&] { return Read(peak) == 0; }));
    EXPECT_LT(timer.elapsed(), 1500) << "the meter took too long to fall";
}

} // namespace
