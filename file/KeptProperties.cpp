#include "file/KeptProperties.h"

#include "file/OrError.h"

#include <QByteArray>
#include <QByteArrayList>

#include <algorithm>
#include <cerrno>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

// The names of a file's extended attributes that we can see. A file system without them has
// none.
TOrError<std::vector<QByteArray>> AttributeNames(int fd) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0 && errno == ENOTSUP)
            return std::vector<QByteArray>{};
        if (size < 0)
            return TSystemError{errno};
        QByteArray list(static_cast<qsizetype>(size), '\0');
        const ssize_t got = size == 0 ? 0 : ::flistxattr(fd, list.data(), list.size());
        if (got < 0 && errno == ERANGE)
            continue; // they changed in between
        if (got < 0)
            return TSystemError{errno};
        list.truncate(got);
        std::vector<QByteArray> names;
        for (const QByteArray& name : list.split('\0'))
            if (!name.isEmpty())
                names.push_back(name);
        return names;
    }
    return TSystemError{ERANGE};
}

TOrError<QByteArray> AttributeValue(int fd, const QByteArray& name) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = ::fgetxattr(fd, name.constData(), nullptr, 0);
        if (size < 0)
            return TSystemError{errno};
        QByteArray value(static_cast<qsizetype>(size), '\0');
        const ssize_t got = size == 0 ? 0 : ::fgetxattr(fd, name.constData(), value.data(), size);
        if (got < 0 && errno == ERANGE)
            continue;
        if (got < 0)
            return TSystemError{errno};
        value.truncate(got);
        return value;
    }
    return TSystemError{ERANGE};
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
    const TOrError<std::vector<QByteArray>> old = AttributeNames(from);
    if (!old)
        return old.Error();
    const TOrError<std::vector<QByteArray>> inherited = AttributeNames(to);
    if (!inherited)
        return inherited.Error();
    for (const QByteArray& name : *inherited)
        if (std::find(old->begin(), old->end(), name) == old->end() &&
            ::fremovexattr(to, name.constData()) != 0)
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
