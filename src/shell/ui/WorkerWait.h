// Waiting for workers at the end of a run. On the window thread the window keeps running its
// events meanwhile: a worker may be waiting there for a call it handed over (runOnUi).
#pragma once

#include "common/WorkerPool.h"

#include <chrono>
#include <string>
#include <vector>

namespace zorvast::shell::ui {

// Waits at most `limit` until none of `names` (with no names: no job) runs in `pool`; woken by
// the end of a job, not by polling. True when none runs.
bool waitForWorkers(common::WorkerPool& pool, const std::vector<std::string>& names,
                    std::chrono::milliseconds limit);

} // namespace zorvast::shell::ui
