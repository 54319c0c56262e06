// The fake mixer answers as the system's does (they share the line table):
// lines found by index and id, result codes for what is not there, values
// within bounds; and it fails, records and vanishes as a test asks.
#include "platform/FakeMixerBackend.h"
#include "platform/MixerLineTable.h"

#include <gtest/gtest.h>

namespace {

using namespace SystemMixerLayout;

TEST(FakeMixerBackendTest, NothingInstalledMeansNoMixer)
{
    IMixerBackend& backend = MixerSystem::Backend();
    EXPECT_EQ(backend.DeviceCount(), 0u);
    std::unique_ptr<IMixerDevice> device;
    EXPECT_EQ(backend.Open(0, 0, device), MMSYSERR_BADDEVICEID);
    EXPECT_FALSE(device);
}

TEST(FakeMixerBackendTest, LinesAndControlsAreFoundAndCheckedAsTheMixerDoes)
{
    CFakeMixerBackend fake;
    std::unique_ptr<IMixerDevice> mixer;
    ASSERT_EQ(fake.Open(0, CALLBACK_WINDOW, mixer), MMSYSERR_NOERROR);

    // The lines the mixer view finds (tests/view/MixerViewTest.cpp), by index and by id.
    MIXERLINE line;
    ASSERT_EQ(mixer->GetLineInfo(line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_NOERROR);
    EXPECT_EQ(line.dwComponentType, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
    line.dwSource = 0;
    ASSERT_EQ(mixer->GetLineInfo(line, MIXER_GETLINEINFOF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(line.dwLineID, kSynthLine);
    MIXERLINE byId;
    byId.dwLineID = kSynthLine;
    ASSERT_EQ(mixer->GetLineInfo(byId, MIXER_GETLINEINFOF_LINEID), MMSYSERR_NOERROR);
    EXPECT_EQ(byId.szName, line.szName);

    MIXERLINE missing;
    missing.dwDestination = 1;
    EXPECT_EQ(mixer->GetLineInfo(missing, MIXER_GETLINEINFOF_DESTINATION), MIXERR_INVALLINE);
    missing.dwDestination = 0;
    missing.dwSource = 1;
    EXPECT_EQ(mixer->GetLineInfo(missing, MIXER_GETLINEINFOF_SOURCE), MIXERR_INVALLINE);
    EXPECT_EQ(mixer->GetLineInfo(missing, 0x7), MMSYSERR_INVALPARAM);

    MIXERCONTROL meter;
    ASSERT_EQ(mixer->GetLineControl(kSynthLine, MIXERCONTROL_CONTROLTYPE_PEAKMETER, meter), MMSYSERR_NOERROR);
    EXPECT_EQ(int32_t(meter.Bounds.dwMinimum), -32768);
    EXPECT_EQ(mixer->GetLineControl(kSpeakersLine, MIXERCONTROL_CONTROLTYPE_PEAKMETER, meter), MIXERR_INVALCONTROL);
    EXPECT_EQ(mixer->GetLineControl(0x1234, MIXERCONTROL_CONTROLTYPE_VOLUME, meter), MIXERR_INVALLINE);

    EXPECT_EQ(mixer->SetControlValue(kSynthVolume, 65536), MIXERR_INVALVALUE);
    EXPECT_EQ(mixer->SetControlValue(kSynthPeak, 0), MMSYSERR_INVALPARAM); // meters are only read
    EXPECT_EQ(mixer->SetControlValue(99, 0), MIXERR_INVALCONTROL);
    EXPECT_FALSE(fake.LastSet(0, kSpeakersMute));
    ASSERT_EQ(mixer->SetControlValue(kSpeakersMute, 1), MMSYSERR_NOERROR);
    EXPECT_EQ(fake.LastSet(0, kSpeakersMute), 1u);
    EXPECT_EQ(fake.Sets().size(), 4u) << "refused sets are recorded too";

    // A signed control takes values within its signed bounds.
    fake.AddDestination(0, CFakeMixerBackend::MakeLine(7, 0x1, "Pan", "Panned"));
    ASSERT_TRUE(fake.AddControl(0, 7, CFakeMixerBackend::MakeControl(70, 0x40020001, uint32_t(-10), 10, "B", "Bal")));
    EXPECT_EQ(mixer->SetControlValue(70, uint32_t(-5)), MMSYSERR_NOERROR);
    EXPECT_EQ(mixer->SetControlValue(70, uint32_t(-11)), MIXERR_INVALVALUE);
}

TEST(FakeMixerBackendTest, ChosenFailuresAndVanishingDevices)
{
    CFakeMixerBackend fake(2);
    std::unique_ptr<IMixerDevice> mixer;
    fake.SetFailure(MixerCall::Open, 0, MMSYSERR_ALLOCATED);
    EXPECT_EQ(fake.Open(0, 0, mixer), MMSYSERR_ALLOCATED);
    ASSERT_EQ(fake.Open(1, 0, mixer), MMSYSERR_NOERROR);

    // The speakers' line fails however it is asked for; the synthesizer's works.
    fake.SetFailure(MixerCall::GetLineInfo, kSpeakersLine, MMSYSERR_ERROR);
    MIXERLINE line;
    EXPECT_EQ(mixer->GetLineInfo(line, MIXER_GETLINEINFOF_DESTINATION), MMSYSERR_ERROR);
    EXPECT_EQ(mixer->GetLineInfo(line, MIXER_GETLINEINFOF_SOURCE), MMSYSERR_NOERROR);
    fake.SetFailure(MixerCall::GetControlValue, MMSYSERR_NODRIVER);
    uint32_t value = 0;
    EXPECT_EQ(mixer->GetControlValue(kSynthVolume, value), MMSYSERR_NODRIVER);
    fake.ClearFailures();
    EXPECT_EQ(mixer->GetControlValue(kSynthVolume, value), MMSYSERR_NOERROR);

    fake.SetDeviceCount(0);
    EXPECT_EQ(mixer->GetControlValue(kSynthVolume, value), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(fake.OpenHandles(), 1u);
    mixer.reset();
    EXPECT_EQ(fake.OpenHandles(), 0u);
    EXPECT_EQ(fake.Open(0, 0, mixer), MMSYSERR_BADDEVICEID);
}

} // namespace
