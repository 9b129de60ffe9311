#pragma once

#include "platform/HeldFile.h"

#include <QByteArray>

enum class TReplaceOutcome {
    Written,
    // Nothing was written; the file is as it was.
    Failed,
    // The file was to be created, and another file took the name first; nothing changed. The
    // write is to be made again over that file.
    NameTaken,
};

// Puts bytes in the place of the held file, which was previous (opened for reading and writing)
// when its content was read, or creates it when previous is null. Nothing is ever written
// anywhere but at the held place.
//
// The bytes go into a temporary file in the held folder, reach the disk, and the temporary file
// takes the file's name: a crash leaves the old file whole. The temporary file has no name until
// its content is complete, where the file system allows, so a crash before leaves nothing. The file
// replaced must be the file read (same device and inode), and a new file takes a name that is still
// free; otherwise nothing changes and the write fails. The new file keeps the old one's
// permission bits, its access control list and its other extended attributes, its flags (no
// dump, no access times and the like), and, where the caller may give them away, its owner and
// group; the set-group-ID bit stays wherever the group does.
//
// The file itself is written instead, which is not atomic, where it cannot or must not be
// replaced: the folder takes no new file (no right to make one, someone else's file in a sticky
// folder, no free inode or room for a name, names that cannot be removed again in an
// append-only folder), the disk is full, the new file could not carry the old one's attributes
// or flags, or the file has more than one hard link. A disk too full for the new content leaves
// it as it was. previous must be locked for writing, so that no reader sees it half written.
TReplaceOutcome ReplaceFileContent(const THeldPlace& place, const QByteArray& bytes,
                                   const TOpenedFile* previous);

// Removes the temporary files that our own writes of the file name in folder (a folder opened
// for reading) left behind when they were killed, and nothing else: not another user's file,
// nor one of ours that only looks like a temporary file.
void RemoveStaleTemporaries(int folder, const QByteArray& name);
