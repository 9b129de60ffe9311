#include "platform/FileReplacement.h"

#include <QByteArrayList>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

// A write names its temporary file after the file it replaces, with this tag and six letters or
// digits after it, and holds a lock on it from before the first byte until after the rename.
// A file of that name that nobody holds was left by a write that never finished. A long name
// gives only its beginning, so that the temporary name fits the file system's 255 bytes.
constexpr char TemporaryTag[] = ".varnotel-";
constexpr int TemporaryLetters = 6;
constexpr qsizetype MaxNameBytes = 255;
constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

QByteArray TemporaryPrefix(const QByteArray& name) {
    const qsizetype room = MaxNameBytes - qsizetype(sizeof TemporaryTag - 1) - TemporaryLetters;
    return name.left(room) + TemporaryTag;
}

bool IsTemporaryName(const char* entry, const QByteArray& prefix) {
    const size_t length = std::strlen(entry);
    if (length != size_t(prefix.size()) + TemporaryLetters ||
        std::memcmp(entry, prefix.constData(), size_t(prefix.size())) != 0)
        return false;
    return std::all_of(entry + prefix.size(), entry + length, [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the name in folder is, right now, the file opened as fd.
bool NameHolds(int folder, const char* name, int fd) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           SameFile(opened, named);
}

struct Temporary {
    TFileDescriptor File;
    QByteArray Name;
};

// A new temporary file in folder, locked, or nothing with errno telling why.
std::optional<Temporary> CreateTemporary(int folder, const QByteArray& target, mode_t mode) {
    const QByteArray prefix = TemporaryPrefix(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = prefix;
        for (int i = 0; i < TemporaryLetters; ++i)
            name += Letters[QRandomGenerator::system()->bounded(int(sizeof Letters) - 1)];
        TFileDescriptor fd(::openat(folder, name.constData(),
                                    O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
        if (!fd.IsOpen() && errno == EEXIST)
            continue;
        if (!fd.IsOpen())
            return std::nullopt;
        // Another write cleaning up may have taken the file for a stale one in the moment
        // before the lock; it is then gone or going, and another name will do. On a file
        // system without locks the file goes unlocked: no write can take it for stale there.
        const bool locked = ::flock(fd.Get(), LOCK_EX | LOCK_NB) == 0;
        if ((locked && NameHolds(folder, name.constData(), fd.Get())) ||
            (!locked && errno != EWOULDBLOCK))
            return Temporary{std::move(fd), name};
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
// create would be.
void KeepOwner(int fd, const struct stat& previous) {
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != previous.st_uid || now.st_gid != previous.st_gid))
        [[maybe_unused]]
        const bool given = ::fchown(fd, previous.st_uid, previous.st_gid) == 0 ||
                           ::fchown(fd, uid_t(-1), previous.st_gid) == 0;
}

// The names of a file's extended attributes that we can see, or nothing when they cannot be
// listed. A file system without them has none.
std::optional<std::vector<QByteArray>> AttributeNames(int fd) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP ? std::make_optional(std::vector<QByteArray>{}) : std::nullopt;
        QByteArray list(static_cast<qsizetype>(size), '\0');
        const ssize_t got = size == 0 ? 0 : ::flistxattr(fd, list.data(), list.size());
        if (got < 0 && errno == ERANGE)
            continue; // they changed in between
        if (got < 0)
            return std::nullopt;
        list.truncate(got);
        std::vector<QByteArray> names;
        for (const QByteArray& name : list.split('\0'))
            if (!name.isEmpty())
                names.push_back(name);
        return names;
    }
    return std::nullopt;
}

std::optional<QByteArray> AttributeValue(int fd, const QByteArray& name) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = ::fgetxattr(fd, name.constData(), nullptr, 0);
        if (size < 0)
            return std::nullopt;
        QByteArray value(static_cast<qsizetype>(size), '\0');
        const ssize_t got = size == 0 ? 0 : ::fgetxattr(fd, name.constData(), value.data(), size);
        if (got < 0 && errno == ERANGE)
            continue;
        if (got < 0)
            return std::nullopt;
        value.truncate(got);
        return value;
    }
    return std::nullopt;
}

