#include "common/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

namespace zorvast::common {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A job that runs until the test lets it go.
class Gate {
public:
    void open() { promise_.set_value(); }
    void wait() const { future_.wait(); }

private:
    std::promise<void> promise_;
    std::shared_future<void> future_ = promise_.get_future().share();
};

TEST(WorkerPool, AJobRunsOnItsOwnThreadAndCountsAsRunningUntilItEnds) {
    WorkerPool pool;
    Gate gate;
    std::promise<std::thread::id> ranOn;
    pool.start("loader", [&] {
        ranOn.set_value(std::this_thread::get_id());
        gate.wait();
    });
    EXPECT_NE(ranOn.get_future().get(), std::this_thread::get_id());
    EXPECT_TRUE(pool.running("loader"));
    EXPECT_FALSE(pool.running("other"));
    EXPECT_TRUE(pool.anyRunning({}));
    gate.open();
    EXPECT_TRUE(pool.waitFor({"loader"}, 10s));
    EXPECT_FALSE(pool.running("loader"));
    EXPECT_FALSE(pool.anyRunning({}));
}

TEST(WorkerPool, ANameRunsUntilItsLastJobHasEnded) {
    WorkerPool pool;
    Gate first;
    Gate second;
    pool.start("list", [&] { first.wait(); });
    pool.start("list", [&] { second.wait(); });
    first.open();
    EXPECT_FALSE(pool.waitFor({"list"}, 50ms));
    EXPECT_TRUE(pool.running("list"));
    second.open();
    EXPECT_TRUE(pool.waitFor({"list"}, 10s));
}

TEST(WorkerPool, AWaitEndsWhenTheJobEndsNotAtItsLimit) {
    WorkerPool pool;
    Gate gate;
    pool.start("init", [&] { gate.wait(); });
    const auto before = Clock::now();
    EXPECT_FALSE(pool.waitFor({"init"}, 100ms)) << "the job still runs";
    EXPECT_GE(Clock::now() - before, 100ms);

    std::thread opener([&] {
        std::this_thread::sleep_for(50ms);
        gate.open();
    });
    const auto released = Clock::now();
    EXPECT_TRUE(pool.waitFor({"init"}, 60s));
    EXPECT_LT(Clock::now() - released, 30s) << "woken by the job's end, not by the limit";
    opener.join();
}

TEST(WorkerPool, AWaitForSomeNamesIgnoresTheOthers) {
    WorkerPool pool;
    Gate gate;
    pool.start("refresh countdown", [&] { gate.wait(); });
    pool.start("initialisation", [] {});
    pool.start("local pages", [] {});
    EXPECT_TRUE(pool.waitFor({"initialisation", "local pages"}, 10s));
    EXPECT_TRUE(pool.running("refresh countdown"));
    EXPECT_FALSE(pool.waitFor({}, 20ms)) << "with no names every job counts";
    gate.open();
    EXPECT_TRUE(pool.waitFor({}, 10s));
}

TEST(WorkerPool, WithNothingRunningAWaitReturnsAtOnce) {
    WorkerPool pool;
    const auto before = Clock::now();
    EXPECT_TRUE(pool.waitFor({"anything"}, 60s));
    EXPECT_TRUE(pool.waitFor({}, 60s));
    EXPECT_LT(Clock::now() - before, 30s);
}

TEST(WorkerPool, StopAllAsksTheJobsToStopAndWaitsForThem) {
    WorkerPool pool;
    std::atomic<bool> endedOnStop{false};
    std::promise<void> looping;
    pool.start("initialisation", [&](std::stop_token stop) {
        looping.set_value();
        while (!stop.stop_requested()) {
            std::this_thread::yield();
        }
        endedOnStop = true;
    });
    looping.get_future().wait();
    EXPECT_FALSE(pool.stopToken().stop_requested());
    EXPECT_FALSE(pool.waitFor({"initialisation"}, 20ms)) << "it runs until asked to stop";
    EXPECT_TRUE(pool.stopAll(10s));
    EXPECT_TRUE(pool.stopToken().stop_requested());
    EXPECT_FALSE(pool.running("initialisation"));
    EXPECT_TRUE(endedOnStop);
}

TEST(WorkerPool, AJobStartedAfterTheStopRequestSeesItAtOnce) {
    WorkerPool pool;
    pool.requestStop();
    std::promise<bool> seen;
    pool.start("late", [&](std::stop_token stop) { seen.set_value(stop.stop_requested()); });
    EXPECT_TRUE(seen.get_future().get());
    // A plain job runs all the same: only jobs that look at the token stop.
    std::atomic<bool> ran{false};
    pool.start("plain", [&] { ran = true; });
    EXPECT_TRUE(pool.waitFor({"plain"}, 10s));
    EXPECT_TRUE(ran);
}

TEST(WorkerPool, StopAllGivesUpAtItsLimitOnAJobThatDoesNotListen) {
    WorkerPool pool;
    Gate gate;
    pool.start("deaf", [&] { gate.wait(); });
    const auto before = Clock::now();
    EXPECT_FALSE(pool.stopAll(80ms));
    EXPECT_GE(Clock::now() - before, 80ms);
    EXPECT_TRUE(pool.running("deaf"));
    gate.open();
    pool.joinAll();
    EXPECT_FALSE(pool.running("deaf"));
}

TEST(WorkerPool, JoinAllWaitsForEveryJobIncludingOnesStartedByJobs) {
    WorkerPool pool;
    std::atomic<int> finished{0};
    pool.start("outer", [&] {
        std::this_thread::sleep_for(20ms);
        pool.start("inner", [&] {
            std::this_thread::sleep_for(20ms);
            ++finished;
        });
        ++finished;
    });
    pool.joinAll();
    EXPECT_EQ(finished.load(), 2);
    EXPECT_FALSE(pool.anyRunning({}));
}

TEST(WorkerPool, ThePoolJoinsItsThreadsWhenItGoes) {
    std::atomic<bool> finished{false};
    std::atomic<bool> sawStop{false};
    {
        WorkerPool pool;
        pool.start("slow", [&](std::stop_token stop) {
            while (!stop.stop_requested()) {
                std::this_thread::yield();
            }
            sawStop = true;
            std::this_thread::sleep_for(30ms);
            finished = true;
        });
    }
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(finished) << "the job outlived its pool";
}

TEST(WorkerPool, EndListenersHearEveryEndUntilRemoved) {
    WorkerPool pool;
    std::mutex mutex;
    int heard = 0;
    const int id = pool.addEndListener([&] {
        const std::lock_guard lock(mutex);
        ++heard;
    });
    pool.start("a", [] {});
    pool.start("b", [] {});
    ASSERT_TRUE(pool.waitFor({}, 10s));
    {
        const std::lock_guard lock(mutex);
        EXPECT_EQ(heard, 2);
    }
    pool.removeEndListener(id);
    pool.start("c", [] {});
    ASSERT_TRUE(pool.waitFor({}, 10s));
    const std::lock_guard lock(mutex);
    EXPECT_EQ(heard, 2);
}

TEST(WorkerPool, ManyShortJobsAllRunAndEnd) {
    WorkerPool pool;
    std::atomic<int> ran{0};
    for (int i = 0; i < 200; ++i) {
        pool.start(i % 2 ? "odd" : "even", [&] { ++ran; });
    }
    EXPECT_TRUE(pool.waitFor({"odd", "even"}, 30s));
    EXPECT_EQ(ran.load(), 200);
}

} // namespace
} // namespace zorvast::common
