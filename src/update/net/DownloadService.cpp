#include "update/net/DownloadService.h"

#include "update/net/FetchText.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

namespace zorvast::update {
namespace {

using Clock = std::chrono::steady_clock;

// The transfer loop sleeps in curl_multi_poll at most this long; stop() wakes it earlier.
constexpr std::chrono::milliseconds kLongestPoll{1000};

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

enum class Scheme { Other, Web, Ftp };

Scheme schemeOf(std::string_view url) {
    if (url.find('\0') != std::string_view::npos) {
        return Scheme::Other;
    }
    if (startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://")) {
        return Scheme::Web;
    }
    if (startsWithNoCase(url, "ftp://")) {
        return Scheme::Ftp;
    }
    return Scheme::Other;
}

std::chrono::milliseconds atLeastOne(std::chrono::milliseconds value) {
    // Zero would mean "no time-out" to libcurl; never let a zero or negative value mean that.
    return std::max(value, std::chrono::milliseconds(1));
}

// The connection itself could not be made: worth another try after the retry wait.
bool isConnectionFailure(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT: // only the connect time-out is libcurl's; see runAttempt
        return true;
    default:
        return false;
    }
}

// The open local file; closed exactly once, and a failed close counts as a write error.
class LocalFile {
public:
    enum class Opened { Yes, Exists, Failed };

    Opened create(const std::filesystem::path& path) {
        // O_EXCL also refuses a symbolic link in the way: nothing already there is written over.
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            return Opened::Yes;
        }
        return errno == EEXIST ? Opened::Exists : Opened::Failed;
    }

    bool write(const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(fd_, data, size);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    bool close() {
        if (fd_ < 0) {
            return true;
        }
        const int closed = ::close(fd_);
        fd_ = -1;
        return closed == 0;
    }

    ~LocalFile() { close(); }

private:
    int fd_ = -1;
};

// What configure() set, copied into each transfer when it starts.
struct TransferSettings {
    std::size_t blockSize = 0; // 0: the task's own block size
    std::chrono::milliseconds retryWait{5000};
    int retryCount = 3;
};

} // namespace

struct DownloadService::Impl {
    using Settings = TransferSettings;

    // start and stop, and the worker handle. Never taken on the worker thread: stop() holds it
    // while it joins.
    std::mutex control;
    std::thread worker;
    // Set by the worker for its own life, so calls from its notifications can be recognised.
    std::atomic<std::thread::id> workerId{};
    std::atomic<bool> busy{false};
    std::atomic<std::uint64_t> received{0};

    std::mutex settingsLock;
    Settings settings;

    // The stop request and what it must wake: the retry wait and the transfer's poll.
    std::mutex wakeLock;
    std::condition_variable wake;
    bool stopRequested = false;
    CURLM* activeMulti = nullptr;

    bool onWorker() const { return workerId.load() == std::this_thread::get_id(); }

    bool stopping() {
        const std::lock_guard<std::mutex> lock(wakeLock);
        return stopRequested;
    }

    void requestStop() {
        const std::lock_guard<std::mutex> lock(wakeLock);
        stopRequested = true;
        if (activeMulti) {
            curl_multi_wakeup(activeMulti);
        }
        wake.notify_all();
    }

    // Waits `duration` unless stop() comes first; false when it did.
    bool pause(std::chrono::milliseconds duration) {
        std::unique_lock<std::mutex> lock(wakeLock);
        return !wake.wait_for(lock, duration, [this] { return stopRequested; });
    }

    void run(const DownloadTask& task, const Settings& used);
};

namespace {

// What one transfer thread knows about its transfer; the libcurl callbacks write into it.
struct Transfer {
    const DownloadTask* task = nullptr;
    std::atomic<std::uint64_t>* received = nullptr;
    bool web = false;
    CURL* easy = nullptr;
    LocalFile file;

    std::uint64_t bodyBytes = 0;
    Clock::time_point lastByte{};
    bool sizeSent = false;
    bool httpError = false; // a status outside 2xx: its body is not the package
    bool fileError = false;
    bool stopSeen = false;
    std::function<bool()> stopping;

    void notify(TransferEvent event, double value) const {
        if (!task->onEvent) {
            return;
        }
        // Called from inside libcurl's callbacks too: nothing may unwind through C frames.
        try {
            task->onEvent(event, value);
        } catch (...) {
        }
    }

