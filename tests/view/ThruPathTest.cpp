// The thru path without a window: the filter and the move to the default
// channel, status by status.
#include "midi/MIDIOutDevice.h"
#include "view/CThruPath.h"
#include "view/CViewSettings.h"

#include <gtest/gtest.h>

namespace {

struct ThruPathTest : ::testing::Test {
    CViewSettings m_Settings; // the view's defaults: every filter flag set, channel 0
    CMIDIOutDevice m_Out;
    CThruPath m_Thru{m_Settings, m_Out};
};

TEST_F(ThruPathTest, FilterFlagsDropRealTimeAndActiveSensingOnly)
{
    // Flags (system real time, active sensing) and the first status dropped.
    const struct {
        int sysRealTime, activeSensing;
        unsigned firstDropped;
    } cases[] = {{1, 1, 0xF8}, {0, 1, 0xFE}, {0, 0, 0x100}};
    for (const auto& c : cases) {
        m_Settings.m_bFilterSysRealTime = c.sysRealTime;
        m_Settings.m_bFilterActiveSensing = c.activeSensing;
        for (unsigned s = 0x80; s <= 0xFF; ++s) {
            const bool dropped = s >= c.firstDropped;
            EXPECT_EQ(m_Thru.IsFiltered(s), dropped) << std::hex << s;
            const CThruPath::Route r = m_Thru.RouteIncoming(s);
            EXPECT_EQ(r.log, !dropped) << std::hex << s;
            EXPECT_EQ(r.pass.has_value(), !dropped) << std::hex << s;
        }
    }
}

TEST_F(ThruPathTest, ChannelMessagesMoveToTheDefaultChannelUnlessTheMidiInSwitchIsSet)
{
    m_Settings.m_nChannel = 3;
    // Note off to pitch bend move; program change and system messages keep their status.
    const std::pair<uint32_t, uint32_t> moved[] = {{0x00403C80, 0x00403C83}, {0x00400EE2, 0x00400EE3},
                                                   {0x000005C5, 0x000005C5}, {0x00000AF3, 0x00000AF3}};
    for (const auto& [in, out] : moved)
        EXPECT_EQ(m_Thru.RouteIncoming(in).pass, out) << std::hex << in;
    m_Settings.m_bUseMIDIIn = 1;
    for (const auto& [in, out] : moved)
        EXPECT_EQ(m_Thru.RouteIncoming(in).pass, in) << std::hex << in;
}

} // namespace
