#include "update/net/FetchText.h"

#include "update/net/CurlSetup.h"

#include "support/LocalHttpServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <latch>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zorvast::update {
namespace {

using namespace std::chrono_literals;
using zorvast::testing::LocalHttpServer;
using zorvast::testing::readAll;
using zorvast::testing::ScopedEnvironment;
using zorvast::testing::TempFolder;

const char* nameOf(FetchFailure failure) {
    switch (failure) {
    case FetchFailure::None:
        return "None";
    case FetchFailure::BadUrl:
        return "BadUrl";
    case FetchFailure::Refused:
        return "Refused";
    case FetchFailure::Connect:
        return "Connect";
    case FetchFailure::Timeout:
        return "Timeout";
    case FetchFailure::Transfer:
        return "Transfer";
    case FetchFailure::HttpStatus:
        return "HttpStatus";
    case FetchFailure::TooLarge:
        return "TooLarge";
    case FetchFailure::TooManyRedirects:
        return "TooManyRedirects";
    }
    return "?";
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char byte : bytes) {
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    return out;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

class FetchText : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A proxy from the environment must not stand between the tests and 127.0.0.1.
        setenv("no_proxy", "127.0.0.1,localhost", 1);
        setenv("NO_PROXY", "127.0.0.1,localhost", 1);
        server_ = std::make_unique<LocalHttpServer>();
    }
    static void TearDownTestSuite() { server_.reset(); }

    static std::string url(const std::string& path) { return server_->url(path); }

    static std::unique_ptr<LocalHttpServer> server_;
};

std::unique_ptr<LocalHttpServer> FetchText::server_;

// Without options: five redirects are followed and a sixth is not, and a server that never
// answers is given up after 15 seconds.
TEST_F(FetchText, DefaultOptions) {
    EXPECT_EQ(fetchText(url("/bytes/") + hex("1.02")), "1.02");
    EXPECT_EQ(fetchText(url("/redirect/5")), "landed");
    EXPECT_EQ(fetchText(url("/redirect/6")), "");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fetchText(url("/silent")), "");
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 14.9);
    EXPECT_LT(elapsed, 20.0);
}

