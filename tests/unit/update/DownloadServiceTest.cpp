#include "update/net/DownloadService.h"

#include "support/LocalFtpServer.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zorvast::update {
namespace {

using namespace std::chrono_literals;
using zorvast::testing::LocalFtpServer;
using zorvast::testing::LocalHttpServer;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;
using Clock = std::chrono::steady_clock;

// Upper bounds on top of a time-out: generous, so a loaded machine does not fail them.
constexpr auto kSlack = 1500ms;
// How long any transfer of these tests may take at most before the test gives up on it.
constexpr auto kGiveUp = 30s;

const char* nameOf(TransferEvent event) {
    switch (event) {
    case TransferEvent::SizeKnown:
        return "SizeKnown";
    case TransferEvent::Finished:
        return "Finished";
    case TransferEvent::Failed:
        return "Failed";
    case TransferEvent::Stopped:
        return "Stopped";
    case TransferEvent::FileExists:
        return "FileExists";
    }
    return "?";
}

bool isEnd(TransferEvent event) {
    return event != TransferEvent::SizeKnown;
}

// The bytes http_server.py sends for /sized/N and /stream/N: never a zero byte.
std::string patternBytes(std::size_t size) {
    constexpr std::size_t kChunk = 64 * 1024;
    std::string block(kChunk, '\0');
    for (std::size_t i = 0; i < kChunk; ++i) {
        block[i] = static_cast<char>((i * 7 + 1) % 251 + 1);
    }
    std::string out;
    out.reserve(size);
    while (out.size() < size) {
        out.append(block, 0, std::min(kChunk, size - out.size()));
    }
    return out;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double seconds(std::chrono::milliseconds value) {
    return std::chrono::duration<double>(value).count();
}

// The notifications of one transfer, with the thread each came on.
class Events {
public:
    struct Event {
        TransferEvent kind;
        double value;
        std::thread::id thread;
    };

    std::function<void(TransferEvent, double)> callback() {
        return [this](TransferEvent kind, double value) {
            const std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back({kind, value, std::this_thread::get_id()});
            changed_.notify_all();
        };
    }

    // True when an ending notification arrived within `limit`.
    bool waitForEnd(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return endsLocked() > 0; });
    }

    bool waitForFirst(TransferEvent kind, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return countLocked(kind) > 0; });
    }

    std::vector<Event> list() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    int count(TransferEvent kind) const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return countLocked(kind);
    }

    int ends() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return endsLocked();
    }

    // "SizeKnown(10) Finished(10)"
    std::string text() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::string out;
        for (const Event& event : events_) {
            if (!out.empty()) {
                out += ' ';
            }
            out += std::string(nameOf(event.kind)) + "(" +
                   std::to_string(static_cast<long long>(event.value)) + ")";
        }
        return out.empty() ? "(none)" : out;
    }

    // The kind of the last notification; SizeKnown when there was none (never an ending).
    TransferEvent last() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return events_.empty() ? TransferEvent::SizeKnown : events_.back().kind;
    }

private:
    int countLocked(TransferEvent kind) const {
        int found = 0;
        for (const Event& event : events_) {
            found += event.kind == kind ? 1 : 0;
        }
        return found;
    }
    int endsLocked() const {
        int found = 0;
        for (const Event& event : events_) {
            found += isEnd(event.kind) ? 1 : 0;
        }
        return found;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

// One transfer from start to its ending notification, draining the byte counter as the
// program's tick does.
struct Outcome {
    Events events;
    std::uint64_t receivedBytes = 0;
    double seconds = 0;        // start to the ending notification
    bool ended = false;        // within kGiveUp
    bool stillRunning = false; // running() after stop() has joined the thread
};

void runToEnd(DownloadService& service, DownloadTask task, Outcome& run) {
    task.onEvent = run.events.callback();
    const auto started = Clock::now();
    service.start(task);
    while (!run.events.waitForEnd(10ms)) {
        run.receivedBytes += service.takeReceivedBytes();
        if (Clock::now() - started > kGiveUp) {
            break;
        }
    }
    run.seconds = secondsSince(started);
    run.ended = run.events.ends() > 0;
    service.stop(); // joins the finished thread
    run.stillRunning = service.running();
    run.receivedBytes += service.takeReceivedBytes();
}

DownloadTask taskFor(const std::string& url, const std::filesystem::path& file) {
    DownloadTask task;
    task.url = url;
    task.localFile = file;
    task.connectTimeout = 2000ms;
    task.firstByteTimeout = 5000ms;
    task.stallTimeout = 5000ms;
    return task;
}

// A port on 127.0.0.1 that nobody listens on (bound once by us, then released).
int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// A TCP socket bound to 127.0.0.1; connections are refused until listen() is called.
class BoundSocket {
public:
    BoundSocket() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot bind a test socket");
        }
        port_ = ntohs(address.sin_port);
    }
    ~BoundSocket() {
        for (int client : clients_) {
            close(client);
        }
        close(fd_);
    }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;

    int fd() const { return fd_; }
    int port() const { return port_; }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

    // Listens with no room in the accept queue and fills it, so that the next SYN is
    // dropped and a connect attempt can only time out.
    void listenFull() {
        listen(fd_, 0);
        for (int i = 0; i < 3; ++i) {
            const int client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(port_));
            connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
            clients_.push_back(client);
        }
        std::this_thread::sleep_for(100ms); // the handshakes of the fillers complete
    }

