// File locks on Linux: flock, which belongs to the open file description and ends when the last
// descriptor of it is closed, also when the process ends.
#include "common/platform/Platform.h"

#include <sys/file.h>

#include <cerrno>

namespace zorvast::common::platform {

LockResult tryLock(int fd, LockKind kind) {
    const int operation = (kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    if (::flock(fd, operation) == 0) {
        return LockResult::Held;
    }
    return errno == EWOULDBLOCK || errno == EAGAIN ? LockResult::Busy : LockResult::Failed;
}

} // namespace zorvast::common::platform
