// The profile table: what a new row could get wrong, and the read rules.
#include "platform/Profile.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>

TEST(SettingsTable, NamesAreShortAndUniqueAndReadsComeInRange)
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

    // Reads bring stored values into range; writes round-trip.
    for (const auto& [row, written, read] : {std::tuple{&Settings::Channel, 15, 15}, {&Settings::Channel, 16, 0},
                                             {&Settings::Patch, -1, -1}, // "none" is in range
                                             {&Settings::DumpAttributes, 0xFF, 1 | 4 | 8}}) {
        Settings::Write(*row, written);
        EXPECT_EQ(Settings::Read(*row), read) << row->entry << " " << written;
    }
    // A device stored under a section of the caller's own.
    Profile::WriteProfileInt("MetOut", "DevID", 2);
    EXPECT_EQ(Settings::Read(Settings::OutDeviceID, "MetOut"), 2);
    EXPECT_EQ(Settings::Read(Settings::OutDeviceID), -100);
}
