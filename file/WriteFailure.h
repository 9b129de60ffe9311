#pragma once

#include <optional>

// The step at which a write of a profile file stopped, nothing written. Each comes with the
// error number (errno) the kernel gave for it, or the one it gives for the same refusal where the
// refusal is our own rule's.
enum class TWriteStep {
    // The section, key or value cannot stand in the file, or only some of them are given
    // (EINVAL).
    Request,
    // The name leads nowhere a file could be (see HoldPlace).
    Place,
    // The file cannot be opened for writing: no right to (EACCES, also for a file that nobody
    // may write), not a regular file (EISDIR, ELOOP, EINVAL), another file by the time it
    // was opened (ESTALE).
    Open,
    // Another held the file's lock through a whole wait, or had in the same save (EWOULDBLOCK).
    Lock,
    // The content cannot be read, or is too large to be parsed (EFBIG).
    Read,
    // No new file can be made beside the file (EACCES, ENOSPC, EPERM in a folder that keeps
    // every name it is given...), and the file cannot be written in place instead.
    Create,
    // The new file's bytes cannot be written.
    Write,
    // The new file cannot carry the old one's flags, attributes or mode.
    Keep,
    // The new file does not reach the disk.
    Sync,
    // The new file cannot take the file's name: another file took the name first (EEXIST), or
    // the file there is not the one read any more (ESTALE).
    Replace,
    // The file itself cannot be written in place (ENOSPC...): it is left as it was.
    InPlace,
    // The flush request: the file or its folder cannot be synced to disk.
    Flush,
};

struct TWriteFailure {
    TWriteStep Step;
    int Error;
};

// What a write gave: written, or the step that stopped it and why.
class TWriteResult {
public:
    static TWriteResult Written() { return TWriteResult(); }
    TWriteResult(TWriteFailure failure) : FFailure(failure) {}

    explicit operator bool() const { return !FFailure; }
    // Why the write failed; only for a failed one.
    const TWriteFailure& Failure() const { return FFailure.value(); }

private:
    TWriteResult() = default;

    std::optional<TWriteFailure> FFailure;
};
