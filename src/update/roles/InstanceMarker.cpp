#include "update/roles/InstanceMarker.h"

#include "common/FolderHandle.h"
#include "common/platform/Platform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zorvast::update {

namespace fs = std::filesystem;

namespace {

// Never through a link; O_NONBLOCK so that a FIFO planted at the name cannot stall the open.
constexpr int kOpenFlags = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// Between opening and locking, another copy may delete or replace the marker; the lock then
// sits on a file nobody sees. A few fresh tries settle it.
constexpr int kAttempts = 5;

namespace platform = common::platform;

// Only a lock held elsewhere means another copy runs; a lock that fails otherwise is an error.
MarkerResult lockMarker(int fd) {
    switch (platform::tryLock(fd, platform::LockKind::Exclusive)) {
    case platform::LockResult::Held:
        return MarkerResult::Ok;
    case platform::LockResult::Busy:
        return MarkerResult::OtherCopyRuns;
    case platform::LockResult::Failed:
        break;
    }
    return MarkerResult::Error;
}

// Only our own regular file with no second name (a hard link would let truncating it reach
// another file) is ever locked, truncated or deleted.
bool isOurs(int fd, struct stat& status) {
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
           status.st_nlink <= 1;
}

enum class Name { Same, Gone, Other, Unknown };

// Whether `marker` still names the file whose status is `opened`.
Name nameNow(const fs::path& marker, const struct stat& opened) {
    struct stat now {};
    if (::lstat(marker.c_str(), &now) != 0) {
        return errno == ENOENT ? Name::Gone : Name::Unknown;
    }
    return now.st_dev == opened.st_dev && now.st_ino == opened.st_ino ? Name::Same : Name::Other;
}

} // namespace

InstanceMarker::~InstanceMarker() {
    release();
}

MarkerResult InstanceMarker::hold(const fs::path& marker) {
    release();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        common::UniqueFd file(::open(marker.c_str(), O_RDWR | O_CREAT | kOpenFlags, 0600));
        struct stat status {};
        if (file.get() < 0 || !isOurs(file.get(), status)) {
            return MarkerResult::Error;
        }
        if (const MarkerResult lock = lockMarker(file.get()); !lock) {
            return lock;
        }
        const Name name = nameNow(marker, status);
        if (name == Name::Gone || name == Name::Other) {
            continue;
        }
        if (name != Name::Same) {
            return MarkerResult::Error;
        }
        static constexpr char kLine[] = "ready\r\n";
        if (::fchmod(file.get(), 0600) != 0 || ::ftruncate(file.get(), 0) != 0 ||
            ::write(file.get(), kLine, sizeof kLine - 1) != sizeof kLine - 1) {
            return MarkerResult::Error;
        }
        fd_ = file.release();
        return MarkerResult::Ok;
    }
    return MarkerResult::Error;
}

void InstanceMarker::release() {
    if (fd_ >= 0) {
        ::close(fd_); // closing drops the lock
        fd_ = -1;
    }
}

MarkerResult removeStaleMarker(const fs::path& marker) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        common::UniqueFd file(::open(marker.c_str(), O_RDONLY | kOpenFlags));
        if (file.get() < 0) {
            return errno == ENOENT ? MarkerResult::Ok : MarkerResult::Error;
        }
        struct stat status {};
        if (!isOurs(file.get(), status)) {
            return MarkerResult::Error;
        }
        // Lock before deleting, so the copy that holds it is never robbed of its marker.
        if (const MarkerResult lock = lockMarker(file.get()); !lock) {
            return lock;
        }
        switch (nameNow(marker, status)) {
        case Name::Gone:
            return MarkerResult::Ok;
        case Name::Other:
            continue; // someone put a new marker there meanwhile: look at that one
        case Name::Unknown:
            return MarkerResult::Error;
        case Name::Same:
            break;
        }
        return ::unlink(marker.c_str()) == 0 || errno == ENOENT ? MarkerResult::Ok
                                                                : MarkerResult::Error;
    }
    return MarkerResult::Error;
}

bool markerHeld(const fs::path& marker) {
    const common::UniqueFd file(::open(marker.c_str(), O_RDONLY | kOpenFlags));
    struct stat status {};
    if (file.get() < 0 || !isOurs(file.get(), status)) {
        return false;
    }
    // A shared lock is refused only while an exclusive one is held; closing drops the probe's.
    return platform::tryLock(file.get(), platform::LockKind::Shared) == platform::LockResult::Busy;
}

} // namespace zorvast::update