    void sendSize() {
        if (sizeSent) {
            return;
        }
        sizeSent = true;
        curl_off_t total = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
        notify(TransferEvent::SizeKnown,
               total >= 0 ? static_cast<double>(total) : static_cast<double>(bodyBytes));
    }
};

bool isSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (bytes == 0) {
        return 0; // an empty file, announced as such
    }
    if (transfer->stopping()) {
        transfer->stopSeen = true;
        return 0; // makes libcurl abort with CURLE_WRITE_ERROR
    }
    if (transfer->web && transfer->bodyBytes == 0) {
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        if (!isSuccessStatus(status)) {
            transfer->httpError = true;
            return 0;
        }
    }
    if (!transfer->file.write(data, bytes)) {
        transfer->fileError = true;
        return 0;
    }
    transfer->bodyBytes += bytes;
    transfer->lastByte = Clock::now();
    transfer->received->fetch_add(bytes);
    transfer->sendSize();
    return bytes;
}

enum class AttemptEnd { Done, ConnectionFailed, Failed, Stopped };

// One connection attempt on `multi`; the file stays open across attempts (no body byte was
// written when an attempt is retried).
AttemptEnd runAttempt(CURLM* multi, Transfer& transfer, curl_slist* headers,
                      const TransferSettings& used) {
    const DownloadTask& task = *transfer.task;
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) {
        return AttemptEnd::Failed;
    }
    CURL* handle = easy.get();
    transfer.easy = handle;

    curl_easy_setopt(handle, CURLOPT_URL, task.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PATH_AS_IS, 1L);
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS,
                     long{CURLPROTO_HTTP | CURLPROTO_HTTPS | CURLPROTO_FTP});
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS, long{CURLPROTO_HTTP | CURLPROTO_HTTPS});
#endif
    // Time-outs must not use SIGALRM: other threads of the program are running.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
#if LIBCURL_VERSION_NUM >= 0x075700
    // stop() during a slow name lookup leaves the resolver thread behind instead of waiting.
    curl_easy_setopt(handle, CURLOPT_QUICK_EXIT, 1L);
#endif
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(atLeastOne(task.connectTimeout).count()));
    const std::size_t blockSize = used.blockSize > 0 ? used.blockSize : task.blockSize;
    if (blockSize > 0) {
        // libcurl keeps the value inside its own limits (1 KiB to 10 MiB).
        curl_easy_setopt(handle, CURLOPT_BUFFERSIZE,
                         static_cast<long>(std::min<std::size_t>(blockSize, 10u << 20)));
    }
    if (transfer.web) {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
    } else {
        // Credentials only here: on HTTP they would go out as a Basic authorisation.
        curl_easy_setopt(handle, CURLOPT_USERNAME, task.ftpUser.c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, task.ftpPassword.c_str());
        curl_easy_setopt(handle, CURLOPT_TRANSFERTEXT, 0L); // binary (TYPE I)
        // No CURLOPT_FTPPORT: passive mode, EPSV first and PASV after.
        curl_easy_setopt(handle, CURLOPT_FTP_USE_EPSV, 1L);
    }
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);

    if (curl_multi_add_handle(multi, handle) != CURLM_OK) {
        return AttemptEnd::Failed;
    }

    const Clock::time_point attemptStart = Clock::now();
    const auto connectTimeout = atLeastOne(task.connectTimeout);
    const auto firstByteTimeout = atLeastOne(task.firstByteTimeout);
    const auto stallTimeout = atLeastOne(task.stallTimeout);
    bool connected = false;
    Clock::time_point connectedAt{};
    bool finished = false;
    bool timedOut = false;
    CURLcode result = CURLE_OK;
    while (true) {
        int active = 0;
        if (curl_multi_perform(multi, &active) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == handle) {
                result = message->data.result;
                finished = true;
            }
        }
        if (finished) {
            break;
        }
        if (transfer.stopping()) {
            transfer.stopSeen = true;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (!connected) {
            curl_off_t connectTime = 0;
            curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connectTime);
            if (connectTime > 0) {
                connected = true;
                connectedAt = now;
            }
        }
        // libcurl's own low-speed limit counts whole seconds; these count milliseconds. Not
        // seen connected yet: after libcurl's connect time-out the connection stands (or the
        // attempt has ended), so the first-byte wait never starts later than that.
        Clock::time_point deadline = attemptStart + connectTimeout + firstByteTimeout;
        if (transfer.bodyBytes > 0) {
            deadline = transfer.lastByte + stallTimeout;
        } else if (connected) {
            deadline = connectedAt + firstByteTimeout;
        }
        if (now >= deadline) {
            timedOut = true;
            break;
        }
        const auto wait =
            std::min(kLongestPoll, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait.count()), nullptr);
    }

    curl_off_t connectTime = 0;
    curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connectTime);
    connected = connected || connectTime > 0;
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl_multi_remove_handle(multi, handle);

    if (finished && result == CURLE_OK && !transfer.httpError && !transfer.fileError) {
        if (transfer.web && !isSuccessStatus(status)) {
            return AttemptEnd::Failed; // an error status with an empty body, or a lone 3xx
        }
        transfer.sendSize(); // an empty body: the size is known now
        transfer.easy = nullptr;
        return AttemptEnd::Done;
    }
    transfer.easy = nullptr;
    if (transfer.stopSeen) {
        return AttemptEnd::Stopped;
    }
    if (timedOut || transfer.httpError || transfer.fileError) {
        return AttemptEnd::Failed;
    }
    if (finished && !connected && transfer.bodyBytes == 0 && isConnectionFailure(result)) {
        return AttemptEnd::ConnectionFailed;
    }
    return AttemptEnd::Failed;
}

} // namespace

