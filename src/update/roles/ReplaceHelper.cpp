#include "update/roles/ReplaceHelper.h"

#include "common/Files.h"
#include "update/package/DataApply.h"
#include "update/roles/InstanceMarker.h"

#include <sys/stat.h>

#include <system_error>

namespace zorvast::update {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kCaption = "错误204";
constexpr const char* kFailedText = "无法读取临时文件，升级失败，请稍后重试。";

void call(const std::function<void()>& hook) {
    if (hook) {
        hook();
    }
}

void tell(const ReplaceHelperRole& role) {
    if (role.showMessage) {
        role.showMessage(kCaption, kFailedText);
    }
}

// Only this helper's own leftovers: the old program, still running, keeps its working folder.
void removeOwnLeftovers(const ReplaceHelperRole& role) {
    common::removeTree(role.helperFolder);
    std::error_code ec;
    fs::remove(role.softwareDownload, ec);
}

// The old program lets go of its marker when it has ended (or has closed all its files on the
// way out); one second between looks.
bool oldProgramEnded(const ReplaceHelperRole& role, common::Clock& clock) {
    const auto deadline = clock.now() + role.oldProgramLimit;
    for (;;) {
        if (!markerHeld(role.instanceMarker)) {
            return true;
        }
        if (clock.now() >= deadline) {
            return false;
        }
        clock.sleepFor(1000ms);
    }
}

} // namespace

bool installProgramFile(const fs::path& newProgram, const fs::path& target) {
    // The old file's permissions, made runnable for whoever may read it.
    unsigned permissions = 0755;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        permissions = info.st_mode & 0777;
        permissions |= S_IXUSR | ((permissions & S_IRGRP) ? S_IXGRP : 0u) |
                       ((permissions & S_IROTH) ? S_IXOTH : 0u);
    }
    return copyFileAtomically(newProgram, target, permissions);
}

bool handOverToReplaceHelper(const ReplaceHandOver& handOver) {
    const fs::path helper = handOver.helperFolder / kReplaceHelperFile;
    std::error_code ec;
    fs::rename(handOver.helperFolder / kNewProgramFile, helper, ec);
    if (ec || ::chmod(helper.c_str(), 0755) != 0) {
        return false;
    }
    return leavePathAndStartHelper(handOver, helper, 500ms);
}

ReplaceOutcome runReplaceHelper(const ReplaceHelperRole& role) {
    common::Clock& clock = role.clock ? *role.clock : common::systemClock();
    const std::optional<std::string> text = readHandOverPath(role.helperFolder);
    if (!text) {
        tell(role);
        call(role.cleanupWorkFiles);
        return ReplaceOutcome::HandOverMissing;
    }
    if (text->empty()) {
        call(role.cleanupWorkFiles);
        return ReplaceOutcome::TargetTooShort;
    }
    const fs::path target(*text);
    if (!oldProgramEnded(role, clock)) {
        tell(role);
        removeOwnLeftovers(role);
        return ReplaceOutcome::OldProgramRunning;
    }
    if (!installProgramFile(role.selfExecutable, target)) {
        tell(role);
        removeOwnLeftovers(role);
        return ReplaceOutcome::InstallFailed;
    }
    // The clean-up comes first: the new program recreates the working folder as it starts.
    call(role.cleanupWorkFiles);
    const bool started = role.start ? role.start(target) : startDetached(target).has_value();
    return started ? ReplaceOutcome::Started : ReplaceOutcome::StartFailed;
}

} // namespace zorvast::update
