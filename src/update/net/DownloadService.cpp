#include "update/net/DownloadService.h"

#include "common/FolderHandle.h"
#include "update/net/CurlSetup.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using common::FolderHandle;
using common::UniqueFd;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The transfer loop sleeps in curl_multi_poll at most this long; stop() wakes it earlier.
constexpr std::chrono::milliseconds kLongestPoll{1000};

constexpr std::string_view kRecordSuffix = ".resume";
constexpr std::string_view kRecordFirstLine = "zorvast partial download 1";
// A record is a few hundred bytes; anything much larger was not written by us.
constexpr std::size_t kMaxRecordBytes = 16u * 1024u;
constexpr std::size_t kMaxUrlBytes = 8u * 1024u;
// Entity tags and dates are short; a longer one is not kept (and so not sent back).
constexpr std::size_t kMaxValidatorBytes = 256;
// Status lines and headers of one attempt, redirects included. Real servers send well under
// 2 KiB; the cap only stops a server that sends headers without end.
constexpr std::size_t kMaxHeaderBytes = 256u * 1024u;
// A server that keeps contradicting itself is not asked without end.
constexpr int kMaxRestarts = 3;

const std::vector<std::chrono::milliseconds> kDefaultResumeWaits = {2000ms, 4000ms, 8000ms,
                                                                    16000ms};

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
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

bool isSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}

// ---- the record --------------------------------------------------------------------------

// Printable ASCII and bytes above it; no control characters, so never a line break.
bool isCleanText(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// A strong entity tag: quotes around the tag characters, no "W/".
bool isStrongEtag(std::string_view tag) {
    if (tag.size() < 2 || tag.size() > kMaxValidatorBytes || tag.front() != '"' ||
        tag.back() != '"') {
        return false;
    }
    const std::string_view inner = tag.substr(1, tag.size() - 2);
    return std::all_of(inner.begin(), inner.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte == 0x21 || (byte >= 0x23 && byte <= 0x7E) || byte >= 0x80;
    });
}