TEST_F(FetchText, SendsNoCacheHeadersAndTheUrlAsGiven) {
    const std::string path = "/echo/a//b/../c/./d?x=1&y=%2F%e4#ignored";
    const std::string got = fetchText(url(path));
    SCOPED_TRACE(got);
    // The fragment never goes on the wire; everything before it does, byte for byte.
    EXPECT_EQ(got.rfind("GET /echo/a//b/../c/./d?x=1&y=%2F%e4 HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(got.find("\r\nCache-Control: no-cache\r\n"), std::string::npos);
    EXPECT_NE(got.find("\r\nPragma: no-cache\r\n"), std::string::npos);
    EXPECT_NE(got.find("\r\nHost: 127.0.0.1:" + std::to_string(server_->port()) + "\r\n"),
              std::string::npos);
    // No compressed bodies asked for: the bytes come back as the server stored them.
    EXPECT_EQ(got.find("Accept-Encoding"), std::string::npos);
}

TEST_F(FetchText, BodyIsRawBytesUpToTheFirstZero) {
    struct Case {
        const char* what;
        std::string body;
        std::string expected;
    };
    std::string allButZero;
    for (int byte = 1; byte < 256; ++byte) {
        allButZero += static_cast<char>(byte);
    }
    const std::vector<Case> cases = {
        {"version answer", "1.02", "1.02"},
        {"GBK text untouched", "\xCE\xC0\xD0\xC7\xA3\xAC\xA3\xFE",
         "\xCE\xC0\xD0\xC7\xA3\xAC\xA3\xFE"},
        {"CR LF kept", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"every byte but zero", allButZero, allButZero},
        {"zero in the middle", std::string("bbs_plumo\0tail", 14), "bbs_plumo"},
        {"zero before a GBK pair", std::string("ab\0\xCE\xC0", 5), "ab"},
        {"zero first", std::string("\0abc", 4), ""},
        {"empty body", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FetchOutcome outcome = fetchTextOutcome(url("/bytes/" + hex(c.body)));
        EXPECT_EQ(hex(outcome.text), hex(c.expected));
        EXPECT_STREQ(nameOf(outcome.failure), "None");
        EXPECT_EQ(outcome.httpStatus, 200);
    }
}

TEST_F(FetchText, StatusCodes) {
    struct Case {
        int status;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {200, "status 200"},
        {201, "status 201"},
        {203, "status 203"},
        {204, ""}, // no content:
                   // empty, but not
                   // a failure
        {300, ""},
        {302, ""},
        {304, ""}, // 3xx without a Location is not the
                   // resource
        {400, ""},
        {401, ""},
        {403, ""},
        {404, ""},
        {410, ""},
        {500, ""},
        {502, ""},
        {503, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        const FetchOutcome outcome = fetchTextOutcome(url("/status/" + std::to_string(c.status)));
        EXPECT_EQ(outcome.text, c.expected);
        EXPECT_EQ(outcome.httpStatus, c.status);
        const bool success = c.status >= 200 && c.status <= 299;
        EXPECT_STREQ(nameOf(outcome.failure), success ? "None" : "HttpStatus");
        EXPECT_EQ(fetchText(url("/status/" + std::to_string(c.status))), c.expected);
    }
}

TEST_F(FetchText, ClosedPortFailsQuickly) {
    const auto start = std::chrono::steady_clock::now();
    const FetchOutcome outcome =
        fetchTextOutcome("http://127.0.0.1:" + std::to_string(closedPort()) + "/dv.htm");
    EXPECT_LT(secondsSince(start), 1.0);
    EXPECT_EQ(outcome.text, "");
    EXPECT_STREQ(nameOf(outcome.failure), "Connect");
}

TEST_F(FetchText, SilentServerTimesOut) {
    FetchOptions options;
    options.connectTimeout = 1000ms;
    options.totalTimeout = 1500ms;
    const auto start = std::chrono::steady_clock::now();
    const FetchOutcome outcome = fetchTextOutcome(url("/silent"), options);
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 1.4);
    EXPECT_LT(elapsed, 5.0);
    EXPECT_EQ(outcome.text, "");
    EXPECT_STREQ(nameOf(outcome.failure), "Timeout");
}

TEST_F(FetchText, SlowBodyTimesOutWithoutPartialText) {
    FetchOptions options;
    options.totalTimeout = 1000ms;
    const auto start = std::chrono::steady_clock::now();
    const FetchOutcome outcome = fetchTextOutcome(url("/drip"), options);
    EXPECT_LT(secondsSince(start), 4.0);
    EXPECT_EQ(outcome.text, "");
    EXPECT_STREQ(nameOf(outcome.failure), "Timeout");
}

// A listener whose accept queue is full: the kernel drops further SYNs, so a connect hangs
// the way it does towards a host that is down.
class FullBacklog {
public:
    FullBacklog() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 0);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (int attempt = 0; attempt < 8 && !full_; ++attempt) {
            const int client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            clients_.push_back(client);
            connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd wanted{client, POLLOUT, 0};
            full_ = poll(&wanted, 1, 300) == 0; // no answer to this SYN
        }
    }
    ~FullBacklog() {
        for (int client : clients_) {
            close(client);
        }
        close(listener_);
    }
    bool full() const { return full_; }
    int port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
    bool full_ = false;
    std::vector<int> clients_;
};

TEST_F(FetchText, ConnectTimeoutIsShorterThanTheTotal) {
    FullBacklog backlog;
    if (!backlog.full()) {
        GTEST_SKIP() << "this kernel answers SYNs beyond the accept queue";
    }
    FetchOptions options;
    options.connectTimeout = 500ms;
    options.totalTimeout = 10000ms;
    const auto start = std::chrono::steady_clock::now();
    const FetchOutcome outcome =
        fetchTextOutcome("http://127.0.0.1:" + std::to_string(backlog.port()) + "/", options);
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 0.45);
    EXPECT_LT(elapsed, 3.0);
    EXPECT_EQ(outcome.text, "");
    EXPECT_STREQ(nameOf(outcome.failure), "Timeout");
}

