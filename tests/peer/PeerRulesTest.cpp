#include "peer/CEventRateLimit.h"
#include "peer/CPeerBackoff.h"
#include "peer/CSeenEvents.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::chrono_literals;

namespace {

using TimePoint = std::chrono::steady_clock::time_point;
const TimePoint kStart = std::chrono::steady_clock::now();

TEST(PeerBackoff, pauseDoublesFromThirtySecondsToHalfAnHourAndStartsOverAfterAStableSpell) {
    CPeerBackoff backoff;
    EXPECT_TRUE(backoff.MayConnect("a", kStart));
    TimePoint now = kStart;
    for (std::chrono::seconds expected : {30s, 60s, 120s, 240s, 480s, 960s, 1800s, 1800s}) {
        backoff.Failed("a", now);
        EXPECT_EQ(backoff.PauseOf("a"), expected);
        EXPECT_FALSE(backoff.MayConnect("a", now + expected - 1s));
        EXPECT_TRUE(backoff.MayConnect("a", now + expected));
        EXPECT_TRUE(backoff.MayConnect("b", now));
        now += expected;
    }
    backoff.Failed("a", now, true);
    EXPECT_EQ(backoff.PauseOf("a"), 30s);
    // Quiet for a full half hour past its pause: forgotten, so a new failure starts over.
    backoff.Failed("a", now + 30s + CPeerBackoff::MAX_PAUSE);
    EXPECT_EQ(backoff.PauseOf("a"), 30s);
}

TEST(PeerBackoff, tableStaysBoundedDroppingExpiredThenSoonestDue) {
    CPeerBackoff backoff;
    for (size_t i = 0; i < CPeerBackoff::MAX_ENTRIES; ++i) {
        backoff.Failed("old" + std::to_string(i), kStart);
    }
    backoff.Failed("keep", kStart + 10s);
    backoff.Failed("keep", kStart + 40s);  // pause 60 s, due last
    // Expired ones go first, all at once.
    backoff.Failed("new", kStart + 40s + CPeerBackoff::MAX_PAUSE);
    EXPECT_EQ(backoff.Size(), 2u);
    EXPECT_EQ(backoff.PauseOf("keep"), 60s);
    for (size_t i = 0; i < 2 * CPeerBackoff::MAX_ENTRIES; ++i) {
        backoff.Failed("n" + std::to_string(i), kStart + 1h + std::chrono::seconds(i));
    }
    EXPECT_EQ(backoff.Size(), CPeerBackoff::MAX_ENTRIES);
    EXPECT_EQ(backoff.PauseOf("n" + std::to_string(2 * CPeerBackoff::MAX_ENTRIES - 1)), 30s);
    EXPECT_EQ(backoff.PauseOf("n0"), 0s);
}

TEST(SeenEvents, timeStampsArePlainDecimalNumbersOnly) {
    struct Case {
        const char* pszText;
        std::optional<int64_t> expected;
    } cases[] = {{"0", 0},
                 {"1700000000", 1700000000},
                 {"999999999999", 999999999999},
                 {"", {}},
                 {"1000000000000", {}},
                 {"-5", {}},
                 {"+5", {}},
                 {" 5", {}},
                 {"5 ", {}},
                 {"17e8", {}},
                 {"0x10", {}},
                 {"1.5", {}}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseTimestamp(c.pszText), c.expected) << '"' << c.pszText << '"';
    }
}

