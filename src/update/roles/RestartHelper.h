// The restart after a first data download (or on Retry after a start-up failure): the running
// program starts its own file once more, under the name "plumo_updata_69656858.exe" and with
// its own path as the argument. That copy recognises the name at start-up and starts the
// program again from its usual place. Nothing passes through a shared folder.
#pragma once

#include "common/Clock.h"
#include "common/platform/Platform.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::update {

inline constexpr const char* kRestartHelperFile = "plumo_updata_69656858.exe";

using common::platform::ProgramStart;
using common::platform::startDetached;

// How the hand-overs and the roles start a program; true when it was started.
using ProgramStarter = std::function<bool(const ProgramStart& start)>;

// Starts `start` through `starter`, or through startDetached when there is none.
bool startProgram(const ProgramStarter& starter, const ProgramStart& start);

// What the restart and the replacement hand-over share.
struct HelperHandOver {
    // The running program's own file (its real path): started under the helper's name, and
    // what the helper restarts or replaces.
    std::filesystem::path programFile;
    // The folder the helper runs in: the program folder, where the data lies. Empty: ours.
    std::filesystem::path programFolder;
    common::Clock* clock = nullptr; // the pause before the start; none when null
    std::function<void()> processEvents;
    // Empty: startDetached.
    ProgramStarter start;
};

// The last steps of both hand-overs: the window let run, a pause, the program's own file started
// as `helperName` with the program's path as its one argument, in the program folder. False
// when there is no program file or it did not start.
bool startHelper(const HelperHandOver& handOver, const char* helperName,
                 std::chrono::milliseconds pause);

struct RestartHandOver : HelperHandOver {};

// Starts the restart helper; false when it could not be started (the caller then shows its
// message and ends). On true the caller ends the program itself.
bool handOverToRestartHelper(const RestartHandOver& handOver);

// The program path a helper was given: nullopt when the argument is missing or not longer than
// 4 bytes.
std::optional<std::string> handedOverPath(const std::vector<std::string>& arguments);

struct RestartHelperRole {
    // The arguments after argv[0]: the program to start.
    std::vector<std::string> arguments;
    // The old program holds it until it has ended; a copy started before that would take it
    // for a second copy and end. Empty: not waited for.
    std::filesystem::path instanceMarker;
    common::Clock* clock = nullptr; // the system clock when null
    // How long the old program is waited for; the program is started anyway after that.
    std::chrono::milliseconds oldProgramLimit = std::chrono::seconds(10);
    std::function<void(const std::string& caption, const std::string& text)> showMessage;
    std::function<void()> cleanupWorkFiles;
    // Empty: startDetached in the current folder (the program folder it was started in).
    ProgramStarter start;
};

enum class RestartOutcome {
    Started,         // the program named by the argument was started
    HandOverMissing, // no argument or a too short one: "错误207" shown, work files cleaned up
    TargetMissing,   // the argument names no regular file: nothing done
    StartFailed,     // the target exists but could not be started
};

// The helper role: starts the program its argument names, under its own path as argv[0].
RestartOutcome runRestartHelper(const RestartHelperRole& role);

// Waits until nobody holds `marker`, looking once a second; false when `limit` passed first.
bool waitForMarkerRelease(const std::filesystem::path& marker, common::Clock& clock,
                          std::chrono::milliseconds limit);

} // namespace zorvast::update
