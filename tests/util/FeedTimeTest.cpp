#include "util/FeedTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

std::time_t Utc(int nYear, int nMonth, int nDay, int nHour, int nMinute) {
    std::tm tm{};
    tm.tm_year = nYear - 1900;
    tm.tm_mon = nMonth - 1;
    tm.tm_mday = nDay;
    tm.tm_hour = nHour;
    tm.tm_min = nMinute;
    return timegm(&tm);
}

}  // namespace

TEST(ParseFeedTime, readsTwelveHourAndTwentyFourHourTimesAsUtc) {
    EXPECT_EQ(ParseFeedTime("Dec 6 2001 5:43PM"), Utc(2001, 12, 6, 17, 43));
    EXPECT_EQ(ParseFeedTime("Dec 6 2001 17:43"), Utc(2001, 12, 6, 17, 43));
    EXPECT_EQ(ParseFeedTime("Jan 15 2001 3:45AM"), Utc(2001, 1, 15, 3, 45));
    EXPECT_EQ(ParseFeedTime("jan 15 2001 3:45pm"), Utc(2001, 1, 15, 15, 45));
    EXPECT_EQ(ParseFeedTime("JUL 4 2024 9:05PM"), Utc(2024, 7, 4, 21, 5));
}

TEST(ParseFeedTime, readsNoonAndMidnightOnTheTwelveHourClock) {
    EXPECT_EQ(ParseFeedTime("Mar 1 2002 12:30PM"), Utc(2002, 3, 1, 12, 30));
    EXPECT_EQ(ParseFeedTime("Mar 1 2002 12:30AM"), Utc(2002, 3, 1, 0, 30));
}

TEST(ParseFeedTime, carriesOutOfRangeFieldsIntoNeighbours) {
    EXPECT_EQ(ParseFeedTime("Dec 31 2001 25:10"), Utc(2002, 1, 1, 1, 10));
    EXPECT_EQ(ParseFeedTime("Feb 30 2001 1:00AM"), Utc(2001, 3, 2, 1, 0));
}

TEST(ParseFeedTime, givesZeroForTextNotInFiveParts) {
    for (const char* psz : {"", "Dec 6 2001 5:43 PM", "Dec 6 2001", "Dec 6 2001 5:43PM extra",
                            "yesterday", "Foo 6 2001 5:43PM"}) {
        EXPECT_EQ(ParseFeedTime(psz), 0) << psz;
    }
}

TEST(ParseFeedTime, doesNotDependOnTheLocalZoneOrDaylightSaving) {
    const char* pszOld = std::getenv("TZ");
    std::string strOld = pszOld ? pszOld : "";
    for (const char* pszZone : {"America/New_York", "Australia/Sydney", "UTC"}) {
        setenv("TZ", pszZone, 1);
        tzset();
        EXPECT_EQ(ParseFeedTime("Jul 4 2024 9:05PM"), Utc(2024, 7, 4, 21, 5)) << pszZone;
        EXPECT_EQ(ParseFeedTime("Jan 4 2024 9:05PM"), Utc(2024, 1, 4, 21, 5)) << pszZone;
    }
    if (pszOld) {
        setenv("TZ", strOld.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}