// Gives the new file exactly the extended attributes of the old one, its access control list
// ("system.posix_acl_access") among them; an attribute the new file got from its folder (a
// default access control list) and the old one lacks goes. False when that cannot be done.
bool KeepAttributes(int from, int to) {
    const std::optional<std::vector<QByteArray>> old = AttributeNames(from);
    const std::optional<std::vector<QByteArray>> inherited = AttributeNames(to);
    if (!old || !inherited)
        return false;
    for (const QByteArray& name : *inherited)
        if (std::find(old->begin(), old->end(), name) == old->end() &&
            ::fremovexattr(to, name.constData()) != 0)
            return false;
    for (const QByteArray& name : *old) {
        const std::optional<QByteArray> value = AttributeValue(from, name);
        if (!value ||
            ::fsetxattr(to, name.constData(), value->constData(), size_t(value->size()), 0) != 0)
            return false;
    }
    return true;
}

// The old permission bits; the set-group-ID bit only with the group it was set for. With an
// access control list the group bits are its mask, which stays what it was. False when the new
// file would not have exactly these bits.
bool KeepMode(int fd, const struct stat& previous) {
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return false;
    mode_t mode = previous.st_mode & 0777;
    if (now.st_gid == previous.st_gid)
        mode |= previous.st_mode & S_ISGID;
    return ::fchmod(fd, mode) == 0 && ::fstat(fd, &now) == 0 && (now.st_mode & 07777) == mode;
}

enum class Outcome { Written, Failed, NotReplaceable };

// A new file cannot be made here, but the old one could be written: no right to make files in
// the folder, no free inode, no room for one more name.
bool CannotMakeFile(int error) {
    return error == EACCES || error == EPERM || error == ENOSPC || error == EDQUOT ||
           error == EMLINK || error == ENAMETOOLONG;
}