private:
    int fd_ = -1;
    int port_ = 0;
    std::vector<int> clients_;
};

// Serves one HTTP/1.0 reply with `body` to the first connection on `listener`.
int answerOnce(int listener, const std::string& body) {
    pollfd wanted{listener, POLLIN, 0};
    if (poll(&wanted, 1, 20000) <= 0) {
        return 0;
    }
    const int client = accept(listener, nullptr, nullptr);
    if (client < 0) {
        return 0;
    }
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t got = read(client, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        request.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string reply =
        "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    const ssize_t sent = write(client, reply.data(), reply.size());
    close(client);
    return sent == static_cast<ssize_t>(reply.size()) ? 1 : 0;
}

class DownloadServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A proxy from the environment must not stand between the tests and 127.0.0.1.
        setenv("no_proxy", "127.0.0.1,localhost", 1);
        setenv("NO_PROXY", "127.0.0.1,localhost", 1);
        http_ = std::make_unique<LocalHttpServer>();
        ftpRoot_ = std::make_unique<TempFolder>();
        for (std::size_t size : kSizes) {
            ftpRoot_->write(ftpName(size), patternBytes(size));
        }
        ftp_ = std::make_unique<LocalFtpServer>(ftpRoot_->path().string());
    }
    static void TearDownTestSuite() {
        ftp_.reset();
        ftpRoot_.reset();
        http_.reset();
    }

    void SetUp() override { service_.configure(10240, 50ms, 0); }

    static std::string ftpName(std::size_t size) {
        return std::string("f") + std::to_string(size) + ".bin";
    }
    std::filesystem::path target(const std::string& name = "package.tmp") const {
        return out_.path() / name;
    }

    static constexpr std::size_t kSizes[] = {0, 1, 10240, 10241, 1024 * 1024};
    static std::unique_ptr<LocalHttpServer> http_;
    static std::unique_ptr<TempFolder> ftpRoot_;
    static std::unique_ptr<LocalFtpServer> ftp_;

    TempFolder out_;
    DownloadService service_;
};

std::unique_ptr<LocalHttpServer> DownloadServiceTest::http_;
std::unique_ptr<TempFolder> DownloadServiceTest::ftpRoot_;
std::unique_ptr<LocalFtpServer> DownloadServiceTest::ftp_;

TEST_F(DownloadServiceTest, HttpAndFtpDownloadsAreByteExact) {
    struct Case {
        std::string what;
        std::string url;
        std::size_t size;
    };
    std::vector<Case> cases;
    for (std::size_t size : kSizes) {
        cases.push_back(
            {"http " + std::to_string(size), http_->url("/sized/" + std::to_string(size)), size});
        cases.push_back({"ftp " + std::to_string(size), ftp_->url("/" + ftpName(size)), size});
    }
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what + " " + c.url);
        const auto file = target("download" + std::to_string(number++) + ".tmp");
        Outcome run;
        runToEnd(service_, taskFor(c.url, file), run);
        SCOPED_TRACE("events: " + run.events.text());
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.events.last(), TransferEvent::Finished);
        EXPECT_EQ(run.events.ends(), 1);
        ASSERT_EQ(run.events.count(TransferEvent::SizeKnown), 1);
        EXPECT_EQ(run.events.list().front().kind, TransferEvent::SizeKnown);
        EXPECT_EQ(run.events.list().front().value, static_cast<double>(c.size));
        EXPECT_EQ(run.receivedBytes, c.size);
        EXPECT_FALSE(run.stillRunning);
        const std::string got = readAll(file.string());
        EXPECT_EQ(got.size(), c.size);
        EXPECT_TRUE(got == patternBytes(c.size)) << "the file differs from what was served";
    }
}

