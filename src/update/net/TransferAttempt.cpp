#include "update/net/TransferAttempt.h"

#include "update/net/CurlSetup.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace zorvast::update::transfer {

namespace {

using Clock = std::chrono::steady_clock;

// The transfer loop sleeps in curl_multi_poll at most this long; stop() wakes it earlier.
constexpr std::chrono::milliseconds kLongestPoll{1000};
// HTTP redirects followed on the way to a package.
constexpr long kMaxRedirects = 5;

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* attempt = static_cast<Attempt*>(user);
    const std::size_t bytes = size * count;
    attempt->lastActivity = Clock::now();
    attempt->headerBytes += bytes;
    if (attempt->headerBytes > kMaxHeaderBytes) {
        attempt->headersTooLarge = true;
        return 0; // makes libcurl abort with CURLE_WRITE_ERROR
    }
    // FTP replies are only a sign of life.
    if (attempt->job->web) {
        attempt->takeHeaderLine(std::string_view(data, bytes));
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

// The options of the scheme: HTTP asks for the rest by a range, FTP by REST with the file's time
// as the condition. `range` stays alive until the transfer ends.
void askForTheRest(CURL* handle, const Job& job, std::uint64_t offset, const std::string& range) {
    const DownloadTask& task = *job.task;
    if (job.web) {
        if (offset > 0) {
            // Not CURLOPT_RESUME_FROM: libcurl would fail a 200 answer, which here means "the
            // whole file" and is written from its first byte.
            curl_easy_setopt(handle, CURLOPT_RANGE, range.c_str());
        }
        return;
    }
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

// Runs the attempt's transfer until libcurl reports it done, stop() is called or no byte came
// for the no-data time-out.
AttemptResult transferUntilDone(CURLM* multi, CURL* handle, Attempt& attempt,
                                const DownloadTask& task) {
    AttemptResult result;
    const bool https = isHttpsUrl(task.url);
    const Clock::time_point attemptStart = Clock::now();
    const auto connectTimeout = curlTimeout(task.connectTimeout);
    const auto noDataTimeout = curlTimeout(task.noDataTimeout);
    // The connection counts as made once TCP (and for https, TLS) stands.
    const auto connectedNow = [&] {
        curl_off_t connect = 0;
        curl_off_t appConnect = 0;
        curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connect);
        curl_easy_getinfo(handle, CURLINFO_APPCONNECT_TIME_T, &appConnect);
        return connect > 0 && (!https || appConnect > 0);
    };
    Clock::time_point connectedAt{};
    while (true) {
        int active = 0;
        if (curl_multi_perform(multi, &active) != CURLM_OK) {
            result.code = CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == handle) {
                result.code = message->data.result;
                result.finished = true;
            }
        }
        if (result.finished) {
            break;
        }
        if (attempt.job->service->stopping()) {
            attempt.stopSeen = true;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (!result.connected && connectedNow()) {
            result.connected = true;
            connectedAt = now;
        }
        // libcurl's own low-speed limit counts whole seconds; this counts milliseconds, from
        // the connection or the last byte (headers too). Not seen connected yet: after
        // libcurl's connect time-out the connection stands or the attempt has ended, so the
        // no-data wait never starts later than that.
        Clock::time_point deadline = attemptStart + connectTimeout + noDataTimeout;
        if (result.connected) {
            deadline = std::max(connectedAt, attempt.lastActivity) + noDataTimeout;
        }
        if (now >= deadline) {
            result.timedOut = true;
            break;
        }
        const auto wait =
            std::min(kLongestPoll, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait.count()), nullptr);
    }
    result.connected = result.connected || connectedNow();
    return result;
}

} // namespace

AttemptEnd runAttempt(CURLM* multi, Job& job, std::uint64_t offset, curl_slist* baseHeaders,
                      const TransferSettings& used) {
    const DownloadTask& task = *job.task;
    Attempt attempt;
    attempt.job = &job;
    attempt.offset = offset;

    // The shared headers, and If-Range for a resumed web request. Declared before the handle so
    // that they outlive it.
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
    const std::string range = std::to_string(offset) + "-";
    const CurlEasy easy = makeCurlHandle({
        .url = task.url,
        .schemes = CurlSchemes::WebAndFtp,
        .headers = headers,
        .connectTimeout = task.connectTimeout,
        .maxRedirects = job.web ? std::optional<long>(kMaxRedirects) : std::nullopt,
        .onHeader = &onHeader,
        .headerTarget = &attempt,
        .onBody = &onBody,
        .bodyTarget = &attempt,
    });
    if (!easy) {
        return AttemptEnd::Failed;
    }
    CURL* handle = easy.get();
    attempt.easy = handle;
    const std::size_t blockSize = used.blockSize > 0 ? used.blockSize : task.blockSize;
    if (blockSize > 0) {
        // libcurl keeps the value inside its own limits (1 KiB to 10 MiB).
        curl_easy_setopt(handle, CURLOPT_BUFFERSIZE,
                         static_cast<long>(std::min<std::size_t>(blockSize, 10u << 20)));
    }
    askForTheRest(handle, job, offset, range);

    if (curl_multi_add_handle(multi, handle) != CURLM_OK) {
        return AttemptEnd::Failed;
    }
    const AttemptResult result = transferUntilDone(multi, handle, attempt, task);
    if (result.finished && result.code == CURLE_OK && !attempt.decided && !attempt.stopSeen) {
        decide(attempt, true); // no body byte came: an empty file, or an answer without one
    }
    curl_multi_remove_handle(multi, handle);
    return endOf(attempt, result);
}

} // namespace zorvast::update::transfer
