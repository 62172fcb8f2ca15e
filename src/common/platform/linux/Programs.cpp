// Starting programs on Linux: posix_spawn, so no shell ever sees a path or an argument.
#include "common/platform/Platform.h"

#include <signal.h>
#include <spawn.h>

extern char** environ;

namespace zorvast::common::platform {

namespace fs = std::filesystem;

namespace {

struct SpawnAttributes {
    posix_spawnattr_t value;
    SpawnAttributes() { posix_spawnattr_init(&value); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&value); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
};

struct SpawnActions {
    posix_spawn_file_actions_t value;
    SpawnActions() { posix_spawn_file_actions_init(&value); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&value); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
};

} // namespace

std::optional<ProcessId> startDetached(const ProgramStart& start) {
    SpawnAttributes attributes;
    SpawnActions actions;
    // Its own session: the new program outlives us and is no part of our terminal's group.
    short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes.value, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigdefault(&attributes.value, &defaults);
    posix_spawnattr_setflags(&attributes.value, flags);
    if (!start.workingFolder.empty() &&
        posix_spawn_file_actions_addchdir_np(&actions.value, start.workingFolder.c_str()) != 0) {
        return std::nullopt;
    }
    const std::string path = start.program.string();
    std::vector<std::string> arguments = start.arguments;
    if (arguments.empty()) {
        arguments.push_back(path);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, path.c_str(), &actions.value, &attributes.value, argv.data(),
                    environ) != 0) {
        return std::nullopt;
    }
    return child;
}

fs::path ownProgramFile() {
    std::error_code ec;
    fs::path file = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    return file;
}

} // namespace zorvast::common::platform
