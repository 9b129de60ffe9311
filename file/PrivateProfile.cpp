#include "file/PrivateProfile.h"

#include "file/FileReplacement.h"
#include "file/FileStep.h"
#include "file/HeldPlace.h"
#include "file/LockedFile.h"
#include "file/ProfileText.h"
#include "file/TemporaryFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The files whose lock another held through a whole wait since the last flush request: later
// reads and writes of them try once, so that such a lock delays a save or a load once, not at
// each key. The private-profile functions keep it for the whole process, between their calls,
// as Windows keeps its copy of a profile file until that same request.
TLockWaits& LockWaits() {
    static TLockWaits waits;
    return waits;
}

// Only regular files are read: a FIFO or a device could block or never end.
TOrError<QByteArray> ReadRegularFile(const TOpenedFile& file) {
    return ReadWholeFile(file.File.Get(), file.Status.st_size, MaxProfileFileSize);
}

std::optional<TProfileText> ReadProfile(const QString& fileName) {
    const TOrError<THeldPlace> place = HoldPlace(fileName);
    if (!place)
        return std::nullopt;
    // Read under the file's lock, so that a write in place is never seen half done.
    const TOpenResult opened = OpenLockedFile(*place, O_RDONLY, LockWaits());
    if (!opened.File())
        return std::nullopt;
    const TOrError<QByteArray> bytes = ReadRegularFile(*opened.File());
    if (!bytes)
        return std::nullopt;
    return TProfileText(*bytes);
}

// A file nobody may write counts as read-only even for root, who would otherwise replace it.
// Our own right to write it was checked when it was opened for writing.
bool IsWritable(const struct stat& status) {
    const mode_t anyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
    return (status.st_mode & anyWrite) != 0;
}

// Sets the key in the file at place: read, changed and put in place under the file's lock, or
// created when there is no file yet.
TWriteResult WriteKey(const THeldPlace& place, const QString& section, const QString& key,
                      const QString& value) {
    TOpenResult opened = OpenLockedFile(place, O_RDWR, LockWaits());
    if (opened.Outcome() == TOpenOutcome::Absent)
        return ReplaceFileContent(place, TProfileText(QByteArray()).WithValue(section, key, value),
                                  nullptr);
    const TOpenedFile* file = opened.File();
    if (!file) {
        const bool busy = opened.Outcome() == TOpenOutcome::Busy;
        return TWriteFailure{busy ? TWriteStep::Lock : TWriteStep::Open, opened.Error()};
    }
    if (!IsWritable(file->Status))
        return TWriteFailure{TWriteStep::Open, EACCES};
    const TOrError<QByteArray> bytes = ReadRegularFile(*file);
    if (!bytes)
        return TWriteFailure{TWriteStep::Read, bytes.Error()};
    const QByteArray updated = TProfileText(*bytes).WithValue(section, key, value);
    if (updated == *bytes)
        return TWriteResult::Written();
    return ReplaceFileContent(place, updated, file);
}

// Each write already reaches the disk before its rename; syncing the folder of the file makes
// the renames themselves durable. A save ends with this request, so this is where the
// temporary files of saves that were killed are looked for: once per save, not once per key.
// A folder we may not read (write and search rights only) can be neither listed nor synced on
// its own; the file system that holds the file is synced whole instead.
TWriteResult FlushProfile(const QString& fileName) {
    LockWaits().Forget();
    const TOrError<THeldPlace> place = HoldPlace(fileName);
    if (!place)
        return TWriteFailure{TWriteStep::Place, place.Error()};
    const TFileDescriptor folder = OpenFolder(*place);
    if (folder.IsOpen())
        RemoveStaleTemporaries(folder.Get(), place->Name);
    const TOpenResult opened = OpenRegularFile(*place, O_RDONLY);
    const TOpenedFile* file = opened.File();
    const int fileError = file && ::fsync(file->File.Get()) != 0 ? errno : 0;
    ReachFileStep(TFileStep::SyncingFolder, place->Folder.Get());
    int error = 0;
    if (folder.IsOpen())
        error = ::fsync(folder.Get()) != 0 ? errno : fileError;
    else if (file && ::syncfs(file->File.Get()) != 0)
        error = errno;
    if (error != 0)
        return TWriteFailure{TWriteStep::Flush, error};
    return TWriteResult::Written();
}

} // namespace

QString GetPrivateProfileString(const QString& section, const QString& key, const QString& def,
                                int size, const QString& fileName) {
    if (size <= 0)
        return {};
    const std::optional<TProfileText> text = ReadProfile(fileName);
    std::optional<QString> value;
    if (text)
        value = text->Value(TrimBlanks(section), TrimBlanks(key));
    return value.value_or(def).left(size - 1);
}

TWriteResult WritePrivateProfileString(const QString* section, const QString* key,
                                       const QString* value, const QString& fileName) {
    if (!section && !key && !value)
        return FlushProfile(fileName);
    if (!section || !key || !value)
        return TWriteFailure{TWriteStep::Request, EINVAL};
    const QString sectionName = TrimBlanks(*section);
    const QString keyName = TrimBlanks(*key);
    if (!IsWritableEntry(sectionName, keyName, *value))
        return TWriteFailure{TWriteStep::Request, EINVAL};

    // The file is found once, and stays locked from the read to the replacement, so that two
    // editors saving at once never lose each other's keys. Two editors creating the file at
    // once: the second writes its key again into the file the first made.
    const TOrError<THeldPlace> place = HoldPlace(fileName);
    if (!place)
        return TWriteFailure{TWriteStep::Place, place.Error()};
    for (int attempt = 1;; ++attempt) {
        const TWriteResult written = WriteKey(*place, sectionName, keyName, *value);
        if (written || !NameWasTaken(written.Failure()) || attempt == 10)
            return written;
    }
}
