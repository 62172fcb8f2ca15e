// One background transfer slot for the update packages: HTTP and anonymous FTP downloads to a
// local file on a thread of its own, with a byte counter the progress tick drains and a few
// notifications. libcurl does the transfer.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace zorvast::update {

enum class TransferEvent {
    SizeKnown,  // value: total bytes; once per transfer, after the first block has arrived
    Finished,   // the whole body arrived and the file is closed
    Failed,     // connection, protocol, time-out or file error (after the retries)
    Stopped,    // stop() ended it
    FileExists, // the local file was there already: the transfer is abandoned
};

struct DownloadTask {
    std::string url;
    std::filesystem::path localFile;
    std::string ftpUser = "anonymous";
    std::string ftpPassword = "zorvast@localhost"; // e-mail form, as anonymous FTP asks
    // Connect, first byte and stall (no byte for this long) time-outs.
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds firstByteTimeout{5000};
    std::chrono::milliseconds stallTimeout{5000};
    std::size_t blockSize = 10240;
    // Called on the service's thread.
    std::function<void(TransferEvent, double value)> onEvent;
};

class Downloader {
public:
    virtual ~Downloader() = default;
    // Block size, the wait between connection retries and their number.
    virtual void configure(std::size_t blockSize, std::chrono::milliseconds retryWait,
                           int retryCount) = 0;
    // Starts the task in the background; does nothing while a transfer runs.
    virtual void start(const DownloadTask& task) = 0;
    // Ends the running transfer, if any, and waits until its thread has let go of the file.
    virtual void stop() = 0;
    // Bytes received since the previous call.
    virtual std::uint64_t takeReceivedBytes() = 0;
    virtual bool running() const = 0;
};

class DownloadService final : public Downloader {
public:
    DownloadService();
    ~DownloadService() override; // stops a running transfer
    DownloadService(const DownloadService&) = delete;
    DownloadService& operator=(const DownloadService&) = delete;

    void configure(std::size_t blockSize, std::chrono::milliseconds retryWait,
                   int retryCount) override;
    void start(const DownloadTask& task) override;
    void stop() override;
    std::uint64_t takeReceivedBytes() override;
    bool running() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zorvast::update
