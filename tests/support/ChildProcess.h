// A test server script run as a child process on 127.0.0.1 and a free port, for the life of one
// object. The script prints its port as its first line and then serves until its stdin reaches
// the end: the pipe's only writer is this object (close-on-exec keeps it out of other children),
// so the server also ends when the test process dies without running the destructor.
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

class ChildServer {
public:
    // Runs `script` under /usr/bin/python3 with `arguments`; `what` names the server in errors.
    ChildServer(const std::string& script, const std::vector<std::string>& arguments,
                const std::string& what) {
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
        std::vector<std::string> commandLine = {"/usr/bin/python3", script};
        commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : commandLine) {
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
            throw std::runtime_error("cannot start " + script);
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
            throw std::runtime_error("the test " + what + " server did not report its port");
        }
    }

    ~ChildServer() { stop(); }
    ChildServer(const ChildServer&) = delete;
    ChildServer& operator=(const ChildServer&) = delete;

    int port() const { return port_; }

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
