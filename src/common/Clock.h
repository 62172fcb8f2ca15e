// Time and fixed waits go through a Clock so tests can inject one that returns at once.
#pragma once

#include <chrono>
#include <mutex>
#include <vector>

namespace zorvast::common {

class Clock {
public:
    virtual ~Clock();
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
    virtual std::chrono::steady_clock::time_point now() const = 0;
};

// Real time and real sleeps.
class SystemClock final : public Clock {
public:
    void sleepFor(std::chrono::milliseconds duration) override;
    std::chrono::steady_clock::time_point now() const override;
};

// The process-wide SystemClock.
Clock& systemClock();

// A clock for tests: every sleep is recorded, advances `now` by its duration and returns at
// once. Safe to use from several threads.
class ManualClock final : public Clock {
public:
    explicit ManualClock(
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::time_point{});

    void sleepFor(std::chrono::milliseconds duration) override;
    std::chrono::steady_clock::time_point now() const override;

    // Moves time on without recording a sleep (time spent "elsewhere").
    void advance(std::chrono::milliseconds duration);

    // The sleeps so far, in the order they were requested.
    std::vector<std::chrono::milliseconds> sleeps() const;
    std::size_t sleepCount() const;
    std::chrono::milliseconds totalSlept() const;
    void clearSleeps();

private:
    mutable std::mutex mutex_;
    std::chrono::steady_clock::time_point now_;
    std::vector<std::chrono::milliseconds> sleeps_;
};

} // namespace zorvast::common
