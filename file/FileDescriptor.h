#pragma once

#include <QByteArray>

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

// The name under which the kernel reaches again the file that fd holds.
QByteArray ProcName(int fd);

// openat(2), again when a signal interrupts it; not open, with errno telling why, on failure.
TFileDescriptor OpenAt(int folder, const char* name, int flags);
