#include "info/pages/InfoState.h"

#include <thread>
#include <utility>

namespace zorvast::info {

StartWorker detachedThreadStarter() {
    return [](std::function<void()> job) {
        std::thread(std::move(job)).detach();
    };
}

} // namespace zorvast::info