// A date as sent in Last-Modified: printable ASCII of a sane length.
bool isDateText(std::string_view date) {
    return !date.empty() && date.size() <= kMaxValidatorBytes &&
           std::all_of(date.begin(), date.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::optional<std::uint64_t> parseCount(std::string_view text) {
    if (text.empty() || text.size() > 19 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::optional<std::int64_t> parseFileTime(std::string_view text) {
    if (text == "-1") {
        return -1;
    }
    const std::optional<std::uint64_t> value = parseCount(text);
    if (!value || *value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*value);
}

std::string recordText(const PartialDownload& record) {
    std::string text(kRecordFirstLine);
    text += "\nurl " + record.url;
    text += "\ntotal " + std::to_string(record.totalBytes);
    if (!record.etag.empty()) {
        text += "\netag " + record.etag;
    }
    if (!record.lastModified.empty()) {
        text += "\nlast-modified " + record.lastModified;
    }
    if (record.ftpFileTime >= 0) {
        text += "\nftp-time " + std::to_string(record.ftpFileTime);
    }
    text += "\nbytes " + std::to_string(record.bytesInFile);
    text += '\n';
    return text;
}

std::optional<PartialDownload> parseRecord(std::string_view text) {
    if (text.size() > kMaxRecordBytes || text.empty() || text.back() != '\n') {
        return std::nullopt;
    }
    PartialDownload record;
    bool seen[6] = {};
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (first) {
            if (line != kRecordFirstLine) {
                return std::nullopt;
            }
            first = false;
            continue;
        }
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view key = line.substr(0, space);
        const std::string_view value = line.substr(space + 1);
        if (value.empty() || !isCleanText(value)) {
            return std::nullopt;
        }
        int slot = -1;
        if (key == "url") {
            slot = 0;
            if (value.size() > kMaxUrlBytes) {
                return std::nullopt;
            }
            record.url = value;
        } else if (key == "total") {
            slot = 1;
            const auto total = parseCount(value);
            if (!total) {
                return std::nullopt;
            }
            record.totalBytes = *total;
        } else if (key == "etag") {
            slot = 2;
            if (!isStrongEtag(value)) {
                return std::nullopt;
            }
            record.etag = value;
        } else if (key == "last-modified") {
            slot = 3;
            if (!isDateText(value)) {
                return std::nullopt;
            }
            record.lastModified = value;
        } else if (key == "ftp-time") {
            slot = 4;
            const auto time = parseFileTime(value);
            if (!time) {
                return std::nullopt;
            }
            record.ftpFileTime = *time;
        } else if (key == "bytes") {
            slot = 5;
            const auto bytes = parseCount(value);
            if (!bytes) {
                return std::nullopt;
            }
            record.bytesInFile = *bytes;
        } else {
            return std::nullopt;
        }
        if (seen[slot]) {
            return std::nullopt;
        }
        seen[slot] = true;
    }
    if (first || !seen[0] || !seen[1]) {
        return std::nullopt;
    }
    return record;
}

bool hasValidator(const PartialDownload& record) {
    return !record.etag.empty() || !record.lastModified.empty() || record.ftpFileTime >= 0;
}

// The record with the file's real size, when it can be used to resume at all.
std::optional<PartialDownload> usableRecord(std::optional<PartialDownload> record,
                                            std::uint64_t fileSize) {
    if (!record || record->totalBytes == 0 || !hasValidator(*record) ||
        fileSize > record->totalBytes) {
        return std::nullopt;
    }
    record->bytesInFile = fileSize;
    return record;
}

// The folder of a local file, opened, and the file's name in it.
struct FileSpot {
    FolderHandle folder;
    std::string name;

    std::string recordName() const { return name + std::string(kRecordSuffix); }
};

std::optional<FileSpot> spotOf(const fs::path& localFile) {
    const std::string name = localFile.filename().string();
    if (!FolderHandle::plainName(name)) {
        return std::nullopt;
    }
    fs::path parent = localFile.parent_path();
    if (parent.empty()) {
        parent = ".";
    }
    std::optional<FolderHandle> folder = FolderHandle::open(parent);
    if (!folder) {
        return std::nullopt;
    }
    return FileSpot{std::move(*folder), name};
}

std::optional<PartialDownload> readRecordIn(const FileSpot& spot) {
    const std::optional<struct stat> status = spot.folder.entryStatus(spot.recordName());
    if (!status || !S_ISREG(status->st_mode) ||
        static_cast<std::uint64_t>(status->st_size) > kMaxRecordBytes) {
        return std::nullopt;
    }
    const std::optional<std::string> text = spot.folder.readFile(spot.recordName());
    if (!text) {
        return std::nullopt;
    }
    return parseRecord(*text);
}

// ---- the local file ----------------------------------------------------------------------

// The partial file, open for appending; closed exactly once, and a failed close counts as a
// write error.
class PartialFile {
public:
    // Creates the file or opens the one there. A link at the name is refused (O_NOFOLLOW), and
    // so is anything but a regular file with one name; a file another transfer holds is refused.
    bool open(const FileSpot& spot) {
        // O_NONBLOCK: a planted FIFO must not hang the open; the type is checked right after.
        fd_.reset(::openat(spot.folder.fd(), spot.name.c_str(),
                           O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                           0600));
        struct stat info {};
        if (!fd_ || ::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_nlink != 1 || ::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
            fd_.reset();
            return false;
        }
        return true;
    }

    std::optional<std::uint64_t> size() const {
        struct stat info {};
        if (::fstat(fd_.get(), &info) != 0) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(info.st_size);
    }

    bool truncate() { return ::ftruncate(fd_.get(), 0) == 0; }

    bool write(const char* data, std::size_t size) {
        return common::writeAllTo(fd_.get(), std::string_view(data, size));
    }

    bool close() { return fd_.close(); }

private:
    UniqueFd fd_;
};

// What configure() and setResumeWaits() set, copied into each transfer when it starts.
struct TransferSettings {
    std::size_t blockSize = 0; // 0: the task's own block size
    std::chrono::milliseconds retryWait{5000};
    int retryCount = 3;
    std::vector<std::chrono::milliseconds> resumeWaits = kDefaultResumeWaits;
};

// The state the transfer thread shares with the service's callers.
struct Slot {
    std::atomic<std::uint64_t> received{0};
    std::atomic<std::uint64_t> bytesInFile{0};
    std::atomic<std::uint64_t> totalBytes{0};

    // The stop request and what it must wake: the waits and the transfer's poll.
    std::mutex wakeLock;
    std::condition_variable wake;
    bool stopRequested = false;
    CURLM* activeMulti = nullptr;

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

    void setActiveMulti(CURLM* multi) {
        const std::lock_guard<std::mutex> lock(wakeLock);
        activeMulti = multi;
    }

    // Waits `duration` unless stop() comes first; false when it did.
    bool pause(std::chrono::milliseconds duration) {
        std::unique_lock<std::mutex> lock(wakeLock);
        return !wake.wait_for(lock, duration, [this] { return stopRequested; });
    }
};

} // namespace

struct DownloadService::Impl : Slot {
    using Settings = TransferSettings;

    // start and stop, and the worker handle. Never taken on the worker thread: stop() holds it
    // while it joins.
    std::mutex control;
    std::thread worker;
    // Set by the worker for its own life, so calls from its notifications can be recognised.
    std::atomic<std::thread::id> workerId{};
    std::atomic<bool> busy{false};

    std::mutex settingsLock;
    Settings settings;

    bool onWorker() const { return workerId.load() == std::this_thread::get_id(); }

    void run(const DownloadTask& task, const Settings& used);
};

namespace {

// What one start() knows across its connection attempts.
struct Job {
    const DownloadTask* task = nullptr;
    Slot* service = nullptr;
    bool web = false;
    FileSpot spot;
    PartialFile file;
    // What the server said about the file, while it can be resumed; mirrored in the record.
    std::optional<PartialDownload> record;
    std::uint64_t fileBytes = 0;  // bytes in the file
    std::uint64_t wholeSize = 0;  // 0: not known
    bool bodyArrived = false;     // a body byte arrived in this start()
    bool sizeSent = false;        // a SizeKnown went out in this start()
    bool sizeSentForFile = false; // ... for the file as it is now (reset when it starts over)
    double lastSize = 0;

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

    void publishProgress() const {
        service->bytesInFile.store(fileBytes);
        service->totalBytes.store(wholeSize);
    }

    void saveRecord() {
        if (!record) {
            return;
        }
        record->bytesInFile = fileBytes;
        // A record that cannot be written only costs the resume: the file's own size is the truth.
        spot.folder.replaceFile(spot.recordName(), recordText(*record));
    }

    void dropRecord() {
        record.reset();
        spot.folder.removeFile(spot.recordName());
    }

    // Empties the file: what comes next is written from its first byte.
    bool startOver() {
        if (fileBytes > 0 || file.size().value_or(1) > 0) {
            if (!file.truncate()) {
                return false;
            }
            sizeSentForFile = false;
        }
        fileBytes = 0;
        publishProgress();
        return true;
    }

    void sendSize() {
        if (sizeSentForFile) {
            return;
        }
        sizeSentForFile = true;
        const double value = static_cast<double>(wholeSize > 0 ? wholeSize : fileBytes);
        if (sizeSent && value == lastSize) {
            return;
        }
        sizeSent = true;
        lastSize = value;
        notify(TransferEvent::SizeKnown, value);
    }
};

enum class Verdict {
    Write,   // the answer is the file (or its rest): write it
    Restart, // the file changed, or the server's range answer does not fit: start over at 0
    Refuse,  // an error status: its body is not the file
    Garbled, // an answer no server should give: a transfer error
};

// One connection attempt; the libcurl callbacks write into it.
struct Attempt {
    Job* job = nullptr;
    CURL* easy = nullptr;
    std::uint64_t offset = 0; // the first byte asked for

    bool decided = false;
    Verdict verdict = Verdict::Write;
    long refusedStatus = 0;
    std::uint64_t bodyBytes = 0;
    Clock::time_point lastActivity{};
    std::size_t headerBytes = 0;
    bool headersTooLarge = false;
    bool fileError = false;
    bool stopSeen = false;
    bool overrun = false;

    // Headers of the latest HTTP answer (a redirect's are replaced by the next answer's).
    std::string etag;
    std::string lastModified;
    std::string contentRange;
    int etagCount = 0;
    int lastModifiedCount = 0;
    int contentRangeCount = 0;

    void resetHeaders() {
        etag.clear();
        lastModified.clear();
        contentRange.clear();
        etagCount = lastModifiedCount = contentRangeCount = 0;
    }

    curl_off_t infoOffset(CURLINFO what) const {
        curl_off_t value = -1;
        if (curl_easy_getinfo(easy, what, &value) != CURLE_OK) {
            return -1;
        }
        return value;
    }

    long status() const {
        long value = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &value);
        return value;
    }
};

struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t total = 0;
};

// "bytes FIRST-LAST/TOTAL"; nothing for the unsatisfied form, "*" totals or anything else.
std::optional<ContentRange> parseContentRange(std::string_view text) {
    text = trimmed(text);
    if (!startsWithNoCase(text, "bytes ")) {
        return std::nullopt;
    }
    text = trimmed(text.substr(6));
    const std::size_t dash = text.find('-');
    const std::size_t slash = text.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) {
        return std::nullopt;
    }
    const auto first = parseCount(text.substr(0, dash));
    const auto last = parseCount(text.substr(dash + 1, slash - dash - 1));
    const auto total = parseCount(text.substr(slash + 1));
    if (!first || !last || !total || *first > *last || *last >= *total) {
        return std::nullopt;
    }
    return ContentRange{*first, *last, *total};
}

