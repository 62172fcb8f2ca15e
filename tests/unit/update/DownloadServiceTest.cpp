#include "update/net/DownloadService.h"

#include "update/net/FetchText.h"

#include "support/LocalFtpServer.h"
#include "support/LocalHttpServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace zorvast::update {
namespace {

using namespace std::chrono_literals;
using zorvast::testing::LocalFtpServer;
using zorvast::testing::LocalHttpServer;
using zorvast::testing::readAll;
using zorvast::testing::ScopedEnvironment;
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

// The bytes http_server.py sends for a resource of that size and seed.
std::string resourceBytes(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint64_t mixed =
            (static_cast<std::uint64_t>(i) * 2654435761u + std::uint64_t{seed} * 97u) & 0xFFFFFFFFu;
        out[i] = static_cast<char>((mixed >> 16) & 0xFF);
    }
    return out;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\n";
    }
    return out;
}

std::string recordOf(const std::filesystem::path& file) {
    return file.string() + ".resume";
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
    task.noDataTimeout = 5000ms;
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

    void SetUp() override {
        service_.configure(10240, 50ms, 0);
        service_.setResumeWaits({}); // a break ends the transfer unless a test wants resumes
    }

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

TEST_F(DownloadServiceTest, AFileWithoutARecordIsFetchedFromItsFirstByte) {
    // What lies at the target without a record says nothing about the package: written over.
    const std::vector<std::string> urls = {http_->url("/sized/100"), ftp_->url("/f10240.bin")};
    const std::vector<std::string> olds = {"keep me", patternBytes(20000)};
    int number = 0;
    for (const std::string& url : urls) {
        for (const std::string& old : olds) {
            SCOPED_TRACE(url + " over " + std::to_string(old.size()) + " bytes");
            const std::string file = out_.write("existing" + std::to_string(number++), old);
            Outcome run;
            runToEnd(service_, taskFor(url, file), run);
            const std::size_t size = url.find("ftp") == 0 ? 10240 : 100;
            EXPECT_EQ(run.events.text(), "SizeKnown(" + std::to_string(size) + ") Finished(" +
                                             std::to_string(size) + ")");
            EXPECT_TRUE(readAll(file) == patternBytes(size));
            EXPECT_EQ(run.receivedBytes, size);
        }
    }
}

TEST_F(DownloadServiceTest, ALinkOrSpecialFileAtTheTargetIsRefused) {
    const std::string other = out_.write("other.bin", "not ours");
    struct Case {
        std::string what;
        std::function<void(const std::filesystem::path&)> plant;
    };
    const std::vector<Case> cases = {
        {"dangling link",
         [&](const std::filesystem::path& at) {
             std::filesystem::create_symlink(target("nowhere.tmp"), at);
         }},
        {"link to a file",
         [&](const std::filesystem::path& at) {
             std::filesystem::create_symlink(other, at);
         }},
        {"hard link to a file",
         [&](const std::filesystem::path& at) {
             std::filesystem::create_hard_link(other, at);
         }},
        {"FIFO",
         [&](const std::filesystem::path& at) {
             ASSERT_EQ(mkfifo(at.c_str(), 0600), 0);
         }},
        {"folder",
         [&](const std::filesystem::path& at) {
             std::filesystem::create_directory(at);
         }},
    };
    int number = 0;
    for (const std::string& url : {http_->url("/sized/100"), ftp_->url("/f1.bin")}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what + " " + url);
            const auto at = target("planted" + std::to_string(number++));
            c.plant(at);
            Outcome run;
            runToEnd(service_, taskFor(url, at), run);
            EXPECT_EQ(run.events.text(), "Failed(0)");
            EXPECT_EQ(run.receivedBytes, 0u);
            EXPECT_FALSE(std::filesystem::exists(target("nowhere.tmp")));
            EXPECT_EQ(readAll(other), "not ours");
        }
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

TEST_F(DownloadServiceTest, ASilentServerFailsAfterTheNoDataTimeOut) {
    // Connected but silent is no connection failure: retries would take far longer. Nothing
    // arrived, so there is nothing to resume either.
    constexpr auto kFirstByte = 600ms;
    service_.setResumeWaits({100ms, 100ms});
    service_.configure(10240, 1000ms, 3);
    for (const std::string path : {"/silent", "/stall/0"}) {
        SCOPED_TRACE(path);
        const auto file = target("silent" + std::to_string(path.size()) + ".tmp");
        DownloadTask task = taskFor(http_->url(path), file);
        task.noDataTimeout = kFirstByte;
        Outcome run;
        runToEnd(service_, task, run);
        EXPECT_EQ(run.events.text(), "Failed(0)");
        EXPECT_GE(run.seconds, seconds(kFirstByte));
        EXPECT_LT(run.seconds, seconds(kFirstByte) + seconds(kSlack));
        EXPECT_EQ(readAll(file.string()), "");
    }
}

TEST_F(DownloadServiceTest, AStallMidBodyFailsAfterTheNoDataTimeOut) {
    constexpr auto kStall = 500ms;
    service_.configure(10240, 1000ms, 3);
    DownloadTask task = taskFor(http_->url("/stall/20000"), target());
    task.noDataTimeout = kStall;
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
    task.noDataTimeout = 1000ms;
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
        task.noDataTimeout = 10000ms;
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

// ---- resumed downloads ------------------------------------------------------------------

// A Last-Modified date as servers send it.
const std::string kDate = "Sat, 01 Jan 2000 00:00:00 GMT";
const std::string kDateQuery = "Sat,%2001%20Jan%202000%2000:00:00%20GMT";
const std::string kOtherDateQuery = "Sun,%2002%20Jan%202000%2000:00:00%20GMT";

class ResumeTest : public DownloadServiceTest {
protected:
    // Defines resource `id` of the test server (options as http_server.py reads them).
    static void define(const std::string& id, const std::string& options) {
        ASSERT_EQ(fetchText(http_->url("/res-set/" + id + "?" + options)), "ok");
    }
    static std::vector<std::string> history(const std::string& id) {
        return linesOf(fetchText(http_->url("/res-log/" + id)));
    }
    static std::string url(const std::string& id) { return http_->url("/res/" + id); }

    // A partial file with its record: the first answer breaks after `part` bytes and no
    // resume is allowed.
    void makePartial(const std::string& id, const std::string& options, std::size_t part,
                     const std::filesystem::path& file) {
        define(id, options + "&drop=" + std::to_string(part));
        service_.setResumeWaits({});
        Outcome run;
        runToEnd(service_, taskFor(url(id), file), run);
        ASSERT_EQ(run.events.last(), TransferEvent::Failed) << run.events.text();
        ASSERT_EQ(std::filesystem::file_size(file), part);
        ASSERT_TRUE(readPartialDownload(file).has_value());
    }
};

// A fresh service has no progress; a task that names only its URL and file is fetched in blocks
// of at most 10240 bytes (the first block gives the size when the server names none).
TEST_F(ResumeTest, TaskDefaults) {
    const DownloadService fresh;
    EXPECT_EQ(fresh.progress().bytesInFile, 0u);
    EXPECT_EQ(fresh.progress().totalBytes, 0u);

    constexpr std::size_t kSize = 200000;
    service_.configure(0, 50ms, 0); // the task's own block size
    DownloadTask task;
    task.url = http_->url("/stream/" + std::to_string(kSize));
    task.localFile = target("defaults.tmp");
    Outcome run;
    runToEnd(service_, task, run);
    SCOPED_TRACE("events: " + run.events.text());
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.events.last(), TransferEvent::Finished);
    ASSERT_EQ(run.events.count(TransferEvent::SizeKnown), 1);
    EXPECT_GT(run.events.list().front().value, 0.0);
    EXPECT_LE(run.events.list().front().value, 10240.0);
    EXPECT_TRUE(readAll(task.localFile.string()) == patternBytes(kSize));
}

TEST_F(ResumeTest, ABreakIsResumedWithinOneStart) {
    constexpr std::size_t kSize = 50000;
    constexpr std::size_t kPart = 20000;
    struct Case {
        std::string what;
        std::string validators; // resource options
        std::string secondRequest;
        std::uint64_t received;
    };
    const std::string resumed = "range=bytes=20000- if-range=";
    const std::vector<Case> cases = {
        {"strong entity tag", "etag=%22v1%22", resumed + "\"v1\" status=206", kSize},
        {"date only", "lm=" + kDateQuery, resumed + kDate + " status=206", kSize},
        {"weak tag and date", "etag=W/%22w1%22&lm=" + kDateQuery, resumed + kDate + " status=206",
         kSize},
        {"strong tag and date", "etag=%22v1%22&lm=" + kDateQuery, resumed + "\"v1\" status=206",
         kSize},
        // Without a validator a resumed part could belong to another file: from the start.
        {"no validator", "", "range=- if-range=- status=200", kPart + kSize},
        {"weak tag only", "etag=W/%22w1%22", "range=- if-range=- status=200", kPart + kSize},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string id = "within" + std::to_string(number++);
        define(id, "size=50000&seed=" + std::to_string(number) + "&drop=20000&" + c.validators);
        service_.setResumeWaits({50ms});
        const auto file = target(id + ".zip");
        Outcome run;
        runToEnd(service_, taskFor(url(id), file), run);
        EXPECT_EQ(run.events.text(), "SizeKnown(50000) Finished(50000)");
        EXPECT_TRUE(readAll(file.string()) == resourceBytes(kSize, number));
        EXPECT_EQ(run.receivedBytes, c.received);
        EXPECT_EQ(joined(history(id)), joined({"range=- if-range=- status=200", c.secondRequest}));
        EXPECT_FALSE(std::filesystem::exists(recordOf(file))) << "a complete file has no record";
        EXPECT_EQ(service_.progress().bytesInFile, kSize);
        EXPECT_EQ(service_.progress().totalBytes, kSize);
    }
}

TEST_F(ResumeTest, AStoppedTransferIsResumedByAnotherService) {
    constexpr std::size_t kSize = 200000;
    define("across", "size=200000&seed=7&etag=%22v7%22&lm=" + kDateQuery + "&rate=100000");
    const auto file = target("across.zip");

    Events first;
    DownloadTask task = taskFor(url("across"), file);
    task.onEvent = first.callback();
    service_.start(task);
    const auto started = Clock::now();
    while (service_.progress().bytesInFile < 30000 && Clock::now() - started < 10s) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(service_.progress().totalBytes, kSize);
    service_.stop();
    EXPECT_EQ(first.text(), "SizeKnown(200000) Stopped(0)");
    const std::uint64_t part = std::filesystem::file_size(file);
    ASSERT_GE(part, 30000u);
    ASSERT_LT(part, kSize);
    EXPECT_EQ(service_.progress().bytesInFile, part);

    const std::optional<PartialDownload> record = readPartialDownload(file);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->url, url("across"));
    EXPECT_EQ(record->totalBytes, kSize);
    EXPECT_EQ(record->etag, "\"v7\"");
    EXPECT_EQ(record->lastModified, kDate);
    EXPECT_EQ(record->ftpFileTime, -1);
    EXPECT_EQ(record->bytesInFile, part);

    // A new service, as in the next run of the program; the server now answers at full speed.
    define("across", "size=200000&seed=7&etag=%22v7%22&lm=" + kDateQuery);
    DownloadService second;
    second.setResumeWaits({});
    TransferProgress atSize;
    Outcome run;
    task.onEvent = [&](TransferEvent kind, double value) {
        if (kind == TransferEvent::SizeKnown) {
            atSize = second.progress();
        }
        run.events.callback()(kind, value);
    };
    second.start(task);
    ASSERT_TRUE(run.events.waitForEnd(kGiveUp));
    second.stop();
    EXPECT_EQ(run.events.text(), "SizeKnown(200000) Finished(200000)");
    EXPECT_EQ(second.takeReceivedBytes(), kSize - part) << "only the rest travels";
    EXPECT_GT(atSize.bytesInFile, part);
    EXPECT_EQ(atSize.totalBytes, kSize);
    EXPECT_TRUE(readAll(file.string()) == resourceBytes(kSize, 7));
    EXPECT_EQ(joined(history("across")),
              joined({"range=bytes=" + std::to_string(part) + "- if-range=\"v7\" status=206"}));
    EXPECT_FALSE(std::filesystem::exists(recordOf(file)));
    EXPECT_FALSE(readPartialDownload(file).has_value());
}

