// The real servers the end-to-end tests run against: Debian's nginx and tinyproxy on 127.0.0.1,
// started and stopped by tests/support (LocalNginx, LocalProxy, TestCertificates), checked here
// with libcurl for what those tests rely on.
#include "support/LocalNginx.h"
#include "support/LocalProxy.h"
#include "support/TempFolder.h"
#include "support/TestCertificates.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace zorvast::testing;
using namespace std::chrono_literals;

namespace {

struct Request {
    std::string url;
    std::string proxy;  // "": straight to the server, whatever the environment says
    std::string caFile; // "": the system's authorities
    long long resumeFrom = 0;
    std::string ifRange;                        // sent as If-Range when set
    std::string resolve;                        // a CURLOPT_RESOLVE entry "HOST:PORT:ADDRESS"
    std::atomic<long long>* received = nullptr; // body bytes so far, for another thread
};

struct Transfer {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string etag;
    double firstByte = 0; // seconds from the start to the first byte of the answer
    double total = 0;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* context = static_cast<std::pair<Transfer*, const Request*>*>(user);
    context->first->body.append(data, size * count);
    if (context->second->received) {
        context->second->received->store(static_cast<long long>(context->first->body.size()));
    }
    return size * count;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    const std::string line(data, size * count);
    if (line.size() > 5 && strncasecmp(line.c_str(), "ETag:", 5) == 0) {
        std::string value = line.substr(5);
        value.erase(0, value.find_first_not_of(' '));
        value.erase(value.find_last_not_of("\r\n ") + 1);
        static_cast<Transfer*>(user)->etag = value;
    }
    return size * count;
}

Transfer fetch(const Request& request) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    Transfer result;
    std::pair<Transfer*, const Request*> context{&result, &request};
    CURL* curl = curl_easy_init();
    curl_slist* headers = nullptr;
    curl_slist* resolve = nullptr;
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, request.proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &context);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result);
    if (!request.caFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, request.caFile.c_str());
    }
    if (request.resumeFrom > 0) {
        curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE,
                         static_cast<curl_off_t>(request.resumeFrom));
    }
    if (!request.ifRange.empty()) {
        headers = curl_slist_append(headers, ("If-Range: " + request.ifRange).c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    }
    if (!request.resolve.empty()) {
        resolve = curl_slist_append(resolve, request.resolve.c_str());
        curl_easy_setopt(curl, CURLOPT_RESOLVE, resolve);
    }
    result.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_off_t microseconds = 0;
    curl_easy_getinfo(curl, CURLINFO_STARTTRANSFER_TIME_T, &microseconds);
    result.firstByte = static_cast<double>(microseconds) / 1e6;
    curl_easy_getinfo(curl, CURLINFO_TOTAL_TIME_T, &microseconds);
    result.total = static_cast<double>(microseconds) / 1e6;
    curl_slist_free_all(headers);
    curl_slist_free_all(resolve);
    curl_easy_cleanup(curl);
    return result;
}

Transfer fetch(const std::string& url) {
    return fetch(Request{url});
}

// Bytes that differ from place to place, so a piece in the wrong spot shows.
std::string patterned(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 31 + i / 251) % 256);
    }
    return bytes;
}

// The lines of `log` that contain `needle`.
std::vector<std::string> linesWith(const std::string& log, const std::string& needle) {
    std::vector<std::string> found;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) {
            end = log.size();
        }
        const std::string line = log.substr(start, end - start);
        if (line.find(needle) != std::string::npos) {
            found.push_back(line);
        }
        start = end + 1;
    }
    return found;
}

// Every process whose command line mentions `text`.
std::vector<std::string> processesMentioning(const std::string& text) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec); !ec && it != fs::end(it); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos ||
            name == std::to_string(getpid())) {
            continue;
        }
        std::string commandLine = readAll((it->path() / "cmdline").string());
        for (char& c : commandLine) {
            c = c == '\0' ? ' ' : c;
        }
        if (commandLine.find(text) != std::string::npos) {
            found.push_back(name + ": " + commandLine);
        }
    }
    return found;
}

