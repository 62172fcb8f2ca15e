#include "common/PrivateFolder.h"

#include "common/FolderHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zorvast::common {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAreaName = "zorvast";

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool absolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

// A runtime folder is worth using only when it is really ours and closed to everyone else.
bool usableRuntimeFolder(const std::string& path) {
    if (!absolute(path)) {
        return false;
    }
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 022) == 0 &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

// mkdir -p with mode 0700 for what it makes; existing parents are taken as they are (they are
// the user's own home or runtime folders).
bool makeParents(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) {
        return true;
    }
    const fs::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !makeParents(parent)) {
        return false;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace

PrivateAreaEnvironment currentPrivateAreaEnvironment() {
    return {variable("XDG_RUNTIME_DIR"), variable("XDG_CACHE_HOME"), variable("HOME")};
}

namespace {

fs::path cacheAreaFor(const PrivateAreaEnvironment& environment) {
    if (absolute(environment.cacheHome)) {
        return fs::path(environment.cacheHome) / kAreaName;
    }
    const std::string home = absolute(environment.home) ? environment.home : std::string("/");
    return fs::path(home) / ".cache" / kAreaName;
}

} // namespace

fs::path privateAreaFor(const PrivateAreaEnvironment& environment) {
    if (usableRuntimeFolder(environment.runtimeDir)) {
        return fs::path(environment.runtimeDir) / kAreaName;
    }
    return cacheAreaFor(environment);
}

fs::path downloadAreaFor(const PrivateAreaEnvironment& environment) {
    return cacheAreaFor(environment) / "downloads";
}

PrivateFolderStatus preparePrivateFolder(const fs::path& folder) {
    const fs::path normal = folder.lexically_normal();
    const fs::path parent =
        normal.has_filename() ? normal.parent_path() : normal.parent_path().parent_path();
    if (!parent.empty() && !makeParents(parent)) {
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

} // namespace zorvast::common
