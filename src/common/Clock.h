// Time as the program sees it. The fixed waits of start-up, the busy rule and the
// updates all go through a Clock, so tests replace a minute's wait by a recorded one.
#pragma once

#include <chrono>
#include <mutex>
#include <vector>

namespace zorvast::common {

class Clock {
public:
    virtual ~Clock() = default;
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
    virtual std::chrono::steady_clock::time_point now() const = 0;
};

class SystemClock : public Clock {
public:
    void sleepFor(std::chrono::milliseconds duration) override;
    std::chrono::steady_clock::time_point now() const override;
};

// Returns from every sleep at once, remembers it and moves its own time on by it.
class ManualClock : public Clock {
public:
    void sleepFor(std::chrono::milliseconds duration) override;
    std::chrono::steady_clock::time_point now() const override;

    void advance(std::chrono::milliseconds duration);
    std::vector<std::chrono::milliseconds> sleeps() const;
    std::chrono::milliseconds totalSlept() const;

private:
    mutable std::mutex mutex_;
    std::chrono::steady_clock::time_point now_{};
    std::vector<std::chrono::milliseconds> sleeps_;
};

// The real clock, shared by the whole process.
Clock& systemClock();

} // namespace zorvast::common
