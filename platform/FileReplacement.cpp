#include "platform/FileReplacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A write names its temporary file after the file it replaces, with this tag and six letters or
// digits after it, and holds a lock on it from before the first byte until after the rename.
// A file of that name that nobody holds was left by a write that never finished.
const QString TemporaryTag = QStringLiteral(".varnotel-");
constexpr int TemporaryLetters = 6;
constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

QByteArray NativePath(const QString& fileName) {
    return QFile::encodeName(fileName);
}

// Follows symbolic links, also one to a file not yet there, so that the link stays a link.
QString FinalTarget(const QString& fileName) {
    QFileInfo info(fileName);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

bool SameFile(int fd, const QByteArray& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool IsTemporaryName(const QString& name, const QString& prefix) {
    if (name.size() != prefix.size() + TemporaryLetters || !name.startsWith(prefix))
        return false;
    const auto isLetter = [](QChar c) { return c.unicode() < 128 && c.isLetterOrNumber(); };
    return std::all_of(name.begin() + prefix.size(), name.end(), isLetter);
}

// Removes the regular files that bear exactly the name of a temporary file of target and that
// no write in progress holds. Anything else, whatever its name, is someone else's.
void RemoveStaleTemporaries(const QString& target) {
    const QFileInfo info(target);
    const QString prefix = info.fileName() + TemporaryTag;
    const QDir directory = info.dir();
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString& name : directory.entryList(all, QDir::NoSort)) {
        if (!IsTemporaryName(name, prefix))
            continue;
        const QByteArray path = NativePath(directory.filePath(name));
        struct stat status {};
        if (::lstat(path.constData(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && SameFile(fd, path))
            ::unlink(path.constData());
        ::close(fd);
    }
}

struct Temporary {
    int fd;
    QByteArray path;
};

// A new temporary file beside target, locked, or nothing with errno telling why.
std::optional<Temporary> CreateTemporary(const QString& target, mode_t mode) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString name = target + TemporaryTag;
        for (int i = 0; i < TemporaryLetters; ++i)
            name += QChar(Letters[QRandomGenerator::system()->bounded(int(sizeof Letters) - 1)]);
        const QByteArray path = NativePath(name);
        const int fd =
            ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return std::nullopt;
        // Another write cleaning up may have taken the file for a stale one in the moment
        // before the lock; it is then gone or going, and another name will do. On a file
        // system without locks the file goes unlocked: no write can take it for stale there.
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if ((locked && SameFile(fd, path)) || (!locked && errno != EWOULDBLOCK))
            return Temporary{fd, path};
        ::close(fd);
    }
    errno = EEXIST;
    return std::nullopt;
}

bool WriteAll(int fd, const char* data, qint64 size, off_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, static_cast<size_t>(size), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
        offset += written;
    }
    return true;
}

// The new file takes the old one's owner and group where we may give them away: root gives
// both, a member of the file's group gives the group. Otherwise it stays ours, as any file we
// create would be. The set-group-ID bit goes only with the group it was set for.
bool KeepOwnerAndMode(int fd, const struct stat& previous) {
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return false;
    if (now.st_uid != previous.st_uid || now.st_gid != previous.st_gid) {
        [[maybe_unused]] const bool given = ::fchown(fd, previous.st_uid, previous.st_gid) == 0 ||
                                            ::fchown(fd, uid_t(-1), previous.st_gid) == 0;
        if (::fstat(fd, &now) != 0)
            return false;
    }
    mode_t mode = previous.st_mode & 0777;
    if (now.st_gid == previous.st_gid)
        mode |= previous.st_mode & S_ISGID;
    return ::fchmod(fd, mode) == 0;
}

enum class Outcome { Written, Failed, NotReplaceable };

Outcome ReplaceWhole(const QString& target, const QByteArray& bytes,
                     const std::optional<struct stat>& previous) {
    // A new file gets read and write for all, less the user's file mask. A replacement stays
    // private until its content is complete and it takes the old file's permissions.
    const std::optional<Temporary> temporary = CreateTemporary(target, previous ? 0600 : 0666);
    if (!temporary)
        return errno == EACCES || errno == EPERM ? Outcome::NotReplaceable : Outcome::Failed;
    Outcome outcome = Outcome::Failed;
    if (WriteAll(temporary->fd, bytes.constData(), bytes.size(), 0) &&
        (!previous || KeepOwnerAndMode(temporary->fd, *previous)) && ::fsync(temporary->fd) == 0) {
        if (::rename(temporary->path.constData(), NativePath(target).constData()) == 0)
            outcome = Outcome::Written;
        else if (errno == EACCES || errno == EPERM)
            outcome = Outcome::NotReplaceable;
    }
    if (outcome != Outcome::Written)
        ::unlink(temporary->path.constData());
    ::close(temporary->fd);
    return outcome;
}

// Writes over the old bytes in the file itself. This is not atomic: a crash part-way leaves a
// file that is partly new and partly old, because no whole new file can be put in its place,
// either since the directory takes no new file (a user's own file in a folder they may not
// change) or since other hard links would keep the old curve. A full disk still shows before
// the first old byte changes: what goes beyond the old end is written first, and cut off again
// when that fails.
bool WriteInPlace(const QString& target, const QByteArray& bytes, const struct stat& previous) {
    const int fd = ::open(NativePath(target).constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat now {};
    bool written = ::fstat(fd, &now) == 0 && S_ISREG(now.st_mode) &&
                   now.st_dev == previous.st_dev && now.st_ino == previous.st_ino;
    if (written) {
        const qint64 oldSize = now.st_size;
        const qint64 newSize = bytes.size();
        if (newSize > oldSize &&
            !WriteAll(fd, bytes.constData() + oldSize, newSize - oldSize, oldSize)) {
            [[maybe_unused]] const int cut = ::ftruncate(fd, oldSize);
            written = false;
        }
        written = written && WriteAll(fd, bytes.constData(), std::min(oldSize, newSize), 0) &&
                  ::ftruncate(fd, newSize) == 0 && ::fsync(fd) == 0;
    }
    ::close(fd);
    return written;
}

} // namespace

bool ReplaceFileContent(const QString& fileName, const QByteArray& bytes,
                        const std::optional<struct stat>& previous) {
    const QString target = FinalTarget(fileName);
    RemoveStaleTemporaries(target);
    if (previous && previous->st_nlink > 1)
        return WriteInPlace(target, bytes, *previous);
    switch (ReplaceWhole(target, bytes, previous)) {
    case Outcome::Written:
        return true;
    case Outcome::NotReplaceable:
        return previous && WriteInPlace(target, bytes, *previous);
    case Outcome::Failed:
        return false;
    }
    return false;
}
