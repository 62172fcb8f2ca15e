#include "update/net/DownloadService.h"

#include "update/net/CurlSetup.h"
#include "update/net/TransferAttempt.h"
#include "update/net/TransferJob.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>

namespace zorvast::update {

namespace {

using transfer::AttemptEnd;
using transfer::Job;
using transfer::TransferSettings;

// A server that keeps contradicting itself is not asked without end.
constexpr int kMaxRestarts = 3;

struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};

void notifyFailed(const DownloadTask& task) {
    if (!task.onEvent) {
        return;
    }
    try {
        task.onEvent(TransferEvent::Failed, 0);
    } catch (...) {
    }
}

} // namespace

struct DownloadService::Impl : transfer::Slot {
    // start and stop, and the worker handle. Never taken on the worker thread: stop() holds it
    // while it joins.
    std::mutex control;
    std::thread worker;
    // Set by the worker for its own life, so calls from its notifications can be recognised.
    std::atomic<std::thread::id> workerId{};
    std::atomic<bool> busy{false};

    std::mutex settingsLock;
    TransferSettings settings;

    bool onWorker() const { return workerId.load() == std::this_thread::get_id(); }

    void run(const DownloadTask& task, const TransferSettings& used);
    // The file opened and, when its record allows, taken up where it stopped; false when the
    // transfer cannot start.
    bool prepare(Job& job);
    // Connection attempts until the file is complete, the retries and resumes are used up, or
    // stop() is called.
    AttemptEnd transferAll(CURLM* multi, Job& job, curl_slist* headers,
                           const TransferSettings& used);
    void finish(Job& job, AttemptEnd end);
};

bool DownloadService::Impl::prepare(Job& job) {
    const DownloadTask& task = *job.task;
    const UrlScheme scheme = urlSchemeOf(task.url);
    if (scheme == UrlScheme::Other || !ensureCurlGlobalInit()) {
        return false;
    }
    job.web = scheme != UrlScheme::Ftp;

    std::optional<DownloadSpot> spot = DownloadSpot::of(task.localFile);
    if (!spot) {
        return false;
    }
    job.spot = std::move(*spot);
    if (!job.file.open(job.spot)) {
        return false;
    }

    // Resume only what the record says came from this URL, with a validator this scheme uses.
    const std::uint64_t sizeNow = job.file.size().value_or(0);
    std::optional<PartialDownload> record = usableRecord(readRecordIn(job.spot), sizeNow);
    job.fileBytes = sizeNow;
    if (record && record->url == task.url &&
        (job.web ? (!record->etag.empty() || !record->lastModified.empty())
                 : record->ftpFileTime >= 0)) {
        job.record = std::move(record);
        job.wholeSize = job.record->totalBytes;
    } else {
        job.dropRecord();
        if (!job.startOver()) {
            job.file.close();
            return false;
        }
    }
    job.publishProgress();
    return true;
}

AttemptEnd DownloadService::Impl::transferAll(CURLM* multi, Job& job, curl_slist* headers,
                                              const TransferSettings& used) {
    int connectRetries = 0;
    std::size_t resumes = 0;
    int restarts = 0;
    while (true) {
        const std::uint64_t offset = job.record && job.fileBytes > 0 ? job.fileBytes : 0;
        if (offset == 0 && !job.startOver()) {
            return AttemptEnd::Failed;
        }
        const AttemptEnd end = transfer::runAttempt(multi, job, offset, headers, used);
        if (end == AttemptEnd::Restart) {
            if (offset == 0 || ++restarts > kMaxRestarts) {
                return AttemptEnd::Failed;
            }
            job.dropRecord();
            job.wholeSize = 0;
            continue;
        }
        if (end == AttemptEnd::ConnectionFailed && !job.bodyArrived) {
            if (connectRetries >= used.retryCount) {
                return end;
            }
            ++connectRetries;
            if (!pause(used.retryWait)) {
                return AttemptEnd::Stopped;
            }
            continue;
        }
        if (end == AttemptEnd::ConnectionFailed || end == AttemptEnd::Broken) {
            // Before any byte arrived a broken answer is not resumed: the server is not working.
            if (!job.bodyArrived || resumes >= used.resumeWaits.size()) {
                return AttemptEnd::Failed;
            }
            job.saveRecord();
            if (!pause(used.resumeWaits[resumes++])) {
                return AttemptEnd::Stopped;
            }
            continue;
        }
        return end;
    }
}