// A new record from a full answer, kept only when it allows a resume later.
void takeRecord(Job& job, PartialDownload fresh) {
    if (fresh.totalBytes > 0 && hasValidator(fresh)) {
        job.record = std::move(fresh);
        job.saveRecord();
    } else {
        job.dropRecord();
    }
}

Verdict decideWeb(Attempt& attempt) {
    Job& job = *attempt.job;
    const long status = attempt.status();
    const curl_off_t length = attempt.infoOffset(CURLINFO_CONTENT_LENGTH_DOWNLOAD_T);
    if (status == 206) {
        if (attempt.offset == 0 || !job.record) {
            return Verdict::Garbled; // a part nobody asked for
        }
        const std::optional<ContentRange> range =
            attempt.contentRangeCount == 1 ? parseContentRange(attempt.contentRange) : std::nullopt;
        const PartialDownload& record = *job.record;
        bool fits =
            range && range->first == attempt.offset && range->total == record.totalBytes &&
            (length < 0 || static_cast<std::uint64_t>(length) == range->last - range->first + 1);
        // A server that ignores If-Range but honours Range would splice two versions together;
        // whatever validator it sends must still be the one the first part came with.
        if (!record.etag.empty() && attempt.etagCount > 0) {
            fits = fits && attempt.etagCount == 1 && attempt.etag == record.etag;
        } else if (record.etag.empty() && attempt.lastModifiedCount > 0) {
            fits = fits && attempt.lastModifiedCount == 1 &&
                   attempt.lastModified == record.lastModified;
        }
        if (!fits) {
            return Verdict::Restart;
        }
        job.wholeSize = record.totalBytes;
        job.publishProgress();
        return Verdict::Write;
    }
    if (status == 416 && attempt.offset > 0) {
        return Verdict::Restart;
    }
    if (!isSuccessStatus(status)) {
        attempt.refusedStatus = status;
        return Verdict::Refuse;
    }
    // The whole file: the range was ignored, or the file changed and If-Range said so.
    if (!job.startOver()) {
        attempt.fileError = true;
        return Verdict::Refuse;
    }
    job.wholeSize = length > 0 ? static_cast<std::uint64_t>(length) : 0;
    job.publishProgress();
    PartialDownload fresh;
    fresh.url = job.task->url;
    fresh.totalBytes = job.wholeSize;
    if (attempt.etagCount == 1 && isStrongEtag(attempt.etag)) {
        fresh.etag = attempt.etag;
    }
    if (attempt.lastModifiedCount == 1 && isDateText(attempt.lastModified)) {
        fresh.lastModified = attempt.lastModified;
    }
    takeRecord(job, std::move(fresh));
    return Verdict::Write;
}