// Without options, a connection that cannot be made is given up after 5 seconds.
TEST_F(FetchText, DefaultConnectTimeoutIsFiveSeconds) {
    FullBacklog backlog;
    if (!backlog.full()) {
        GTEST_SKIP() << "this kernel answers SYNs beyond the accept queue";
    }
    const auto start = std::chrono::steady_clock::now();
    const FetchOutcome outcome =
        fetchTextOutcome("http://127.0.0.1:" + std::to_string(backlog.port()) + "/");
    const double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 4.9);
    EXPECT_LT(elapsed, 8.0);
    EXPECT_EQ(outcome.text, "");
    EXPECT_STREQ(nameOf(outcome.failure), "Timeout");
}

TEST_F(FetchText, Redirects) {
    struct Case {
        std::string path;
        long maxRedirects;
        std::string expected;
        const char* failure;
    };
    const std::vector<Case> cases = {
        {"/redirect/0", 5, "landed", "None"},
        {"/redirect/1", 5, "landed", "None"},
        {"/redirect/5", 5, "landed", "None"},
        {"/redirect/6", 5, "", "TooManyRedirects"},
        {"/redirect/1", 0, "", "TooManyRedirects"},
        {"/redirect/2", 2, "landed", "None"},
        {"/redirect-to?/bytes/6f6b", 5, "ok", "None"},
        {"/redirect-to?" + url("/bytes/6f6b"), 5, "ok", "None"},
        {"/redirect-to?/status/404", 5, "", "HttpStatus"},
        {"/redirect-to?/redirect-to%3F%2Fredirect/0", 5, "landed", "None"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " with at most " + std::to_string(c.maxRedirects));
        FetchOptions options;
        options.maxRedirects = c.maxRedirects;
        const FetchOutcome outcome = fetchTextOutcome(url(c.path), options);
        EXPECT_EQ(outcome.text, c.expected);
        EXPECT_STREQ(nameOf(outcome.failure), c.failure);
    }
}

TEST_F(FetchText, RedirectedRequestKeepsTheNoCacheHeaders) {
    const std::string got = fetchText(url("/redirect-to?/echo-after-redirect"));
    SCOPED_TRACE(got);
    EXPECT_EQ(got.rfind("GET /echo-after-redirect HTTP/1.", 0), 0u);
    EXPECT_NE(got.find("\r\nCache-Control: no-cache\r\n"), std::string::npos);
    EXPECT_NE(got.find("\r\nPragma: no-cache\r\n"), std::string::npos);
}

