// Small file helpers. None of them throws; failures come back as false, an empty optional or
// a result that says what failed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::common {

class FolderHandle;

// What a file replaced by writeFileAtomically survives. Either way it is written to a new
// file beside the target and renamed over it, so while the system runs a reader sees the old
// content or the new, never a part, and a failed write leaves the old file as it was and
// nothing beside it. A crash during the write can leave the temporary file behind; only a fixed
// `temporaryName` lets a clean-up find it.
enum class Durability {
    // The data is flushed to the disk (fsync) before the rename and the folder after it: once
    // the write has succeeded the new content survives a crash or a power cut, and until then
    // the old content does. A folder flush that fails after the rename is not reported; the new
    // file is in place by then. For what is kept: packages, generated data, desktop entries.
    Durable,
    // Nothing is flushed. After a crash of the system or a power cut the target may hold the
    // old content, the new, or new content that is empty or cut short. For throw-away working
    // copies that are made again from what is kept.
    Disposable,
};

struct AtomicWriteOptions {
    Durability durability = Durability::Durable;
    // Permission bits of the new file, narrowed by the umask unless `exactMode` is set.
    mode_t mode = 0666;
    bool exactMode = false;
    // Access and modification time for the new file; nothing keeps the time of writing.
    std::optional<std::time_t> modified;
    // A fixed name for the temporary file, for callers whose clean-up knows that name; whatever
    // holds it is removed first, never written through. Empty: a fresh name beside the target.
    std::string_view temporaryName;
};

enum class AtomicWriteStep {
    None,   // the new file is in place
    Create, // the folder or the temporary file could not be opened
    Write,  // the content, mode, flush or close of the temporary file failed
    Rename, // the temporary file could not take the target's name
};

struct AtomicWriteResult {
    AtomicWriteStep failedStep = AtomicWriteStep::None;
    int error = 0;         // errno of the failed step
    std::string temporary; // name of the temporary file inside the target's folder
    bool ok() const { return failedStep == AtomicWriteStep::None; }
    explicit operator bool() const { return ok(); }
};

// Writes the content of a file being replaced into `fd` (the temporary file, empty, at offset
// 0); false with errno set when it could not write all of it.
using FileContent = std::function<bool(int fd)>;

// Replaces the file `name` (one component) of `folder` with what `content` writes. The
// temporary file is created beside it with O_CREAT|O_EXCL|O_NOFOLLOW, so nothing planted there
// is reused or written through, and a link at `name` is replaced, never followed.
AtomicWriteResult writeFileAtomically(const FolderHandle& folder, std::string_view name,
                                      const FileContent& content,
                                      const AtomicWriteOptions& options);
AtomicWriteResult writeFileAtomically(const FolderHandle& folder, std::string_view name,
                                      std::string_view bytes,
                                      const AtomicWriteOptions& options = {});
// The same for a path: its folder part is opened as given (links there are the caller's
// choice); its last component is replaced as above.
AtomicWriteResult writeFileAtomically(const std::filesystem::path& path, const FileContent& content,
                                      const AtomicWriteOptions& options);
AtomicWriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                      const AtomicWriteOptions& options = {});

// The whole content of a regular file.
std::optional<std::string> readFileBytes(const std::filesystem::path& path);

// Creates or truncates `path` and writes all of `bytes`; false on any write or close error.
bool writeFileBytes(const std::filesystem::path& path, std::string_view bytes);

// writeFileBytes, telling the user why it failed: nothing on success, else the system's reason.
std::optional<std::string> writeFileOrReason(const std::filesystem::path& path,
                                             std::string_view bytes);

// Size of a regular file.
std::optional<std::uint64_t> fileSize(const std::filesystem::path& path);

// True when `path` names an existing regular file (symbolic links followed).
bool fileExists(const std::filesystem::path& path);

// "%d年%d月%d日" of a regular file's modification date (local time); nothing when it is missing.
std::optional<std::string> fileDateText(const std::filesystem::path& file);

// True when `path` names an existing folder.
bool folderExists(const std::filesystem::path& path);

// Creates the folder and its missing parents; true when the folder exists afterwards.
bool createFolders(const std::filesystem::path& path);

// Removes a file or a folder with everything in it, never following a link (a link is removed
// itself); true when nothing is left at `path` (a path that did not exist counts as removed).
bool removeTree(const std::filesystem::path& path);

} // namespace zorvast::common