// `atEnd`: the transfer ended without a body byte.
Verdict decideFtp(Attempt& attempt, bool atEnd) {
    Job& job = *attempt.job;
    long unmet = 0;
    curl_easy_getinfo(attempt.easy, CURLINFO_CONDITION_UNMET, &unmet);
    const curl_off_t length = attempt.infoOffset(CURLINFO_CONTENT_LENGTH_DOWNLOAD_T);
    const curl_off_t fileTime = attempt.infoOffset(CURLINFO_FILETIME_T);
    if (attempt.offset > 0) {
        if (unmet != 0 || !job.record) {
            return Verdict::Restart; // modified since the first part came
        }
        const PartialDownload& record = *job.record;
        const bool sameTime = fileTime >= 0 && fileTime == record.ftpFileTime;
        bool sameSize =
            length >= 0 && attempt.offset + static_cast<std::uint64_t>(length) == record.totalBytes;
        if (atEnd && attempt.offset == record.totalBytes) {
            // Nothing was left to fetch; libcurl then reports the whole size.
            sameSize = length == 0 || static_cast<std::uint64_t>(length) == attempt.offset;
        }
        if (!sameTime || !sameSize) {
            return Verdict::Restart;
        }
        job.wholeSize = record.totalBytes;
        job.publishProgress();
        return Verdict::Write;
    }
    if (!job.startOver()) {
        attempt.fileError = true;
        return Verdict::Refuse;
    }
    job.wholeSize = length > 0 ? static_cast<std::uint64_t>(length) : 0;
    job.publishProgress();
    PartialDownload fresh;
    fresh.url = job.task->url;
    fresh.totalBytes = job.wholeSize;
    fresh.ftpFileTime = fileTime >= 0 ? static_cast<std::int64_t>(fileTime) : -1;
    takeRecord(job, std::move(fresh));
    return Verdict::Write;
}

