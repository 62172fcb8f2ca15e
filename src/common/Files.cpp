#include "common/Files.h"

#include "common/FolderHandle.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorvast::common {
namespace {

namespace fs = std::filesystem;

constexpr int kFreshNameAttempts = 100;

// Writes and closes `file`; true only when every byte reached the file.
bool writeAndClose(std::FILE* file, std::string_view bytes) {
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

// The one write-to-temporary-then-rename writer. `folderError` is the errno of opening the
// folder when `folder` is null.
AtomicWriteResult writeInFolder(const FolderHandle* folder, int folderError, std::string_view name,
                                const FileContent& content, const AtomicWriteOptions& options) {
    AtomicWriteResult result;
    const auto failed = [&result](AtomicWriteStep step, int error) {
        result.failedStep = step;
        result.error = error;
        return result;
    };
    const bool fixedName = !options.temporaryName.empty();
    result.temporary =
        fixedName ? std::string(options.temporaryName) : FolderHandle::partialName(name);
    if (!folder) {
        return failed(AtomicWriteStep::Create, folderError);
    }
    if (!FolderHandle::plainName(name) || !FolderHandle::plainName(result.temporary) ||
        result.temporary == name) {
        return failed(AtomicWriteStep::Create, EINVAL);
    }
    if (fixedName) {
        folder->removeFile(result.temporary);
    }
    UniqueFd fd = folder->createFile(result.temporary, options.mode);
    // A fresh name that is taken was planted or is another writer's: take the next one.
    for (int attempt = 0; !fd && !fixedName && errno == EEXIST && attempt < kFreshNameAttempts;
         ++attempt) {
        result.temporary = FolderHandle::partialName(name);
        fd = folder->createFile(result.temporary, options.mode);
    }
    if (!fd) {
        return failed(AtomicWriteStep::Create, errno);
    }
    errno = 0;
    int error = content(fd.get()) ? 0 : (errno != 0 ? errno : EIO);
    if (error == 0 && options.exactMode && ::fchmod(fd.get(), options.mode) != 0) {
        error = errno;
    }
    if (error == 0 && options.modified) {
        // The date is what a reader shows, not what makes the content whole: a refused one is
        // no reason to fail the write.
        const struct timespec times[2] = {{*options.modified, 0}, {*options.modified, 0}};
        ::futimens(fd.get(), times);
    }
    if (error == 0 && options.durability == Durability::Durable && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    if (!fd.close() && error == 0) {
        error = errno;
    }
    if (error != 0) {
        folder->removeFile(result.temporary);
        return failed(AtomicWriteStep::Write, error);
    }
    if (!folder->rename(result.temporary, name)) {
        error = errno;
        folder->removeFile(result.temporary);
        return failed(AtomicWriteStep::Rename, error);
    }
    if (options.durability == Durability::Durable) {
        ::fsync(folder->fd());
    }
    return result;
}

FileContent contentOf(std::string_view bytes) {
    return [bytes](int fd) {
        return writeAllTo(fd, bytes);
    };
}

} // namespace

std::optional<std::string> readFileBytes(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return std::nullopt;
    }
    // Read to the end rather than trusting the size: the file may change while we read.
    std::string content;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return std::nullopt;
    }
    return content;
}

bool writeFileBytes(const fs::path& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    return writeAndClose(file, bytes);
}

std::optional<std::string> writeFileOrReason(const fs::path& path, std::string_view bytes) {
    errno = 0;
    if (writeFileBytes(path, bytes)) {
        return std::nullopt;
    }
    return errno != 0 ? std::string(std::strerror(errno)) : std::string("write error");
}

AtomicWriteResult writeFileAtomically(const FolderHandle& folder, std::string_view name,
                                      const FileContent& content,
                                      const AtomicWriteOptions& options) {
    return writeInFolder(folder.valid() ? &folder : nullptr, EBADF, name, content, options);
}

AtomicWriteResult writeFileAtomically(const FolderHandle& folder, std::string_view name,
                                      std::string_view bytes, const AtomicWriteOptions& options) {
    return writeFileAtomically(folder, name, contentOf(bytes), options);
}

AtomicWriteResult writeFileAtomically(const fs::path& path, const FileContent& content,
                                      const AtomicWriteOptions& options) {
    const fs::path parent = path.parent_path();
    // Followed as given: only the last component is ours to replace.
    const FolderHandle folder(UniqueFd(
        ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    const int openError = folder.valid() ? 0 : errno;
    return writeInFolder(folder.valid() ? &folder : nullptr, openError, path.filename().string(),
                         content, options);
}

AtomicWriteResult writeFileAtomically(const fs::path& path, std::string_view bytes,
                                      const AtomicWriteOptions& options) {
    return writeFileAtomically(path, contentOf(bytes), options);
}

std::optional<std::uint64_t> fileSize(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size);
}

bool fileExists(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool folderExists(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool createFolders(const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

bool removeTree(const fs::path& path) {
    if (!removeTreeNoFollow(path)) {
        return false;
    }
    // symlink_status: a dangling link left behind still counts as something left.
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    return !fs::exists(status);
}

std::optional<std::string> fileDateText(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::tm parts{};
    localtime_r(&info.st_mtime, &parts);
    return std::to_string(parts.tm_year + 1900) + "年" + std::to_string(parts.tm_mon + 1) + "月" +
           std::to_string(parts.tm_mday) + "日";
}

} // namespace zorvast::common
