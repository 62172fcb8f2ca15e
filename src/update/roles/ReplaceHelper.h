// Installing a new program file: the running program moves the downloaded "plumo.exe" to
// "plumo_updata_89858656.exe" in the helper folder, leaves its own path in "file.tmp" and starts
// it. That copy (recognising its name at start-up) waits until the old program has let go of
// its instance marker, puts itself in the old program's place, cleans up and starts it.
#pragma once

#include "common/Clock.h"
#include "update/roles/RestartHelper.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace zorvast::update {

inline constexpr const char* kReplaceHelperFile = "plumo_updata_89858656.exe";
inline constexpr const char* kNewProgramFile = "plumo.exe";

// Its start is that of the restart hand-over; the pause before it is 500 ms.
struct ReplaceHandOver : HelperHandOver {};

// Turns the new program into the helper and starts it; false when the file could not be moved
// or made runnable, "file.tmp" could not be written or the helper did not start. On true the
// caller ends the program without removing the helper folder.
bool handOverToReplaceHelper(const ReplaceHandOver& handOver);

struct ReplaceHelperRole {
    std::filesystem::path helperFolder;
    // The old program holds it until it has ended.
    std::filesystem::path instanceMarker;
    // The downloaded package beside the program ("plumo.tmp").
    std::filesystem::path softwareDownload;
    // The file to install: this helper itself, which is the new program.
    std::filesystem::path selfExecutable = "/proc/self/exe";
    common::Clock* clock = nullptr; // the system clock when null
    // How long the old program is waited for; then it stays in place.
    std::chrono::milliseconds oldProgramLimit = std::chrono::seconds(60);
    std::function<void(const std::string& caption, const std::string& text)> showMessage;
    // Every working file and folder and the downloads beside the program.
    std::function<void()> cleanupWorkFiles;
    // Empty: startDetached in the current folder.
    ProgramStarter start;
};

enum class ReplaceOutcome {
    Started,           // installed and started
    HandOverMissing,   // "file.tmp" missing or too short: "错误204", work files cleaned up
    TargetTooShort,    // the path text is too short: work files cleaned up
    OldProgramRunning, // the old program did not end in time: "错误204", it stays in place
    InstallFailed,     // the new file could not be written: "错误204", the old one stays
    StartFailed,       // installed, but the new program could not be started
};

// The helper role.
ReplaceOutcome runReplaceHelper(const ReplaceHelperRole& role);

// Writes `newProgram` beside `target` and renames it over it, runnable: `target` is always
// either the old program or the whole new one.
bool installProgramFile(const std::filesystem::path& newProgram,
                        const std::filesystem::path& target);

} // namespace zorvast::update