Verdict decide(Attempt& attempt, bool atEnd) {
    attempt.decided = true;
    attempt.verdict = attempt.job->web ? decideWeb(attempt) : decideFtp(attempt, atEnd);
    return attempt.verdict;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* attempt = static_cast<Attempt*>(user);
    const std::size_t bytes = size * count;
    attempt->lastActivity = Clock::now();
    attempt->headerBytes += bytes;
    if (attempt->headerBytes > kMaxHeaderBytes) {
        attempt->headersTooLarge = true;
        return 0; // makes libcurl abort with CURLE_WRITE_ERROR
    }
    if (!attempt->job->web) {
        return bytes; // FTP replies: only a sign of life
    }
    const std::string_view line(data, bytes);
    if (startsWithNoCase(line, "HTTP/")) {
        attempt->resetHeaders(); // a new answer, after a redirect or an interim one
        return bytes;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return bytes;
    }
    const std::string_view name = trimmed(line.substr(0, colon));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (equalNoCase(name, "ETag")) {
        attempt->etag = value;
        ++attempt->etagCount;
    } else if (equalNoCase(name, "Last-Modified")) {
        attempt->lastModified = value;
        ++attempt->lastModifiedCount;
    } else if (equalNoCase(name, "Content-Range")) {
        attempt->contentRange = value;
        ++attempt->contentRangeCount;
    }
    return bytes;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* attempt = static_cast<Attempt*>(user);
    Job& job = *attempt->job;
    const std::size_t bytes = size * count;
    if (bytes == 0) {
        return 0; // an empty file, announced as such
    }
    if (job.service->stopping()) {
        attempt->stopSeen = true;
        return 0; // makes libcurl abort with CURLE_WRITE_ERROR
    }
    if (!attempt->decided && decide(*attempt, false) != Verdict::Write) {
        return 0;
    }
    if (job.wholeSize > 0 && bytes > job.wholeSize - job.fileBytes) {
        attempt->overrun = true; // more than the server itself announced
        return 0;
    }
    if (!job.file.write(data, bytes)) {
        attempt->fileError = true;
        return 0;
    }
    attempt->bodyBytes += bytes;
    attempt->lastActivity = Clock::now();
    job.fileBytes += bytes;
    job.bodyArrived = true;
    job.service->received.fetch_add(bytes);
    job.publishProgress();
    job.sendSize();
    return bytes;
}

