#include "file/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

TOpenOutcome TOpenResult::Outcome() const {
    const auto* failure = std::get_if<TFailure>(&FState);
    return failure ? failure->Outcome : TOpenOutcome::Opened;
}

int TOpenResult::Error() const {
    const auto* failure = std::get_if<TFailure>(&FState);
    return failure ? failure->Error : 0;
}

namespace {

int NotRegularError(mode_t mode) {
    return S_ISDIR(mode) ? EISDIR : S_ISLNK(mode) ? ELOOP : EINVAL;
}

} // namespace

TOpenResult OpenRegularFile(const THeldPlace& place, int flags) {
    return OpenRegularFileAt(place.Folder.Get(), place.Name, flags);
}

TOpenResult OpenRegularFileAt(int folder, const QByteArray& name, int flags) {
    TFileDescriptor located = OpenAt(folder, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (!located.IsOpen())
        return errno == ENOENT ? TOpenResult::Absent() : TOpenResult::Refused(errno);
    struct stat status {};
    if (::fstat(located.Get(), &status) != 0)
        return TOpenResult::Refused(errno);
    if (!S_ISREG(status.st_mode))
        return TOpenResult::Refused(NotRegularError(status.st_mode));
    // Opening again what the descriptor holds reaches exactly the file looked at, with the
    // kernel's checks of our rights on it. Without /proc the name is opened once more, and
    // what it opened must be that same file.
    const int open = flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const QByteArray held = ProcName(located.Get());
    TFileDescriptor file = OpenAt(AT_FDCWD, held.constData(), open & ~O_NOFOLLOW);
    if (!file.IsOpen() && errno == ENOENT)
        file = OpenAt(folder, name.constData(), open);
    if (!file.IsOpen())
        return TOpenResult::Refused(errno);
    TOpenedFile opened{std::move(file), {}, {}};
    if (::fstat(opened.File.Get(), &opened.Status) != 0)
        return TOpenResult::Refused(errno);
    if (!S_ISREG(opened.Status.st_mode) || !SameFile(opened.Status, status))
        return TOpenResult::Refused(ESTALE);
    return opened;
}

TOrError<QByteArray> ReadWholeFile(int fd, qint64 expectedSize, qint64 limit) {
    // Read to the end in pieces: the file may have grown since it was looked at. A piece asks
    // for no more than what is left of the file (and one byte more, to see it grew): a read
    // sets aside as much memory as it asks for, and a curve file is a few hundred bytes.
    constexpr qint64 PieceSize = qint64(1) << 20;
    if (expectedSize > limit)
        return TSystemError{EFBIG};
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(std::max<qint64>(expectedSize, 0)));
    for (;;) {
        const qint64 left = std::max<qint64>(expectedSize - bytes.size(), 0);
        const qsizetype piece = static_cast<qsizetype>(std::min(PieceSize, left + 1));
        const qsizetype size = bytes.size();
        bytes.resize(size + piece);
        const ssize_t got = ::pread(fd, bytes.data() + size, static_cast<size_t>(piece), size);
        if (got < 0 && errno == EINTR) {
            bytes.resize(size);
            continue;
        }
        if (got < 0)
            return TSystemError{errno};
        bytes.resize(size + got);
        if (bytes.size() > limit)
            return TSystemError{EFBIG};
        if (got == 0)
            return bytes;
    }
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool NameHolds(int folder, const char* name, const struct stat& opened) {
    struct stat named {};
    return ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named);
}

bool NameHolds(int folder, const char* name, int fd) {
    struct stat opened {};
    return ::fstat(fd, &opened) == 0 && NameHolds(folder, name, opened);
}
