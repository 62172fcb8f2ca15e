#include "update/roles/RestartHelper.h"

#include "common/Files.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>

#include <chrono>
#include <system_error>
#include <vector>

extern char** environ;

namespace zorvast::update {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::uint64_t kShortestHandOver = 4; // bytes; a path needs more

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

std::optional<pid_t> startDetached(const fs::path& program, const fs::path& workingFolder) {
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
    if (!workingFolder.empty() &&
        posix_spawn_file_actions_addchdir_np(&actions.value, workingFolder.c_str()) != 0) {
        return std::nullopt;
    }
    const std::string path = program.string();
    std::vector<char*> argv{const_cast<char*>(path.c_str()), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, path.c_str(), &actions.value, &attributes.value, argv.data(),
                    environ) != 0) {
        return std::nullopt;
    }
    return child;
}

bool leavePathAndStartHelper(const HelperHandOver& handOver, const fs::path& helper,
                             std::chrono::milliseconds pause) {
    if (!common::writeFileBytes(handOver.helperFolder / kHandOverFile, handOver.programPath)) {
        return false;
    }
    if (handOver.processEvents) {
        handOver.processEvents();
    }
    if (handOver.clock) {
        handOver.clock->sleepFor(pause);
    }
    if (handOver.start) {
        return handOver.start(helper);
    }
    return startDetached(helper, handOver.programFolder).has_value();
}

std::optional<std::string> readHandOverPath(const fs::path& helperFolder) {
    const fs::path handOver = helperFolder / kHandOverFile;
    const std::optional<std::uint64_t> size = common::fileSize(handOver);
    if (!size || *size <= kShortestHandOver) {
        return std::nullopt;
    }
    std::string path = common::readFileBytes(handOver).value_or(std::string());
    if (path.size() <= kShortestHandOver) {
        path.clear();
    }
    return path;
}

bool handOverToRestartHelper(const RestartHandOver& handOver) {
    common::removeTree(handOver.helperFolder);
    if (handOver.afterHelperFolderRemoved) {
        handOver.afterHelperFolderRemoved();
    }
    if (!common::createFolders(handOver.helperFolder)) {
        return false;
    }
    const fs::path helper = handOver.helperFolder / kRestartHelperFile;
    std::error_code ec;
    fs::copy_file(handOver.selfExecutable, helper, fs::copy_options::overwrite_existing, ec);
    if (ec || ::chmod(helper.c_str(), 0755) != 0) {
        return false;
    }
    return leavePathAndStartHelper(handOver, helper, 300ms);
}

RestartOutcome runRestartHelper(const RestartHelperRole& role) {
    const std::optional<std::string> target = readHandOverPath(role.helperFolder);
    if (!target) {
        if (role.showMessage) {
            role.showMessage("错误207", "无法读取临时文件，请检查C盘是否已满或有无读写权限。");
        }
        if (role.cleanupWorkFiles) {
            role.cleanupWorkFiles();
        }
        return RestartOutcome::HandOverMissing;
    }
    if (target->empty() || !common::fileExists(*target)) {
        return RestartOutcome::TargetMissing;
    }
    const fs::path program(*target);
    if (role.start) {
        return role.start(program) ? RestartOutcome::Started : RestartOutcome::StartFailed;
    }
    // In the folder this helper was started in: the program folder, where the data lies.
    return startDetached(program) ? RestartOutcome::Started : RestartOutcome::StartFailed;
}

} // namespace zorvast::update