enum class AttemptEnd {
    Done,             // the file is complete
    Stopped,          // stop() ended it
    ConnectionFailed, // no connection could be made
    Broken,           // a connection broke, timed out, or answered with a server error
    Restart,          // the file has to be fetched again from its first byte
    Failed,           // nothing a retry would change
};

AttemptEnd endOfVerdict(const Attempt& attempt) {
    switch (attempt.verdict) {
    case Verdict::Write:
        break;
    case Verdict::Restart:
        return AttemptEnd::Restart;
    case Verdict::Refuse:
        if (attempt.fileError) {
            return AttemptEnd::Failed;
        }
        return attempt.refusedStatus >= 500 ? AttemptEnd::Broken : AttemptEnd::Failed;
    case Verdict::Garbled:
        return AttemptEnd::Broken;
    }
    return AttemptEnd::Done;
}

// One connection attempt on `multi` asking for the file from `offset` on.
AttemptEnd runAttempt(CURLM* multi, Job& job, std::uint64_t offset, curl_slist* baseHeaders,
                      const TransferSettings& used) {
    const DownloadTask& task = *job.task;
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) {
        return AttemptEnd::Failed;
    }
    CURL* handle = easy.get();
    Attempt attempt;
    attempt.job = &job;
    attempt.easy = handle;
    attempt.offset = offset;

    // The shared headers, and If-Range for a resumed web request. Declared before the handle is
    // used and kept until it is removed from `multi`.
    CurlHeaderList ownHeaders;
    curl_slist* headers = baseHeaders;
    if (job.web && offset > 0 && job.record) {
        const std::string& validator =
            !job.record->etag.empty() ? job.record->etag : job.record->lastModified;
        ownHeaders = noCacheHeaders();
        if (!ownHeaders || !appendHeader(ownHeaders, "If-Range: " + validator)) {
            return AttemptEnd::Failed;
        }
        headers = ownHeaders.get();
    }
    if (!setUpCurlHandle(handle, task.url, CurlSchemes::WebAndFtp, headers)) {
        return AttemptEnd::Failed;
    }
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(atLeastOne(task.connectTimeout).count()));
    const std::size_t blockSize = used.blockSize > 0 ? used.blockSize : task.blockSize;
    if (blockSize > 0) {
        // libcurl keeps the value inside its own limits (1 KiB to 10 MiB).
        curl_easy_setopt(handle, CURLOPT_BUFFERSIZE,
                         static_cast<long>(std::min<std::size_t>(blockSize, 10u << 20)));
    }
    const std::string range = std::to_string(offset) + "-";
    if (job.web) {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
        if (offset > 0) {
            // Not CURLOPT_RESUME_FROM: libcurl would fail a 200 answer, which here means "the
            // whole file" and is written from its first byte.
            curl_easy_setopt(handle, CURLOPT_RANGE, range.c_str());
        }
    } else {
        // Credentials only here: on HTTP they would go out as a Basic authorisation.
        curl_easy_setopt(handle, CURLOPT_USERNAME, task.ftpUser.c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, task.ftpPassword.c_str());
        curl_easy_setopt(handle, CURLOPT_TRANSFERTEXT, 0L); // binary (TYPE I)
        // No CURLOPT_FTPPORT: passive mode, EPSV first and PASV after.
        curl_easy_setopt(handle, CURLOPT_FTP_USE_EPSV, 1L);
        // The file's time (MDTM) tells a changed file from the one the first part came from.
        curl_easy_setopt(handle, CURLOPT_FILETIME, 1L);
        if (offset > 0 && job.record) {
            curl_easy_setopt(handle, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(offset));
            curl_easy_setopt(handle, CURLOPT_TIMECONDITION, long{CURL_TIMECOND_IFUNMODSINCE});
            curl_easy_setopt(handle, CURLOPT_TIMEVALUE_LARGE,
                             static_cast<curl_off_t>(job.record->ftpFileTime));
        }
    }
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &attempt);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &attempt);

    if (curl_multi_add_handle(multi, handle) != CURLM_OK) {
        return AttemptEnd::Failed;
    }

    const bool https = isHttpsUrl(task.url);
    const Clock::time_point attemptStart = Clock::now();
    const auto connectTimeout = atLeastOne(task.connectTimeout);
    const auto noDataTimeout = atLeastOne(task.noDataTimeout);
    // The connection counts as made once TCP (and for https, TLS) stands.
    auto connectedNow = [&] {
        curl_off_t connect = 0;
        curl_off_t appConnect = 0;
        curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connect);
        curl_easy_getinfo(handle, CURLINFO_APPCONNECT_TIME_T, &appConnect);
        return connect > 0 && (!https || appConnect > 0);
    };
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
        if (job.service->stopping()) {
            attempt.stopSeen = true;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (!connected && connectedNow()) {
            connected = true;
            connectedAt = now;
        }
        // libcurl's own low-speed limit counts whole seconds; this counts milliseconds, from
        // the connection or the last byte (headers too). Not seen connected yet: after
        // libcurl's connect time-out the connection stands or the attempt has ended, so the
        // no-data wait never starts later than that.
        Clock::time_point deadline = attemptStart + connectTimeout + noDataTimeout;
        if (connected) {
            deadline = std::max(connectedAt, attempt.lastActivity) + noDataTimeout;
        }
        if (now >= deadline) {
            timedOut = true;
            break;
        }
        const auto wait =
            std::min(kLongestPoll, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait.count()), nullptr);
    }
    connected = connected || connectedNow();
    if (finished && result == CURLE_OK && !attempt.decided && !attempt.stopSeen) {
        decide(attempt, true); // no body byte came: an empty file, or an answer without one
    }
    curl_multi_remove_handle(multi, handle);

    if (attempt.stopSeen) {
        return AttemptEnd::Stopped;
    }
    if (attempt.fileError) {
        return AttemptEnd::Failed;
    }
    if (attempt.overrun) {
        return AttemptEnd::Restart;
    }
    if (attempt.decided && attempt.verdict != Verdict::Write) {
        return endOfVerdict(attempt);
    }
    if (finished && result == CURLE_OK) {
        if (job.wholeSize > 0 && job.fileBytes < job.wholeSize) {
            return AttemptEnd::Broken; // a part that ended before the file did
        }
        return AttemptEnd::Done;
    }
    if (finished && result == CURLE_BAD_DOWNLOAD_RESUME) {
        return AttemptEnd::Restart; // the FTP file is shorter than the part we have
    }
    if (timedOut || attempt.headersTooLarge) {
        return AttemptEnd::Broken;
    }
    if (finished && !connected && attempt.bodyBytes == 0 && isConnectionFailure(result)) {
        return AttemptEnd::ConnectionFailed;
    }
    return AttemptEnd::Broken;
}

} // namespace