TEST_F(ResumeTest, AnswersThatDoNotContinueThePartStartOver) {
    struct Case {
        std::string what;
        std::string first;  // options of the answer that broke
        std::string second; // options when the transfer starts again
        unsigned seed;      // of the file that has to end up on the disk
        std::vector<std::string> requests;
    };
    const std::string asked = "range=bytes=10000- if-range=\"v1\" ";
    const std::string fresh = "range=- if-range=- status=200";
    const std::string v1 = "size=30000&seed=1&etag=%22v1%22";
    const std::vector<Case> cases = {
        {"range ignored", v1, v1 + "&ranges=ignore", 1, {asked + "status=200"}},
        {"entity changed", v1, "size=40000&seed=2&etag=%22v2%22", 2, {asked + "status=200"}},
        {"date changed",
         "size=30000&seed=1&lm=" + kDateQuery,
         "size=30000&seed=3&lm=" + kOtherDateQuery,
         3,
         {"range=bytes=10000- if-range=" + kDate + " status=200"}},
        {"range not satisfiable", v1, v1 + "&ranges=416", 1, {asked + "status=416", fresh}},
        {"part from the wrong offset",
         v1,
         v1 + "&ranges=badstart",
         1,
         {asked + "status=206", fresh}},
        {"part of another size", v1, v1 + "&ranges=badtotal", 1, {asked + "status=206", fresh}},
        // A server that ignores If-Range: the part is of another entity, so it is not used.
        {"If-Range ignored, entity changed",
         v1,
         "size=30000&seed=6&etag=%22v6%22&ranges=noifrange",
         6,
         {asked + "status=206", fresh}},
        {"If-Range ignored, date changed",
         "size=30000&seed=1&lm=" + kDateQuery,
         "size=30000&seed=7&lm=" + kOtherDateQuery + "&ranges=noifrange",
         7,
         {"range=bytes=10000- if-range=" + kDate + " status=206", fresh}},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string id = "other" + std::to_string(number++);
        const auto file = target(id + ".zip");
        makePartial(id, c.first, 10000, file);
        define(id, c.second);
        Outcome run;
        runToEnd(service_, taskFor(url(id), file), run);
        const std::string size = std::to_string(c.seed == 2 ? 40000 : 30000);
        EXPECT_EQ(run.events.text(), "SizeKnown(" + size + ") Finished(" + size + ")");
        EXPECT_TRUE(readAll(file.string()) == resourceBytes(std::stoul(size), c.seed));
        EXPECT_EQ(joined(history(id)), joined(c.requests));
        EXPECT_FALSE(std::filesystem::exists(recordOf(file)));
    }
}

