#pragma once

#include <sys/stat.h>

// What a new file takes over from the file it replaces, so that nobody gains or loses a right
// and the file is kept as its owner asked. Each returns 0 when the new file has it, or the error
// number of why it cannot.

// The owner and group where we may give them away: root gives both, a member of the file's
// group gives the group. Otherwise the new file stays ours, as any file we create would be.
void KeepOwner(int fd, const struct stat& previous);

// Exactly the old file's extended attributes, its access control list
// ("system.posix_acl_access") among them; an attribute the new file got from its folder (a
// default access control list) and the old one lacks goes.
int KeepAttributes(int from, int to);

// The old permission bits; the set-group-ID bit only with the group it was set for. With an
// access control list the group bits are its mask, which stays what it was. EPERM when the new
// file would not have exactly these bits.
int KeepMode(int fd, const struct stat& previous);

// The flags of the file itself (chattr) that a user gives a file and that describe how it is to
// be kept: not dumped, no access times, synchronous writes, no compression or copy on write,
// and the like; those the file system keeps for itself (extents, inline data) are not copied.
// Given while the new file is still empty, since some take only then.
int KeepFlags(int from, int to);
