#include "update/roles/RestartHelper.h"

#include "common/Files.h"
#include "update/Messages.h"
#include "update/roles/InstanceMarker.h"

#include <signal.h>
#include <spawn.h>

#include <chrono>
#include <vector>

extern char** environ;

namespace zorvast::update {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::size_t kShortestPath = 4; // bytes; a path needs more

// A posix_spawn object, destroyed when it goes out of scope.
template <typename T, int (*Init)(T*), int (*Destroy)(T*)> struct SpawnObject {
    T value;
    SpawnObject() { Init(&value); }
    ~SpawnObject() { Destroy(&value); }
    SpawnObject(const SpawnObject&) = delete;
    SpawnObject& operator=(const SpawnObject&) = delete;
};
using SpawnAttributes =
    SpawnObject<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;
using SpawnActions = SpawnObject<posix_spawn_file_actions_t, posix_spawn_file_actions_init,
                                 posix_spawn_file_actions_destroy>;

} // namespace

bool startProgram(const ProgramStarter& starter, const ProgramStart& start) {
    return starter ? starter(start) : startDetached(start).has_value();
}

std::optional<pid_t> startDetached(const ProgramStart& start) {
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

bool startHelper(const HelperHandOver& handOver, const char* helperName,
                 std::chrono::milliseconds pause) {
    if (handOver.programFile.empty()) {
        return false;
    }
    if (handOver.processEvents) {
        handOver.processEvents();
    }
    if (handOver.clock) {
        handOver.clock->sleepFor(pause);
    }
    // The file that runs now, already installed and ours: only its name tells it its role.
    const ProgramStart start{.program = handOver.programFile,
                             .arguments = {helperName, handOver.programFile.string()},
                             .workingFolder = handOver.programFolder};
    return startProgram(handOver.start, start);
}

bool handOverToRestartHelper(const RestartHandOver& handOver) {
    return startHelper(handOver, kRestartHelperFile, 300ms);
}

std::optional<std::string> handedOverPath(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.front().size() <= kShortestPath) {
        return std::nullopt;
    }
    return arguments.front();
}

bool waitForMarkerRelease(const fs::path& marker, common::Clock& clock,
                          std::chrono::milliseconds limit) {
    const auto deadline = clock.now() + limit;
    for (;;) {
        if (!markerHeld(marker)) {
            return true;
        }
        if (clock.now() >= deadline) {
            return false;
        }
        clock.sleepFor(1000ms);
    }
}

RestartOutcome runRestartHelper(const RestartHelperRole& role) {
    const std::optional<std::string> target = handedOverPath(role.arguments);
    if (!target) {
        if (role.showMessage) {
            role.showMessage(kCaptionError207, kTextRestartHandOverUnreadable);
        }
        if (role.cleanupWorkFiles) {
            role.cleanupWorkFiles();
        }
        return RestartOutcome::HandOverMissing;
    }
    if (!common::fileExists(*target)) {
        return RestartOutcome::TargetMissing;
    }
    if (!role.instanceMarker.empty()) {
        // A program still on its way out: started too early, the new copy would end silently.
        common::Clock& clock = role.clock ? *role.clock : common::systemClock();
        waitForMarkerRelease(role.instanceMarker, clock, role.oldProgramLimit);
    }
    // Under its usual name, in the folder this helper was started in: the program folder.
    const ProgramStart start{.program = *target, .arguments = {*target}};
    return startProgram(role.start, start) ? RestartOutcome::Started : RestartOutcome::StartFailed;
}

} // namespace zorvast::update
