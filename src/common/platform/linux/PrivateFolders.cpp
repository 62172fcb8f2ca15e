// The private folders on Linux: the runtime folder of the session when it is really ours, else
// the user's cache folder; made with mode 0700 and accepted only as a real folder of ours.
#include "common/platform/Platform.h"

#include "common/FolderHandle.h"
#include "common/platform/linux/Xdg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zorvast::common::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAreaName = "zorvast";

// A runtime folder is worth using only when it is really ours and closed to everyone else.
bool usableRuntimeFolder(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 022) == 0 &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

// Kept across runs: the runtime folder is gone at logout.
fs::path cacheAreaFor(const Environment& environment) {
    return xdg::cacheHome(environment) / kAreaName;
}

} // namespace

fs::path privateAreaFor(const Environment& environment) {
    const std::string runtime = xdg::absoluteVariable(environment, "XDG_RUNTIME_DIR");
    if (usableRuntimeFolder(runtime)) {
        return fs::path(runtime) / kAreaName;
    }
    return cacheAreaFor(environment);
}

fs::path downloadAreaFor(const Environment& environment) {
    return cacheAreaFor(environment) / "downloads";
}

bool makeMissingFolders(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) {
        return true;
    }
    const fs::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !makeMissingFolders(parent)) {
        return false;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

PrivateFolderStatus preparePrivateFolder(const fs::path& folder) {
    const fs::path normal = folder.lexically_normal();
    const fs::path parent =
        normal.has_filename() ? normal.parent_path() : normal.parent_path().parent_path();
    if (!parent.empty() && !makeMissingFolders(parent)) {
        return PrivateFolderStatus::CannotCreate;
    }
    if (::mkdir(normal.c_str(), 0700) != 0 && errno != EEXIST) {
        return PrivateFolderStatus::CannotCreate;
    }
    // Judge what is there through a handle that cannot be a link, so the folder checked is the
    // folder whose mode is set.
    const UniqueFd fd(::open(normal.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        return errno == EACCES ? PrivateFolderStatus::OtherOwner : PrivateFolderStatus::NotAFolder;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return PrivateFolderStatus::NotAFolder;
    }
    if (info.st_uid != ::geteuid()) {
        return PrivateFolderStatus::OtherOwner;
    }
    if ((info.st_mode & 07777) != 0700 && ::fchmod(fd.get(), 0700) != 0) {
        return PrivateFolderStatus::CannotCreate;
    }
    return PrivateFolderStatus::Ready;
}

} // namespace zorvast::common::platform
