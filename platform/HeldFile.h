#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <sys/stat.h>

// A file is found once and then held: its name is resolved through the kernel, the folder that
// holds the file is kept open, and every later step works relative to that folder, so that no
// step can be sent elsewhere by a name that changed in between.

// An open file descriptor, closed with its owner.
class TFileDescriptor {
public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int fd) : FFd(fd) {}
    ~TFileDescriptor();
    TFileDescriptor(TFileDescriptor&& other) noexcept : FFd(other.Release()) {}
    TFileDescriptor& operator=(TFileDescriptor&& other) noexcept;
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const { return FFd; }
    bool IsOpen() const { return FFd >= 0; }
    int Release();

private:
    int FFd = -1;
};

// The folder that holds the file a name leads to, and the file's name in that folder. The
// folder is held by a descriptor that only locates it (O_PATH); the file may not exist yet.
struct THeldPlace {
    TFileDescriptor Folder;
    QByteArray Name;
};

// Resolves fileName the way the kernel does: component by component from the working folder (or
// the root), ".." to the parent of the folder actually reached, every symbolic link read from
// the link itself and followed, at most 40 of them. A link in a sticky world-writable folder is
// followed only when it belongs to us or to the folder's owner, as the kernel's protected
// symlinks rule has it, whether or not the kernel applies that rule. Nothing when the name
// leads nowhere a file could be: a folder on the way is missing, the name ends in a folder, or a
// link may not be followed.
std::optional<THeldPlace> HoldPlace(const QString& fileName);

// The held folder opened for reading, which its sync and the look at its entries need; not open
// when the folder cannot be read.
TFileDescriptor OpenFolder(const THeldPlace& place);

// A lock on an open file, given back when it goes. It is a lock of the open file (not of the
// process) on one byte far beyond any content, so that it never stands in the way of a read or
// write of the content itself, even where the file system enforces such locks on reads and
// writes. Writers take it exclusive, which needs the file open for writing; readers shared.
class TFileLock {
public:
    TFileLock() = default;
    TFileLock(TFileLock&& other) noexcept : FFd(other.FFd) { other.FFd = -1; }
    TFileLock& operator=(TFileLock&& other) noexcept;
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;
    ~TFileLock();

    enum class TTry { Taken, Busy, Unsupported };
    // Tries once to take the lock of fd, exclusive or shared; Unsupported where the file system
    // has no such locks.
    TTry Try(int fd, bool exclusive);
    bool Held() const { return FFd >= 0; }

private:
    void Release();

    int FFd = -1;
};

// A regular file opened in its held folder, with its status at the moment it was opened.
struct TOpenedFile {
    TFileDescriptor File;
    struct stat Status {};
    // Declared after the file, so that it is given back before the file closes.
    TFileLock Lock;
};

// Busy: another held the file's lock for the whole wait.
enum class TOpenOutcome { Opened, Absent, Refused, Busy };

struct TOpenResult {
    TOpenOutcome Outcome = TOpenOutcome::Refused;
    std::optional<TOpenedFile> File;
};

// Opens the place's file with flags (O_RDONLY or O_RDWR). The name is never followed as a link,
// and anything but a regular file is refused without being opened for reading or writing, so a
// FIFO or a device cannot block or be disturbed. Absent only when no entry has the name.
TOpenResult OpenRegularFile(const THeldPlace& place, int flags);
// The same for the file name in folder.
TOpenResult OpenRegularFileAt(int folder, const QByteArray& name, int flags);

// Opens the place's file as OpenRegularFile does and locks it: exclusive for O_RDWR, for one
// read, change and write at a time among all writers, whichever name they reach the file by;
// shared for O_RDONLY, so that a read never sees a write half done. The lock is taken on the
// file that the name leads to once it is held: a file replaced while we waited is let go and the
// new one locked. Waits a few seconds at most; once a wait has run out, later ones for that
// file do not wait until the next flush request (ForgetLockWaits), so that a lock held by
// another delays one save once, not at each of its writes. Where the file system has no such
// locks, the file is opened without one.
TOpenResult OpenLockedFile(const THeldPlace& place, int flags);

// Forgets the files whose lock another held through a whole wait: a new save or load waits again.
void ForgetLockWaits();

// The whole content of an open file, read from its start to its end, or nothing when it cannot
// be read or grows beyond limit bytes. expectedSize is only what to make room for.
std::optional<QByteArray> ReadWholeFile(int fd, qint64 expectedSize, qint64 limit);

// Moments between two steps of a file's read or write, where a test can change the file system
// as another process might at that moment.
enum class TFileStep {
    // The place is held; the file is not opened yet.
    PlaceHeld,
    // Another holds the file's lock; the wait goes on after a pause.
    WaitingForLock,
    // The new content is complete beside the file; the file is not replaced yet.
    Replacing,
    // Written in place, the file is half old, half new: what goes beyond its old end is
    // written, the old bytes are not overwritten yet.
    WritingInPlace,
    // The folder is about to be synced to disk; folder is its descriptor.
    SyncingFolder,
};

using TFileStepHook = std::function<void(TFileStep step, int folder)>;

// Sets the function called at each step (none by default); returns the previous one.
TFileStepHook SetFileStepHook(TFileStepHook hook);

// Calls the hook, if any, for the step.
void ReachFileStep(TFileStep step, int folder);