bool gone(pid_t pid) {
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// The field `name` ("Uid:", "CapEff:") of /proc/PID/status.
std::string statusField(pid_t pid, const std::string& name) {
    for (const std::string& line :
         linesWith(readAll("/proc/" + std::to_string(pid) + "/status"), name)) {
        if (line.rfind(name, 0) == 0) {
            return line.substr(name.size());
        }
    }
    return "";
}

class ServersSmoke : public ::testing::Test {
protected:
    void SetUp() override {
        docs_ = temp_.path() / "docs";
        fs::create_directories(docs_ / "sub");
        writeFile(docs_ / "dv.htm", "261210");
        writeFile(docs_ / "satdata.sta", package_);
    }

    static void writeFile(const fs::path& file, const std::string& bytes) {
        std::FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
        std::fclose(out);
    }

    TempFolder temp_; // 0700, as every test folder: the servers must still read it
    fs::path docs_;
    const std::string package_ = patterned(12000);
};

TEST_F(ServersSmoke, NginxServesTheFolderWithoutRootsRights) {
    LocalNginx nginx(temp_.path() / "nginx", docs_);
    const Transfer page = fetch(nginx.url("/dv.htm"));
    EXPECT_EQ(page.code, CURLE_OK);
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body, "261210");
    const Transfer package = fetch(nginx.url("/satdata.sta"));
    EXPECT_EQ(package.status, 200);
    EXPECT_EQ(package.body, package_);
    EXPECT_EQ(fetch(nginx.url("/missing.htm")).status, 404);

    ASSERT_TRUE(nginx.waitForAccess(3));
    const auto entries = nginx.accessEntries();
    ASSERT_EQ(entries.size(), 3u) << nginx.accessLog();
    EXPECT_EQ(entries[0].request, "GET /dv.htm HTTP/1.1");
    EXPECT_EQ(entries[0].status, 200);
    EXPECT_GT(entries[1].bytes, 12000);
    EXPECT_EQ(entries[1].range, "");
    EXPECT_EQ(entries[1].via, "");
    EXPECT_EQ(entries[2].status, 404);

    if (geteuid() == 0) {
        // nobody, holding nothing but reading past file modes.
        const std::string uid = statusField(nginx.pid(), "Uid:");
        EXPECT_NE(uid.find("\t65534\t65534\t65534\t65534"), std::string::npos) << uid;
        EXPECT_EQ(statusField(nginx.pid(), "CapEff:"), "\t0000000000000004");
        struct stat info {};
        ASSERT_EQ(::stat(temp_.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
}

TEST_F(ServersSmoke, PackageFilesWaitForTheirFirstByte) {
    NginxOptions options;
    options.firstByteDelay = 3;
    LocalNginx nginx(temp_.path() / "nginx", docs_, options);
    EXPECT_GE(nginx.firstByteDelay(), 3.0);
    EXPECT_LT(nginx.firstByteDelay(), 3.5);

    const Transfer page = fetch(nginx.url("/dv.htm"));
    EXPECT_EQ(page.body, "261210");
    EXPECT_LT(page.firstByte, 1.0) << "only the package files wait";

    const Transfer package = fetch(nginx.url("/satdata.sta"));
    std::printf("first byte of a package after %.3f s (configured %.3f s)\n", package.firstByte,
                nginx.firstByteDelay());
    EXPECT_EQ(package.status, 200);
    EXPECT_EQ(package.body, package_);
    EXPECT_GE(package.firstByte, 3.0);
    EXPECT_LT(package.firstByte, nginx.firstByteDelay() + 1.5);

    // A range of a delayed file: still the right bytes, and still late.
    const Transfer rest = fetch(Request{nginx.url("/satdata.sta"), "", "", 11000});
    EXPECT_EQ(rest.status, 206);
    EXPECT_EQ(rest.body, package_.substr(11000));
    EXPECT_GE(rest.firstByte, 3.0);
    ASSERT_TRUE(nginx.waitForAccess(3));
    const auto entries = nginx.accessEntries();
    ASSERT_EQ(entries.size(), 3u) << nginx.accessLog(); // the warm-ups are not logged
    EXPECT_EQ(entries[2].range, "bytes=11000-");
    EXPECT_EQ(entries[2].status, 206);
}

TEST_F(ServersSmoke, RateLimitKillMidTransferRestartAndResume) {
    NginxOptions options;
    options.rateLimit = 2048;
    LocalNginx nginx(temp_.path() / "nginx", docs_, options);
    const int port = nginx.port();

    const Transfer whole = fetch(nginx.url("/satdata.sta"));
    ASSERT_EQ(whole.body, package_);
    const double rate = static_cast<double>(whole.body.size()) / whole.total;
    std::printf("12000 bytes at a 2048 B/s limit: %.2f s, %.0f B/s\n", whole.total, rate);
    EXPECT_GT(rate, 1500.0);
    EXPECT_LT(rate, 3500.0); // nginx lets the first second's share through at once
    EXPECT_LT(fetch(nginx.url("/dv.htm")).total, 1.0) << "only the package files are slow";

    // Cut in the middle: the client keeps what came before the kill.
    std::atomic<long long> received{0};
    Transfer cut;
    std::thread download([&] {
        Request request{nginx.url("/satdata.sta")};
        request.received = &received;
        cut = fetch(request);
    });
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (received.load() < 3000 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(5ms);
    }
    nginx.kill();
    download.join();
    EXPECT_NE(cut.code, CURLE_OK);
    ASSERT_GE(cut.body.size(), 3000u);
    ASSERT_LT(cut.body.size(), package_.size());
    EXPECT_EQ(cut.body, package_.substr(0, cut.body.size()));
    EXPECT_FALSE(nginx.running());
    EXPECT_EQ(fetch(nginx.url("/dv.htm")).code, CURLE_COULDNT_CONNECT);

    // Back on the same port; the rest comes with a Range (and If-Range) request.
    nginx.restart();
    EXPECT_EQ(nginx.port(), port);
    Request resume{nginx.url("/satdata.sta")};
    resume.resumeFrom = static_cast<long long>(cut.body.size());
    resume.ifRange = whole.etag;
    const Transfer rest = fetch(resume);
    EXPECT_EQ(rest.status, 206);
    EXPECT_EQ(cut.body + rest.body, package_);

    const std::string range = "bytes=" + std::to_string(cut.body.size()) + "-";
    ASSERT_TRUE(nginx.waitForAccess(3)) << nginx.accessLog();
    bool logged = false;
    for (const NginxAccess& entry : nginx.accessEntries()) {
        if (entry.range == range) {
            logged = true;
            EXPECT_EQ(entry.status, 206);
            EXPECT_EQ(entry.ifRange, whole.etag);
            EXPECT_FALSE(entry.ifRange.empty());
        }
    }
    EXPECT_TRUE(logged) << nginx.accessLog();
    EXPECT_EQ(linesWith(nginx.accessLog(), "range=\"" + range + "\"").size(), 1u);
}

TEST_F(ServersSmoke, HttpsWithTheTestAuthorityOnly) {
    const TestCertificates certificates = makeTestCertificates(temp_.path() / "tls");
    NginxOptions options;
    options.certificate = certificates.certificate;
    options.key = certificates.key;
    options.firstByteDelay = 1; // the delay's inner requests go over TLS as well
    LocalNginx nginx(temp_.path() / "nginx", docs_, options);
    ASSERT_EQ(nginx.url("/dv.htm").rfind("https://127.0.0.1:", 0), 0u);

    Request trusted{nginx.url("/dv.htm")};
    trusted.caFile = certificates.ca.string();
    const Transfer page = fetch(trusted);
    EXPECT_EQ(page.code, CURLE_OK);
    EXPECT_EQ(page.body, "261210");

    Request byName{"https://localhost:" + std::to_string(nginx.port()) + "/dv.htm"};
    byName.caFile = certificates.ca.string();
    byName.resolve = "localhost:" + std::to_string(nginx.port()) + ":127.0.0.1";
    EXPECT_EQ(fetch(byName).body, "261210");

    Request package{nginx.url("/satdata.sta")};
    package.caFile = certificates.ca.string();
    const Transfer late = fetch(package);
    EXPECT_EQ(late.body, package_);
    EXPECT_GE(late.firstByte, 1.0);

    EXPECT_EQ(fetch(nginx.url("/dv.htm")).code, CURLE_PEER_FAILED_VERIFICATION);
    Request plain{"http://127.0.0.1:" + std::to_string(nginx.port()) + "/dv.htm"};
    EXPECT_NE(fetch(plain).body, "261210");
}

TEST_F(ServersSmoke, ProxyForwardsAnUnresolvableHostToNginx) {
    LocalNginx nginx(temp_.path() / "nginx", docs_);
    ProxyOptions options;
    options.upstreamPort = nginx.port();
    LocalProxy proxy(temp_.path() / "proxy", options);
    EXPECT_EQ(proxy.url(), "http://127.0.0.1:" + std::to_string(proxy.port()));

    Request request{"http://mirror.zorvast.test/satdata.sta"};
    request.proxy = proxy.url();
    const Transfer package = fetch(request);
    EXPECT_EQ(package.code, CURLE_OK);
    EXPECT_EQ(package.status, 200);
    EXPECT_EQ(package.body, package_);
    EXPECT_EQ(fetch(nginx.url("/dv.htm")).body, "261210"); // and one straight, for contrast

    ASSERT_TRUE(nginx.waitForAccess(2));
    const auto entries = nginx.accessEntries();
    ASSERT_EQ(entries.size(), 2u) << nginx.accessLog();
    EXPECT_EQ(entries[0].host, "mirror.zorvast.test");
    EXPECT_NE(entries[0].request.find("http://mirror.zorvast.test"), std::string::npos);
    EXPECT_EQ(entries[0].via.rfind("1.1 zorvast-test-proxy", 0), 0u) << entries[0].via;
    EXPECT_EQ(entries[1].via, "");
    EXPECT_EQ(linesWith(proxy.log(), "GET http://mirror.zorvast.test/satdata.sta").size(), 1u)
        << proxy.log();

    if (geteuid() == 0) {
        EXPECT_NE(statusField(proxy.pid(), "Uid:").find("\t65534\t65534"), std::string::npos);
    }
}

TEST_F(ServersSmoke, OnlyLocalHostNamesWhenAnyHostIsOff) {
    NginxOptions nginxOptions;
    nginxOptions.anyHost = false;
    LocalNginx nginx(temp_.path() / "nginx", docs_, nginxOptions);
    LocalProxy proxy(temp_.path() / "proxy", ProxyOptions{nginx.port()});
    Request mirror{"http://mirror.zorvast.test/dv.htm"};
    mirror.proxy = proxy.url();
    EXPECT_EQ(fetch(mirror).status, 421);
    Request local{"http://localhost/dv.htm"};
    local.proxy = proxy.url();
    EXPECT_EQ(fetch(local).body, "261210");
    EXPECT_EQ(fetch(nginx.url("/dv.htm")).body, "261210");
}

TEST_F(ServersSmoke, NothingOutlivesTheObjects) {
    const std::string marker = temp_.path().string();
    pid_t nginxPid = -1;
    pid_t proxyPid = -1;
    {
        NginxOptions options;
        options.firstByteDelay = 1;
        LocalNginx nginx(temp_.path() / "nginx", docs_, options);
        LocalProxy proxy(temp_.path() / "proxy", ProxyOptions{nginx.port()});
        nginxPid = nginx.pid();
        proxyPid = proxy.pid();
        EXPECT_EQ(processesMentioning(marker).size(), 2u);
        nginx.restart();
        EXPECT_TRUE(gone(nginxPid));
        nginxPid = nginx.pid();
    }
    EXPECT_TRUE(gone(nginxPid));
    EXPECT_TRUE(gone(proxyPid));
    EXPECT_TRUE(processesMentioning(marker).empty());

    // A test process that dies without destructors: its servers die with it. This process
    // adopts them as a subreaper to see how they ended.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0), 0);
    int pids[2];
    ASSERT_EQ(pipe(pids), 0);
    const pid_t doomed = fork();
    ASSERT_GE(doomed, 0);
    if (doomed == 0) {
        close(pids[0]);
        try {
            LocalNginx nginx(temp_.path() / "nginx2", docs_);
            LocalProxy proxy(temp_.path() / "proxy2", ProxyOptions{nginx.port()});
            const pid_t started[2] = {nginx.pid(), proxy.pid()};
            [[maybe_unused]] const ssize_t written = write(pids[1], started, sizeof started);
            raise(SIGKILL); // with both objects alive
        } catch (...) {
        }
        _exit(3);
    }
    close(pids[1]);
    pid_t started[2] = {-1, -1};
    const ssize_t got = read(pids[0], started, sizeof started);
    close(pids[0]);
    int status = 0;
    waitpid(doomed, &status, 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof started));
    ASSERT_TRUE(WIFSIGNALED(status));
    for (const pid_t orphan : started) {
        int orphanStatus = 0;
        pid_t reaped = 0;
        const auto end = std::chrono::steady_clock::now() + 5s;
        while ((reaped = waitpid(orphan, &orphanStatus, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(10ms);
        }
        if (reaped == 0) {
            ::kill(orphan, SIGKILL);
            waitpid(orphan, nullptr, 0);
        }
        EXPECT_EQ(reaped, orphan) << "a server outlived its test process";
        EXPECT_TRUE(WIFSIGNALED(orphanStatus) && WTERMSIG(orphanStatus) == SIGKILL);
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0, 0, 0, 0);
    EXPECT_TRUE(processesMentioning(marker).empty());
}

} // namespace
