// The download service's inside: what its callers and its transfer thread share, and what one
// start() knows across its connection attempts.
#pragma once

#include "update/net/DownloadService.h"
#include "update/net/PartialFile.h"
#include "update/net/ResumeRecord.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace zorvast::update::transfer {

// What configure() and setResumeWaits() set, copied into each transfer when it starts.
struct TransferSettings {
    std::size_t blockSize = 0; // 0: the task's own block size
    std::chrono::milliseconds retryWait{5000};
    int retryCount = 3;
    std::vector<std::chrono::milliseconds> resumeWaits{
        std::chrono::seconds(2), std::chrono::seconds(4), std::chrono::seconds(8),
        std::chrono::seconds(16)};
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

    bool stopping();
    void requestStop();
    void clearStop();
    void setActiveMulti(CURLM* multi);
    // Waits `duration` unless stop() comes first; false when it did.
    bool pause(std::chrono::milliseconds duration);
};

// What one start() knows across its connection attempts.
struct Job {
    const DownloadTask* task = nullptr;
    Slot* service = nullptr;
    bool web = false;
    DownloadSpot spot;
    PartialFile file;
    // What the server said about the file, while it can be resumed; mirrored in the record.
    std::optional<PartialDownload> record;
    std::uint64_t fileBytes = 0;  // bytes in the file
    std::uint64_t wholeSize = 0;  // 0: not known
    bool bodyArrived = false;     // a body byte arrived in this start()
    bool sizeSent = false;        // a SizeKnown went out in this start()
    bool sizeSentForFile = false; // ... for the file as it is now (reset when it starts over)
    double lastSize = 0;

    // The task's notification; never throws (it is called from inside libcurl's callbacks too).
    void notify(TransferEvent event, double value) const;
    void publishProgress() const;
    // The record beside the file brought up to date; a record that cannot be written only costs
    // the resume, as the file's own size is the truth.
    void saveRecord();
    void dropRecord();
    // A new record from a full answer, kept only when it allows a resume later.
    void takeRecord(PartialDownload fresh);
    // Empties the file: what comes next is written from its first byte.
    bool startOver();
    // SizeKnown, once for the file as it is now, and again only for another size.
    void sendSize();
};

} // namespace zorvast::update::transfer
