#include "common/Clock.h"

#include <numeric>
#include <thread>

namespace zorvast::common {

void SystemClock::sleepFor(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

std::chrono::steady_clock::time_point SystemClock::now() const {
    return std::chrono::steady_clock::now();
}

void ManualClock::sleepFor(std::chrono::milliseconds duration) {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(duration);
    now_ += duration;
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

std::chrono::milliseconds ManualClock::totalSlept() const {
    std::lock_guard lock(mutex_);
    return std::accumulate(sleeps_.begin(), sleeps_.end(), std::chrono::milliseconds{0});
}

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace zorvast::common
