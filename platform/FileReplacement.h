#pragma once

#include "platform/HeldFile.h"

#include <QByteArray>

// Puts bytes in the place of the held file, which was previous (opened for reading and writing)
// when its content was read, or creates it when previous is null. Nothing is ever written
// anywhere but at the held place.
//
// The bytes go into a temporary file in the held folder, reach the disk, and the temporary file
// takes the file's name: a full disk or a crash leaves the old file whole. The file replaced
// must be the file read (same device and inode), and a new file takes a name that is still
// free; otherwise nothing changes and the write fails. The new file keeps the old one's
// permission bits, its access control list and its other extended attributes, and, where the
// caller may give them away, its owner and group; the set-group-ID bit stays wherever the group
// does.
//
// The file itself is written instead, which is not atomic, where it cannot or must not be
// replaced: the folder takes no new file (no right to make one, someone else's file in a sticky
// folder, no free inode or room for a name), the new file could not carry the old one's
// attributes, or the file has more than one hard link. A full disk still leaves it as it was.
//
// Returns false when the bytes could not be written; the file is then as it was.
bool ReplaceFileContent(const THeldPlace& place, const QByteArray& bytes,
                        const TOpenedFile* previous);

// Removes the temporary files that writes of the file name in folder (a folder opened for
// reading) left behind when they were killed, and nothing else.
void RemoveStaleTemporaries(int folder, const QByteArray& name);
