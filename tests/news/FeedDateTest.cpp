#include "news/FeedDate.h"

#include <gtest/gtest.h>

namespace {

struct CDateCase {
    const char* pszText;
    std::time_t time;
};

// 2026-12-08 02:47:26 UTC and the same day's midnight.
constexpr std::time_t kUtc = 1796698046;
constexpr std::time_t kMidnight = 1796688000;

}  // namespace

TEST(FeedDate, readsRfc822DatesInAnyZone) {
    const CDateCase cases[] = {
        {"Tue, 08 Dec 2026 02:47:26 +0100", kUtc - 3600},
        {"Tue, 08 Dec 2026 02:47:26 -0800", kUtc + 8 * 3600},
        {"Tue, 08 Dec 2026 02:47:26 +01:00", kUtc - 3600},
        {"Tue, 08 Dec 2026 02:47:26 GMT", kUtc},
        {"Tue, 08 Dec 2026 02:47:26 UT", kUtc},
        {"Tue, 08 Dec 2026 02:47:26 utc", kUtc},
        {"Tue, 08 Dec 2026 02:47:26 Z", kUtc},
        {"Tue, 08 Dec 2026 02:47:26 EST", kUtc + 5 * 3600},
        {"Tue, 08 Dec 2026 02:47:26 EDT", kUtc + 4 * 3600},
        {"Tuesday, 08 December 2026 02:47:26 PDT", kUtc + 7 * 3600},
        {"Tue, 08 Dec 2026 02:47:26 CET", kUtc},  // a zone of no known offset: UTC
        {"Tue, 08 Dec 2026 02:47:26", kUtc},
        {"Tue, 08 Dec 2026 02:47:26 +0100 (CET)", kUtc - 3600},
        {"08 Dec 2026 02:47 -0500", kUtc - 26 + 5 * 3600},
        {"Tue,8 Dec 2026 2:47:26 GMT", kUtc},
        {"Dec 08 2026 02:47:26 GMT", kUtc},
        {"Tue, 08 Sept 2026 02:47:26 GMT", kUtc - 91 * 86400},
        {"Tue, 08 Dec 26 02:47:26 GMT", kUtc},
        {"Wed, 08 Dec 99 02:47:26 GMT", 944621246},
        {"Wed, 08 Dec 49 02:47:26 GMT", 2522544446},
        {"Sat, 13 Dec 103 18:30:02 GMT", 1071340202},
        {"Tue, 08 Dec 2026", kMidnight},
    };
    for (const CDateCase& c : cases) {
        EXPECT_EQ(ParseRfc822Date(c.pszText), c.time) << c.pszText;
        EXPECT_EQ(ParseFeedDate(c.pszText), c.time) << c.pszText;
    }
}

TEST(FeedDate, readsRfc3339DatesInAnyZone) {
    const CDateCase cases[] = {
        {"2026-12-08T02:47:26Z", kUtc},
        {"2026-12-08T02:47:26.123-05:00", kUtc + 5 * 3600},
        {"2026-12-08T02:47:26,5+05:30", kUtc - 5 * 3600 - 1800},
        {"2026-12-08T02:47:26+0100", kUtc - 3600},
        {"2026-12-08T02:47:26+01", kUtc - 3600},
        {"2026-12-08t02:47:26z", kUtc},
        {"2026-12-08 02:47:26", kUtc},
        {"2026-12-08T02:47-00:00", kUtc - 26},
        {"2026-12-08T02:47:60Z", kUtc + 33},  // a leap second reads as :59
        {"2026-12-08", kMidnight},
        {"2024-02-29T12:00:00Z", 1709208000},
        {"1970-01-01T00:00:01Z", 1},
    };
    for (const CDateCase& c : cases) {
        EXPECT_EQ(ParseRfc3339Date(c.pszText), c.time) << c.pszText;
        EXPECT_EQ(ParseFeedDate(std::string(" \n") + c.pszText + "\t "), c.time) << c.pszText;
    }
}

TEST(FeedDate, readsZeroForWhatIsNoDateOrOutOfRange) {
    for (const char* psz : {
             "",
             "yesterday",
             "2026-13-01T00:00:00Z",
             "2026-02-30",
             "2025-02-29T00:00:00Z",
             "2026-12-08T24:00:00Z",
             "2026-12-08T02:60:00Z",
             "2026-12-08T02:47:26.Z",
             "2026-12-08T02:47:26+05:30junk",
             "2026-12-08T02:47:26+24:00",
             "1969-12-31T23:59:59Z",
             "1970-01-01T00:00:00Z",
             "10000-01-01",
             "2026-1-8",
             "Tue, 32 Dec 2026 02:47:26 GMT",
             "Tue, 08 Foo 2026 02:47:26 GMT",
             "Tue, 08 Dec 2026 02:47:26 +2400",
             "Tue, 08 Dec 2026 02:47:26:01 GMT",
             "Tue, 08 Dec 2026 2pm GMT",
             "Tue, 08 Dec 6 02:47 GMT",
             "Tue, 08 Dec 20266 02:47 GMT",
             "Wed, 31 Dec 1969 23:59:59 GMT",
             "Dec 6 2001 5:43PM",
         }) {
        EXPECT_EQ(ParseFeedDate(psz), 0) << psz;
    }
}
