// Who could put another program where a shortcut points, in Unix permissions: the owners of the
// file and of every folder above it, and who else may write into them.
#include "common/platform/Platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace zorvast::common::platform {

namespace fs = std::filesystem;

namespace {

bool trustedOwner(const struct stat& status) {
    return status.st_uid == ::geteuid() || status.st_uid == 0;
}

bool othersMayWrite(const struct stat& status) {
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Every folder from the root down to `folder` belongs to the user or root. `folder` itself is
// not writable by group or others; the folders above it may be when sticky, as then nobody
// renames or deletes what is not theirs.
bool folderChainIsPrivate(const fs::path& folder) {
    std::vector<fs::path> chain;
    fs::path prefix;
    for (const fs::path& part : folder) {
        if (part.empty()) {
            continue;
        }
        prefix /= part;
        chain.push_back(prefix);
    }
    for (std::size_t i = 0; i < chain.size(); ++i) {
        struct stat status {};
        if (::stat(chain[i].c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
            !trustedOwner(status)) {
            return false;
        }
        const bool last = i + 1 == chain.size();
        if (othersMayWrite(status) && (last || (status.st_mode & S_ISVTX) == 0)) {
            return false;
        }
    }
    return !chain.empty();
}

fs::path resolvedFolder(const fs::path& folder) {
    char resolved[PATH_MAX];
    return ::realpath(folder.c_str(), resolved) ? fs::path(resolved) : fs::path();
}

} // namespace

// The file (when it exists) is a regular file, and it and its folder belong to the user or root
// and are not writable by group or others; the folders above may be writable by others only
// when sticky (like /tmp). Checked along the path as written and along where its links lead.
bool programPlaceIsPrivate(const fs::path& program) {
    if (!program.is_absolute() || !program.has_filename()) {
        return false;
    }
    struct stat status {};
    if (::lstat(program.c_str(), &status) == 0) {
        if (!S_ISREG(status.st_mode) || !trustedOwner(status) || othersMayWrite(status)) {
            return false;
        }
    } else if (errno != ENOENT) {
        return false;
    }
    const fs::path folder = program.parent_path();
    const fs::path resolved = resolvedFolder(folder);
    return folderChainIsPrivate(folder) && !resolved.empty() && folderChainIsPrivate(resolved);
}

} // namespace zorvast::common::platform
