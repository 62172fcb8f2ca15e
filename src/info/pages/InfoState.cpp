#include "info/pages/InfoState.h"

#include <utility>

namespace zorvast::info {

void runWorker(const StartWorker& start, std::function<void()> job) {
    if (start) {
        start(std::move(job));
    } else {
        job();
    }
}

} // namespace zorvast::info
