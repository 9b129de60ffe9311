#include "file/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TFileDescriptor::~TFileDescriptor() {
    if (FFd >= 0)
        ::close(FFd);
}

TFileDescriptor& TFileDescriptor::operator=(TFileDescriptor&& other) noexcept {
    if (this != &other) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = other.Release();
    }
    return *this;
}

int TFileDescriptor::Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
}

TFileDescriptor OpenAt(int folder, const char* name, int flags) {
    int fd;
    do
        fd = ::openat(folder, name, flags);
    while (fd < 0 && errno == EINTR);
    return TFileDescriptor(fd);
}

QByteArray ProcName(int fd) {
    return "/proc/self/fd/" + QByteArray::number(fd);
}
