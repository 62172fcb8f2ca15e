// The restart after a first data download: the running program copies itself into the helper
// folder as "plumo_updata_69656858.exe", leaves its own path in "file.tmp" there and starts the
// copy, which (recognising its name at start-up) starts the program again from its usual place.
#pragma once

#include "common/Clock.h"

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zorvast::update {

inline constexpr const char* kRestartHelperFile = "plumo_updata_69656858.exe";
inline constexpr const char* kHandOverFile = "file.tmp";

// Starts `program` as a new process in its own session, not waited for, with `workingFolder` as
// its current folder (empty: the caller's). No shell is involved, so any path works. The child's
// id, or nullopt when it could not be started.
std::optional<pid_t> startDetached(const std::filesystem::path& program,
                                   const std::filesystem::path& workingFolder = {});

// How the roles start a program; true when it was started.
using ProgramStarter = std::function<bool(const std::filesystem::path& program)>;

// What the restart and the replacement hand-over share.
struct HelperHandOver {
    std::filesystem::path helperFolder;
    // What the helper starts or replaces: the program's file.
    std::string programPath;
    // The folder the helper runs in and starts the program in: the program folder, where the
    // data lies. Empty: ours.
    std::filesystem::path programFolder;
    common::Clock* clock = nullptr; // the pause before the start; none when null
    std::function<void()> processEvents;
    // Empty: startDetached in `programFolder`.
    ProgramStarter start;
};

// The last steps of both hand-overs: the program's path into "file.tmp", the window let run, a
// pause, `helper` started. False when the file could not be written or the helper did not
// start.
bool leavePathAndStartHelper(const HelperHandOver& handOver, const std::filesystem::path& helper,
                             std::chrono::milliseconds pause);

// The program path a helper finds in the helper folder's "file.tmp": nullopt when the file is
// missing or not larger than 4 bytes, an empty text when the path is not longer than 4 bytes.
std::optional<std::string> readHandOverPath(const std::filesystem::path& helperFolder);

struct RestartHandOver : HelperHandOver {
    // The running program's own file.
    std::filesystem::path selfExecutable = "/proc/self/exe";
    // Run between removing and recreating the helper folder (the marker holder on Retry after a
    // start-up failure).
    std::function<void()> afterHelperFolderRemoved;
};

// Prepares the helper folder and starts the helper; false when the folder, the helper copy or
// "file.tmp" could not be made, or the helper did not start. The caller then shows its message
// and ends; on true it ends the program itself.
bool handOverToRestartHelper(const RestartHandOver& handOver);

struct RestartHelperRole {
    std::filesystem::path helperFolder;
    std::function<void(const std::string& caption, const std::string& text)> showMessage;
    std::function<void()> cleanupWorkFiles;
    // Empty: startDetached in the current folder (the program folder it was started in).
    ProgramStarter start;
};

enum class RestartOutcome {
    Started,         // the program named in file.tmp was started
    HandOverMissing, // file.tmp missing or too short: "错误207" shown, work files cleaned up
    TargetMissing,   // the text is too short or names no file: nothing done
    StartFailed,     // the target exists but could not be started
};

// The helper role: starts the program named in the helper folder's "file.tmp".
RestartOutcome runRestartHelper(const RestartHelperRole& role);

} // namespace zorvast::update
