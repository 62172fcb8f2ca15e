// One background transfer slot for the update packages: HTTP, HTTPS and anonymous FTP downloads
// to a local file on a thread of its own, with a byte counter the progress tick drains and a few
// notifications. libcurl does the transfer.
//
// Links are slow and break, so a transfer resumes instead of starting over: beside a partial
// file lies its record ("<localFile>.resume": the URL, the whole size and the server's
// validators). A start() that finds a partial file with a matching record asks only for the rest
// (HTTP Range with If-Range, FTP REST); a file that changed on the server meanwhile is fetched
// again from its first byte. Within one start(), a connection that breaks after bytes arrived is
// resumed after each of the resume waits in turn.
#pragma once

#include "update/net/ResumeRecord.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zorvast::update {

enum class TransferEvent {
    // value: the whole file's size (the part already in the file included). Sent once per
    // start(), when the first block of the body has arrived; without a size from the server,
    // the file's size at that moment. Sent again only when the file had to be fetched anew
    // from its first byte within the same start() and the new answer gives another size.
    SizeKnown,
    Finished, // value: the file's size. The file is complete and closed; its record is removed.
    Failed,   // value 0. Connection, protocol, time-out or file error (after the retries and
              // the resume waits). The file and its record stay for a later start().
    Stopped,  // value 0. stop() ended it; the file and its record stay.
};

struct DownloadTask {
    std::string url;
    // The partial or complete file; its record lives beside it. Opened without following a
    // link: a link at this name fails the transfer.
    std::filesystem::path localFile;
    std::string ftpUser = "anonymous";
    std::string ftpPassword = "zorvast@localhost"; // e-mail form, as anonymous FTP asks
    // Name lookup, TCP and TLS together.
    std::chrono::milliseconds connectTimeout{20000};
    // No byte for this long ends the connection: the wait for the first byte and stalls alike.
    // Slow links and busy servers often take several seconds to answer.
    std::chrono::milliseconds noDataTimeout{30000};
    std::size_t blockSize = 10240;
    // Called on the service's thread.
    std::function<void(TransferEvent, double value)> onEvent;
};

struct TransferProgress {
    std::uint64_t bytesInFile = 0; // resumed part included
    std::uint64_t totalBytes = 0;  // the whole file; 0: not known
};

class Downloader {
public:
    virtual ~Downloader() = default;
    // Block size, the wait between connection retries and their number. The retries are for a
    // connection that cannot be made before any byte has arrived in this start().
    virtual void configure(std::size_t blockSize, std::chrono::milliseconds retryWait,
                           int retryCount) = 0;
    // The waits before each resume of a connection that broke after bytes had arrived (reset,
    // short body, no-data time-out, refused reconnect, server error on the resume); their number
    // bounds the resumes per start(). Default {2 s, 4 s, 8 s, 16 s}; taken at start().
    virtual void setResumeWaits(std::vector<std::chrono::milliseconds> waits) = 0;
    // Starts the task in the background; does nothing while a transfer runs.
    virtual void start(const DownloadTask& task) = 0;
    // Ends the running transfer, if any (also during a wait), and waits until its thread has
    // let go of the file.
    virtual void stop() = 0;
    // Bytes received since the previous call (the resumed part is not received again).
    virtual std::uint64_t takeReceivedBytes() = 0;
    virtual bool running() const = 0;
    // Bytes in the file now and the whole size when known (from the record while resuming,
    // else from the answer); reset to zero by start().
    virtual TransferProgress progress() const = 0;
};

class DownloadService final : public Downloader {
public:
    DownloadService();
    ~DownloadService() override; // stops a running transfer
    DownloadService(const DownloadService&) = delete;
    DownloadService& operator=(const DownloadService&) = delete;

    void configure(std::size_t blockSize, std::chrono::milliseconds retryWait,
                   int retryCount) override;
    void setResumeWaits(std::vector<std::chrono::milliseconds> waits) override;
    void start(const DownloadTask& task) override;
    void stop() override;
    std::uint64_t takeReceivedBytes() override;
    bool running() const override;
    TransferProgress progress() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zorvast::update