void DownloadService::Impl::run(const DownloadTask& task, const Settings& used) {
    Transfer transfer;
    transfer.task = &task;
    transfer.received = &received;
    transfer.stopping = [this] {
        return stopping();
    };

    const Scheme scheme = schemeOf(task.url);
    if (scheme == Scheme::Other || !ensureCurlGlobalInit()) {
        transfer.notify(TransferEvent::Failed, 0);
        return;
    }
    transfer.web = scheme == Scheme::Web;

    switch (transfer.file.create(task.localFile)) {
    case LocalFile::Opened::Yes:
        break;
    case LocalFile::Opened::Exists:
        transfer.notify(TransferEvent::FileExists, 0);
        return;
    case LocalFile::Opened::Failed:
        transfer.notify(TransferEvent::Failed, 0);
        return;
    }

    // Appending to a non-empty list returns its unchanged head, or null leaving it intact.
    std::unique_ptr<curl_slist, ListDeleter> headers(
        curl_slist_append(nullptr, "Cache-Control: no-cache"));
    if (headers && !curl_slist_append(headers.get(), "Pragma: no-cache")) {
        headers.reset();
    }
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || !headers) {
        transfer.file.close();
        transfer.notify(TransferEvent::Failed, 0);
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(wakeLock);
        activeMulti = multi.get();
    }

    AttemptEnd end = AttemptEnd::Failed;
    for (int attempt = 0;; ++attempt) {
        end = runAttempt(multi.get(), transfer, headers.get(), used);
        if (end != AttemptEnd::ConnectionFailed || attempt >= used.retryCount) {
            break;
        }
        if (!pause(used.retryWait)) {
            end = AttemptEnd::Stopped;
            break;
        }
    }

    {
        const std::lock_guard<std::mutex> lock(wakeLock);
        activeMulti = nullptr;
    }
    multi.reset();
    const bool closed = transfer.file.close();
    switch (end) {
    case AttemptEnd::Done:
        transfer.notify(closed ? TransferEvent::Finished : TransferEvent::Failed,
                        static_cast<double>(transfer.bodyBytes));
        break;
    case AttemptEnd::Stopped:
        transfer.notify(TransferEvent::Stopped, 0);
        break;
    case AttemptEnd::ConnectionFailed:
    case AttemptEnd::Failed:
        transfer.notify(TransferEvent::Failed, 0);
        break;
    }
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
    Impl::Settings used;
    {
        const std::lock_guard<std::mutex> settingsLock(impl_->settingsLock);
        used = impl_->settings;
    }
    {
        const std::lock_guard<std::mutex> wakeLock(impl_->wakeLock);
        impl_->stopRequested = false;
    }
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
        if (task.onEvent) {
            try {
                task.onEvent(TransferEvent::Failed, 0); // no thread to run it on
            } catch (...) {
            }
        }
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

} // namespace zorvast::update