TEST_F(ResumeTest, ARecordOfAnotherUrlIsNotUsed) {
    const auto file = target("mirror.zip");
    makePartial("mirror1", "size=30000&seed=1&etag=%22v1%22", 10000, file);
    define("mirror2", "size=30000&seed=1&etag=%22v1%22");
    Outcome run;
    runToEnd(service_, taskFor(url("mirror2"), file), run);
    EXPECT_EQ(run.events.text(), "SizeKnown(30000) Finished(30000)");
    EXPECT_EQ(joined(history("mirror2")), joined({"range=- if-range=- status=200"}));
    EXPECT_TRUE(readAll(file.string()) == resourceBytes(30000, 1));
    EXPECT_EQ(run.receivedBytes, 30000u);
}

TEST_F(ResumeTest, ARecordThatDoesNotFitTheFileIsNotUsed) {
    const auto file = target("damaged.zip");
    struct Case {
        std::string what;
        std::function<void()> damage;
    };
    const std::vector<Case> cases = {
        {"record missing",
         [&] {
             std::filesystem::remove(recordOf(file));
         }},
        {"record garbled",
         [&] {
             out_.write("damaged.zip.resume", "url x\ntotal");
         }},
        {"file longer than the whole",
         [&] {
             out_.write("damaged.zip", resourceBytes(30001, 1));
         }},
        {"record is a link",
         [&] {
             std::filesystem::rename(recordOf(file), target("elsewhere"));
             std::filesystem::create_symlink(target("elsewhere"), recordOf(file));
         }},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string id = "damaged" + std::to_string(number++);
        makePartial(id, "size=30000&seed=1&etag=%22v1%22", 10000, file);
        c.damage();
        EXPECT_FALSE(readPartialDownload(file).has_value());
        define(id, "size=30000&seed=1&etag=%22v1%22");
        Outcome run;
        runToEnd(service_, taskFor(url(id), file), run);
        EXPECT_EQ(run.events.text(), "SizeKnown(30000) Finished(30000)");
        EXPECT_EQ(joined(history(id)), joined({"range=- if-range=- status=200"}));
        EXPECT_TRUE(readAll(file.string()) == resourceBytes(30000, 1));
        std::filesystem::remove(target("elsewhere"));
    }
}

