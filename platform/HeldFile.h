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

// The held folder opened for reading, which its lock, its sync and the look at its entries need;
// not open when the folder cannot be read.
TFileDescriptor OpenFolder(const THeldPlace& place);

// An exclusive advisory lock on a folder, for one change of a file in it: one read, change and
// replacement at a time, among all who take it. The lock is on the folder, not on the file, so
// that it stays with the place while the file is replaced, and it leaves nothing behind.
class TFolderLock {
public:
    // Waits for the lock for a few seconds at most. Without a readable folder, or where the file
    // system has no such locks, holds nothing and still counts as taken.
    explicit TFolderLock(const TFileDescriptor& folder);
    ~TFolderLock();
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

    // False when another held the lock for the whole wait.
    bool Taken() const { return FTaken; }

private:
    int FFolder = -1;
    bool FTaken = false;
    bool FHeld = false;
};

// A regular file opened in its held folder, with its status at the moment it was opened.
struct TOpenedFile {
    TFileDescriptor File;
    struct stat Status {};
};

enum class TOpenOutcome { Opened, Absent, Refused };

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

// The whole content of an open file, read from its start to its end, or nothing when it cannot
// be read or grows beyond limit bytes. expectedSize is only what to make room for.
std::optional<QByteArray> ReadWholeFile(int fd, qint64 expectedSize, qint64 limit);

// Moments between two steps of a file's read or write, where a test can change the file system
// as another process might at that moment.
enum class TFileStep {
    // The place is held; the file is not opened yet.
    PlaceHeld,
    // The new content is complete beside the file; the file is not replaced yet.
    Replacing,
    // The folder is about to be synced to disk; folder is its descriptor.
    SyncingFolder,
};

using TFileStepHook = std::function<void(TFileStep step, int folder)>;

// Sets the function called at each step (none by default); returns the previous one.
TFileStepHook SetFileStepHook(TFileStepHook hook);

// Calls the hook, if any, for the step.
void ReachFileStep(TFileStep step, int folder);
