// The user's own program folder, kept in step with the installed program. The program expects a
// folder that holds it and "satdata.sta" and that it may write (it replaces both when it
// updates); a system folder is neither the user's nor writable, so every user runs a copy.
#pragma once

#include "common/FolderHandle.h"
#include "update/package/PackageSignature.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zorvast::launcher {

inline constexpr const char* kProgramName = "zorvast";
inline constexpr const char* kDataPackageName = "satdata.sta";
// Held while the folder is examined and filled, so starts at the same moment take turns.
inline constexpr const char* kLockName = ".zorvast-launcher.lock";
// Which installed program the folder's copy was taken from.
inline constexpr const char* kStampName = ".zorvast-launcher";

// $XDG_DATA_HOME/zorvast, or ~/.local/share/zorvast when XDG_DATA_HOME is unset, empty or not
// absolute (such a value is to be ignored). Nothing without an absolute home.
std::optional<std::filesystem::path> userProgramFolder(const char* xdgDataHome, const char* home);

struct FolderSetup {
    std::filesystem::path systemFolder; // the installed program and data package, read only
    std::filesystem::path userFolder;   // the user's program folder (absolute)
    update::PublicKey packageKey;       // what data packages must be signed with
    int lockSeconds = 60;               // how long a start waits for another one
};

struct ReadyFolder {
    common::FolderHandle folder; // the user's program folder
    common::UniqueFd program;    // its program, opened and checked: what is to be started
    bool programCopied = false;
    bool dataCopied = false;
    std::string warning; // what went wrong that does not keep the program from starting
};

struct FolderResult {
    std::optional<ReadyFolder> ready;
    std::string error; // why not, when not
};

// Makes the user's program folder (mode 0700) when missing and brings it in step:
// - the program is copied when the folder has none, when its copy is not whole, not the
//   user's, writable by others or not executable, and when the installed program has changed
//   since it was copied (the system package was upgraded);
// - the data package is copied when the folder has none, when its own is not a usable data
//   package signed with the key, and when the installed one is newer.
// The installed files are only read. Whatever is written is written beside and renamed over,
// so a start that is cut off leaves the old file or the new one, never half of one.
FolderResult prepareUserFolder(const FolderSetup& setup);

} // namespace zorvast::launcher
