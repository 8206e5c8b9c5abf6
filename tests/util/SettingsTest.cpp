#include "util/Settings.h"

#include "platform/Profile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(Settings, readDefaultsFromAnEmptyStoreAndTheOneValueBehindBothAutoLoginDefaults) {
    testing_support::CCleanProfile profile;
    EXPECT_TRUE(ReadFlag(SETTING_AUTOLOGIN_BOX));
    EXPECT_FALSE(ReadFlag(SETTING_AUTOLOGIN));
    EXPECT_TRUE(ReadFlag(SETTING_SOUND_ON));
    EXPECT_EQ(ReadSetting(SETTING_CHECK_TIME, "Prefs-kim"), 5);
    EXPECT_EQ(ReadSetting(SETTING_NEWS_FONT, "Prefs-kim"), "Times New Roman");
    // Reading never creates a value.
    EXPECT_EQ(GetProfileInt("Prefs", "autologin", -7), -7);

    WriteSetting(SETTING_AUTOLOGIN, 0);
    EXPECT_FALSE(ReadFlag(SETTING_AUTOLOGIN_BOX));
    WriteSetting(SETTING_AUTOLOGIN_BOX, 1);
    EXPECT_TRUE(ReadFlag(SETTING_AUTOLOGIN));
    // Any non-zero value is set, as it always was.
    WriteProfileInt("Prefs", "sound_on", -3);
    EXPECT_TRUE(ReadFlag(SETTING_SOUND_ON));
}

TEST(Settings, userValuesGoToTheGivenSectionOrPrefsAndAreClampedWhereRead) {
    testing_support::CCleanProfile profile;
    WriteSetting(SETTING_CHECK_TIME, 7, "Prefs-kim");
    EXPECT_EQ(GetProfileInt("Prefs-kim", "check_time", 0), 7);
    EXPECT_EQ(ReadSetting(SETTING_CHECK_TIME), 5);  // "Prefs", before anyone logged in
    WriteSetting(SETTING_CHECK_TIME, 9);
    EXPECT_EQ(GetProfileInt("Prefs", "check_time", 0), 9);

    for (const auto& [nStored, nRead] : {std::pair{0, 1}, {100000, 99}, {-5, 1}, {42, 42}}) {
        WriteProfileInt("Prefs-kim", "check_time", nStored);
        EXPECT_EQ(ReadSetting(SETTING_CHECK_TIME, "Prefs-kim"), nRead) << nStored;
    }
    WriteProfileInt("Prefs-kim", "news_fontsize", 1 << 30);
    EXPECT_EQ(ReadSetting(SETTING_NEWS_FONTSIZE, "Prefs-kim"), 500);
}