TEST_F(DownloadServiceTest, NotificationsComeOnTheServiceThread) {
    for (const std::string& url : {http_->url("/sized/100"), std::string("gopher://x/")}) {
        SCOPED_TRACE(url);
        Outcome run;
        runToEnd(service_, taskFor(url, target()), run);
        std::filesystem::remove(target());
        ASSERT_TRUE(run.ended);
        for (const Events::Event& event : run.events.list()) {
            EXPECT_NE(event.thread, std::this_thread::get_id()) << nameOf(event.kind);
        }
    }
}

TEST_F(DownloadServiceTest, WithoutContentLengthTheSizeIsTheFirstBlock) {
    struct Case {
        std::size_t configured; // 0: the task's block size applies
        std::size_t taskBlock;
    };
    const std::vector<Case> cases = {{1024, 10240}, {4096, 10240}, {16384, 1024}, {0, 2048}};
    constexpr std::size_t kSize = 200000;
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("configured " + std::to_string(c.configured) + ", task " +
                     std::to_string(c.taskBlock));
        service_.configure(c.configured, 50ms, 0);
        const auto file = target("stream" + std::to_string(number++) + ".tmp");
        DownloadTask task = taskFor(http_->url("/stream/" + std::to_string(kSize)), file);
        task.blockSize = c.taskBlock;
        Outcome run;
        runToEnd(service_, task, run);
        SCOPED_TRACE("events: " + run.events.text());
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.events.last(), TransferEvent::Finished);
        ASSERT_EQ(run.events.count(TransferEvent::SizeKnown), 1);
        const double size = run.events.list().front().value;
        const std::size_t block = c.configured > 0 ? c.configured : c.taskBlock;
        EXPECT_GT(size, 0.0);
        EXPECT_LE(size, static_cast<double>(block));
        EXPECT_EQ(run.receivedBytes, kSize);
        EXPECT_TRUE(readAll(file.string()) == patternBytes(kSize));
    }
}

TEST_F(DownloadServiceTest, AnExistingFileIsNeverOverwritten) {
    const std::vector<std::string> urls = {http_->url("/sized/100"), ftp_->url("/f1.bin")};
    for (const std::string& url : urls) {
        SCOPED_TRACE(url);
        const std::string file = out_.write("existing.tmp", "keep me");
        Outcome run;
        runToEnd(service_, taskFor(url, file), run);
        EXPECT_EQ(run.events.text(), "FileExists(0)");
        EXPECT_EQ(readAll(file), "keep me");
        EXPECT_EQ(run.receivedBytes, 0u);
        EXPECT_FALSE(run.stillRunning);

        // A dangling symbolic link counts as there: its target is not created either.
        const auto link = target("link.tmp");
        std::filesystem::remove(link);
        std::filesystem::create_symlink(target("nowhere.tmp"), link);
        Outcome linked;
        runToEnd(service_, taskFor(url, link), linked);
        EXPECT_EQ(linked.events.text(), "FileExists(0)");
        EXPECT_FALSE(std::filesystem::exists(target("nowhere.tmp")));
    }
}

TEST_F(DownloadServiceTest, HttpErrorStatusFailsAndItsBodyIsNotWritten) {
    for (int status : {404, 403, 500, 503}) {
        SCOPED_TRACE(status);
        const auto file = target("status" + std::to_string(status) + ".tmp");
        Outcome run;
        runToEnd(service_, taskFor(http_->url("/status/" + std::to_string(status)), file), run);
        EXPECT_EQ(run.events.text(), "Failed(0)");
        EXPECT_EQ(readAll(file.string()), "");
        EXPECT_EQ(run.receivedBytes, 0u);
    }
}