TEST_F(ResumeTest, ServerErrorsAndBreaksOnTheResumeUseTheNextWait) {
    // 1st answer breaks after 1000 bytes, 2nd is a server error, 3rd breaks after 1000 more,
    // 4th brings the rest.
    define("flaky", "size=10000&seed=4&etag=%22v4%22&drop=1000,-1,1000&status=0,503");
    service_.setResumeWaits({100ms, 200ms, 300ms});
    const auto file = target("flaky.zip");
    Outcome run;
    runToEnd(service_, taskFor(url("flaky"), file), run);
    EXPECT_EQ(run.events.text(), "SizeKnown(10000) Finished(10000)");
    EXPECT_GE(run.seconds, 0.6);
    EXPECT_TRUE(readAll(file.string()) == resourceBytes(10000, 4));
    EXPECT_EQ(run.receivedBytes, 10000u);
    EXPECT_EQ(joined(history("flaky")), joined({
                                            "range=- if-range=- status=200",
                                            "range=bytes=1000- if-range=\"v4\" status=503",
                                            "range=bytes=1000- if-range=\"v4\" status=206",
                                            "range=bytes=2000- if-range=\"v4\" status=206",
                                        }));
}

TEST_F(ResumeTest, WhenTheResumeWaitsAreUsedUpTheTransferFailsAndKeepsItsPart) {
    define("breaking", "size=10000&seed=5&etag=%22v5%22&drop=1000,1000,1000");
    service_.setResumeWaits({100ms, 200ms});
    const auto file = target("breaking.zip");
    Outcome run;
    runToEnd(service_, taskFor(url("breaking"), file), run);
    EXPECT_EQ(run.events.text(), "SizeKnown(10000) Failed(0)");
    EXPECT_GE(run.seconds, 0.3);
    EXPECT_LT(run.seconds, 0.3 + seconds(kSlack));
    EXPECT_EQ(history("breaking").size(), 3u);
    EXPECT_TRUE(readAll(file.string()) == resourceBytes(10000, 5).substr(0, 3000));
    EXPECT_EQ(service_.progress().bytesInFile, 3000u);
    EXPECT_EQ(service_.progress().totalBytes, 10000u);
    const std::optional<PartialDownload> record = readPartialDownload(file);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->bytesInFile, 3000u);
    EXPECT_EQ(record->totalBytes, 10000u);

    // The next start goes on from there.
    define("breaking", "size=10000&seed=5&etag=%22v5%22");
    Outcome next;
    runToEnd(service_, taskFor(url("breaking"), file), next);
    EXPECT_EQ(next.events.text(), "SizeKnown(10000) Finished(10000)");
    EXPECT_EQ(next.receivedBytes, 7000u);
    EXPECT_TRUE(readAll(file.string()) == resourceBytes(10000, 5));
    EXPECT_EQ(joined(history("breaking")),
              joined({"range=bytes=3000- if-range=\"v5\" status=206"}));
}

