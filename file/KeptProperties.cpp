#include "file/KeptProperties.h"

#include "file/OrError.h"

#include <QByteArray>
#include <QByteArrayList>

#include <cerrno>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// A list or a value of extended attributes: read asks for its size with no room given, and
// then reads it into room of that size. When it grew in between, it is asked again.
template <class Read> TOrError<QByteArray> ReadSized(Read read) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = read(nullptr, 0);
        if (size < 0)
            return TSystemError{errno};
        QByteArray bytes(static_cast<qsizetype>(size), '\0');
        const ssize_t got = size == 0 ? 0 : read(bytes.data(), static_cast<size_t>(size));
        if (got < 0 && errno == ERANGE)
            continue;
        if (got < 0)
            return TSystemError{errno};
        bytes.truncate(got);
        return bytes;
    }
    return TSystemError{ERANGE};
}

// The names of a file's extended attributes that we can see. A file system without them has
// none.
TOrError<QByteArrayList> AttributeNames(int fd) {
    const TOrError<QByteArray> list =
        ReadSized([fd](char* room, size_t size) { return ::flistxattr(fd, room, size); });
    if (!list && list.Error() == ENOTSUP)
        return QByteArrayList{};
    if (!list)
        return TSystemError{list.Error()};
    QByteArrayList names = list->split('\0');
    names.removeAll(QByteArray());
    return names;
}

TOrError<QByteArray> AttributeValue(int fd, const QByteArray& name) {
    return ReadSized(
        [&](char* room, size_t size) { return ::fgetxattr(fd, name.constData(), room, size); });
}

constexpr int KeptFlags = FS_SYNC_FL | FS_NODUMP_FL | FS_NOATIME_FL | FS_COMPR_FL | FS_NOCOMP_FL |
                          FS_NOCOW_FL | FS_JOURNAL_DATA_FL | FS_SECRM_FL | FS_UNRM_FL |
                          FS_NOTAIL_FL | FS_DAX_FL;

} // namespace

void KeepOwner(int fd, const struct stat& previous) {
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != previous.st_uid || now.st_gid != previous.st_gid))
        [[maybe_unused]]
        const bool given = ::fchown(fd, previous.st_uid, previous.st_gid) == 0 ||
                           ::fchown(fd, uid_t(-1), previous.st_gid) == 0;
}

int KeepAttributes(int from, int to) {
    const TOrError<QByteArrayList> old = AttributeNames(from);
    if (!old)
        return old.Error();
    const TOrError<QByteArrayList> inherited = AttributeNames(to);
    if (!inherited)
        return inherited.Error();
    for (const QByteArray& name : *inherited)
        if (!old->contains(name) && ::fremovexattr(to, name.constData()) != 0)
            return errno;
    for (const QByteArray& name : *old) {
        const TOrError<QByteArray> value = AttributeValue(from, name);
        if (!value)
            return value.Error();
        if (::fsetxattr(to, name.constData(), value->constData(), size_t(value->size()), 0) != 0)
            return errno;
    }
    return 0;
}

int KeepMode(int fd, const struct stat& previous) {
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return errno;
    mode_t mode = previous.st_mode & 0777;
    if (now.st_gid == previous.st_gid)
        mode |= previous.st_mode & S_ISGID;
    if (::fchmod(fd, mode) != 0 || ::fstat(fd, &now) != 0)
        return errno;
    return (now.st_mode & 07777) == mode ? 0 : EPERM;
}

int KeepFlags(int from, int to) {
    int old = 0;
    if (::ioctl(from, FS_IOC_GETFLAGS, &old) != 0)
        return errno == ENOTTY || errno == EOPNOTSUPP || errno == EINVAL || errno == ENOSYS ? 0
                                                                                            : errno;
    int now = 0;
    if (::ioctl(to, FS_IOC_GETFLAGS, &now) != 0)
        return (old & KeptFlags) == 0 ? 0 : errno;
    const int wanted = (now & ~KeptFlags) | (old & KeptFlags);
    if (wanted == now)
        return 0;
    if (::ioctl(to, FS_IOC_SETFLAGS, &wanted) != 0 || ::ioctl(to, FS_IOC_GETFLAGS, &now) != 0)
        return errno;
    return (now & KeptFlags) == (old & KeptFlags) ? 0 : EOPNOTSUPP;
}
