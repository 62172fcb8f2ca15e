// Named jobs, each on a joinable thread of its own. The pool knows which names run, asks all
// jobs to stop with one request, waits for them with a time limit and joins every thread it
// started: none is ever detached.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace zorvast::common {

// How workers are started; tests may run them at once on the calling thread.
class WorkerStarter {
public:
    virtual ~WorkerStarter() = default;
    virtual void start(const std::string& name, std::function<void()> job) = 0;
};

class WorkerPool final : public WorkerStarter {
public:
    WorkerPool() = default;
    // Requests a stop and joins every thread, however long their jobs take.
    ~WorkerPool() override;
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void start(const std::string& name, std::function<void()> job) override;
    // A job that is handed the pool's stop token; one started after the stop request gets it
    // already set.
    void start(const std::string& name, std::function<void(std::stop_token)> job);

    bool running(const std::string& name) const;
    // Whether any of `names` runs; with no names, whether any job runs.
    bool anyRunning(const std::vector<std::string>& names) const;

    // One request every job can see through stopToken(); it cannot be taken back.
    void requestStop();
    std::stop_token stopToken() const;

    // Waits until none of `names` (with no names: no job) runs, at most `limit`. True when
    // none runs.
    bool waitFor(const std::vector<std::string>& names, std::chrono::milliseconds limit);
    // requestStop, then waits at most `limit` for every job to end. True when all ended.
    bool stopAll(std::chrono::milliseconds limit);
    // Joins every thread started so far, waiting as long as their jobs take.
    void joinAll();

    // `listener` is called on a worker's thread each time a job has ended, with the pool's
    // lock held: it must not call back into the pool. It is never called once
    // removeEndListener has returned.
    int addEndListener(std::function<void()> listener);
    void removeEndListener(int id);

private:
    struct Worker {
        std::string name;
        bool done = false;
        std::jthread thread;
    };

    void run(Worker& worker, const std::function<void(std::stop_token)>& job);
    bool anyRunningLocked(const std::vector<std::string>& names) const;
    // Moves the threads of ended jobs out, to be joined without the lock.
    std::vector<std::jthread> takeEnded();

    mutable std::mutex mutex_;
    std::condition_variable ended_;
    std::stop_source stop_;
    std::multiset<std::string> runningNames_;
    std::map<int, std::function<void()>> endListeners_;
    int nextListener_ = 0;
    // A list: a running job keeps a reference to its entry. Declared last, so that threads
    // still here when the pool goes are joined while the rest of it exists.
    std::list<Worker> workers_;
};

} // namespace zorvast::common
