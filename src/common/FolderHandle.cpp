#include "common/FolderHandle.h"

#include "common/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <vector>

namespace zorvast::common {

namespace fs = std::filesystem;

namespace {

// Deep enough for any tree the program makes; a planted chain deeper than this is left alone
// rather than exhausting descriptors or the stack.
constexpr int kMaxTreeDepth = 64;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string nameText(std::string_view name) {
    return std::string(name);
}

bool removeTreeAt(int folderFd, const std::string& name, int depth);

bool removeContentsOf(int folderFd, int depth) {
    // A second descriptor for the listing: closedir closes it, ours stays open.
    const int listFd = ::openat(folderFd, ".", kFolderFlags);
    if (listFd < 0) {
        return false;
    }
    DIR* listing = ::fdopendir(listFd);
    if (!listing) {
        ::close(listFd);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(listing);
    bool ok = true;
    for (const std::string& name : names) {
        ok = removeTreeAt(folderFd, name, depth + 1) && ok;
    }
    return ok;
}

bool removeTreeAt(int folderFd, const std::string& name, int depth) {
    struct stat info {};
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISDIR(info.st_mode)) {
        return ::unlinkat(folderFd, name.c_str(), 0) == 0 || errno == ENOENT;
    }
    if (depth >= kMaxTreeDepth) {
        return false;
    }
    const int child = ::openat(folderFd, name.c_str(), kFolderFlags);
    if (child < 0) {
        // Swapped for a link or file since the look: remove whatever it is now, unfollowed.
        return (::unlinkat(folderFd, name.c_str(), 0) == 0 || errno == ENOENT);
    }
    removeContentsOf(child, depth);
    ::close(child);
    return ::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT;
}

} // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

bool UniqueFd::close() {
    if (fd_ < 0) {
        return false;
    }
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
}

bool writeAllTo(int fd, std::string_view bytes) {
    const char* at = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        at += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

std::optional<std::string> readAllFrom(int fd) {
    std::string content;
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            return content;
        }
        content.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
}

std::optional<FolderHandle> FolderHandle::open(const fs::path& folder) {
    UniqueFd fd(::open(folder.c_str(), kFolderFlags));
    if (!fd) {
        return std::nullopt;
    }
    return FolderHandle(std::move(fd));
}

bool FolderHandle::plainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::optional<FolderHandle> FolderHandle::openFolder(std::string_view name) const {
    if (!valid() || !plainName(name)) {
        return std::nullopt;
    }
    UniqueFd fd(::openat(fd_.get(), nameText(name).c_str(), kFolderFlags));
    if (!fd) {
        return std::nullopt;
    }
    return FolderHandle(std::move(fd));
}

std::optional<FolderHandle> FolderHandle::makeFolder(std::string_view name, mode_t mode) const {
    if (!valid() || !plainName(name)) {
        return std::nullopt;
    }
    if (::mkdirat(fd_.get(), nameText(name).c_str(), mode) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    return openFolder(name);
}

std::optional<FolderHandle> FolderHandle::makeFolders(std::string_view relative,
                                                      mode_t mode) const {
    if (!valid()) {
        return std::nullopt;
    }
    // Start from a second descriptor of this folder, so this handle stays as it is.
    std::optional<FolderHandle> current =
        FolderHandle(UniqueFd(::openat(fd_.get(), ".", kFolderFlags)));
    if (!current->valid()) {
        return std::nullopt;
    }
    while (!relative.empty()) {
        const std::size_t slash = relative.find('/');
        const std::string_view part = relative.substr(0, slash);
        relative =
            slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
        if (part.empty()) {
            continue;
        }
        current = current->makeFolder(part, mode);
        if (!current) {
            return std::nullopt;
        }
    }
    return current;
}

UniqueFd FolderHandle::createFile(std::string_view name, mode_t mode, bool readable) const {
    if (!valid() || !plainName(name)) {
        return UniqueFd();
    }
    return UniqueFd(
        ::openat(fd_.get(), nameText(name).c_str(),
                 (readable ? O_RDWR : O_WRONLY) | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
}

UniqueFd FolderHandle::openFile(std::string_view name) const {
    if (!valid() || !plainName(name)) {
        return UniqueFd();
    }
    // O_NONBLOCK: a planted FIFO must not hang the open; the type is checked right after.
    UniqueFd fd(::openat(fd_.get(), nameText(name).c_str(),
                         O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return UniqueFd();
    }
    return fd;
}

std::optional<std::string> FolderHandle::readFile(std::string_view name) const {
    const UniqueFd fd = openFile(name);
    if (!fd) {
        return std::nullopt;
    }
    return readAllFrom(fd.get());
}

std::string FolderHandle::partialName(std::string_view name) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return nameText(name) + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(ticks) +
           "-" + std::to_string(counter.fetch_add(1));
}

bool FolderHandle::replaceFile(std::string_view name, std::string_view bytes, mode_t mode,
                               bool durable) const {
    return writeFileAtomically(
               *this, name, bytes,
               {.durability = durable ? Durability::Durable : Durability::Disposable,
                .mode = mode,
                .exactMode = true})
        .ok();
}

std::optional<struct stat> FolderHandle::entryStatus(std::string_view name) const {
    if (!valid() || !plainName(name)) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstatat(fd_.get(), nameText(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return info;
}

bool FolderHandle::removeFile(std::string_view name) const {
    if (!valid() || !plainName(name)) {
        return false;
    }
    return ::unlinkat(fd_.get(), nameText(name).c_str(), 0) == 0 || errno == ENOENT;
}

bool FolderHandle::removeTree(std::string_view name) const {
    if (!valid() || !plainName(name)) {
        return false;
    }
    return removeTreeAt(fd_.get(), nameText(name), 0);
}

bool FolderHandle::removeContents() const {
    return valid() && removeContentsOf(fd_.get(), 0);
}

bool FolderHandle::rename(std::string_view from, std::string_view name) const {
    return renameInto(from, *this, name);
}

bool FolderHandle::renameInto(std::string_view from, const FolderHandle& to,
                              std::string_view name) const {
    if (!valid() || !to.valid() || !plainName(from) || !plainName(name)) {
        return false;
    }
    return ::renameat(fd_.get(), nameText(from).c_str(), to.fd(), nameText(name).c_str()) == 0;
}

bool removeTreeNoFollow(const fs::path& path) {
    const fs::path normal = path.lexically_normal();
    fs::path name = normal.filename();
    fs::path parent = normal.parent_path();
    if (name.empty()) { // "a/b/": the folder is the last named component
        name = parent.filename();
        parent = parent.parent_path();
    }
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    if (parent.empty()) {
        parent = ".";
    }
    const int parentFd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0) {
        // No parent folder means nothing can be at the path either.
        return errno == ENOENT || errno == ENOTDIR;
    }
    const bool removed = removeTreeAt(parentFd, name.string(), 0);
    ::close(parentFd);
    return removed;
}

} // namespace zorvast::common