void DownloadService::Impl::finish(Job& job, AttemptEnd end) {
    if (end == AttemptEnd::Done) {
        job.sendSize();   // without a body byte the size is known only now
        job.dropRecord(); // a complete file has no record
        const bool closed = job.file.close();
        job.publishProgress();
        job.notify(closed ? TransferEvent::Finished : TransferEvent::Failed,
                   closed ? static_cast<double>(job.fileBytes) : 0.0);
        return;
    }
    job.saveRecord();
    job.file.close();
    job.notify(end == AttemptEnd::Stopped ? TransferEvent::Stopped : TransferEvent::Failed, 0);
}

void DownloadService::Impl::run(const DownloadTask& task, const TransferSettings& used) {
    Job job;
    job.task = &task;
    job.service = this;
    if (!prepare(job)) {
        job.notify(TransferEvent::Failed, 0);
        return;
    }
    const CurlHeaderList headers = noCacheHeaders();
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || !headers) {
        job.file.close();
        job.notify(TransferEvent::Failed, 0);
        return;
    }
    setActiveMulti(multi.get());
    const AttemptEnd end = transferAll(multi.get(), job, headers.get(), used);
    setActiveMulti(nullptr);
    multi.reset();
    finish(job, end);
}

DownloadService::DownloadService() : impl_(std::make_unique<Impl>()) {}

DownloadService::~DownloadService() {
    stop();
}

void DownloadService::configure(std::size_t blockSize, std::chrono::milliseconds retryWait,
                                int retryCount) {
    const std::lock_guard<std::mutex> lock(impl_->settingsLock);
    impl_->settings.blockSize = blockSize;
    impl_->settings.retryWait = std::max(retryWait, std::chrono::milliseconds(0));
    impl_->settings.retryCount = std::max(retryCount, 0);
}

void DownloadService::setResumeWaits(std::vector<std::chrono::milliseconds> waits) {
    for (auto& wait : waits) {
        wait = std::max(wait, std::chrono::milliseconds(0));
    }
    const std::lock_guard<std::mutex> lock(impl_->settingsLock);
    impl_->settings.resumeWaits = std::move(waits);
}

void DownloadService::start(const DownloadTask& task) {
    if (impl_->onWorker()) {
        return; // from a notification: this transfer is still running
    }
    const std::lock_guard<std::mutex> lock(impl_->control);
    if (impl_->busy.load()) {
        return;
    }
    if (impl_->worker.joinable()) {
        impl_->worker.join(); // a finished transfer whose thread nobody has joined yet
    }
    TransferSettings used;
    {
        const std::lock_guard<std::mutex> settingsLock(impl_->settingsLock);
        used = impl_->settings;
    }
    impl_->clearStop();
    impl_->bytesInFile.store(0);
    impl_->totalBytes.store(0);
    impl_->busy.store(true);
    Impl* impl = impl_.get();
    try {
        impl_->worker = std::thread([impl, task, used] {
            impl->workerId.store(std::this_thread::get_id());
            impl->run(task, used);
            impl->workerId.store(std::thread::id{});
            impl->busy.store(false);
        });
    } catch (const std::system_error&) {
        impl_->busy.store(false);
        notifyFailed(task); // no thread to run it on
    }
}

void DownloadService::stop() {
    if (impl_->onWorker()) {
        impl_->requestStop(); // the transfer ends once the notification returns
        return;
    }
    const std::lock_guard<std::mutex> lock(impl_->control);
    impl_->requestStop();
    if (impl_->worker.joinable()) {
        impl_->worker.join();
    }
}

std::uint64_t DownloadService::takeReceivedBytes() {
    return impl_->received.exchange(0);
}

bool DownloadService::running() const {
    return impl_->busy.load();
}

TransferProgress DownloadService::progress() const {
    TransferProgress now;
    now.bytesInFile = impl_->bytesInFile.load();
    now.totalBytes = impl_->totalBytes.load();
    return now;
}

} // namespace zorvast::update