TEST_F(DownloadServiceTest, BrokenTransfersFail) {
    struct Case {
        std::string what;
        std::string url;
        std::string events;
        std::string fileStart; // what the file holds when the transfer has failed
    };
    const std::vector<Case> cases = {
        {"truncated body", http_->url("/short"), "SizeKnown(100) Failed(0)", "0123456789"},
        {"not HTTP", http_->url("/garbage"), "Failed(0)", ""},
        {"too many redirects", http_->url("/redirect/6"), "Failed(0)", ""},
        {"redirect to a file", http_->url("/redirect-to?file:///etc/hostname"), "Failed(0)", ""},
        {"redirect to FTP", http_->url("/redirect-to?") + ftp_->url("/f1.bin"), "Failed(0)", ""},
        {"missing FTP file", ftp_->url("/missing.bin"), "Failed(0)", ""},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what + " " + c.url);
        const auto file = target("broken" + std::to_string(number++) + ".tmp");
        Outcome run;
        runToEnd(service_, taskFor(c.url, file), run);
        EXPECT_EQ(run.events.text(), c.events);
        EXPECT_EQ(readAll(file.string()), c.fileStart);
    }
}

TEST_F(DownloadServiceTest, RedirectsAreFollowedUpToFive) {
    Outcome run;
    runToEnd(service_, taskFor(http_->url("/redirect/5"), target()), run);
    EXPECT_EQ(run.events.text(), "SizeKnown(6) Finished(6)");
    EXPECT_EQ(readAll(target().string()), "landed");
}

TEST_F(DownloadServiceTest, RequestsBypassCachesAndCarryNoCredentials) {
    Outcome run;
    runToEnd(service_, taskFor(http_->url("/echo"), target()), run);
    ASSERT_EQ(run.events.last(), TransferEvent::Finished) << run.events.text();
    const std::string request = readAll(target().string());
    SCOPED_TRACE(request);
    EXPECT_NE(request.find("\r\nCache-Control: no-cache\r\n"), std::string::npos);
    EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos);
    // The FTP login of the task must not travel as an HTTP authorisation.
    EXPECT_EQ(request.find("Authorization"), std::string::npos);
}

TEST_F(DownloadServiceTest, FtpLogsInWithTheTaskAccount) {
    LocalFtpServer server(ftpRoot_->path().string(), {"--login", "reader:reader@example.org"});
    struct Case {
        std::string user;
        std::string password;
        std::string events;
    };
    const std::vector<Case> cases = {
        {"reader", "reader@example.org", "SizeKnown(10240) Finished(10240)"},
        {"reader", "other@example.org", "Failed(0)"},
        {"anonymous", "anyone@example.org", "SizeKnown(10240) Finished(10240)"},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user + " / " + c.password);
        DownloadTask task =
            taskFor(server.url("/f10240.bin"), target("login" + std::to_string(number++)));
        task.ftpUser = c.user;
        task.ftpPassword = c.password;
        Outcome run;
        runToEnd(service_, task, run);
        EXPECT_EQ(run.events.text(), c.events);
    }
    const DownloadTask defaults;
    EXPECT_EQ(defaults.ftpUser, "anonymous");
    const auto at = defaults.ftpPassword.find('@');
    EXPECT_TRUE(at != std::string::npos && at > 0 && at + 1 < defaults.ftpPassword.size())
        << "an e-mail form is expected, got " << defaults.ftpPassword;
}

TEST_F(DownloadServiceTest, OnlyWebAndFtpUrlsAreAccepted) {
    const std::vector<std::string> urls = {
        "",
        "file:///etc/hostname",
        "gopher://127.0.0.1/",
        "ftps://127.0.0.1/f1.bin",
        "dict://127.0.0.1/",
        std::string("127.0.0.1:") + std::to_string(http_->port()) + "/sized/1",
        std::string("http\0://127.0.0.1/sized/1", 25),
    };
    for (const std::string& url : urls) {
        SCOPED_TRACE("\"" + url + "\"");
        Outcome run;
        runToEnd(service_, taskFor(url, target()), run);
        EXPECT_EQ(run.events.text(), "Failed(0)");
        EXPECT_FALSE(std::filesystem::exists(target())) << "no file for a refused URL";
        EXPECT_LT(run.seconds, seconds(kSlack));
    }
}

