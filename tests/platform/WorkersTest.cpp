#include "platform/CWorkers.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using testing_support::CResumeWorkers;
using testing_support::WaitFor;
using namespace std::chrono_literals;

namespace {

// Waits, as a worker inside a long wait would, until the stop.
void WaitForStop() {
    while (!CWorkers::Stopping()) {
        std::this_thread::sleep_for(5ms);
    }
}

}  // namespace

TEST(Workers, stopJoinsEveryWorkerBeforeItReturnsAndThenStartsNone) {
    CResumeWorkers resume;
    std::atomic<int> nEnded{0};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(CWorkers::Start("waiter", [&] {
            WaitForStop();
            ++nEnded;
        }));
    }
    // Start returned while they wait.
    EXPECT_GE(CWorkers::Count(), 3u);
    EXPECT_EQ(nEnded, 0);
    EXPECT_TRUE(CWorkers::StopAndJoin(10s));
    EXPECT_EQ(nEnded, 3);
    EXPECT_EQ(CWorkers::Count(), 0u);

    std::atomic<bool> bRan{false};
    EXPECT_FALSE(CWorkers::Start("late", [&] { bRan = true; }));
    EXPECT_EQ(CWorkers::Count(), 0u);
    CWorkers::Resume();
    EXPECT_FALSE(CWorkers::Stopping());
    ASSERT_TRUE(CWorkers::Start("after resume", [&] { bRan = true; }));
    EXPECT_TRUE(WaitFor([&] { return bRan.load(); }));
}

TEST(Workers, finishedWorkersAreJoinedAsNewOnesStart) {
    std::atomic<int> nRan{0};
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(CWorkers::Start("check", [&] { ++nRan; }));
    }
    ASSERT_TRUE(WaitFor([&] { return nRan == 100; }));
    // Left are the new one and, at most, one that has not quite ended.
    EXPECT_TRUE(WaitFor([] {
        CWorkers::Start("next check", [] {});
        return CWorkers::Count() <= 2;
    }));
}

TEST(Workers, aWorkerThatIgnoresTheStopIsLeftToEndAfterTheLimit) {
    CResumeWorkers resume;
    // Shared with the worker, which may outlive a failed test.
    auto pRelease = std::make_shared<std::atomic<bool>>(false);
    auto pEnded = std::make_shared<std::atomic<bool>>(false);
    ASSERT_TRUE(CWorkers::Start("stubborn", [pRelease, pEnded] {
        while (!*pRelease) {
            std::this_thread::sleep_for(5ms);
        }
        *pEnded = true;
    }));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CWorkers::StopAndJoin(100ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(*pEnded);
    *pRelease = true;
    CWorkers::Resume();
    EXPECT_TRUE(WaitFor([&] { return pEnded->load(); }));
    EXPECT_TRUE(WaitFor([] {
        CWorkers::Start("next", [] {});
        return CWorkers::Count() <= 2;
    }));
}
