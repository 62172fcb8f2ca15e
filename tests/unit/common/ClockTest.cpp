#include "common/Clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace zorvast::common {
namespace {

using namespace std::chrono_literals;

// What a busy wait looks like to its caller: poll once a second, give up after 61 tries.
int waitUntilFree(Clock& clock, int freeAfterTries) {
    for (int tries = 0; tries < 61; ++tries) {
        if (tries == freeAfterTries) {
            return tries;
        }
        clock.sleepFor(1000ms);
    }
    return -1;
}

TEST(ManualClock, RecordsSleepsAndAdvancesTime) {
    ManualClock clock;
    const auto start = clock.now();
    clock.sleepFor(1000ms);
    clock.sleepFor(50ms);
    clock.sleepFor(0ms);
    EXPECT_EQ(clock.sleeps(), (std::vector<std::chrono::milliseconds>{1000ms, 50ms, 0ms}));
    EXPECT_EQ(clock.sleepCount(), 3u);
    EXPECT_EQ(clock.totalSlept(), 1050ms);
    EXPECT_EQ(clock.now() - start, 1050ms);

    clock.advance(5000ms);
    EXPECT_EQ(clock.now() - start, 6050ms);
    EXPECT_EQ(clock.sleepCount(), 3u);
    clock.clearSleeps();
    EXPECT_TRUE(clock.sleeps().empty());
    EXPECT_EQ(clock.now() - start, 6050ms);
}

TEST(ManualClock, ASixtyOneSecondWaitTakesNoRealTime) {
    ManualClock clock;
    const auto realStart = std::chrono::steady_clock::now();
    EXPECT_EQ(waitUntilFree(clock, 1000), -1);
    EXPECT_EQ(clock.sleepCount(), 61u);
    EXPECT_EQ(clock.totalSlept(), 61s);
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, 1s);

    ManualClock other;
    EXPECT_EQ(waitUntilFree(other, 3), 3);
    EXPECT_EQ(other.sleeps(), (std::vector<std::chrono::milliseconds>(3, 1000ms)));
}

TEST(ManualClock, StartsWhereItIsTold) {
    const auto start = std::chrono::steady_clock::time_point{} + 12h;
    ManualClock clock(start);
    EXPECT_EQ(clock.now(), start);
}

TEST(ManualClock, IsSafeAcrossThreads) {
    ManualClock clock;
    const auto start = clock.now();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&clock] {
            for (int i = 0; i < 1000; ++i) {
                clock.sleepFor(1ms);
                (void)clock.now();
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(clock.sleepCount(), 4000u);
    EXPECT_EQ(clock.now() - start, 4000ms);
}

TEST(SystemClock, SleepsForReal) {
    Clock& clock = systemClock();
    EXPECT_EQ(&clock, &systemClock());
    const auto before = clock.now();
    clock.sleepFor(20ms);
    EXPECT_GE(clock.now() - before, 20ms);
    EXPECT_LE(before, std::chrono::steady_clock::now());
}

} // namespace
} // namespace zorvast::common
