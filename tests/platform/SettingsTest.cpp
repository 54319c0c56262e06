// The profile table: what a new row could get wrong, and the read rules.
#include "platform/Profile.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

TEST(SettingsTable, NamesAreShortAndUniqueAndDefaultsReadBack)
{
    kvtest::ClearProfile();
    std::set<std::string> keys;
    for (const ProfileSetting* row : Settings::kAll) {
        const std::string key = std::string(row->section) + "/" + row->entry;
        EXPECT_LE(std::strlen(row->entry), 7u) << key;
        EXPECT_TRUE(keys.insert(key).second) << key << " is in the table twice";
        if (row->mask != 0)
            EXPECT_EQ(row->defaultValue & row->mask, row->defaultValue) << key;
        else
            EXPECT_TRUE(row->Contains(row->defaultValue)) << key;
        // An empty profile reads as the defaults.
        EXPECT_EQ(Settings::Read(*row), row->defaultValue) << key;
    }
}

TEST(SettingsTable, ReadsBringValuesIntoRangeAndWritesRoundTrip)
{
    kvtest::ClearProfile();
    Settings::Write(Settings::Channel, 15);
    EXPECT_EQ(Settings::Read(Settings::Channel), 15);
    Settings::Write(Settings::Channel, 16);
    EXPECT_EQ(Settings::Read(Settings::Channel), 0);
    Settings::Write(Settings::Patch, -1); // "none" is in range
    EXPECT_EQ(Settings::Read(Settings::Patch), -1);
    Settings::Write(Settings::DumpAttributes, 0xFF);
    EXPECT_EQ(Settings::Read(Settings::DumpAttributes), 1 | 4 | 8);
    // A device stored under a section of the caller's own.
    Profile::WriteProfileInt("MetOut", "DevID", 2);
    EXPECT_EQ(Settings::Read(Settings::OutDeviceID, "MetOut"), 2);
    EXPECT_EQ(Settings::Read(Settings::OutDeviceID), -100);
}