TEST_F(DownloadServiceTest, ConnectionFailuresAreRetriedRetryCountTimes) {
    // Every attempt is refused at once, so the time is the retry waits: `retries` waits
    // happened, and not one more.
    constexpr auto kWait = 400ms;
    for (int retries : {0, 1, 3}) {
        SCOPED_TRACE("retry count " + std::to_string(retries));
        service_.configure(10240, kWait, retries);
        const auto file = target("dead" + std::to_string(retries) + ".tmp");
        const std::string url = "http://127.0.0.1:" + std::to_string(closedPort()) + "/sized/10";
        Outcome run;
        runToEnd(service_, taskFor(url, file), run);
        EXPECT_EQ(run.events.text(), "Failed(0)");
        EXPECT_GE(run.seconds, retries * seconds(kWait));
        EXPECT_LT(run.seconds, (retries + 1) * seconds(kWait));
        EXPECT_EQ(readAll(file.string()), "");
    }
}

TEST_F(DownloadServiceTest, ARetryReachesAServerThatCameUp) {
    service_.configure(10240, 500ms, 3);
    BoundSocket socket;
    int answered = 0;
    Outcome run;
    DownloadTask task = taskFor(socket.url("/late"), target());
    std::thread server([&] {
        std::this_thread::sleep_for(150ms); // the first attempt is refused meanwhile
        listen(socket.fd(), 4);
        answered = answerOnce(socket.fd(), "late but here");
    });
    runToEnd(service_, task, run);
    server.join();
    EXPECT_EQ(run.events.text(), "SizeKnown(13) Finished(13)");
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(readAll(target().string()), "late but here");
}

TEST_F(DownloadServiceTest, AConnectTimeOutIsRetried) {
    constexpr auto kConnect = 300ms;
    constexpr auto kWait = 100ms;
    service_.configure(10240, kWait, 1);
    BoundSocket socket;
    socket.listenFull();
    DownloadTask task = taskFor(socket.url("/never"), target());
    task.connectTimeout = kConnect;
    Outcome run;
    runToEnd(service_, task, run);
    EXPECT_EQ(run.events.text(), "Failed(0)");
    EXPECT_GE(run.seconds, 2 * seconds(kConnect) + seconds(kWait));
    EXPECT_LT(run.seconds, 2 * seconds(kConnect) + seconds(kWait) + seconds(kSlack));
}

TEST_F(DownloadServiceTest, ASilentServerFailsAfterTheFirstByteTimeOut) {
    // Connected but silent is no connection failure: retries would take far longer.
    constexpr auto kFirstByte = 600ms;
    service_.configure(10240, 1000ms, 3);
    for (const std::string path : {"/silent", "/stall/0"}) {
        SCOPED_TRACE(path);
        const auto file = target("silent" + std::to_string(path.size()) + ".tmp");
        DownloadTask task = taskFor(http_->url(path), file);
        task.firstByteTimeout = kFirstByte;
        Outcome run;
        runToEnd(service_, task, run);
        EXPECT_EQ(run.events.text(), "Failed(0)");
        EXPECT_GE(run.seconds, seconds(kFirstByte));
        EXPECT_LT(run.seconds, seconds(kFirstByte) + seconds(kSlack));
        EXPECT_EQ(readAll(file.string()), "");
    }
}

TEST_F(DownloadServiceTest, AStallMidBodyFailsAfterTheStallTimeOut) {
    constexpr auto kStall = 500ms;
    service_.configure(10240, 1000ms, 3);
    DownloadTask task = taskFor(http_->url("/stall/20000"), target());
    task.stallTimeout = kStall;
    Outcome run;
    runToEnd(service_, task, run);
    EXPECT_EQ(run.events.text(), "SizeKnown(21000) Failed(0)");
    EXPECT_GE(run.seconds, seconds(kStall));
    EXPECT_LT(run.seconds, seconds(kStall) + seconds(kSlack));
    EXPECT_EQ(run.receivedBytes, 20000u);
    EXPECT_TRUE(readAll(target().string()) == patternBytes(20000));
}

