// How one connection attempt of a transfer is judged: whether the server's answer is the file,
// its rest, or a sign that the file changed (the resume validation of HTTP and FTP), and how the
// attempt ended.
#pragma once

#include "update/net/TransferJob.h"

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvast::update::transfer {

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
    std::chrono::steady_clock::time_point lastActivity{};
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

    void resetHeaders();
    // One header line of an HTTP answer; a status line starts a new answer.
    void takeHeaderLine(std::string_view line);
};

// Judges the answer once its first body byte has come, or at its end (`atEnd`) when none came;
// on Write the job knows the whole size and holds the record of the answer.
Verdict decide(Attempt& attempt, bool atEnd);

enum class AttemptEnd {
    Done,             // the file is complete
    Stopped,          // stop() ended it
    ConnectionFailed, // no connection could be made
    Broken,           // a connection broke, timed out, or answered with a server error
    Restart,          // the file has to be fetched again from its first byte
    Failed,           // nothing a retry would change
};

// What the transfer loop saw of an attempt besides what the callbacks wrote.
struct AttemptResult {
    bool finished = false; // libcurl reported the transfer done
    CURLcode code = CURLE_OK;
    bool timedOut = false; // the no-data time-out ended it
    bool connected = false;
};

AttemptEnd endOf(const Attempt& attempt, const AttemptResult& result);

} // namespace zorvast::update::transfer
