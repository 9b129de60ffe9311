#pragma once

#include "file/HeldPlace.h"
#include "file/RegularFile.h"

#include <mutex>
#include <set>
#include <sys/stat.h>
#include <utility>

// The files (device and inode) whose lock another held through a whole wait, which later waits
// for them do not wait for again until they are forgotten. Safe to share between threads.
class TLockWaits {
public:
    bool RanOutBefore(const struct stat& file) const;
    void NoteRanOut(const struct stat& file);
    void Forget();

private:
    mutable std::mutex FGuard;
    std::set<std::pair<dev_t, ino_t>> FRanOut;
};

// Opens the place's file as OpenRegularFile does and locks it: exclusive for O_RDWR, for one
// read, change and write at a time among all writers, whichever name they reach the file by;
// shared for O_RDONLY, so that a read never sees a write half done. The lock is taken on the
// file that the name leads to once it is held: a file replaced while we waited is let go and the
// new one locked (a file replaced again and again is refused with ESTALE). Waits a few seconds
// at most, then gives Busy; once a wait has run out, waits kept in waits for that file do not
// wait until they are forgotten, so that a lock held by another delays one save once, not at
// each of its writes. Where the file system has no such locks, the file is opened without one.
TOpenResult OpenLockedFile(const THeldPlace& place, int flags, TLockWaits& waits);
