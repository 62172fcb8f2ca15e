#include "update/roles/InstanceMarker.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zorvast::update {

InstanceMarker::~InstanceMarker() {
    release();
}

bool InstanceMarker::hold(const std::filesystem::path& marker) {
    release();
    const int fd = ::open(marker.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    static constexpr char kLine[] = "ready\r\n";
    if (::ftruncate(fd, 0) != 0 || ::write(fd, kLine, sizeof kLine - 1) != sizeof kLine - 1) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void InstanceMarker::release() {
    if (fd_ >= 0) {
        ::close(fd_); // closing drops the lock
        fd_ = -1;
    }
}

bool removeStaleMarker(const std::filesystem::path& marker) {
    const int fd = ::open(marker.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT;
    }
    // Lock before deleting, so the copy that holds it is never robbed of its marker.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    const bool removed = ::unlink(marker.c_str()) == 0 || errno == ENOENT;
    ::close(fd);
    return removed;
}

bool markerHeld(const std::filesystem::path& marker) {
    const int fd = ::open(marker.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // also drops the probe's own lock
    return held;
}

} // namespace zorvast::update
