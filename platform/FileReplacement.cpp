#include "platform/FileReplacement.h"

#include <QByteArrayList>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

// A write names its temporary file after the file it replaces, with this tag and twelve letters
// or digits after it: six that spell the temporary file's inode number, six that spell the
// inode number of the file it replaces (its own again for a new file). Whichever of the two a
// killed write left under that name, the new file before the swap or the old one after it,
// its name spells its own inode. The write holds a lock on it from before it has that name
// until after the rename. A long name gives only its beginning, so that the temporary name
// fits the file system's 255 bytes.
constexpr char TemporaryTag[] = ".varnotel-";
constexpr int InodeLetterCount = 6;
constexpr int TemporaryLetters = 2 * InodeLetterCount;
constexpr qsizetype MaxNameBytes = 255;
constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int LetterCount = int(sizeof Letters) - 1;

QByteArray TemporaryPrefix(const QByteArray& name) {
    const qsizetype room = MaxNameBytes - qsizetype(sizeof TemporaryTag - 1) - TemporaryLetters;
    return name.left(room) + TemporaryTag;
}

QByteArray InodeLetters(ino_t inode) {
    QByteArray letters;
    auto rest = static_cast<std::uint64_t>(inode);
    for (int i = 0; i < InodeLetterCount; ++i, rest /= LetterCount)
        letters += Letters[rest % LetterCount];
    return letters;
}

QByteArray RandomLetters() {
    QByteArray letters;
    for (int i = 0; i < TemporaryLetters; ++i)
        letters += Letters[QRandomGenerator::system()->bounded(LetterCount)];
    return letters;
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
    return ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &opened) == 0 &&
           SameFile(opened, named);
}

// A folder whose names cannot be taken away or changed (append-only or immutable): a temporary
// file named there could never go again.
bool KeepsItsNames(int folder) {
    struct statx status {};
    if (::statx(folder, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_TYPE, &status) != 0)
        return false;
    const auto fixed = std::uint64_t(STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE);
    return (status.stx_attributes & status.stx_attributes_mask & fixed) != 0;
}

struct Temporary {
    TFileDescriptor File;
    // Declared after the file, so that it is given back before the file closes.
    TFileLock Lock;
    // Empty while the file has no name: until then, a write that is killed leaves nothing.
    QByteArray Name;
};

// Gives the open file fd, which has no name, the name in folder.
bool LinkUnnamed(int fd, int folder, const QByteArray& name) {
    const QByteArray held = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, held.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    return errno == ENOENT && ::linkat(fd, "", folder, name.constData(), AT_EMPTY_PATH) == 0;
}

// The twelve letters of a temporary file of inode that replaces the file of inode replaced.
QByteArray TemporaryLettersOf(ino_t inode, ino_t replaced) {
    return InodeLetters(inode) + InodeLetters(replaced);
}

// A new temporary file in folder, to replace the file of inode replaced (0 for a new file),
// locked, or nothing with errno telling why. It has no name where the file system can make
// such files (unnamed says whether to try); elsewhere, if named allows, it is named after the
// two inodes, or at random when that name is taken.
std::optional<Temporary> CreateTemporary(int folder, const QByteArray& target, mode_t mode,
                                         ino_t replaced, bool unnamed, bool named) {
    if (unnamed) {
        Temporary temporary{
            TFileDescriptor(::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode)), {}, {}};
        if (temporary.File.IsOpen()) {
            temporary.Lock.Try(temporary.File.Get(), true);
            return temporary;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return std::nullopt;
    }
    if (!named) {
        errno = EPERM;
        return std::nullopt;
    }
    const QByteArray prefix = TemporaryPrefix(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = prefix + RandomLetters();
        Temporary temporary{
            TFileDescriptor(::openat(folder, name.constData(),
                                     O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode)),
            {},
            name};
        if (!temporary.File.IsOpen() && errno == EEXIST)
            continue;
        if (!temporary.File.IsOpen())
            return std::nullopt;
        // Locked before it takes the name that tells a later save it is a temporary file.
        temporary.Lock.Try(temporary.File.Get(), true);
        struct stat status {};
        if (::fstat(temporary.File.Get(), &status) == 0) {
            const QByteArray coded =
                prefix + TemporaryLettersOf(status.st_ino, replaced ? replaced : status.st_ino);
            if (::renameat2(folder, name.constData(), folder, coded.constData(),
                            RENAME_NOREPLACE) == 0)
                temporary.Name = coded;
        }
        return temporary;
    }
    errno = EEXIST;
    return std::nullopt;
}