TEST(SeenEvents, takesEachIdOnceWithinTheWindowAndRefusesTheRest) {
    const int64_t nNow = 1700000000;
    CSeenEvents seen;
    using V = CSeenEvents::EVerdict;
    struct Case {
        std::string strId;
        std::string strTimestamp;
        V expected;
    } cases[] = {
        {"a", std::to_string(nNow), V::New},
        {"a", std::to_string(nNow), V::Seen},
        {"b", std::to_string(nNow - CSeenEvents::MAX_AGE_S), V::New},
        {"c", std::to_string(nNow - CSeenEvents::MAX_AGE_S - 1), V::TooOld},
        {"d", std::to_string(nNow + CSeenEvents::FUTURE_SLACK_S), V::New},
        {"e", std::to_string(nNow + CSeenEvents::FUTURE_SLACK_S + 1), V::InFuture},
        {"f", "", V::BadTimestamp},
        {"g", "1700000000.5", V::BadTimestamp},
        {"", std::to_string(nNow), V::BadId},
        {std::string(CSeenEvents::MAX_ID_LENGTH + 1, 'h'), std::to_string(nNow), V::BadId},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(seen.Admit(c.strId, c.strTimestamp, nNow), c.expected) << c.strId;
    }
    EXPECT_FALSE(seen.HasSeen("c"));
    EXPECT_EQ(seen.Size(), 3u);
}

TEST(SeenEvents, aReplayAfterTheCapIsRefusedAndOldIdsAreForgotten) {
    const int64_t nNow = 1700000000;
    CSeenEvents seen;
    const std::string strFirst = std::to_string(nNow - 60);
    ASSERT_EQ(seen.Admit("first", strFirst, nNow), CSeenEvents::EVerdict::New);
    // More ids than the cap, all within the window: the first is forced out early.
    for (size_t i = 0; i < CSeenEvents::MAX_IDS; ++i) {
        seen.Admit("id" + std::to_string(i), std::to_string(nNow - 59 + int64_t(i % 100)), nNow);
    }
    EXPECT_EQ(seen.Size(), CSeenEvents::MAX_IDS);
    EXPECT_FALSE(seen.HasSeen("first"));
    EXPECT_EQ(seen.Floor(), nNow - 60);
    EXPECT_EQ(seen.Admit("first", strFirst, nNow), CSeenEvents::EVerdict::TooOld);
    // Once past the window, ids need no memory.
    const int64_t nLater = nNow + CSeenEvents::MAX_AGE_S + 100;
    EXPECT_EQ(seen.Admit("later", std::to_string(nLater), nLater), CSeenEvents::EVerdict::New);
    EXPECT_EQ(seen.Size(), 1u);
}

TEST(EventRateLimit, aBurstPassesThenTheRateAndASustainedFloodDisconnects) {
    using V = CEventRateLimit::EVerdict;
    CEventRateLimit limit(kStart);
    for (int i = 0; i < CEventRateLimit::BURST; ++i) {
        ASSERT_EQ(limit.Take(kStart), V::Take) << i;
    }
    EXPECT_EQ(limit.Take(kStart), V::Drop);
    EXPECT_TRUE(limit.IsFlooding());
    // A hundred a second from then on: the rate's worth passes until the flood has lasted
    // its time.
    int nTaken = 0;
    TimePoint now = kStart;
    V verdict = V::Drop;
    for (int i = 1; verdict != V::Disconnect && i < 10000; ++i) {
        now = kStart + i * 10ms;
        verdict = limit.Take(now);
        nTaken += verdict == V::Take ? 1 : 0;
    }
    EXPECT_EQ(verdict, V::Disconnect);
    EXPECT_GE(now - kStart, CEventRateLimit::FLOOD_TIME);
    EXPECT_LE(now - kStart, CEventRateLimit::FLOOD_TIME + 50ms);
    EXPECT_NEAR(nTaken, CEventRateLimit::RATE_PER_SECOND * 5, 2);

    // A refill to half ends the flood: the clock of the flood starts anew.
    CEventRateLimit calm(kStart);
    for (int i = 0; i <= CEventRateLimit::BURST; ++i) {
        calm.Take(kStart);
    }
    const TimePoint half = kStart + 1500ms;
    EXPECT_EQ(calm.Take(half), V::Take);
    EXPECT_FALSE(calm.IsFlooding());
    // Relaying at just under the rate for a minute never drops anything.
    CEventRateLimit steady(kStart);
    for (int i = 0; i < 60 * (CEventRateLimit::RATE_PER_SECOND - 1); ++i) {
        ASSERT_EQ(steady.Take(kStart + i * 1000ms / (CEventRateLimit::RATE_PER_SECOND - 1)),
                  V::Take);
    }
}

}  // namespace
