#include "common/WorkerPool.h"

#include <algorithm>
#include <utility>

namespace zorvast::common {

WorkerPool::~WorkerPool() {
    requestStop();
    joinAll();
}

void WorkerPool::start(const std::string& name, std::function<void()> job) {
    start(name, [job = std::move(job)](std::stop_token) { job(); });
}

void WorkerPool::start(const std::string& name, std::function<void(std::stop_token)> job) {
    // Declared before the lock: the ended threads are joined after it has been released.
    std::vector<std::jthread> ended;
    const std::lock_guard lock(mutex_);
    ended = takeEnded();
    runningNames_.insert(name);
    Worker& worker = workers_.emplace_back();
    worker.name = name;
    // The new thread cannot reach its entry's bookkeeping before this lock is released.
    worker.thread = std::jthread([this, &worker, job = std::move(job)] { run(worker, job); });
}

void WorkerPool::run(Worker& worker, const std::function<void(std::stop_token)>& job) {
    job(stopToken());
    const std::lock_guard lock(mutex_);
    runningNames_.erase(runningNames_.find(worker.name));
    worker.done = true;
    for (const auto& [id, listener] : endListeners_) {
        listener();
    }
    ended_.notify_all();
}

bool WorkerPool::running(const std::string& name) const {
    const std::lock_guard lock(mutex_);
    return runningNames_.count(name) > 0;
}

bool WorkerPool::anyRunning(const std::vector<std::string>& names) const {
    const std::lock_guard lock(mutex_);
    return anyRunningLocked(names);
}

bool WorkerPool::anyRunningLocked(const std::vector<std::string>& names) const {
    if (names.empty()) {
        return !runningNames_.empty();
    }
    return std::any_of(names.begin(), names.end(),
                       [this](const std::string& name) { return runningNames_.count(name) > 0; });
}

void WorkerPool::requestStop() {
    stop_.request_stop();
}

std::stop_token WorkerPool::stopToken() const {
    return stop_.get_token();
}

bool WorkerPool::waitFor(const std::vector<std::string>& names, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, limit, [&] { return !anyRunningLocked(names); });
}

bool WorkerPool::stopAll(std::chrono::milliseconds limit) {
    requestStop();
    return waitFor({}, limit);
}

void WorkerPool::joinAll() {
    // A job may start another while the first ones are joined: take them until none is left.
    for (;;) {
        std::list<Worker> taken;
        {
            const std::lock_guard lock(mutex_);
            taken.splice(taken.end(), workers_);
        }
        if (taken.empty()) {
            return;
        }
        for (Worker& worker : taken) {
            worker.thread.join();
        }
    }
}

std::vector<std::jthread> WorkerPool::takeEnded() {
    std::vector<std::jthread> ended;
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done) {
            ended.push_back(std::move(it->thread));
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
    return ended;
}

int WorkerPool::addEndListener(std::function<void()> listener) {
    const std::lock_guard lock(mutex_);
    const int id = nextListener_++;
    endListeners_.emplace(id, std::move(listener));
    return id;
}

void WorkerPool::removeEndListener(int id) {
    const std::lock_guard lock(mutex_);
    endListeners_.erase(id);
}

} // namespace zorvast::common