TEST_F(ResumeTest, ANoDataTimeOutMidBodyIsResumed) {
    define("stalling", "size=30000&seed=6&etag=%22v6%22&stall=5000");
    service_.setResumeWaits({50ms});
    DownloadTask task = taskFor(url("stalling"), target("stalling.zip"));
    task.noDataTimeout = 500ms;
    Outcome run;
    runToEnd(service_, task, run);
    EXPECT_EQ(run.events.text(), "SizeKnown(30000) Finished(30000)");
    EXPECT_TRUE(readAll(target("stalling.zip").string()) == resourceBytes(30000, 6));
    EXPECT_EQ(
        joined(history("stalling")),
        joined({"range=- if-range=- status=200", "range=bytes=5000- if-range=\"v6\" status=206"}));
}

TEST_F(ResumeTest, StopDuringAResumeWaitReturnsAtOnce) {
    define("waiting", "size=10000&seed=8&etag=%22v8%22&drop=1000");
    service_.setResumeWaits({20000ms});
    const auto file = target("waiting.zip");
    DownloadTask task = taskFor(url("waiting"), file);
    Events events;
    task.onEvent = events.callback();
    service_.start(task);
    ASSERT_TRUE(events.waitForFirst(TransferEvent::SizeKnown, 10s)) << events.text();
    std::this_thread::sleep_for(300ms); // the break has come; the wait runs
    EXPECT_TRUE(service_.running());
    const auto stopping = Clock::now();
    service_.stop();
    EXPECT_LT(secondsSince(stopping), 1.0);
    EXPECT_EQ(events.text(), "SizeKnown(10000) Stopped(0)");
    EXPECT_EQ(history("waiting").size(), 1u);
    const std::optional<PartialDownload> record = readPartialDownload(file);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->bytesInFile, 1000u);
}