TEST_F(DownloadServiceTest, StopEndsASlowTransferPromptly) {
    // One byte every 200 ms keeps a 1 s stall time-out from firing.
    DownloadTask task = taskFor(http_->url("/drip"), target());
    task.stallTimeout = 1000ms;
    Events events;
    task.onEvent = events.callback();
    service_.start(task);
    ASSERT_TRUE(events.waitForFirst(TransferEvent::SizeKnown, 10s)) << events.text();
    EXPECT_TRUE(service_.running());
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(events.ends(), 0) << events.text();
    EXPECT_TRUE(service_.running());

    const auto stopping = Clock::now();
    service_.stop();
    EXPECT_LT(secondsSince(stopping), 1.0);
    EXPECT_FALSE(service_.running());
    EXPECT_EQ(events.text(), "SizeKnown(1000) Stopped(0)");
    const std::uint64_t received = service_.takeReceivedBytes();
    const std::string written = readAll(target().string());
    EXPECT_GE(received, 2u);
    EXPECT_EQ(written, std::string(received, 'x'));
    EXPECT_EQ(service_.takeReceivedBytes(), 0u);
}

TEST_F(DownloadServiceTest, StopInterruptsEveryWait) {
    struct Case {
        std::string what;
        std::string url;
        int retries;
    };
    const std::vector<Case> cases = {
        {"waiting for the first byte", http_->url("/silent"), 0},
        {"waiting between retries", "http://127.0.0.1:" + std::to_string(closedPort()) + "/sized/1",
         5},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        service_.configure(10240, 10000ms, c.retries);
        DownloadTask task = taskFor(c.url, target("wait" + std::to_string(number++)));
        task.firstByteTimeout = 10000ms;
        Events events;
        task.onEvent = events.callback();
        service_.start(task);
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(service_.running());
        const auto stopping = Clock::now();
        service_.stop();
        EXPECT_LT(secondsSince(stopping), 1.0);
        EXPECT_FALSE(service_.running());
        EXPECT_EQ(events.text(), "Stopped(0)");
    }
}

TEST_F(DownloadServiceTest, StartWhileRunningDoesNothing) {
    DownloadTask slow = taskFor(http_->url("/drip"), target("slow.tmp"));
    Events slowEvents;
    slow.onEvent = slowEvents.callback();
    service_.start(slow);
    ASSERT_TRUE(slowEvents.waitForFirst(TransferEvent::SizeKnown, 10s)) << slowEvents.text();

    DownloadTask second = taskFor(http_->url("/sized/10"), target("second.tmp"));
    Events secondEvents;
    second.onEvent = secondEvents.callback();
    service_.start(second);
    std::this_thread::sleep_for(300ms);
    service_.stop();
    EXPECT_EQ(slowEvents.text(), "SizeKnown(1000) Stopped(0)");
    EXPECT_EQ(secondEvents.text(), "(none)");
    EXPECT_FALSE(std::filesystem::exists(target("second.tmp")));

    // The slot is free again.
    Outcome run;
    runToEnd(service_, second, run);
    EXPECT_EQ(run.events.text(), "SizeKnown(10) Finished(10)");
}

TEST_F(DownloadServiceTest, StartAndStopFromANotificationDoNotBlock) {
    DownloadTask other = taskFor(http_->url("/sized/10"), target("other.tmp"));
    DownloadTask task = taskFor(http_->url("/drip"), target());
    Events events;
    const auto record = events.callback();
    task.onEvent = [&](TransferEvent kind, double value) {
        if (kind == TransferEvent::SizeKnown) {
            service_.start(other); // the slot is still taken: nothing happens
            service_.stop();       // ends the transfer once this returns
        }
        record(kind, value);
    };
    service_.start(task);
    ASSERT_TRUE(events.waitForEnd(10s)) << events.text();
    service_.stop();
    EXPECT_EQ(events.text(), "SizeKnown(1000) Stopped(0)");
    EXPECT_FALSE(std::filesystem::exists(target("other.tmp")));
}

TEST_F(DownloadServiceTest, DestroyingTheServiceStopsItsTransfer) {
    Events events;
    auto service = std::make_unique<DownloadService>();
    DownloadTask task = taskFor(http_->url("/drip"), target());
    task.onEvent = events.callback();
    service->start(task);
    ASSERT_TRUE(events.waitForFirst(TransferEvent::SizeKnown, 10s)) << events.text();
    const auto leaving = Clock::now();
    service.reset();
    EXPECT_LT(secondsSince(leaving), 1.0);
    EXPECT_EQ(events.text(), "SizeKnown(1000) Stopped(0)");
}

} // namespace
} // namespace zorvast::update
