#pragma once

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
