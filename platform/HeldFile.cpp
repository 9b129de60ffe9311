#include "platform/HeldFile.h"

#include <QByteArrayList>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <thread>
#include <unistd.h>
#include <utility>

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

namespace {

constexpr int MaxLinks = 40;
constexpr int LocateFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;

TFileDescriptor OpenAt(int folder, const char* name, int flags) {
    int fd;
    do
        fd = ::openat(folder, name, flags);
    while (fd < 0 && errno == EINTR);
    return TFileDescriptor(fd);
}

// The names of a path, in order; empty names (from "//" or a trailing "/") are dropped.
void PrependComponents(const QByteArray& path, std::deque<QByteArray>& names) {
    const QList<QByteArray> parts = path.split('/');
    for (auto part = parts.crbegin(); part != parts.crend(); ++part)
        if (!part->isEmpty())
            names.push_front(*part);
}

// The kernel's protected symlinks rule: in a sticky folder that anyone may write, a link is
// followed only by its owner, or when the folder's owner made it, since anyone else there could
// have planted it to point at a file of ours.
bool MayFollow(int folder, const struct stat& link) {
    if (link.st_uid == ::geteuid())
        return true;
    struct stat holder {};
    if (::fstat(folder, &holder) != 0)
        return false;
    const mode_t shared = S_ISVTX | S_IWOTH;
    return (holder.st_mode & shared) != shared || holder.st_uid == link.st_uid;
}

std::optional<QByteArray> LinkTarget(int link, qint64 size) {
    // Some file systems give links no size; the kernel's longest path fits any of them.
    const qint64 room = size > 0 ? std::min<qint64>(size, PATH_MAX) : PATH_MAX;
    QByteArray target(static_cast<qsizetype>(room + 1), '\0');
    const ssize_t length = ::readlinkat(link, "", target.data(), target.size());
    if (length <= 0 || length >= target.size())
        return std::nullopt;
    target.truncate(length);
    return target;
}

// The byte every lock is taken on: past any curve file, and below 2 GiB, which file systems with
// 32-bit lock offsets (an old network server's) can still lock.
constexpr off_t LockedByte = off_t(1) << 30;

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the place's name leads, right now, to the file opened as fd.
bool NameLeadsTo(const THeldPlace& place, int fd) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 &&
           ::fstatat(place.Folder.Get(), place.Name.constData(), &named, AT_SYMLINK_NOFOLLOW) ==
               0 &&
           SameFile(opened, named);
}

// The files (device and inode) whose lock another held for a whole wait since the last flush
// request.
struct TLockWaits {
    std::mutex Guard;
    std::set<std::pair<dev_t, ino_t>> RanOut;
};

TLockWaits& LockWaits() {
    static TLockWaits waits;
    return waits;
}

bool WaitRanOutBefore(const struct stat& file) {
    TLockWaits& waits = LockWaits();
    const std::lock_guard<std::mutex> guard(waits.Guard);
    return waits.RanOut.count({file.st_dev, file.st_ino}) != 0;
}

void NoteWaitRanOut(const struct stat& file) {
    TLockWaits& waits = LockWaits();
    const std::lock_guard<std::mutex> guard(waits.Guard);
    waits.RanOut.insert({file.st_dev, file.st_ino});
}

TFileStepHook& StepHook() {
    static TFileStepHook hook;
    return hook;
}

} // namespace

