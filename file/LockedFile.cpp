#include "file/LockedFile.h"

#include "file/FileStep.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <optional>
#include <thread>

bool TLockWaits::RanOutBefore(const struct stat& file) const {
    const std::lock_guard<std::mutex> guard(FGuard);
    return FRanOut.count({file.st_dev, file.st_ino}) != 0;
}

void TLockWaits::NoteRanOut(const struct stat& file) {
    const std::lock_guard<std::mutex> guard(FGuard);
    FRanOut.insert({file.st_dev, file.st_ino});
}

void TLockWaits::Forget() {
    const std::lock_guard<std::mutex> guard(FGuard);
    FRanOut.clear();
}

TOpenResult OpenLockedFile(const THeldPlace& place, int flags, TLockWaits& waits) {
    const bool exclusive = (flags & O_ACCMODE) != O_RDONLY;
    // A writer holds the lock for one key's write, a few milliseconds; a lock held for seconds
    // is held by something else, which must not hang the editor.
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> deadline;
    std::chrono::microseconds pause(200);
    for (;;) {
        TOpenResult opened = OpenRegularFile(place, flags);
        TOpenedFile* file = opened.File();
        if (!file)
            return opened;
        if (!deadline)
            deadline = Clock::now() + (waits.RanOutBefore(file->Status) ? Clock::duration(0)
                                                                        : std::chrono::seconds(5));
        const TFileLock::TTry got = file->Lock.Try(file->File.Get(), exclusive);
        if (got == TFileLock::TTry::Unsupported)
            return opened;
        // The lock is the file's own: a file that another write replaced while we waited, or
        // just before we locked it, is not the place's file any more; the new one is.
        const bool current = NameHolds(place.Folder.Get(), place.Name.constData(), file->Status);
        if (got == TFileLock::TTry::Taken && current)
            return opened;
        if (current && Clock::now() >= *deadline) {
            waits.NoteRanOut(file->Status);
            return TOpenResult::Busy();
        }
        if (got == TFileLock::TTry::Busy && current) {
            ReachFileStep(TFileStep::WaitingForLock, place.Folder.Get());
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::microseconds(10000));
        }
        // Replaced again and again: refused rather than chased for ever.
        if (!current && Clock::now() >= *deadline + std::chrono::seconds(1))
            return TOpenResult::Refused(ESTALE);
    }
}
