#include "file/FileReplacement.h"

#include "file/FileStep.h"
#include "file/KeptProperties.h"
#include "file/TemporaryFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Gives the open file fd, which has no name, the name in folder; 0, or the error.
int LinkUnnamed(int fd, int folder, const QByteArray& name) {
    const QByteArray held = ProcName(fd);
    if (::linkat(AT_FDCWD, held.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    return ::linkat(fd, "", folder, name.constData(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

// A new temporary file in folder without a name, locked, or nothing with errno telling why.
std::optional<Temporary> CreateUnnamed(int folder, mode_t mode) {
    Temporary temporary{
        TFileDescriptor(::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode)), {}, {}};
    if (!temporary.File.IsOpen())
        return std::nullopt;
    temporary.Lock.Try(temporary.File.Get(), true);
    return temporary;
}

// A new temporary file beside target, to replace the file of inode replaced (0 for a new file),
// locked, named after the two inodes, or at random when that name is taken; or nothing with
// errno telling why.
std::optional<Temporary> CreateNamed(int folder, const QByteArray& target, mode_t mode,
                                     ino_t replaced) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = RandomTemporaryName(target);
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
                TemporaryName(target, status.st_ino, replaced ? replaced : status.st_ino);
            if (::renameat2(folder, name.constData(), folder, coded.constData(),
                            RENAME_NOREPLACE) == 0)
                temporary.Name = coded;
        }
        return temporary;
    }
    errno = EEXIST;
    return std::nullopt;
}

// A new temporary file for the place's file: without a name where the file system can make
// such files (unnamed says whether to try), elsewhere, if named allows, with one.
std::optional<Temporary> CreateTemporary(int folder, const QByteArray& target, mode_t mode,
                                         ino_t replaced, bool unnamed, bool named) {
    if (unnamed) {
        std::optional<Temporary> temporary = CreateUnnamed(folder, mode);
        if (temporary || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
            return temporary;
    }
    if (!named) {
        errno = EPERM;
        return std::nullopt;
    }
    return CreateNamed(folder, target, mode, replaced);
}

// Gives an unnamed temporary file that replaces the file of inode replaced its name beside
// target: the one the two inodes spell, or one at random when a file has that name already.
// 0, or the error.
int NameTemporary(int folder, Temporary& temporary, const QByteArray& target, ino_t replaced) {
    struct stat status {};
    if (::fstat(temporary.File.Get(), &status) != 0)
        return errno;
    QByteArray name = TemporaryName(target, status.st_ino, replaced);
    for (int attempt = 0; attempt < 100; ++attempt, name = RandomTemporaryName(target)) {
        const int error = LinkUnnamed(temporary.File.Get(), folder, name);
        if (error == 0)
            temporary.Name = name;
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

// 0 when all the bytes are written, or the error.
int WriteAll(int fd, const char* data, qint64 size, off_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, static_cast<size_t>(size), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return EIO;
        data += written;
        size -= written;
        offset += written;
    }
    return 0;
}

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

// What is left to try when a replacement stops: nothing, the file written in place, or the
// replacement again with a temporary file that has a name from the start.
enum class Then { Nothing, InPlace, Named };

struct Attempt {
    TWriteResult Result;
    Then Next = Then::Nothing;
};

Attempt Written() {
    return {TWriteResult::Written()};
}

Attempt Stopped(TWriteStep step, int error, Then next = Then::Nothing) {
    return {TWriteFailure{step, error}, next};
}

// A full disk still leaves the old file's own blocks.
Attempt StoppedUnlessFull(TWriteStep step, int error) {
    return Stopped(step, error, IsFull(error) ? Then::InPlace : Then::Nothing);
}

// Puts the temporary file in the place of the file read. The two names swap, so that what had
// the name can be checked: when it is not the file read, they swap back and nothing changed.
Attempt Exchange(int folder, const Temporary& temporary, const QByteArray& target,
                 const struct stat& previous) {
    const char* from = temporary.Name.constData();
    if (::renameat2(folder, from, folder, target.constData(), RENAME_EXCHANGE) == 0) {
        if (NameHolds(folder, from, previous)) {
            ::unlinkat(folder, from, 0);
            return Written();
        }
        [[maybe_unused]] const int back =
            ::renameat2(folder, from, folder, target.constData(), RENAME_EXCHANGE);
        return Stopped(TWriteStep::Replace, ESTALE);
    }
    if (errno == EACCES || errno == EPERM)
        return Stopped(TWriteStep::Replace, errno, Then::InPlace);
    if (errno != EINVAL && errno != ENOSYS)
        return Stopped(TWriteStep::Replace, errno);
    // A file system that cannot swap names: the name is checked just before it is replaced.
    struct stat named {};
    if (::fstatat(folder, target.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0)
        return Stopped(TWriteStep::Replace, errno);
    if (!SameFile(named, previous))
        return Stopped(TWriteStep::Replace, ESTALE);
    if (::renameat(folder, from, folder, target.constData()) == 0)
        return Written();
    return Stopped(TWriteStep::Replace, errno,
                   errno == EACCES || errno == EPERM ? Then::InPlace : Then::Nothing);
}

// Gives the temporary file the name of a file not yet there, only while the name is still free:
// a link or a file that appeared there in the meantime stays as it is, and the write is made
// again over that file if it is one.
Attempt Create(int folder, const Temporary& temporary, const QByteArray& target) {
    if (temporary.Name.isEmpty()) {
        const int error = LinkUnnamed(temporary.File.Get(), folder, target);
        if (error == 0)
            return Written();
        return Stopped(TWriteStep::Replace, error, error == EEXIST ? Then::Nothing : Then::Named);
    }
    const char* from = temporary.Name.constData();
    if (::renameat2(folder, from, folder, target.constData(), RENAME_NOREPLACE) == 0)
        return Written();
    if (errno != EINVAL && errno != ENOSYS)
        return Stopped(TWriteStep::Replace, errno);
    if (::linkat(folder, from, folder, target.constData(), 0) != 0)
        return Stopped(TWriteStep::Replace, errno);
    ::unlinkat(folder, from, 0);
    return Written();
}

// Gives the temporary file fd its content and what it keeps of the old file, and brings it to
// the disk.
Attempt Fill(int fd, const QByteArray& bytes, const TOpenedFile* previous) {
    if (const int error = previous ? KeepFlags(previous->File.Get(), fd) : 0)
        return Stopped(TWriteStep::Keep, error, Then::InPlace);
    if (const int error = WriteAll(fd, bytes.constData(), bytes.size(), 0))
        return StoppedUnlessFull(TWriteStep::Write, error);
    if (previous) {
        KeepOwner(fd, previous->Status);
        int error = KeepAttributes(previous->File.Get(), fd);
        if (error == 0)
            error = KeepMode(fd, previous->Status);
        if (error != 0)
            return Stopped(TWriteStep::Keep, error, Then::InPlace);
    }
    if (::fsync(fd) != 0)
        return StoppedUnlessFull(TWriteStep::Sync, errno);
    return Written();
}

// Gives the complete temporary file the file's name: a new file takes it while it is free, a
// replacement is named beside the file and swaps names with it.
Attempt PutInPlace(int folder, Temporary& temporary, const QByteArray& target,
                   const TOpenedFile* previous) {
    if (!previous) {
        ReachFileStep(TFileStep::Replacing, folder);
        return Create(folder, temporary, target);
    }
    if (temporary.Name.isEmpty()) {
        const int error = NameTemporary(folder, temporary, target, previous->Status.st_ino);
        if (error != 0)
            return Stopped(TWriteStep::Create, error,
                           error == ENOENT || error == EPERM ? Then::Named
                           : CannotMakeFile(error)           ? Then::InPlace
                                                             : Then::Nothing);
    }
    ReachFileStep(TFileStep::Replacing, folder);
    return Exchange(folder, temporary, target, previous->Status);
}

Attempt ReplaceWhole(const THeldPlace& place, const QByteArray& bytes, const TOpenedFile* previous,
                     bool unnamed) {
    const int folder = place.Folder.Get();
    // A temporary file named in a folder that keeps its names would stay there for good.
    const bool keepsNames = KeepsItsNames(folder);
    if (previous && keepsNames)
        return Stopped(TWriteStep::Create, EPERM, Then::InPlace);
    // A new file gets read and write for all, less the user's file mask. A replacement stays
    // private until its content is complete and it takes the old file's permissions.
    std::optional<Temporary> temporary =
        CreateTemporary(folder, place.Name, previous ? 0600 : 0666,
                        previous ? previous->Status.st_ino : 0, unnamed || keepsNames, !keepsNames);
    if (!temporary) {
        const int error = errno;
        return Stopped(TWriteStep::Create, error,
                       CannotMakeFile(error) ? Then::InPlace : Then::Nothing);
    }
    const int fd = temporary->File.Get();
    Attempt attempt = Fill(fd, bytes, previous);
    if (attempt.Result)
        attempt = PutInPlace(folder, *temporary, place.Name, previous);
    // When the names could not be swapped back, the temporary name holds another's file.
    if (!attempt.Result && !temporary->Name.isEmpty() &&
        NameHolds(folder, temporary->Name.constData(), fd))
        ::unlinkat(folder, temporary->Name.constData(), 0);
    return attempt;
}

// Writes over the old bytes in the file itself, the very file that was read. This is not
// atomic: a crash part-way leaves a file that is partly new and partly old, because no whole
// new file can be put in its place; readers, who take the file's lock, never see it so. A full
// disk still shows before the first old byte changes: what goes beyond the old end is written
// first, and cut off again when that fails. The file ends where the new content does.
TWriteResult WriteInPlace(const THeldPlace& place, const QByteArray& bytes,
                          const TOpenedFile& file) {
    ReachFileStep(TFileStep::Replacing, place.Folder.Get());
    const int fd = file.File.Get();
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return TWriteFailure{TWriteStep::InPlace, errno};
    const qint64 oldSize = now.st_size;
    const qint64 newSize = bytes.size();
    if (newSize > oldSize) {
        const int error = WriteAll(fd, bytes.constData() + oldSize, newSize - oldSize, oldSize);
        if (error != 0) {
            [[maybe_unused]] const int cut = ::ftruncate(fd, oldSize);
            return TWriteFailure{TWriteStep::InPlace, error};
        }
    }
    ReachFileStep(TFileStep::WritingInPlace, place.Folder.Get());
    if (const int error = WriteAll(fd, bytes.constData(), std::min(oldSize, newSize), 0))
        return TWriteFailure{TWriteStep::InPlace, error};
    if (::ftruncate(fd, newSize) != 0 || ::fsync(fd) != 0)
        return TWriteFailure{TWriteStep::InPlace, errno};
    return TWriteResult::Written();
}

} // namespace

TWriteResult ReplaceFileContent(const THeldPlace& place, const QByteArray& bytes,
                                const TOpenedFile* previous) {
    if (previous && previous->Status.st_nlink > 1)
        return WriteInPlace(place, bytes, *previous);
    Attempt attempt = ReplaceWhole(place, bytes, previous, true);
    // Without /proc, an unprivileged process cannot name a file made without a name.
    if (attempt.Next == Then::Named)
        attempt = ReplaceWhole(place, bytes, previous, false);
    if (attempt.Next == Then::InPlace && previous)
        return WriteInPlace(place, bytes, *previous);
    return attempt.Result;
}

bool NameWasTaken(const TWriteFailure& failure) {
    return failure.Step == TWriteStep::Replace && failure.Error == EEXIST;
}
