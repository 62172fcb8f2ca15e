#include "common/Clock.h"

#include <thread>

namespace zorvast::common {

Clock::~Clock() = default;

void SystemClock::sleepFor(std::chrono::milliseconds duration) {
    if (duration.count() > 0) {
        std::this_thread::sleep_for(duration);
    }
}

std::chrono::steady_clock::time_point SystemClock::now() const {
    return std::chrono::steady_clock::now();
}

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

ManualClock::ManualClock(std::chrono::steady_clock::time_point start) : now_(start) {}

void ManualClock::sleepFor(std::chrono::milliseconds duration) {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(duration);
    if (duration.count() > 0) {
        now_ += duration;
    }
}

std::chrono::steady_clock::time_point ManualClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void ManualClock::advance(std::chrono::milliseconds duration) {
    std::lock_guard lock(mutex_);
    now_ += duration;
}

std::vector<std::chrono::milliseconds> ManualClock::sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
}

std::size_t ManualClock::sleepCount() const {
    std::lock_guard lock(mutex_);
    return sleeps_.size();
}

std::chrono::milliseconds ManualClock::totalSlept() const {
    std::lock_guard lock(mutex_);
    std::chrono::milliseconds total{0};
    for (const auto& sleep : sleeps_) {
        total += sleep;
    }
    return total;
}

void ManualClock::clearSleeps() {
    std::lock_guard lock(mutex_);
    sleeps_.clear();
}

} // namespace zorvast::common
