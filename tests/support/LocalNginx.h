// Debian's nginx as a child process on 127.0.0.1 and a free port, for the life of one object,
// with its own configuration, access log and temporary folders in a folder the test gives.
//
// nginx runs in the foreground as one process (master_process off) in its own process group,
// with PR_SET_PDEATHSIG: kill() cuts every open connection at once, and nginx also dies when the
// thread that started it ends without running destructors (a test that crashed or was killed).
//
// As root (CI), the child becomes `nobody` before nginx starts, so the server never holds root's
// rights. It keeps one capability, CAP_DAC_READ_SEARCH (read and search past file permissions,
// never write), because the tests keep the served tree and the certificates under 0700 temporary
// folders; the folders it writes to (logs, temp, run) are made here and handed to `nobody`.
// Nothing else changes owner or mode. As an ordinary user, nginx simply runs as that user.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace zorvast::testing {

namespace detail {

inline std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

// A path or pattern in double quotes for a server configuration; refuses what nginx would read
// as syntax or variables rather than text.
inline std::string quoted(const std::string& text) {
    for (const char c : text) {
        if (c == '"' || c == '\\' || c == '$' || static_cast<unsigned char>(c) < 0x20) {
            throw std::invalid_argument("unusable in a server configuration: " + text);
        }
    }
    return "\"" + text + "\"";
}

// A regular expression in double quotes for nginx, which takes \\ and \" back to \ and ".
inline std::string quotedPattern(const std::string& pattern) {
    std::string out = "\"";
    for (const char c : pattern) {
        if (static_cast<unsigned char>(c) < 0x20) {
            throw std::invalid_argument("unusable in a server configuration: " + pattern);
        }
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// Who the server runs as: as root, `nobody`; otherwise the caller itself (drop == false).
struct RunAs {
    bool drop = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

inline RunAs serverIdentity() {
    if (geteuid() != 0) {
        return {};
    }
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwnam_r("nobody", &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
        throw std::runtime_error("running as root, but there is no user nobody to run servers as");
    }
    return {true, found->pw_uid, found->pw_gid};
}

// Makes `folder` (and its parents) and, as root, gives it to the server's user.
inline void makeServerFolder(const std::filesystem::path& folder, const RunAs& as) {
    std::filesystem::create_directories(folder);
    if (as.drop && chown(folder.c_str(), as.uid, as.gid) != 0) {
        throw std::runtime_error("cannot hand " + folder.string() + " to the server's user");
    }
}

// A port on 127.0.0.1 that nothing listens on right now.
inline int freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool ok = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    close(fd);
    if (!ok) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    return ntohs(address.sin_port);
}

// True when process `pid` itself holds a socket listening on 127.0.0.1:`port` (not merely
// someone else on that port).
inline bool listensOn(pid_t pid, int port) {
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::istringstream table(readText("/proc/net/tcp"));
    std::string line;
    std::getline(table, line);
    std::vector<std::string> inodes;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode;
        if (local == wanted && state == "0A") {
            inodes.push_back("socket:[" + inode + "]");
        }
    }
    if (inodes.empty()) {
        return false;
    }
    std::error_code ec;
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (std::filesystem::directory_iterator it(fds, ec); !ec && it != std::filesystem::end(it);
         it.increment(ec)) {
        std::error_code linkError;
        const std::string target = std::filesystem::read_symlink(it->path(), linkError).string();
        for (const std::string& inode : inodes) {
            if (!linkError && target == inode) {
                return true;
            }
        }
    }
    return false;
}

// Moves a new descriptor above 0, 1 and 2, which the child is about to replace (the test may run
// with its standard input closed).
inline int aboveStandard(int fd) {
    if (fd < 0 || fd > 2) {
        return fd;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return moved;
}

// One server program as a child: started, watched, killed with its process group.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts `commandLine` (its first item an absolute path) with stdin from /dev/null and
    // stdout and stderr appended to `output`.
    void start(std::vector<std::string> commandLine, const std::filesystem::path& output) {
        stop();
        std::vector<char*> argv;
        for (std::string& argument : commandLine) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const RunAs as = serverIdentity();

        const int in = aboveStandard(open("/dev/null", O_RDONLY | O_CLOEXEC));
        const int out =
            aboveStandard(open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        int report[2] = {-1, -1};
        if (in < 0 || out < 0 || pipe2(report, O_CLOEXEC) != 0) {
            closeAll({in, out, report[0], report[1]});
            throw std::runtime_error("cannot prepare " + commandLine.front());
        }
        report[0] = aboveStandard(report[0]);
        report[1] = aboveStandard(report[1]);

        const pid_t parent = getpid();
        const pid_t child = fork();
        if (child == 0) {
            runChild(argv.data(), in, out, report[1], as, parent);
        }
        closeAll({in, out, report[1]});
        if (child < 0) {
            close(report[0]);
            throw std::runtime_error("fork failed");
        }
        // The pipe closes on exec; a child that failed before it writes where and why.
        int failure[2] = {0, 0};
        ssize_t got = 0;
        do {
            got = read(report[0], failure, sizeof failure);
        } while (got < 0 && errno == EINTR);
        close(report[0]);
        pid_ = child;
        if (got == static_cast<ssize_t>(sizeof failure)) {
            stop();
            throw std::runtime_error("cannot start " + commandLine.front() + ": " +
                                     stageName(failure[0]) + ": " + std::strerror(failure[1]));
        }
    }

    // False once the program has ended (it is then reaped).
    bool running() {
        if (pid_ <= 0) {
            return false;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == 0) {
            return true;
        }
        ::kill(-pid_, SIGKILL); // anything it left in its group
        pid_ = -1;
        return false;
    }

    // SIGKILL to the whole process group, then reaps the program.
    void stop() {
        if (pid_ <= 0) {
            return;
        }
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

    pid_t pid() const { return pid_; }

private:
    static void closeAll(std::initializer_list<int> fds) {
        for (const int fd : fds) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    static std::string stageName(int stage) {
        switch (stage) {
        case 1:
            return "own process group";
        case 2:
            return "standard descriptors";
        case 3:
            return "keeping capabilities";
        case 4:
            return "becoming nobody";
        case 5:
            return "capability set";
        case 6:
            return "ambient capability";
        case 7:
            return "parent death signal";
        default:
            return "exec";
        }
    }

    // After fork, before exec: only async-signal-safe calls from here on.
    [[noreturn]] static void runChild(char* const* argv, int in, int out, int report,
                                      const RunAs& as, pid_t parent) {
        const auto fail = [report](int stage) {
            const int message[2] = {stage, errno};
            [[maybe_unused]] const ssize_t ignored = write(report, message, sizeof message);
            _exit(127);
        };
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (setpgid(0, 0) != 0) {
            fail(1);
        }
        if (dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 ||
            dup2(out, STDERR_FILENO) < 0) {
            fail(2);
        }
        if (as.drop) {
            if (prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0) != 0) {
                fail(3);
            }
            if (setgroups(0, nullptr) != 0 || setresgid(as.gid, as.gid, as.gid) != 0 ||
                setresuid(as.uid, as.uid, as.uid) != 0) {
                fail(4);
            }
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2] = {};
            const __u32 readSearch = 1u << CAP_DAC_READ_SEARCH;
            data[0].effective = readSearch;
            data[0].permitted = readSearch;
            data[0].inheritable = readSearch;
            if (syscall(SYS_capset, &header, data) != 0) {
                fail(5);
            }
            if (prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, CAP_DAC_READ_SEARCH, 0, 0) != 0) {
                fail(6);
            }
        }
        // After the change of user, which clears it.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0) {
            fail(7);
        }
        if (getppid() != parent) {
            _exit(127);
        }
        // No descriptor of the test process reaches the server (the report pipe closes on exec).
        if (report > 3) {
            syscall(SYS_close_range, 3u, static_cast<unsigned>(report - 1), 0u);
        }
        syscall(SYS_close_range, static_cast<unsigned>(report + 1), ~0u, 0u);
        execve(argv[0], argv, environ);
        fail(8);
        _exit(127);
    }

    pid_t pid_ = -1;
};

// Starts `process` until it listens on 127.0.0.1:`port`; throws with `describe()` when it ends
// first or takes longer than ten seconds.
template <typename Start, typename Describe>
void startListening(ServerProcess& process, int port, Start start, Describe describe) {
    start();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (true) {
        if (!process.running()) {
            throw std::runtime_error("the server ended at start: " + describe());
        }
        if (listensOn(process.pid(), port)) {
            return;
        }
        if (std::chrono::steady_clock::now() > end) {
            process.stop();
            throw std::runtime_error("the server did not listen within 10 s: " + describe());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace detail

struct NginxOptions {
    // The package files the two limits below apply to: an nginx regular expression on the path.
    std::string slowFiles = R"(\.(sta|zip)$)";
    // Bytes per second for those files (nginx limit_rate); 0: no limit.
    std::size_t rateLimit = 0;
    // Seconds, 1 to 10, that every request for those files waits for its first byte; 0: none.
    // nginx delays in steps of 60/n seconds, so the wait is somewhat longer (3 gives 3.16 s, 5
    // gives 5.45 s, 10 gives 12 s): firstByteDelay() tells.
    int firstByteDelay = 0;
    // Both set: HTTPS with this certificate (chain) and key instead of HTTP.
    std::filesystem::path certificate;
    std::filesystem::path key;
    // Any host name in the Host header or an absolute URI is served, as a forwarding proxy sends
    // them; false: only 127.0.0.1 and localhost, every other host gets 421.
    bool anyHost = true;
};

// One access log line, the headers "" when absent.
struct NginxAccess {
    std::string request; // the request line as received
    int status = 0;
    long long bytes = 0; // sent, headers included
    std::string range;
    std::string ifRange;
    std::string via;
    std::string host;
    double seconds = 0;
};

class LocalNginx {
public:
    // Serves `documentRoot`; writes nginx.conf, logs/, temp/ and run/ into `folder` (made when
    // missing) and starts at once.
    LocalNginx(std::filesystem::path folder, std::filesystem::path documentRoot,
               NginxOptions options = {})
        : folder_(std::filesystem::absolute(std::move(folder))),
          root_(std::filesystem::absolute(std::move(documentRoot))), options_(std::move(options)) {
        if (options_.firstByteDelay < 0 || options_.firstByteDelay > 10) {
            throw std::invalid_argument("firstByteDelay is 0 or 1 to 10 seconds");
        }
        if (options_.certificate.empty() != options_.key.empty()) {
            throw std::invalid_argument("TLS needs both a certificate and a key");
        }
        const detail::RunAs as = detail::serverIdentity();
        std::filesystem::create_directories(folder_);
        for (const char* name : {"logs", "temp", "run"}) {
            detail::makeServerFolder(folder_ / name, as);
        }
        // A port taken between the probe and nginx's bind: another port, a few times.
        for (int attempt = 1;; ++attempt) {
            port_ = detail::freeLoopbackPort();
            try {
                start();
                return;
            } catch (const std::runtime_error& error) {
                if (attempt == 5 ||
                    std::string(error.what()).find("Address already in use") == std::string::npos) {
                    throw;
                }
            }
        }
    }

    ~LocalNginx() { process_.stop(); }
    LocalNginx(const LocalNginx&) = delete;
    LocalNginx& operator=(const LocalNginx&) = delete;

    int port() const { return port_; }
    bool tls() const { return !options_.certificate.empty(); }

    // "http://127.0.0.1:PORT" (https with TLS) followed by `path` (which starts with "/").
    std::string url(const std::string& path) const {
        return std::string(tls() ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
               path;
    }

    // The least time a slow file's first byte waits, in seconds (0 without a delay).
    double firstByteDelay() const {
        return options_.firstByteDelay == 0 ? 0.0 : 60.0 / requestsPerMinute();
    }

    // Hard stop: SIGKILL, so open transfers end mid-way; the port refuses until restart().
    void kill() { process_.stop(); }

    // A fresh nginx on the same port with the same configuration (after kill() or while running).
    void restart() {
        process_.stop();
        start();
    }

    bool running() { return process_.running(); }
    pid_t pid() const { return process_.pid(); }

    // Access log lines as written: `ADDRESS [TIME] "REQUEST LINE" status=S bytes=B range="R"
    // if_range="I" via="V" host="H" time=T`, with "-" for a header that was not sent. A request
    // is logged when it ends; one cut by kill() is not.
    std::filesystem::path accessLogPath() const { return folder_ / "logs/access.log"; }
    std::string accessLog() const { return detail::readText(accessLogPath()); }
    std::vector<NginxAccess> accessEntries() const {
        std::vector<NginxAccess> entries;
        std::istringstream in(accessLog());
        for (std::string text; std::getline(in, text);) {
            NginxAccess entry;
            if (parseAccess(text, entry)) {
                entries.push_back(std::move(entry));
            }
        }
        return entries;
    }

    // True once the access log holds at least `count` lines, waiting up to `limit`: nginx writes
    // a line just after the answer's last byte left, so a client holding the whole answer can
    // look a moment too early.
    bool waitForAccess(std::size_t count,
                       std::chrono::milliseconds limit = std::chrono::seconds(2)) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (accessEntries().size() < count) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    // nginx's own messages and what it printed at start.
    std::string errorLog() const {
        return detail::readText(folder_ / "logs/error.log") +
               detail::readText(folder_ / "logs/nginx.out");
    }

private:
    // One line of the format above; nginx escapes '"' inside values, so a quote ends a value.
    static bool parseAccess(const std::string& line, NginxAccess& entry) {
        size_t at = line.find("] \"");
        if (at == std::string::npos) {
            return false;
        }
        at += 3;
        const auto quotedValue = [&](const std::string& key, std::string& value) {
            if (at >= line.size()) {
                return false;
            }
            if (!key.empty() && line.compare(at, key.size() + 2, key + "=\"") != 0) {
                return false;
            }
            const size_t open = key.empty() ? at : at + key.size() + 2;
            const size_t close = line.find('"', open);
            if (close == std::string::npos) {
                return false;
            }
            const std::string raw = line.substr(open, close - open);
            value = !key.empty() && raw == "-" ? std::string() : unescaped(raw);
            at = close + 2; // past the quote and the space
            return true;
        };
        const auto plainValue = [&](const std::string& key, std::string& value) {
            if (at >= line.size() || line.compare(at, key.size() + 1, key + "=") != 0) {
                return false;
            }
            const size_t open = at + key.size() + 1;
            const size_t close = std::min(line.find(' ', open), line.size());
            value = line.substr(open, close - open);
            at = close + 1;
            return !value.empty();
        };
        std::string status, bytes, seconds;
        if (!quotedValue("", entry.request) || !plainValue("status", status) ||
            !plainValue("bytes", bytes) || !quotedValue("range", entry.range) ||
            !quotedValue("if_range", entry.ifRange) || !quotedValue("via", entry.via) ||
            !quotedValue("host", entry.host) || !plainValue("time", seconds)) {
            return false;
        }
        const auto number = [](const std::string& text, auto& value) {
            const auto [end, error] =
                std::from_chars(text.data(), text.data() + text.size(), value);
            return error == std::errc() && end == text.data() + text.size();
        };
        return number(status, entry.status) && number(bytes, entry.bytes) &&
               number(seconds, entry.seconds);
    }

    // nginx writes '"', '\\' and bytes outside printable ASCII as \xHH.
    static std::string unescaped(const std::string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            unsigned value = 0;
            if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
                std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16).ptr ==
                    text.data() + i + 4) {
                out += static_cast<char>(value);
                i += 3;
            } else {
                out += text[i];
            }
        }
        return out;
    }

    // nginx limits in whole requests per minute; the delay is one request's share, kept a little
    // above the wanted seconds so the time spent on the warm-up request never eats into it.
    int requestsPerMinute() const {
        return std::max(1, static_cast<int>(std::floor(60.0 / (options_.firstByteDelay + 0.05))));
    }

    void start() {
        const std::filesystem::path conf = folder_ / "nginx.conf";
        detail::writeText(conf, configuration());
        detail::startListening(
            process_, port_,
            [&] {
                process_.start({"/usr/sbin/nginx", "-p", folder_.string() + "/", "-c",
                                conf.string(), "-g", "daemon off;"},
                               folder_ / "logs/nginx.out");
            },
            [&] { return errorLog(); });
    }

    std::string configuration() const {
        using detail::quoted;
        const std::string folder = folder_.string();
        const std::string listen = "127.0.0.1:" + std::to_string(port_) + (tls() ? " ssl" : "");
        const bool delay = options_.firstByteDelay > 0;
        const bool slow = delay || options_.rateLimit > 0;
        const std::string rate =
            options_.rateLimit > 0 ? "limit_rate " + std::to_string(options_.rateLimit) + ";" : "";
        std::string tlsLines;
        if (tls()) {
            tlsLines = "        ssl_certificate " + quoted(options_.certificate.string()) +
                       ";\n        ssl_certificate_key " + quoted(options_.key.string()) +
                       ";\n        ssl_protocols TLSv1.2 TLSv1.3;\n";
        }

        std::ostringstream c;
        c << "# One test server; written by LocalNginx.\n"
          << "master_process off;\n"
          << "pid " << quoted(folder + "/run/nginx.pid") << ";\n"
          << "lock_file " << quoted(folder + "/run/nginx.lock") << ";\n"
          << "error_log " << quoted(folder + "/logs/error.log") << " notice;\n"
          << "events { worker_connections 256; }\n"
          << "http {\n"
          << "    default_type application/octet-stream;\n"
          << "    types { text/html htm html; text/plain txt; application/zip zip; }\n"
          << "    server_tokens off;\n"
          << "    keepalive_timeout 10;\n"
          << "    log_format zorvast '$remote_addr [$time_local] \"$request\" status=$status "
             "bytes=$bytes_sent range=\"$http_range\" if_range=\"$http_if_range\" "
             "via=\"$http_via\" host=\"$host\" time=$request_time';\n"
          << "    access_log " << quoted(folder + "/logs/access.log") << " zorvast;\n";
        for (const char* kind : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
            c << "    " << kind << "_temp_path " << quoted(folder + "/temp/" + kind) << ";\n";
        }
        if (delay) {
            // Each slow request first sends a warm-up under its own key (auth_request waits for
            // it), then itself under the same key: limit_req holds the second one back for one
            // request's share of the rate.
            c << "    limit_req_zone $http_x_zorvast_gate zone=zorvast_gate:1m rate="
              << requestsPerMinute() << "r/m;\n";
        }
        if (!options_.anyHost) {
            c << "    server {\n        listen " << listen << " default_server;\n"
              << "        server_name _;\n"
              << tlsLines << "        return 421;\n    }\n";
        }
        c << "    server {\n"
          << "        listen " << listen << (options_.anyHost ? " default_server" : "") << ";\n"
          << "        server_name " << (options_.anyHost ? "_" : "127.0.0.1 localhost") << ";\n"
          << tlsLines << "        root " << quoted(root_.string()) << ";\n";
        if (slow) {
            c << "        location ~ " << detail::quotedPattern(options_.slowFiles) << " {\n";
            if (!delay) {
                c << "            " << rate << "\n";
            } else {
                const std::string self =
                    std::string(tls() ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
                c << "            set $zorvast_gate $request_id;\n"
                  << "            auth_request /__zorvast/warm;\n"
                  << "            rewrite ^ /__zorvast/files$uri break;\n"
                  << "            proxy_pass " << self << ";\n"
                  << "            proxy_set_header X-Zorvast-Gate $zorvast_gate;\n"
                  << "            proxy_buffering off;\n"
                  << "        }\n"
                  << "        location = /__zorvast/warm {\n"
                  << "            internal;\n"
                  << "            proxy_pass " << self << "/__zorvast/gate;\n"
                  << "            proxy_pass_request_body off;\n"
                  << "            proxy_set_header Content-Length \"\";\n"
                  << "            proxy_set_header Range \"\";\n"
                  << "            proxy_set_header If-Range \"\";\n"
                  << "            proxy_set_header X-Zorvast-Gate $zorvast_gate;\n"
                  << "        }\n"
                  << "        location = /__zorvast/gate {\n"
                  << "            access_log off;\n"
                  << "            limit_req zone=zorvast_gate burst=10;\n"
                  << "            empty_gif;\n"
                  << "        }\n"
                  << "        location ^~ /__zorvast/files/ {\n"
                  << "            access_log off;\n"
                  << "            limit_req zone=zorvast_gate burst=10;\n"
                  << "            " << rate << "\n"
                  << "            alias " << quoted(root_.string() + "/") << ";\n";
            }
            c << "        }\n";
        }
        c << "    }\n}\n";
        return c.str();
    }

    std::filesystem::path folder_;
    std::filesystem::path root_;
    NginxOptions options_;
    int port_ = 0;
    detail::ServerProcess process_;
};

} // namespace zorvast::testing