// Puts the temporary file in the place of the file read. The two names swap, so that what had
// the name can be checked: when it is not the file read, they swap back and nothing changed.
Outcome Exchange(int folder, const Temporary& temporary, const QByteArray& target,
                 const struct stat& previous) {
    const char* from = temporary.Name.constData();
    if (::renameat2(folder, from, folder, target.constData(), RENAME_EXCHANGE) == 0) {
        struct stat replaced {};
        if (::fstatat(folder, from, &replaced, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(replaced, previous)) {
            ::unlinkat(folder, from, 0);
            return Outcome::Written;
        }
        [[maybe_unused]] const int back =
            ::renameat2(folder, from, folder, target.constData(), RENAME_EXCHANGE);
        return Outcome::Failed;
    }
    if (errno == EACCES || errno == EPERM)
        return Outcome::NotReplaceable;
    if (errno != EINVAL && errno != ENOSYS)
        return Outcome::Failed;
    // A file system that cannot swap names: the name is checked just before it is replaced.
    struct stat named {};
    if (::fstatat(folder, target.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(named, previous))
        return Outcome::Failed;
    if (::renameat(folder, from, folder, target.constData()) == 0)
        return Outcome::Written;
    return errno == EACCES || errno == EPERM ? Outcome::NotReplaceable : Outcome::Failed;
}

// Gives the temporary file the name of a file not yet there, only while the name is still free:
// a link or a file that appeared there in the meantime stays as it is.
Outcome Create(int folder, const Temporary& temporary, const QByteArray& target) {
    const char* from = temporary.Name.constData();
    if (::renameat2(folder, from, folder, target.constData(), RENAME_NOREPLACE) == 0)
        return Outcome::Written;
    if (errno != EINVAL && errno != ENOSYS)
        return Outcome::Failed;
    if (::linkat(folder, from, folder, target.constData(), 0) != 0)
        return Outcome::Failed;
    ::unlinkat(folder, from, 0);
    return Outcome::Written;
}

Outcome ReplaceWhole(const THeldPlace& place, const QByteArray& bytes,
                     const TOpenedFile* previous) {
    const int folder = place.Folder.Get();
    // A new file gets read and write for all, less the user's file mask. A replacement stays
    // private until its content is complete and it takes the old file's permissions.
    const std::optional<Temporary> temporary =
        CreateTemporary(folder, place.Name, previous ? 0600 : 0666);
    if (!temporary)
        return CannotMakeFile(errno) ? Outcome::NotReplaceable : Outcome::Failed;
    const int fd = temporary->File.Get();
    Outcome outcome = Outcome::Failed;
    if (WriteAll(fd, bytes.constData(), bytes.size(), 0)) {
        bool kept = true;
        if (previous) {
            KeepOwner(fd, previous->Status);
            kept = KeepAttributes(previous->File.Get(), fd) && KeepMode(fd, previous->Status);
        }
        if (!kept) {
            outcome = Outcome::NotReplaceable;
        } else if (::fsync(fd) == 0) {
            ReachFileStep(TFileStep::Replacing, folder);
            outcome = previous ? Exchange(folder, *temporary, place.Name, previous->Status)
                               : Create(folder, *temporary, place.Name);
        }
    }
    // When the names could not be swapped back, the temporary name holds another's file.
    if (outcome != Outcome::Written && NameHolds(folder, temporary->Name.constData(), fd))
        ::unlinkat(folder, temporary->Name.constData(), 0);
    return outcome;
}

// Writes over the old bytes in the file itself, the very file that was read. This is not
// atomic: a crash part-way leaves a file that is partly new and partly old, because no whole
// new file can be put in its place. A full disk still shows before the first old byte changes:
// what goes beyond the old end is written first, and cut off again when that fails. The file
// ends where the new content does.
bool WriteInPlace(const THeldPlace& place, const QByteArray& bytes, const TOpenedFile& file) {
    ReachFileStep(TFileStep::Replacing, place.Folder.Get());
    const int fd = file.File.Get();
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return false;
    const qint64 oldSize = now.st_size;
    const qint64 newSize = bytes.size();
    if (newSize > oldSize &&
        !WriteAll(fd, bytes.constData() + oldSize, newSize - oldSize, oldSize)) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, oldSize);
        return false;
    }
    return WriteAll(fd, bytes.constData(), std::min(oldSize, newSize), 0) &&
           ::ftruncate(fd, newSize) == 0 && ::fsync(fd) == 0;
}

} // namespace

bool ReplaceFileContent(const THeldPlace& place, const QByteArray& bytes,
                        const TOpenedFile* previous) {
    if (previous && previous->Status.st_nlink > 1)
        return WriteInPlace(place, bytes, *previous);
    switch (ReplaceWhole(place, bytes, previous)) {
    case Outcome::Written:
        return true;
    case Outcome::NotReplaceable:
        return previous && WriteInPlace(place, bytes, *previous);
    case Outcome::Failed:
        return false;
    }
    return false;
}

void RemoveStaleTemporaries(int folder, const QByteArray& name) {
    const int listed = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* entries = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!entries) {
        if (listed >= 0)
            ::close(listed);
        return;
    }
    ::rewinddir(entries);
    const QByteArray prefix = TemporaryPrefix(name);
    while (const dirent* entry = ::readdir(entries)) {
        if (!IsTemporaryName(entry->d_name, prefix) ||
            (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN))
            continue;
        const QByteArray found(entry->d_name);
        const TOpenResult stale = OpenRegularFileAt(folder, found, O_RDONLY);
        if (stale.File && ::flock(stale.File->File.Get(), LOCK_EX | LOCK_NB) == 0 &&
            NameHolds(folder, found.constData(), stale.File->File.Get()))
            ::unlinkat(folder, found.constData(), 0);
    }
    ::closedir(entries);
}
