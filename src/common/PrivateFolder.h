// The folder that stands in for the user's temporary folder. A shared /tmp would let other users
// plant files, links and programs where the program unpacks, checks and starts things, so the
// working folders live in a folder only the user can reach.
#pragma once

#include <filesystem>
#include <string>

namespace zorvast::common {

struct PrivateAreaEnvironment {
    std::string runtimeDir; // XDG_RUNTIME_DIR
    std::string cacheHome;  // XDG_CACHE_HOME
    std::string home;       // HOME
};

// The environment variables of this process.
PrivateAreaEnvironment currentPrivateAreaEnvironment();

// $XDG_RUNTIME_DIR/zorvast when that variable names a folder owned by us that nobody else may
// enter; else $XDG_CACHE_HOME/zorvast (when absolute), else $HOME/.cache/zorvast. Only chooses:
// preparePrivateFolder makes and checks it.
std::filesystem::path privateAreaFor(const PrivateAreaEnvironment& environment);

// Where partial downloads wait to be resumed: kept across runs, so never in the area above when
// that is the runtime folder (gone at logout). $XDG_CACHE_HOME/zorvast/downloads (when
// absolute), else $HOME/.cache/zorvast/downloads. preparePrivateFolder makes and checks it.
std::filesystem::path downloadAreaFor(const PrivateAreaEnvironment& environment);

enum class PrivateFolderStatus {
    Ready,        // a real folder of ours, mode 0700
    NotAFolder,   // a link, a file or anything else holds the name
    OtherOwner,   // a folder, but another user's
    CannotCreate, // missing and could not be made (or a parent is unusable)
};

// Creates the folder with mode 0700 (missing parents too), or accepts the one there only when it
// is a real folder owned by us, whose mode is then set to 0700.
PrivateFolderStatus preparePrivateFolder(const std::filesystem::path& folder);

} // namespace zorvast::common