TEST_F(ResumeTest, AFirstByteThatComesLateIsWaitedFor) {
    define("late", "size=1000&seed=9&delay=3000");
    DownloadTask task = taskFor(url("late"), target("late.zip"));
    task.noDataTimeout = DownloadTask{}.noDataTimeout;
    task.connectTimeout = DownloadTask{}.connectTimeout;
    Outcome run;
    runToEnd(service_, task, run);
    EXPECT_EQ(run.events.text(), "SizeKnown(1000) Finished(1000)");
    EXPECT_GE(run.seconds, 3.0);
    EXPECT_TRUE(readAll(target("late.zip").string()) == resourceBytes(1000, 9));
}

TEST_F(ResumeTest, AnHttpErrorOnAResumedStartKeepsThePart) {
    const auto file = target("gone.zip");
    makePartial("gone", "size=30000&seed=1&etag=%22v1%22", 10000, file);
    for (const std::string status : {"404", "503"}) {
        SCOPED_TRACE(status);
        define("gone", "size=30000&seed=1&etag=%22v1%22&status=" + status);
        Outcome run;
        runToEnd(service_, taskFor(url("gone"), file), run);
        EXPECT_EQ(run.events.text(), "Failed(0)");
        EXPECT_TRUE(readAll(file.string()) == resourceBytes(10000, 1))
            << "the error body is not written";
        ASSERT_TRUE(readPartialDownload(file).has_value());
        EXPECT_EQ(readPartialDownload(file)->bytesInFile, 10000u);
    }
    discardDownload(file);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(recordOf(file)));
}