std::optional<THeldPlace> HoldPlace(const QString& fileName) {
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty() || path.contains('\0') || path.endsWith('/'))
        return std::nullopt;
    TFileDescriptor folder =
        OpenAt(AT_FDCWD, path.startsWith('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::deque<QByteArray> names;
    PrependComponents(path, names);
    int links = 0;
    while (folder.IsOpen() && !names.empty()) {
        const QByteArray name = names.front();
        names.pop_front();
        const bool last = names.empty();
        if (name == "." || name == "..") {
            // A name that ends in "." or ".." names a folder, never a file.
            if (last)
                return std::nullopt;
            if (name == "..")
                folder = OpenAt(folder.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
            continue;
        }
        TFileDescriptor entry = OpenAt(folder.Get(), name.constData(), LocateFlags);
        if (!entry.IsOpen()) {
            if (errno != ENOENT || !last)
                return std::nullopt;
            names.push_front(name); // the file is not there yet: it will be made under this name
            break;
        }
        struct stat status {};
        if (::fstat(entry.Get(), &status) != 0)
            return std::nullopt;
        if (S_ISLNK(status.st_mode)) {
            if (++links > MaxLinks || !MayFollow(folder.Get(), status))
                return std::nullopt;
            const std::optional<QByteArray> target = LinkTarget(entry.Get(), status.st_size);
            // A link that ends in "/" leads to a folder; only the file's own name cannot.
            if (!target || (last && target->endsWith('/')))
                return std::nullopt;
            PrependComponents(*target, names);
            if (target->startsWith('/'))
                folder = OpenAt(AT_FDCWD, "/", O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (names.empty())
                return std::nullopt; // a link to "/"
            continue;
        }
        if (last) {
            names.push_front(name);
            break;
        }
        if (!S_ISDIR(status.st_mode))
            return std::nullopt;
        folder = std::move(entry);
    }
    if (!folder.IsOpen() || names.size() != 1)
        return std::nullopt;
    THeldPlace place{std::move(folder), names.front()};
    ReachFileStep(TFileStep::PlaceHeld, place.Folder.Get());
    return place;
}

TFileDescriptor OpenFolder(const THeldPlace& place) {
    return OpenAt(place.Folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

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
    struct flock unlock {};
    unlock.l_type = F_UNLCK;
    unlock.l_whence = SEEK_SET;
    unlock.l_start = LockedByte;
    unlock.l_len = 1;
    ::fcntl(FFd, F_OFD_SETLK, &unlock);
    FFd = -1;
}

TFileLock::TTry TFileLock::Try(int fd, bool exclusive) {
    struct flock lock {};
    lock.l_type = exclusive ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = LockedByte;
    lock.l_len = 1;
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

TOpenResult OpenLockedFile(const THeldPlace& place, int flags) {
    const bool exclusive = (flags & O_ACCMODE) != O_RDONLY;
    // A writer holds the lock for one key's write, a few milliseconds; a lock held for seconds
    // is held by something else, which must not hang the editor.
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> deadline;
    std::chrono::microseconds pause(200);
    for (;;) {
        TOpenResult opened = OpenRegularFile(place, flags);
        if (!opened.File)
            return opened;
        TOpenedFile& file = *opened.File;
        if (!deadline)
            deadline = Clock::now() + (WaitRanOutBefore(file.Status) ? Clock::duration(0)
                                                                     : std::chrono::seconds(5));
        const TFileLock::TTry got = file.Lock.Try(file.File.Get(), exclusive);
        if (got == TFileLock::TTry::Unsupported)
            return opened;
        // The lock is the file's own: a file that another write replaced while we waited, or
        // just before we locked it, is not the place's file any more; the new one is.
        const bool current = NameLeadsTo(place, file.File.Get());
        if (got == TFileLock::TTry::Taken && current)
            return opened;
        if (current && Clock::now() >= *deadline) {
            NoteWaitRanOut(file.Status);
            return {TOpenOutcome::Busy, std::nullopt};
        }
        if (got == TFileLock::TTry::Busy && current) {
            ReachFileStep(TFileStep::WaitingForLock, place.Folder.Get());
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::microseconds(10000));
        }
        if (!current && Clock::now() >= *deadline + std::chrono::seconds(1))
            return {}; // replaced again and again: refused rather than chased for ever
    }
}

void ForgetLockWaits() {
    TLockWaits& waits = LockWaits();
    const std::lock_guard<std::mutex> guard(waits.Guard);
    waits.RanOut.clear();
}

TOpenResult OpenRegularFile(const THeldPlace& place, int flags) {
    return OpenRegularFileAt(place.Folder.Get(), place.Name, flags);
}

TOpenResult OpenRegularFileAt(int folder, const QByteArray& name, int flags) {
    TFileDescriptor located = OpenAt(folder, name.constData(), LocateFlags);
    if (!located.IsOpen())
        return {errno == ENOENT ? TOpenOutcome::Absent : TOpenOutcome::Refused, std::nullopt};
    struct stat status {};
    if (::fstat(located.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    // Opening again what the descriptor holds reaches exactly the file looked at, with the
    // kernel's checks of our rights on it. Without /proc the name is opened once more, and
    // what it opened must be that same file.
    const int open = flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const QByteArray held = "/proc/self/fd/" + QByteArray::number(located.Get());
    TFileDescriptor file = OpenAt(AT_FDCWD, held.constData(), open & ~O_NOFOLLOW);
    if (!file.IsOpen() && errno == ENOENT)
        file = OpenAt(folder, name.constData(), open);
    TOpenedFile opened{std::move(file), {}, {}};
    if (!opened.File.IsOpen() || ::fstat(opened.File.Get(), &opened.Status) != 0 ||
        !S_ISREG(opened.Status.st_mode) || opened.Status.st_dev != status.st_dev ||
        opened.Status.st_ino != status.st_ino)
        return {};
    return {TOpenOutcome::Opened, std::move(opened)};
}

std::optional<QByteArray> ReadWholeFile(int fd, qint64 expectedSize, qint64 limit) {
    // Read to the end in pieces: the file may have grown since it was looked at. A piece asks
    // for no more than what is left of the file (and one byte more, to see it grew): a read
    // sets aside as much memory as it asks for, and a curve file is a few hundred bytes.
    constexpr qint64 PieceSize = qint64(1) << 20;
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(std::clamp<qint64>(expectedSize, 0, limit)));
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
            return std::nullopt;
        bytes.resize(size + got);
        if (bytes.size() > limit)
            return std::nullopt;
        if (got == 0)
            return bytes;
    }
}

TFileStepHook SetFileStepHook(TFileStepHook hook) {
    std::swap(StepHook(), hook);
    return hook;
}

void ReachFileStep(TFileStep step, int folder) {
    if (const TFileStepHook& hook = StepHook())
        hook(step, folder);
}