void DownloadService::Impl::run(const DownloadTask& task, const Settings& used) {
    Job job;
    job.task = &task;
    job.service = this;

    const Scheme scheme = schemeOf(task.url);
    if (scheme == Scheme::Other || !ensureCurlGlobalInit()) {
        job.notify(TransferEvent::Failed, 0);
        return;
    }
    job.web = scheme == Scheme::Web;

    std::optional<FileSpot> spot = spotOf(task.localFile);
    if (!spot) {
        job.notify(TransferEvent::Failed, 0);
        return;
    }
    job.spot = std::move(*spot);
    if (!job.file.open(job.spot)) {
        job.notify(TransferEvent::Failed, 0);
        return;
    }

    // Resume only what the record says came from this URL, with a validator this scheme uses.
    const std::uint64_t sizeNow = job.file.size().value_or(0);
    std::optional<PartialDownload> record = usableRecord(readRecordIn(job.spot), sizeNow);
    if (record && record->url == task.url &&
        (job.web ? (!record->etag.empty() || !record->lastModified.empty())
                 : record->ftpFileTime >= 0)) {
        job.record = std::move(record);
        job.fileBytes = sizeNow;
        job.wholeSize = job.record->totalBytes;
    } else {
        job.dropRecord();
        job.fileBytes = sizeNow;
        if (!job.startOver()) {
            job.file.close();
            job.notify(TransferEvent::Failed, 0);
            return;
        }
    }
    job.publishProgress();

    const CurlHeaderList headers = noCacheHeaders();
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || !headers) {
        job.file.close();
        job.notify(TransferEvent::Failed, 0);
        return;
    }
    setActiveMulti(multi.get());

    int connectRetries = 0;
    std::size_t resumes = 0;
    int restarts = 0;
    AttemptEnd end = AttemptEnd::Failed;
    while (true) {
        const std::uint64_t offset = job.record && job.fileBytes > 0 ? job.fileBytes : 0;
        if (offset == 0 && !job.startOver()) {
            end = AttemptEnd::Failed;
            break;
        }
        end = runAttempt(multi.get(), job, offset, headers.get(), used);
        if (end == AttemptEnd::Restart) {
            if (offset == 0 || ++restarts > kMaxRestarts) {
                end = AttemptEnd::Failed;
                break;
            }
            job.dropRecord();
            job.wholeSize = 0;
            continue;
        }
        if (end == AttemptEnd::ConnectionFailed && !job.bodyArrived) {
            if (connectRetries >= used.retryCount) {
                break;
            }
            ++connectRetries;
            if (!pause(used.retryWait)) {
                end = AttemptEnd::Stopped;
                break;
            }
            continue;
        }
        if (end == AttemptEnd::ConnectionFailed || end == AttemptEnd::Broken) {
            // Before any byte arrived a broken answer is not resumed: the server is not working.
            if (!job.bodyArrived || resumes >= used.resumeWaits.size()) {
                end = AttemptEnd::Failed;
                break;
            }
            job.saveRecord();
            if (!pause(used.resumeWaits[resumes++])) {
                end = AttemptEnd::Stopped;
                break;
            }
            continue;
        }
        break;
    }

    setActiveMulti(nullptr);
    multi.reset();

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
    Impl::Settings used;
    {
        const std::lock_guard<std::mutex> settingsLock(impl_->settingsLock);
        used = impl_->settings;
    }
    {
        const std::lock_guard<std::mutex> wakeLock(impl_->wakeLock);
        impl_->stopRequested = false;
    }
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

TransferProgress DownloadService::progress() const {
    TransferProgress now;
    now.bytesInFile = impl_->bytesInFile.load();
    now.totalBytes = impl_->totalBytes.load();
    return now;
}

std::optional<PartialDownload> readPartialDownload(const fs::path& localFile) {
    const std::optional<FileSpot> spot = spotOf(localFile);
    if (!spot) {
        return std::nullopt;
    }
    const std::optional<struct stat> status = spot->folder.entryStatus(spot->name);
    if (!status || !S_ISREG(status->st_mode)) {
        return std::nullopt;
    }
    return usableRecord(readRecordIn(*spot), static_cast<std::uint64_t>(status->st_size));
}

bool writePartialDownload(const fs::path& localFile, const PartialDownload& record) {
    const std::optional<FileSpot> spot = spotOf(localFile);
    return spot && spot->folder.replaceFile(spot->recordName(), recordText(record));
}

void discardDownload(const fs::path& localFile) {
    const std::optional<FileSpot> spot = spotOf(localFile);
    if (!spot) {
        return;
    }
    spot->folder.removeFile(spot->recordName());
    spot->folder.removeFile(spot->name);
}

} // namespace zorvast::update