TEST_F(ResumeTest, ProgressStartsFromZeroOrFromThePart) {
    const auto file = target("progress.zip");
    makePartial("progress", "size=30000&seed=1&etag=%22v1%22", 12000, file);
    EXPECT_EQ(service_.progress().bytesInFile, 12000u);

    // A start on another file resets the values before anything arrives.
    DownloadTask silent = taskFor(http_->url("/silent"), target("silent.zip"));
    Events events;
    silent.onEvent = events.callback();
    service_.start(silent);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(service_.progress().bytesInFile, 0u);
    EXPECT_EQ(service_.progress().totalBytes, 0u);
    service_.stop();

    // A resumed start knows the part and the whole from the record at once.
    define("progress", "size=30000&seed=1&etag=%22v1%22&delay=1000");
    DownloadTask resumed = taskFor(url("progress"), file);
    Events more;
    resumed.onEvent = more.callback();
    service_.start(resumed);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(service_.progress().bytesInFile, 12000u);
    EXPECT_EQ(service_.progress().totalBytes, 30000u);
    ASSERT_TRUE(more.waitForEnd(kGiveUp));
    service_.stop();
    EXPECT_EQ(more.text(), "SizeKnown(30000) Finished(30000)");
    EXPECT_EQ(service_.progress().bytesInFile, 30000u);
    EXPECT_EQ(service_.progress().totalBytes, 30000u);
}

// ---- FTP ---------------------------------------------------------------------------------

class FtpResumeTest : public DownloadServiceTest {
protected:
    void SetUp() override {
        DownloadServiceTest::SetUp();
        log_ = out_.file("ftp.log");
        server_ = std::make_unique<LocalFtpServer>(
            root_.path().string(),
            std::vector<std::string>{"--drop-after", "30000", "--log", log_});
    }

    // Writes a served file with a given modification time (Unix seconds).
    void serve(const std::string& name, const std::string& bytes, std::time_t time) {
        const std::string path = root_.write(name, bytes);
        const timespec times[2] = {{time, 0}, {time, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    std::vector<std::string> commands() const { return linesOf(readAll(log_)); }
    static bool has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    TempFolder root_;
    std::string log_;
    std::unique_ptr<LocalFtpServer> server_;
};

TEST_F(FtpResumeTest, ABreakIsResumedWithRest) {
    const std::time_t time = std::time(nullptr) - 3600;
    serve("once.bin", resourceBytes(100000, 1), time);
    service_.setResumeWaits({50ms});
    const auto file = target("once.bin");
    Outcome run;
    runToEnd(service_, taskFor(server_->url("/once.bin"), file), run);
    EXPECT_EQ(run.events.text(), "SizeKnown(100000) Finished(100000)");
    EXPECT_TRUE(readAll(file.string()) == resourceBytes(100000, 1));
    EXPECT_EQ(run.receivedBytes, 100000u);
    EXPECT_TRUE(has(commands(), "REST 30000")) << joined(commands());
    EXPECT_FALSE(std::filesystem::exists(recordOf(file)));
}

TEST_F(FtpResumeTest, AChangedFileStartsOver) {
    // The part of run 1 came from a file of 100000 bytes written an hour ago.
    const std::time_t time = std::time(nullptr) - 3600;
    struct Case {
        std::string what;
        std::size_t size; // of the file as served afterwards
        std::time_t time;
        unsigned seed;
        bool resumed;
        int retrieves; // RETR commands: a newer file is not even asked for from the offset
    };
    const std::vector<Case> cases = {
        {"unchanged", 100000, time, 1, true, 1},
        {"newer", 100000, time + 60, 2, false, 1},
        {"older", 100000, time - 60, 3, false, 2},
        {"same time, larger", 120000, time, 4, false, 2},
        {"same time, shorter than the part", 20000, time, 5, false, 1},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "changing" + std::to_string(number++) + ".bin";
        serve(name, resourceBytes(100000, 1), time);
        const auto file = target(name);
        service_.setResumeWaits({});
        Outcome first;
        runToEnd(service_, taskFor(server_->url("/" + name), file), first);
        ASSERT_EQ(first.events.text(), "SizeKnown(100000) Failed(0)");
        const std::optional<PartialDownload> record = readPartialDownload(file);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->ftpFileTime, static_cast<std::int64_t>(time));
        EXPECT_EQ(record->totalBytes, 100000u);
        EXPECT_EQ(record->bytesInFile, 30000u);
        EXPECT_TRUE(record->etag.empty() && record->lastModified.empty());

        serve(name, resourceBytes(c.size, c.seed), c.time);
        std::filesystem::remove(log_);
        Outcome second;
        runToEnd(service_, taskFor(server_->url("/" + name), file), second);
        const std::string size = std::to_string(c.size);
        EXPECT_EQ(second.events.text(), "SizeKnown(" + size + ") Finished(" + size + ")");
        EXPECT_TRUE(readAll(file.string()) == resourceBytes(c.size, c.seed));
        EXPECT_EQ(second.receivedBytes, c.resumed ? 70000u : c.size);
        const std::vector<std::string> sent = commands();
        EXPECT_EQ(has(sent, "REST 30000"), c.resumed || c.retrieves == 2) << joined(sent);
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "RETR " + name), c.retrieves)
            << joined(sent);
    }
}

