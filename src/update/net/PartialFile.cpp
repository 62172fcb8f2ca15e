#include "update/net/PartialFile.h"

#include "common/platform/Platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

namespace zorvast::update {

namespace {

constexpr std::string_view kRecordSuffix = ".resume";

} // namespace

std::optional<DownloadSpot> DownloadSpot::of(const std::filesystem::path& localFile) {
    const std::string name = localFile.filename().string();
    if (!common::FolderHandle::plainName(name)) {
        return std::nullopt;
    }
    std::filesystem::path parent = localFile.parent_path();
    if (parent.empty()) {
        parent = ".";
    }
    std::optional<common::FolderHandle> folder = common::FolderHandle::open(parent);
    if (!folder) {
        return std::nullopt;
    }
    return DownloadSpot{std::move(*folder), name};
}

std::string DownloadSpot::recordName() const {
    return name + std::string(kRecordSuffix);
}

bool PartialFile::open(const DownloadSpot& spot) {
    // O_NONBLOCK: a planted FIFO must not hang the open; the type is checked right after.
    fd_.reset(::openat(spot.folder.fd(), spot.name.c_str(),
                       O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
    struct stat info {};
    if (!fd_ || ::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
        common::platform::tryLock(fd_.get(), common::platform::LockKind::Exclusive) !=
            common::platform::LockResult::Held) {
        fd_.reset();
        return false;
    }
    return true;
}

std::optional<std::uint64_t> PartialFile::size() const {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool PartialFile::truncate() {
    return ::ftruncate(fd_.get(), 0) == 0;
}

bool PartialFile::write(const char* data, std::size_t size) {
    return common::writeAllTo(fd_.get(), std::string_view(data, size));
}

bool PartialFile::close() {
    return fd_.close();
}

} // namespace zorvast::update
