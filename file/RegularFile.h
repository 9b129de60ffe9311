#pragma once

#include "file/FileDescriptor.h"
#include "file/FileLock.h"
#include "file/HeldPlace.h"
#include "file/OrError.h"

#include <QByteArray>

#include <cerrno>
#include <sys/stat.h>
#include <utility>
#include <variant>

// A regular file opened in its held folder, with its status at the moment it was opened.
struct TOpenedFile {
    TFileDescriptor File;
    struct stat Status {};
    // Declared after the file, so that it is given back before the file closes.
    TFileLock Lock;
};

// Absent: no entry has the name. Refused: the name holds something that must not be opened, or
// the file cannot be opened as asked. Busy: another held the file's lock for a whole wait.
enum class TOpenOutcome { Opened, Absent, Refused, Busy };

// What opening a file gave: the file, or the outcome and error number of why not. Each way of
// making one names its outcome.
class TOpenResult {
public:
    TOpenResult(TOpenedFile file) : FState(std::move(file)) {}
    static TOpenResult Absent() { return TFailure{TOpenOutcome::Absent, ENOENT}; }
    static TOpenResult Busy() { return TFailure{TOpenOutcome::Busy, EWOULDBLOCK}; }
    static TOpenResult Refused(int error) { return TFailure{TOpenOutcome::Refused, error}; }

    TOpenOutcome Outcome() const;
    // Why the file was not opened (ENOENT when absent, EWOULDBLOCK when busy); 0 when it was.
    int Error() const;
    // The file, or null when it was not opened.
    TOpenedFile* File() { return std::get_if<TOpenedFile>(&FState); }
    const TOpenedFile* File() const { return std::get_if<TOpenedFile>(&FState); }

private:
    struct TFailure {
        TOpenOutcome Outcome;
        int Error;
    };
    TOpenResult(TFailure failure) : FState(failure) {}

    std::variant<TOpenedFile, TFailure> FState;
};

// Opens the place's file with flags (O_RDONLY or O_RDWR). The name is never followed as a link,
// and anything but a regular file is refused without being opened for reading or writing, so a
// FIFO or a device cannot block or be disturbed: a folder with EISDIR, a link with ELOOP, anything
// else with EINVAL; a name that led to another file by the time it was opened with ESTALE.
TOpenResult OpenRegularFile(const THeldPlace& place, int flags);
// The same for the file name in folder.
TOpenResult OpenRegularFileAt(int folder, const QByteArray& name, int flags);

// The whole content of an open file, read from its start to its end; EFBIG when it is, or grows,
// beyond limit bytes. expectedSize is the size the file was seen to have: what to make room for.
TOrError<QByteArray> ReadWholeFile(int fd, qint64 expectedSize, qint64 limit);

bool SameFile(const struct stat& a, const struct stat& b);

// Whether the name in folder is, right now, the file opened as fd, or the open file whose status
// (taken from its descriptor) is opened.
bool NameHolds(int folder, const char* name, int fd);
bool NameHolds(int folder, const char* name, const struct stat& opened);