// ---- TLS, redirects, proxies -------------------------------------------------------------

TEST_F(DownloadServiceTest, HttpsTrustsTheExtraCaAndRefusesADowngrade) {
    TempFolder certificates;
    zorvast::testing::makeTestCertificates(certificates.path());
    const std::string folder = certificates.path().string();
    LocalHttpServer https({"--tls", folder + "/server.pem", folder + "/server.key"});
    const std::string base = "https://127.0.0.1:" + std::to_string(https.port());
    ASSERT_EQ(fetchText(http_->url("/res-set/plain?size=5000&seed=2")), "ok");
    const std::string plain = http_->url("/res/plain");

    struct Case {
        std::string what;
        std::optional<std::string> caFile;
        std::string url;
        std::string events;
        std::size_t size;
    };
    const std::vector<Case> cases = {
        {"test CA", folder + "/ca.pem", base + "/sized/30000", "SizeKnown(30000) Finished(30000)",
         30000},
        {"system store only", std::nullopt, base + "/sized/30000", "Failed(0)", 0},
        {"CA file missing", folder + "/missing.pem", base + "/sized/30000", "Failed(0)", 0},
        {"https to https", folder + "/ca.pem", base + "/redirect-to?/sized/10",
         "SizeKnown(10) Finished(10)", 10},
        {"https to http", folder + "/ca.pem", base + "/redirect-to?" + plain, "Failed(0)", 0},
    };
    int number = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ScopedEnvironment ca("ZORVAST_CA_FILE", c.caFile);
        const auto file = target("tls" + std::to_string(number++));
        Outcome run;
        runToEnd(service_, taskFor(c.url, file), run);
        EXPECT_EQ(run.events.text(), c.events);
        EXPECT_EQ(std::filesystem::file_size(file), c.size);
        EXPECT_TRUE(readAll(file.string()) == patternBytes(c.size));
    }
    EXPECT_EQ(fetchText(http_->url("/res-log/plain")), "") << "nothing went out over http";
}

TEST_F(DownloadServiceTest, TheProxyOfTheEnvironmentIsUsed) {
    // Only the proxy (the test server) knows this host.
    const ScopedEnvironment proxy("http_proxy", http_->url(""));
    Outcome run;
    runToEnd(service_, taskFor("http://zorvast-proxy-test.invalid/echo", target()), run);
    EXPECT_EQ(run.events.last(), TransferEvent::Finished) << run.events.text();
    EXPECT_EQ(readAll(target().string()).rfind("GET http://zorvast-proxy-test.invalid/echo ", 0),
              0u);
}

} // namespace
} // namespace zorvast::update
