#include "update/net/TransferOutcome.h"

#include "update/net/ServerText.h"

#include <optional>
#include <string_view>

namespace zorvast::update::transfer {

namespace {

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

curl_off_t infoOffset(CURL* easy, CURLINFO what) {
    curl_off_t value = -1;
    if (curl_easy_getinfo(easy, what, &value) != CURLE_OK) {
        return -1;
    }
    return value;
}

long statusOf(CURL* easy) {
    long value = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &value);
    return value;
}

bool isSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}

// The connection itself could not be made: worth another try after the retry wait.
bool isConnectionFailure(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT: // only the connect time-out is libcurl's
        return true;
    default:
        return false;
    }
}

// A part of the file that was asked for: its range must continue the file and its validator
// be the one the first part came with.
Verdict decideWebPart(Attempt& attempt, curl_off_t length) {
    Job& job = *attempt.job;
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
        fits =
            fits && attempt.lastModifiedCount == 1 && attempt.lastModified == record.lastModified;
    }
    if (!fits) {
        return Verdict::Restart;
    }
    job.wholeSize = record.totalBytes;
    job.publishProgress();
    return Verdict::Write;
}

// The whole file comes: it is written from its first byte, under a record of this answer.
Verdict takeWholeFile(Attempt& attempt, curl_off_t length, PartialDownload fresh) {
    Job& job = *attempt.job;
    if (!job.startOver()) {
        attempt.fileError = true;
        return Verdict::Refuse;
    }
    job.wholeSize = length > 0 ? static_cast<std::uint64_t>(length) : 0;
    job.publishProgress();
    fresh.url = job.task->url;
    fresh.totalBytes = job.wholeSize;
    job.takeRecord(std::move(fresh));
    return Verdict::Write;
}

Verdict decideWeb(Attempt& attempt) {
    const long status = statusOf(attempt.easy);
    const curl_off_t length = infoOffset(attempt.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T);
    if (status == 206) {
        return decideWebPart(attempt, length);
    }
    if (status == 416 && attempt.offset > 0) {
        return Verdict::Restart;
    }
    if (!isSuccessStatus(status)) {
        attempt.refusedStatus = status;
        return Verdict::Refuse;
    }
    // The whole file: the range was ignored, or the file changed and If-Range said so.
    PartialDownload fresh;
    if (attempt.etagCount == 1 && isStrongEtag(attempt.etag)) {
        fresh.etag = attempt.etag;
    }
    if (attempt.lastModifiedCount == 1 && isDateText(attempt.lastModified)) {
        fresh.lastModified = attempt.lastModified;
    }
    return takeWholeFile(attempt, length, std::move(fresh));
}

// `atEnd`: the transfer ended without a body byte.
Verdict decideFtp(Attempt& attempt, bool atEnd) {
    Job& job = *attempt.job;
    long unmet = 0;
    curl_easy_getinfo(attempt.easy, CURLINFO_CONDITION_UNMET, &unmet);
    const curl_off_t length = infoOffset(attempt.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T);
    const curl_off_t fileTime = infoOffset(attempt.easy, CURLINFO_FILETIME_T);
    if (attempt.offset == 0) {
        PartialDownload fresh;
        fresh.ftpFileTime = fileTime >= 0 ? static_cast<std::int64_t>(fileTime) : -1;
        return takeWholeFile(attempt, length, std::move(fresh));
    }
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

} // namespace

void Attempt::resetHeaders() {
    etag.clear();
    lastModified.clear();
    contentRange.clear();
    etagCount = lastModifiedCount = contentRangeCount = 0;
}

void Attempt::takeHeaderLine(std::string_view line) {
    if (startsWithNoCase(line, "HTTP/")) {
        resetHeaders(); // a new answer, after a redirect or an interim one
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return;
    }
    const std::string_view name = trimmed(line.substr(0, colon));
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (equalNoCase(name, "ETag")) {
        etag = value;
        ++etagCount;
    } else if (equalNoCase(name, "Last-Modified")) {
        lastModified = value;
        ++lastModifiedCount;
    } else if (equalNoCase(name, "Content-Range")) {
        contentRange = value;
        ++contentRangeCount;
    }
}

Verdict decide(Attempt& attempt, bool atEnd) {
    attempt.decided = true;
    attempt.verdict = attempt.job->web ? decideWeb(attempt) : decideFtp(attempt, atEnd);
    return attempt.verdict;
}

AttemptEnd endOf(const Attempt& attempt, const AttemptResult& result) {
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
    const Job& job = *attempt.job;
    if (result.finished && result.code == CURLE_OK) {
        if (job.wholeSize > 0 && job.fileBytes < job.wholeSize) {
            return AttemptEnd::Broken; // a part that ended before the file did
        }
        return AttemptEnd::Done;
    }
    if (result.finished && result.code == CURLE_BAD_DOWNLOAD_RESUME) {
        return AttemptEnd::Restart; // the FTP file is shorter than the part we have
    }
    if (result.timedOut || attempt.headersTooLarge) {
        return AttemptEnd::Broken;
    }
    if (result.finished && !result.connected && attempt.bodyBytes == 0 &&
        isConnectionFailure(result.code)) {
        return AttemptEnd::ConnectionFailed;
    }
    return AttemptEnd::Broken;
}

} // namespace zorvast::update::transfer
