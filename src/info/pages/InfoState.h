// The flags the information pages share between the window thread and their workers. Each is
// one word, written by one party at a time; nothing else needs a lock.
#pragma once

#include <atomic>
#include <functional>

namespace zorvast::info {

struct InfoState {
    // The forum answered its probe: the deferred tick opens the forum root in the community tab.
    std::atomic<bool> forumHomePending{false};
    // The trade posting section is to be opened in the community tab.
    std::atomic<bool> tradePostingPending{false};
    // The trade watchdog is running or cooling down.
    std::atomic<bool> tradeWatchBusy{false};
    // The community tab's loader has been started once.
    std::atomic<bool> forumLoaderStarted{false};
};

// Runs a job on a worker thread and returns at once.
using StartWorker = std::function<void(std::function<void()> job)>;

// Runs `job` through `start`, or at once on this thread when there is none.
void runWorker(const StartWorker& start, std::function<void()> job);

} // namespace zorvast::info
