// The few things the program needs from the operating system that each system does its own way:
// the user's private folders, file locks, starting a program, the program's own file and the
// shortcuts that start it. Everything else goes through the standard library, libcurl, libmdb
// or Qt. Each system implements this header in its own folder (linux/ ...); docs/platform.md
// says how each call maps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::common::platform {

// ---- the user's folders ------------------------------------------------------------------

// The process environment the folders are found from, by variable name; a variable set to ""
// counts as unset. Taken once, so that tests can give their own.
using Environment = std::map<std::string, std::string, std::less<>>;

// The variables of this process that the functions below read.
Environment currentEnvironment();

// The folder that stands in for the user's temporary folder: one only the user can reach, as a
// shared one would let other users plant files, links and programs where the program unpacks,
// checks and starts things. Only chooses: preparePrivateFolder makes and checks it.
std::filesystem::path privateAreaFor(const Environment& environment);

// Where partial downloads wait to be resumed: a folder kept across runs and sessions.
// preparePrivateFolder makes and checks it.
std::filesystem::path downloadAreaFor(const Environment& environment);

enum class PrivateFolderStatus {
    Ready,        // a real folder of ours, closed to everyone else
    NotAFolder,   // a link, a file or anything else holds the name
    OtherOwner,   // a folder, but another user's
    CannotCreate, // missing and could not be made (or a parent is unusable)
};

// Creates the folder closed to others (missing parents too), or accepts the one there only when
// it is a real folder owned by us, which is then closed to others.
PrivateFolderStatus preparePrivateFolder(const std::filesystem::path& folder);

// Makes the missing folders of `folder` (itself included) with mode 0700; folders already there
// are taken as they are and links on the way are followed (they are the user's own home).
bool makeMissingFolders(const std::filesystem::path& folder);

// ---- file locks --------------------------------------------------------------------------

enum class LockKind {
    Exclusive, // nobody else may hold any lock on the file
    Shared,    // others may hold shared locks too
};

enum class LockResult {
    Held,   // the lock is ours until the file is closed or the process ends
    Busy,   // another open of the file holds a lock that excludes this one
    Failed, // anything else: not a lockable file, no such descriptor ...
};

// Takes a lock on the open file without waiting. Locks belong to one open of the file, so a
// second open, in this process or another, is refused while the first holds it.
LockResult tryLock(int fd, LockKind kind);

// ---- programs ----------------------------------------------------------------------------

using ProcessId = std::int64_t;

// One program start: the file executed, the argument vector it gets (argv[0] first) and the
// folder it starts in.
struct ProgramStart {
    std::filesystem::path program;
    // Empty: the program's path alone.
    std::vector<std::string> arguments;
    // Empty: the caller's.
    std::filesystem::path workingFolder;
};

// Starts a program as a new process in its own session, not waited for. No shell is involved,
// so any path and any argument text work. The child's id, or nullopt when it could not be
// started.
std::optional<ProcessId> startDetached(const ProgramStart& start);

// The file of the running program, wherever it was started from and whatever it was called;
// empty when the system cannot tell.
std::filesystem::path ownProgramFile();

// ---- shortcuts ---------------------------------------------------------------------------

// Where the shortcuts to the program lie. The menus may be one folder on some systems.
struct ShortcutPlaces {
    std::filesystem::path startMenu;
    std::filesystem::path programs;
    std::filesystem::path desktop;
};

ShortcutPlaces shortcutPlaces(const Environment& environment);

// Where the picture the shortcuts show is written; empty when the system takes it from the
// program file itself.
std::filesystem::path shortcutIconFile(const Environment& environment);

// The name of the program's shortcut in each of the places.
extern const char* const kShortcutFileName;

struct Shortcut {
    std::string target; // the program started
    std::filesystem::path workingFolder;
    std::string icon; // "": none
    std::string comment;
};

// The shortcut file's content. Nothing when the target or the folder holds a control
// character, a text cannot be carried or is not UTF-8, or there is no target.
std::optional<std::string> shortcutText(const Shortcut& shortcut);

// The program a shortcut file starts, or "" when there is none (also when `file` is a link, not
// a regular file, or too large to be a shortcut).
std::string shortcutTarget(const std::filesystem::path& file);
// The same for a shortcut file already open, read from its start.
std::string shortcutTargetOfOpenFile(int fd);

// True when only the user or an administrator can put another program at `program`, so that a
// shortcut to it starts nothing a stranger placed there. The file need not exist yet.
bool programPlaceIsPrivate(const std::filesystem::path& program);

} // namespace zorvast::common::platform
