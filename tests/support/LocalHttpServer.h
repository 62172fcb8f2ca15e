// tests/support/http_server.py run as a child process on 127.0.0.1 and a free port, for the
// life of one object. The child reads its stdin until the end: the pipe's only writer is this
// object (close-on-exec keeps it out of other children), so the server also ends when the test
// process dies without running the destructor.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace zorvast::testing {

class LocalHttpServer {
public:
    // `extraArguments` go to the script, e.g. {"--root", folder} to serve files as well.
    explicit LocalHttpServer(const std::vector<std::string>& extraArguments = {}) {
        int toChild[2];
        int fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe2 failed");
        }
        if (pipe2(fromChild, O_CLOEXEC) != 0) {
            close(toChild[0]);
            close(toChild[1]);
            throw std::runtime_error("pipe2 failed");
        }
        std::vector<std::string> arguments = {"/usr/bin/python3",
                                              ZORVAST_SOURCE_DIR "/tests/support/http_server.py"};
        arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        stdinOfChild_ = toChild[1];
        if (spawned != 0) {
            pid_ = -1;
            close(fromChild[0]);
            stop();
            throw std::runtime_error("cannot start " + arguments[1]);
        }

        const std::string line = readLine(fromChild[0], std::chrono::seconds(20));
        close(fromChild[0]);
        try {
            port_ = std::stoi(line);
        } catch (const std::exception&) {
            port_ = 0;
        }
        if (port_ <= 0 || port_ > 65535) {
            stop();
            throw std::runtime_error("the test HTTP server did not report its port");
        }
    }

    ~LocalHttpServer() { stop(); }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by `path` (which starts with "/").
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    static std::string readLine(int fd, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        std::string line;
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return line;
            }
            pollfd wanted{fd, POLLIN, 0};
            const int ready = poll(&wanted, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0) {
                return line;
            }
            char byte = 0;
            const ssize_t got = read(fd, &byte, 1);
            if (got <= 0 || byte == '\n') {
                return line;
            }
            line += byte;
        }
    }

    void stop() {
        if (stdinOfChild_ >= 0) {
            close(stdinOfChild_); // the server's cue to end
            stdinOfChild_ = -1;
        }
        if (pid_ <= 0) {
            return;
        }
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
    }

    pid_t pid_ = -1;
    int stdinOfChild_ = -1;
    int port_ = 0;
};

} // namespace zorvast::testing
