#include "file/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <utility>

namespace {

// The byte every lock is taken on: past any curve file, and below 2 GiB, which file systems with
// 32-bit lock offsets (an old network server's) can still lock.
constexpr off_t LockedByte = off_t(1) << 30;

struct flock LockedByteAs(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = LockedByte;
    lock.l_len = 1;
    return lock;
}

} // namespace

TFileLock& TFileLock::operator=(TFileLock&& other) noexcept {
    if (this != &other) {
        Release();
        FFd = std::exchange(other.FFd, -1);
    }
    return *this;
}

TFileLock::~TFileLock() {
    Release();
}

void TFileLock::Release() {
    if (FFd < 0)
        return;
    // Given back explicitly: a lock of the open file would otherwise stay while any copy of the
    // descriptor does, in a child process for one.
    struct flock unlock = LockedByteAs(F_UNLCK);
    ::fcntl(FFd, F_OFD_SETLK, &unlock);
    FFd = -1;
}

TFileLock::TTry TFileLock::Try(int fd, bool exclusive) {
    struct flock lock = LockedByteAs(exclusive ? F_WRLCK : F_RDLCK);
    int result;
    do
        result = ::fcntl(fd, F_OFD_SETLK, &lock);
    while (result != 0 && errno == EINTR);
    if (result == 0) {
        if (FFd != fd)
            Release();
        FFd = fd;
        return TTry::Taken;
    }
    return errno == EAGAIN || errno == EACCES ? TTry::Busy : TTry::Unsupported;
}
