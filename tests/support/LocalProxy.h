// Debian's tinyproxy as a child process on 127.0.0.1 and a free port, for the life of one object,
// with its own configuration and log in a folder the test gives. It runs in the foreground and
// ends like LocalNginx (see there): killed with its process group, and with the thread that
// started it. As root the child becomes `nobody` first, so tinyproxy never switches user itself.
#pragma once

#include "support/LocalNginx.h"

#include <cctype>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>

namespace zorvast::testing {

struct ProxyOptions {
    // Non-zero: every request goes on to the HTTP proxy (or server taking absolute URIs) at
    // 127.0.0.1:upstreamPort, so a host name that does not resolve, such as mirror.zorvast.test,
    // still reaches a LocalNginx there. 0: tinyproxy connects to the hosts itself.
    int upstreamPort = 0;
    // The name tinyproxy puts in the Via header it adds: "1.1 NAME (tinyproxy/VERSION)".
    std::string viaName = "zorvast-test-proxy";
};

class LocalProxy {
public:
    // Writes tinyproxy.conf into `folder` (made when missing), its log into folder/logs, and
    // starts at once; only 127.0.0.1 may use it.
    explicit LocalProxy(std::filesystem::path folder, ProxyOptions options = {})
        : folder_(std::filesystem::absolute(std::move(folder))), options_(std::move(options)) {
        if (options_.upstreamPort < 0 || options_.upstreamPort > 65535) {
            throw std::invalid_argument("upstreamPort out of range");
        }
        for (const char c : options_.viaName) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') {
                throw std::invalid_argument("viaName: letters, digits, '-' and '.' only");
            }
        }
        std::filesystem::create_directories(folder_);
        detail::makeServerFolder(folder_ / "logs", detail::serverIdentity());
        for (int attempt = 1;; ++attempt) {
            port_ = detail::freeLoopbackPort();
            try {
                start();
                return;
            } catch (const std::runtime_error&) {
                // The port may have been taken since the probe: tinyproxy then ends at start.
                if (attempt == 5) {
                    throw;
                }
            }
        }
    }

    ~LocalProxy() { process_.stop(); }
    LocalProxy(const LocalProxy&) = delete;
    LocalProxy& operator=(const LocalProxy&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT", what a client takes as its proxy.
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    // Hard stop: SIGKILL, so open transfers end mid-way; the port refuses until restart().
    void kill() { process_.stop(); }
    // A fresh tinyproxy on the same port with the same configuration.
    void restart() {
        process_.stop();
        start();
    }
    bool running() { return process_.running(); }
    pid_t pid() const { return process_.pid(); }

    // tinyproxy's log: one "Request (file descriptor N): GET http://HOST/PATH HTTP/1.1" line per
    // request, and "Found upstream proxy http 127.0.0.1:PORT for HOST" when it forwards.
    std::string log() const { return detail::readText(folder_ / "logs/tinyproxy.log"); }

private:
    void start() {
        const std::filesystem::path conf = folder_ / "tinyproxy.conf";
        detail::writeText(conf, configuration());
        detail::startListening(
            process_, port_,
            [&] {
                process_.start({"/usr/bin/tinyproxy", "-d", "-c", conf.string()},
                               folder_ / "logs/tinyproxy.out");
            },
            [&] { return log() + detail::readText(folder_ / "logs/tinyproxy.out"); });
    }

    std::string configuration() const {
        std::ostringstream c;
        c << "# One test proxy; written by LocalProxy.\n"
          << "Port " << port_ << "\n"
          << "Listen 127.0.0.1\n"
          << "Timeout 30\n"
          << "MaxClients 32\n"
          << "LogFile " << detail::quoted((folder_ / "logs/tinyproxy.log").string()) << "\n"
          << "LogLevel Info\n"
          << "Allow 127.0.0.1\n"
          << "ViaProxyName \"" << options_.viaName << "\"\n";
        if (options_.upstreamPort > 0) {
            c << "Upstream http 127.0.0.1:" << options_.upstreamPort << "\n";
        }
        return c.str();
    }

    std::filesystem::path folder_;
    ProxyOptions options_;
    int port_ = 0;
    detail::ServerProcess process_;
};

} // namespace zorvast::testing
