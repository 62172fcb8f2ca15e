// Working inside a folder through an open handle of it. Every name is looked up relative to the
// handle and no link is ever followed, so a link or file planted by someone else can neither
// redirect a create, write or delete nor make us read something else.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::common {

// An owned file descriptor, closed on destruction.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }
    int release();
    void reset(int fd = -1);
    // close(2) with its result, for writers that must know the data reached the file.
    bool close();

private:
    int fd_ = -1;
};

// Writes all of `bytes`, going on after short writes and interruptions.
bool writeAllTo(int fd, std::string_view bytes);
// Reads the whole file from offset 0 (pread, so the descriptor's position does not matter).
std::optional<std::string> readAllFrom(int fd);

class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(UniqueFd fd) : fd_(std::move(fd)) {}

    // Opens a folder; its last component must be a real folder, not a link to one.
    static std::optional<FolderHandle> open(const std::filesystem::path& folder);

    int fd() const { return fd_.get(); }
    bool valid() const { return fd_.valid(); }

    // One component: no '/', not empty, not "." or "..".
    static bool plainName(std::string_view name);

    // A subfolder by name (never a link).
    std::optional<FolderHandle> openFolder(std::string_view name) const;
    // The subfolder, created with `mode` when missing; nullopt when something else (a file, a
    // link) holds the name or it cannot be made.
    std::optional<FolderHandle> makeFolder(std::string_view name, mode_t mode = 0700) const;
    // Walks "a/b/c" below this folder, creating what is missing.
    std::optional<FolderHandle> makeFolders(std::string_view relative, mode_t mode = 0700) const;

    // A new file; fails when anything already has the name. `readable` opens it for reading
    // back too, for writers that check what reached the file.
    UniqueFd createFile(std::string_view name, mode_t mode = 0600, bool readable = false) const;
    // A regular file for reading; a link or anything else at the name is refused.
    UniqueFd openFile(std::string_view name) const;
    std::optional<std::string> readFile(std::string_view name) const;

    // writeFileAtomically (common/Files.h) of `bytes` with exactly `mode`: whatever held the
    // name (a link too) is replaced, never written through. `durable`: Durability::Durable,
    // else Durability::Disposable.
    bool replaceFile(std::string_view name, std::string_view bytes, mode_t mode = 0600,
                     bool durable = false) const;

    // lstat of an entry.
    std::optional<struct stat> entryStatus(std::string_view name) const;
    bool exists(std::string_view name) const { return entryStatus(name).has_value(); }

    // Removes a file or link (not what it points at); true when nothing has the name afterwards.
    bool removeFile(std::string_view name) const;
    // Removes an entry and, for a real folder, everything in it; links are removed, not
    // followed. True when nothing has the name afterwards.
    bool removeTree(std::string_view name) const;
    // Empties this folder, the same way.
    bool removeContents() const;

    // rename(2) inside this folder, or into `to` (another folder handle).
    bool rename(std::string_view from, std::string_view name) const;
    bool renameInto(std::string_view from, const FolderHandle& to, std::string_view name) const;

    // A fresh name beside `name` for a file being written, unused at the moment of asking.
    static std::string partialName(std::string_view name);

private:
    UniqueFd fd_;
};

// removeTree of a path: its parent folder is opened and the last component removed through it.
// A link at `path` is removed, never followed. True when nothing is left at `path`.
bool removeTreeNoFollow(const std::filesystem::path& path);

} // namespace zorvast::common
