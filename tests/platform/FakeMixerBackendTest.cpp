// The mixer's line table, through the fake that shares it with the system
// mixer: lines found by index and id, result codes for what is not there,
// values within bounds. The failures and vanishing devices the fake plays for
// a test are relied on, and so checked, by tests/view/MixerViewTest.cpp.
#include "platform/FakeMixerBackend.h"
#include "platform/MixerLineTable.h"

#include <gtest/gtest.h>

namespace {

using namespace SystemMixerLayout;

TEST(FakeMixerBackendTest, LinesAndControlsAreFoundAndCheckedAsTheMixerDoes)
{
    // Nothing installed: no mixer.
    std::unique_ptr<IMixerDevice> mixer;
    EXPECT_EQ(MixerSystem::Backend().DeviceCount(), 0u);
    EXPECT_EQ(MixerSystem::Backend().Open(0, 0, mixer), MMSYSERR_BADDEVICEID);
    EXPECT_FALSE(mixer);

    CFakeMixerBackend fake;
    ASSERT_EQ(fake.Open(0, CALLBACK_WINDOW, mixer), MMSYSERR_NOERROR);
    // Lines that are not there are refused, as are unknown ways of looking.
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
    EXPECT_EQ(fake.Sets().size(), 3u) << "refused sets are recorded too";

    // A signed control compares its values signed.
    fake.AddDestination(0, CFakeMixerBackend::MakeLine(7, 0x1, "Pan", "Panned"));
    ASSERT_TRUE(fake.AddControl(0, 7, CFakeMixerBackend::MakeControl(70, 0x40020001, uint32_t(-10), 10, "B", "Bal")));
    EXPECT_EQ(mixer->SetControlValue(70, uint32_t(-5)), MMSYSERR_NOERROR);
    EXPECT_EQ(mixer->SetControlValue(70, uint32_t(-11)), MIXERR_INVALVALUE);
}

} // namespace