// Gives an unnamed temporary file that replaces the file of inode replaced its name beside
// target: the one the two inodes spell, or one at random when a file has that name already.
bool NameTemporary(int folder, Temporary& temporary, const QByteArray& target, ino_t replaced) {
    struct stat status {};
    if (::fstat(temporary.File.Get(), &status) != 0)
        return false;
    const QByteArray prefix = TemporaryPrefix(target);
    QByteArray name = prefix + TemporaryLettersOf(status.st_ino, replaced);
    for (int attempt = 0; attempt < 100; ++attempt, name = prefix + RandomLetters()) {
        if (LinkUnnamed(temporary.File.Get(), folder, name)) {
            temporary.Name = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
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

// The flags of the file itself (chattr) that a user gives a file and that describe how it is to
// be kept: not dumped, no access times, synchronous writes, no compression or copy on write,
// and the like. Those the file system keeps for itself (extents, inline data) are not copied.
constexpr int KeptFlags = FS_SYNC_FL | FS_NODUMP_FL | FS_NOATIME_FL | FS_COMPR_FL | FS_NOCOMP_FL |
                          FS_NOCOW_FL | FS_JOURNAL_DATA_FL | FS_SECRM_FL | FS_UNRM_FL |
                          FS_NOTAIL_FL | FS_DAX_FL;

// Gives the new, still empty file exactly the old one's kept flags (some, like no copy on
// write, take only on an empty file). False when the new file cannot have them.
bool KeepFlags(int from, int to) {
    int old = 0;
    if (::ioctl(from, FS_IOC_GETFLAGS, &old) != 0)
        return errno == ENOTTY || errno == EOPNOTSUPP || errno == EINVAL || errno == ENOSYS;
    int now = 0;
    if (::ioctl(to, FS_IOC_GETFLAGS, &now) != 0)
        return (old & KeptFlags) == 0;
    const int wanted = (now & ~KeptFlags) | (old & KeptFlags);
    if (wanted == now)
        return true;
    return ::ioctl(to, FS_IOC_SETFLAGS, &wanted) == 0 && ::ioctl(to, FS_IOC_GETFLAGS, &now) == 0 &&
           (now & KeptFlags) == (old & KeptFlags);
}

enum class Outcome { Written, Failed, NotReplaceable, NameTaken, NoUnnamedLink };

// A new file cannot be made here, but the old one could be written: no right to make files in
// the folder, no free inode, no room for one more name.
bool CannotMakeFile(int error) {
    return error == EACCES || error == EPERM || error == ENOSPC || error == EDQUOT ||
           error == EMLINK || error == ENAMETOOLONG;
}

// The disk or the user's quota is full: the old file's own blocks may still take the content.
bool IsFull(int error) {
    return error == ENOSPC || error == EDQUOT;
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
// a link or a file that appeared there in the meantime stays as it is, and the write is made
// again over that file if it is one.
Outcome Create(int folder, const Temporary& temporary, const QByteArray& target) {
    if (temporary.Name.isEmpty()) {
        if (LinkUnnamed(temporary.File.Get(), folder, target))
            return Outcome::Written;
        return errno == EEXIST ? Outcome::NameTaken : Outcome::NoUnnamedLink;
    }
    const char* from = temporary.Name.constData();
    if (::renameat2(folder, from, folder, target.constData(), RENAME_NOREPLACE) == 0)
        return Outcome::Written;
    if (errno == EEXIST)
        return Outcome::NameTaken;
    if (errno != EINVAL && errno != ENOSYS)
        return Outcome::Failed;
    if (::linkat(folder, from, folder, target.constData(), 0) != 0)
        return errno == EEXIST ? Outcome::NameTaken : Outcome::Failed;
    ::unlinkat(folder, from, 0);
    return Outcome::Written;
}

Outcome ReplaceWhole(const THeldPlace& place, const QByteArray& bytes, const TOpenedFile* previous,
                     bool unnamed) {
    const int folder = place.Folder.Get();
    // A temporary file named in a folder that keeps its names would stay there for good.
    const bool keepsNames = KeepsItsNames(folder);
    if (previous && keepsNames)
        return Outcome::NotReplaceable;
    // A new file gets read and write for all, less the user's file mask. A replacement stays
    // private until its content is complete and it takes the old file's permissions.
    std::optional<Temporary> temporary =
        CreateTemporary(folder, place.Name, previous ? 0600 : 0666,
                        previous ? previous->Status.st_ino : 0, unnamed || keepsNames, !keepsNames);
    if (!temporary)
        return CannotMakeFile(errno) ? Outcome::NotReplaceable : Outcome::Failed;
    const int fd = temporary->File.Get();
    Outcome outcome = Outcome::Failed;
    if (previous && !KeepFlags(previous->File.Get(), fd)) {
        outcome = Outcome::NotReplaceable;
    } else if (!WriteAll(fd, bytes.constData(), bytes.size(), 0)) {
        if (IsFull(errno))
            outcome = Outcome::NotReplaceable;
    } else {
        bool kept = true;
        if (previous) {
            KeepOwner(fd, previous->Status);
            kept = KeepAttributes(previous->File.Get(), fd) && KeepMode(fd, previous->Status);
        }
        if (!kept) {
            outcome = Outcome::NotReplaceable;
        } else if (::fsync(fd) != 0) {
            if (IsFull(errno))
                outcome = Outcome::NotReplaceable;
        } else if (!previous) {
            ReachFileStep(TFileStep::Replacing, folder);
            outcome = Create(folder, *temporary, place.Name);
        } else if (temporary->Name.isEmpty() &&
                   !NameTemporary(folder, *temporary, place.Name, previous->Status.st_ino)) {
            outcome = errno == ENOENT || errno == EPERM ? Outcome::NoUnnamedLink
                      : CannotMakeFile(errno)           ? Outcome::NotReplaceable
                                                        : Outcome::Failed;
        } else {
            ReachFileStep(TFileStep::Replacing, folder);
            outcome = Exchange(folder, *temporary, place.Name, previous->Status);
        }
    }
    // When the names could not be swapped back, the temporary name holds another's file.
    if (outcome != Outcome::Written && !temporary->Name.isEmpty() &&
        NameHolds(folder, temporary->Name.constData(), fd))
        ::unlinkat(folder, temporary->Name.constData(), 0);
    return outcome;
}

// Writes over the old bytes in the file itself, the very file that was read. This is not
// atomic: a crash part-way leaves a file that is partly new and partly old, because no whole
// new file can be put in its place; readers, who take the file's lock, never see it so. A full
// disk still shows before the first old byte changes: what goes beyond the old end is written
// first, and cut off again when that fails. The file ends where the new content does.
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
    ReachFileStep(TFileStep::WritingInPlace, place.Folder.Get());
    return WriteAll(fd, bytes.constData(), std::min(oldSize, newSize), 0) &&
           ::ftruncate(fd, newSize) == 0 && ::fsync(fd) == 0;
}

} // namespace

TReplaceOutcome ReplaceFileContent(const THeldPlace& place, const QByteArray& bytes,
                                   const TOpenedFile* previous) {
    const auto written = [](bool done) {
        return done ? TReplaceOutcome::Written : TReplaceOutcome::Failed;
    };
    if (previous && previous->Status.st_nlink > 1)
        return written(WriteInPlace(place, bytes, *previous));
    Outcome outcome = ReplaceWhole(place, bytes, previous, true);
    // Without /proc, an unprivileged process cannot name a file made without a name.
    if (outcome == Outcome::NoUnnamedLink)
        outcome = ReplaceWhole(place, bytes, previous, false);
    switch (outcome) {
    case Outcome::Written:
        return TReplaceOutcome::Written;
    case Outcome::NotReplaceable:
        return written(previous && WriteInPlace(place, bytes, *previous));
    case Outcome::NameTaken:
        return TReplaceOutcome::NameTaken;
    case Outcome::Failed:
    case Outcome::NoUnnamedLink:
        return TReplaceOutcome::Failed;
    }
    return TReplaceOutcome::Failed;
}

// A file of a temporary name is what a killed write left when it is ours (we own it), has no
// other name, no write in progress holds it, and its name spells its own inode: killed before
// the swap, it is a new version never put in place; just after it, the old version replaced.
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
        TOpenResult stale = OpenRegularFileAt(folder, found, O_RDONLY);
        if (!stale.File)
            continue;
        TOpenedFile& file = *stale.File;
        const QByteArray letters = found.mid(prefix.size());
        const QByteArray own = InodeLetters(file.Status.st_ino);
        const bool killed =
            letters.left(InodeLetterCount) == own || letters.mid(InodeLetterCount) == own;
        if (killed && file.Status.st_uid == ::geteuid() && file.Status.st_nlink == 1 &&
            file.Lock.Try(file.File.Get(), false) == TFileLock::TTry::Taken &&
            NameHolds(folder, found.constData(), file.File.Get()))
            ::unlinkat(folder, found.constData(), 0);
    }
    ::closedir(entries);
}
