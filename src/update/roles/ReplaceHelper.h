// Installing a new program file: the running program starts its own, installed file once more,
// under the name "plumo_updata_89858656.exe" and with its own path as the argument, and ends.
// That copy waits until the old program has let go of its instance marker, reads the downloaded
// package beside the program, checks its signature, writes the new program into a fresh file
// in the program's folder, checks what it wrote through that same file and renames it over the
// old program, then cleans up and starts it. Nothing is written to or run from a temporary
// folder.
#pragma once

#include "common/Clock.h"
#include "update/check/UpdateFlow.h"
#include "update/package/PackageSignature.h"
#include "update/package/VerifiedPackage.h"
#include "update/roles/RestartHelper.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::update {

inline constexpr const char* kReplaceHelperFile = "plumo_updata_89858656.exe";
inline constexpr const char* kNewProgramFile = "plumo.exe";
// The new program file must be larger than this to be offered or installed.
inline constexpr std::uint64_t kMinimumProgramBytes = 400000;

// The size of the package's "plumo.exe", 0 when it has none.
std::uint64_t newProgramBytes(const VerifiedPackage& package);
// A package signed as a program newer than this one, holding a "plumo.exe" larger than
// kMinimumProgramBytes.
bool programPackageUsable(const VerifiedPackage& package);

// Its start is that of the restart hand-over; the pause before it is 500 ms.
struct ReplaceHandOver : HelperHandOver {};

// Starts the program's own file as the replacement helper; false when it did not start. On true
// the caller ends the program and leaves its downloads and working files to the helper.
bool handOverToReplaceHelper(const ReplaceHandOver& handOver);

struct ReplaceHelperRole {
    // The arguments after argv[0]: the program file to replace.
    std::vector<std::string> arguments;
    // The old program holds it until it has ended.
    std::filesystem::path instanceMarker;
    // The downloaded package beside the program ("plumo.tmp").
    std::filesystem::path softwareDownload;
    PublicKey packageKey = builtInPackageKey();
    std::uint64_t packageSizeLimit = kPackageSizeLimit;
    common::Clock* clock = nullptr; // the system clock when null
    // How long the old program is waited for; then it stays in place.
    std::chrono::milliseconds oldProgramLimit = std::chrono::seconds(60);
    std::function<void(const std::string& caption, const std::string& text)> showMessage;
    // Every working file and folder and the downloads beside the program.
    std::function<void()> cleanupWorkFiles;
    // Empty: startDetached in the current folder.
    ProgramStarter start;
    // A fresh name beside the target for the file being written. Empty:
    // common::FolderHandle::partialName.
    std::function<std::string(std::string_view target)> partialName;
    // Runs once the new file is written, before it is read back; tests meddle here.
    std::function<void(const std::filesystem::path& folder, const std::string& partial)> afterWrite;
};

enum class ReplaceOutcome {
    Started,           // installed and started
    HandOverMissing,   // no argument or a too short one: "错误204", work files cleaned up
    OldProgramRunning, // the old program did not end in time: "错误204", it stays in place
    PackageRefused,    // the package is missing, not signed with the key or holds no usable
                       // program: "错误204", the old program stays
    InstallFailed,     // the new file could not be written, or what was written is not what
                       // was signed: "错误204", the old program stays
    StartFailed,       // installed, but the new program could not be started
};

// The helper role.
ReplaceOutcome runReplaceHelper(const ReplaceHelperRole& role);

} // namespace zorvast::update