TEST_F(FetchText, OnlyHttpAndHttpsAreFetched) {
    struct Case {
        std::string url;
        const char* failure;
    };
    const std::string port = std::to_string(server_->port());
    const std::vector<Case> cases = {
        {"file:///etc/hostname", "BadUrl"},
        {"FILE:///etc/passwd", "BadUrl"},
        {"ftp://127.0.0.1:" + port + "/dv.htm", "BadUrl"},
        {"gopher://127.0.0.1:" + port + "/", "BadUrl"},
        {"dict://127.0.0.1:" + port + "/", "BadUrl"},
        {"127.0.0.1:" + port + "/bytes/6f6b", "BadUrl"}, // no scheme: not guessed
        {"//127.0.0.1:" + port + "/bytes/6f6b", "BadUrl"},
        {" http://127.0.0.1:" + port + "/bytes/6f6b", "BadUrl"},
        {"", "BadUrl"},
        {"http://", "BadUrl"},
        {"http://127.0.0.1:" + port + "/bytes/6f 6b", "BadUrl"},
        {"http://[::1/", "BadUrl"},
        {url("/bytes/6f6b") + std::string("\0x", 2), "BadUrl"},
        // A redirect may not leave the web either.
        {url("/redirect-to?file:///etc/hostname"), "Refused"},
        {url("/redirect-to?ftp://127.0.0.1:") + port + "/dv.htm", "Refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("[" + c.url + "]");
        const auto start = std::chrono::steady_clock::now();
        const FetchOutcome outcome = fetchTextOutcome(c.url);
        EXPECT_LT(secondsSince(start), 1.0);
        EXPECT_EQ(outcome.text, "");
        EXPECT_STREQ(nameOf(outcome.failure), c.failure);
    }
    // The scheme is not case-sensitive.
    EXPECT_EQ(fetchText("HTTP://127.0.0.1:" + port + "/bytes/6f6b"), "ok");
    EXPECT_EQ(fetchText("Http://127.0.0.1:" + port + "/bytes/6f6b"), "ok");
}

TEST_F(FetchText, BodyCap) {
    struct Case {
        std::string path;
        std::size_t expectedSize; // 0: failure expected
    };
    FetchOptions options;
    options.maxBodyBytes = 1000;
    // "sized" announces its length, "stream" does not and ends at the close.
    const std::vector<Case> cases = {
        {"/sized/999", 999},  {"/sized/1000", 1000},  {"/sized/1001", 0},  {"/sized/100000000", 0},
        {"/stream/999", 999}, {"/stream/1000", 1000}, {"/stream/1001", 0}, {"/stream/endless", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto start = std::chrono::steady_clock::now();
        const FetchOutcome outcome = fetchTextOutcome(url(c.path), options);
        EXPECT_LT(secondsSince(start), 2.0);
        EXPECT_EQ(outcome.text.size(), c.expectedSize);
        EXPECT_STREQ(nameOf(outcome.failure), c.expectedSize ? "None" : "TooLarge");
    }
}

TEST_F(FetchText, DefaultBodyCapIsFourMebibytes) {
    constexpr std::size_t cap = 4u * 1024u * 1024u;
    EXPECT_EQ(fetchText(url("/sized/" + std::to_string(cap))).size(), cap);
    EXPECT_EQ(fetchText(url("/stream/" + std::to_string(cap))).size(), cap);
    for (const std::string& path :
         {"/sized/" + std::to_string(cap + 1), "/stream/" + std::to_string(cap + 1),
          std::string("/stream/endless")}) {
        SCOPED_TRACE(path);
        const auto start = std::chrono::steady_clock::now();
        const FetchOutcome outcome = fetchTextOutcome(url(path));
        EXPECT_LT(secondsSince(start), 5.0);
        EXPECT_EQ(outcome.text, "");
        EXPECT_STREQ(nameOf(outcome.failure), "TooLarge");
    }
}

TEST_F(FetchText, BrokenRepliesGiveEmpty) {
    struct Case {
        const char* path;
        const char* failure;
    };
    const std::vector<Case> cases = {
        {"/short", "Transfer"},           // fewer bytes than Content-Length announced
        {"/garbage", "Transfer"},         // not an HTTP reply at all
        {"/endless-headers", "TooLarge"}, // headers without end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto start = std::chrono::steady_clock::now();
        const FetchOutcome outcome = fetchTextOutcome(url(c.path));
        EXPECT_LT(secondsSince(start), 5.0);
        EXPECT_EQ(outcome.text, "");
        EXPECT_STREQ(nameOf(outcome.failure), c.failure);
    }
}

TEST_F(FetchText, ConcurrentCallsAreIndependent) {
    constexpr int kThreads = 16;
    constexpr int kCallsEach = 8;
    std::latch go(kThreads);
    std::vector<std::vector<std::string>> wrong(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            go.arrive_and_wait(); // all threads start their first call together
            for (int i = 0; i < kCallsEach; ++i) {
                std::string tag = "t";
                tag += std::to_string(t) + "-" + std::to_string(i);
                std::string path = "/delay/20/" + tag;
                std::string expected = tag;
                if ((t + i) % 4 == 0) { // some calls fail while others succeed
                    path = "/status/404";
                    expected.clear();
                }
                const std::string got = fetchText(url(path));
                if (got != expected) {
                    wrong[t].push_back(path + " gave [" + got + "]");
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_TRUE(wrong[t].empty()) << "thread " << t << ": " << wrong[t].front();
    }
}

TEST_F(FetchText, ConcurrentTimeOutsDoNotDisturbOtherCalls) {
    // Threads waiting on a silent server time out while others fetch normally.
    FetchOptions shortWait;
    shortWait.totalTimeout = 800ms;
    std::vector<std::thread> threads;
    std::vector<std::string> silent(4, "unset");
    std::vector<std::string> normal(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] { silent[t] = fetchText(url("/silent"), shortWait); });
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                normal[t] += fetchText(url("/bytes/") + hex(std::to_string(i)));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(silent[t], "");
        EXPECT_EQ(normal[t], "0123456789");
    }
}

// ---- TLS, redirects, proxies -------------------------------------------------------------

// Two authorities, each with an HTTPS server whose certificate it signed: "system" stands for
// a certificate of the system's store, "extra" for the one ZORVAST_CA_FILE names.
class Tls : public FetchText {
protected:
    static void SetUpTestSuite() {
        FetchText::SetUpTestSuite();
        folder_ = std::make_unique<TempFolder>();
        for (const char* name : {"system", "extra"}) {
            const auto at = folder_->path() / name;
            zorvast::testing::makeTestCertificates(at, name);
            servers_.push_back(std::make_unique<LocalHttpServer>(std::vector<std::string>{
                "--tls", (at / "server.pem").string(), (at / "server.key").string()}));
        }
        // The "system" authority as a hashed folder, the form of /etc/ssl/certs.
        const auto hashed = folder_->path() / "hashed";
        std::filesystem::create_directories(hashed);
        std::filesystem::copy_file(folder_->path() / "system" / "ca.pem", hashed / "system.pem");
        ASSERT_EQ(std::system(("openssl rehash '" + hashed.string() + "' >/dev/null 2>&1").c_str()),
                  0);
    }
    static void TearDownTestSuite() {
        servers_.clear();
        folder_.reset();
        FetchText::TearDownTestSuite();
    }

    static std::string ca(const char* name) { return (folder_->path() / name / "ca.pem").string(); }
    static std::string hashedFolder() { return (folder_->path() / "hashed").string(); }
    // "https://127.0.0.1:PORT/bytes/6f6b" of the server of that authority.
    static std::string okUrl(int server) {
        return "https://127.0.0.1:" + std::to_string(servers_[server]->port()) + "/bytes/6f6b";
    }

    // A GET through a handle that is told `trust` and nothing else; true when it worked.
    static bool getsWith(const std::string& url, const CaTrust& trust) {
        CURL* handle = curl_easy_init();
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, 10000L);
        curl_easy_setopt(
            handle, CURLOPT_WRITEFUNCTION,
            +[](char*, std::size_t size, std::size_t count, void*) { return size * count; });
        const bool applied = applyCaTrust(handle, trust);
        const CURLcode code = curl_easy_perform(handle);
        curl_easy_cleanup(handle);
        return applied && code == CURLE_OK;
    }

    static std::unique_ptr<TempFolder> folder_;
    static std::vector<std::unique_ptr<LocalHttpServer>> servers_;
};

std::unique_ptr<TempFolder> Tls::folder_;
std::vector<std::unique_ptr<LocalHttpServer>> Tls::servers_;

TEST_F(Tls, HttpsTrustsTheSystemStoreAndTheExtraCaFile) {
    struct Case {
        std::string what;
        std::optional<std::string> caFile;
        const char* failure; // of the "extra" server
    };
    const std::vector<Case> cases = {
        {"extra CA file", ca("extra"), "None"},
        {"no extra CA file", std::nullopt, "Transfer"},
        {"empty variable", "", "Transfer"},
        {"CA file missing", ca("extra") + ".missing", "Transfer"},
        {"another CA", ca("system"), "Transfer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ScopedEnvironment extra("ZORVAST_CA_FILE", c.caFile);
        const FetchOutcome outcome = fetchTextOutcome(okUrl(1));
        EXPECT_STREQ(nameOf(outcome.failure), c.failure);
        EXPECT_EQ(outcome.text, std::string(c.failure) == "None" ? "ok" : "");
    }
}

TEST_F(Tls, TheExtraCaIsAddedToTheSystemStoreNotPutInItsPlace) {
    struct Case {
        std::string what;
        CaTrust trust;
        bool systemServer;
        bool extraServer;
    };
    const std::vector<Case> cases = {
        {"system folder and extra", caTrustWith({"", hashedFolder()}, ca("extra")), true, true},
        {"system bundle and extra", caTrustWith({ca("system"), ""}, ca("extra")), true, true},
        {"system bundle, folder and extra",
         caTrustWith({ca("system"), "/nonexistent"}, ca("extra")), true, true},
        {"system folder alone", CaTrust{hashedFolder(), ""}, true, false},
        // Without a usable extra file the handle keeps libcurl's own defaults.
        {"no extra file", caTrustWith({"", hashedFolder()}, ""), false, false},
        {"extra file missing", caTrustWith({"", hashedFolder()}, ca("extra") + ".missing"), false,
         false},
        {"extra file is a folder", caTrustWith({"", hashedFolder()}, hashedFolder()), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(getsWith(okUrl(0), c.trust), c.systemServer);
        EXPECT_EQ(getsWith(okUrl(1), c.trust), c.extraServer);
    }
}

TEST_F(Tls, TheEnvironmentKeepsTheSystemStore) {
    const CaLocations system = systemCaLocations();
    // libcurl on Debian: the bundle and the hashed folder of ca-certificates.
    ASSERT_FALSE(system.folder.empty());
    EXPECT_TRUE(std::filesystem::is_directory(system.folder));
    if (!system.bundle.empty()) {
        EXPECT_TRUE(std::filesystem::is_regular_file(system.bundle));
    }
    {
        const ScopedEnvironment unset("ZORVAST_CA_FILE", std::nullopt);
        const CaTrust plain = caTrustFromEnvironment();
        EXPECT_EQ(plain.folder, "");
        EXPECT_EQ(plain.pem, "") << "no options: libcurl's defaults stay";
    }
    const ScopedEnvironment extra("ZORVAST_CA_FILE", ca("extra"));
    const CaTrust trust = caTrustFromEnvironment();
    EXPECT_EQ(trust.folder, system.folder);
    const std::string bundle = system.bundle.empty() ? "" : readAll(system.bundle) + "\n";
    EXPECT_GT(bundle.size(), 1000u) << "the system bundle is part of what is trusted";
    EXPECT_TRUE(trust.pem == bundle + readAll(ca("extra")));
}

TEST_F(Tls, ARedirectFromHttpsMayOnlyLeadToHttps) {
    const ScopedEnvironment extra("ZORVAST_CA_FILE", ca("extra"));
    const std::string base = "https://127.0.0.1:" + std::to_string(servers_[1]->port());
    struct Case {
        std::string what;
        std::string url;
        std::string text;
        const char* failure;
    };
    const std::vector<Case> cases = {
        {"https to https", base + "/redirect-to?/bytes/6f6b", "ok", "None"},
        {"https to http", base + "/redirect-to?" + url("/bytes/6f6b"), "", "Refused"},
        {"https to https to http", base + "/redirect-to?/redirect-to%3F" + url("/bytes/6f6b"), "",
         "Refused"},
        // From plain http an upgrade is fine.
        {"http to https", url("/redirect-to?") + okUrl(1), "ok", "None"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FetchOutcome outcome = fetchTextOutcome(c.url);
        EXPECT_EQ(outcome.text, c.text);
        EXPECT_STREQ(nameOf(outcome.failure), c.failure);
    }
}

TEST_F(FetchText, TheProxyOfTheEnvironmentIsUsed) {
    // Only the proxy (the test server) knows this host.
    const ScopedEnvironment proxy("http_proxy", url(""));
    const std::string got = fetchText("http://zorvast-proxy-test.invalid/echo");
    EXPECT_EQ(got.rfind("GET http://zorvast-proxy-test.invalid/echo HTTP/1.1\r\n", 0), 0u) << got;
}

} // namespace
} // namespace zorvast::update
