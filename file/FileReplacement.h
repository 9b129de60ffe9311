#pragma once

#include "file/HeldPlace.h"
#include "file/RegularFile.h"
#include "file/WriteFailure.h"

#include <QByteArray>

// Puts bytes in the place of the held file, which was previous (opened for reading and writing)
// when its content was read, or creates it when previous is null. Nothing is ever written
// anywhere but at the held place.
//
// The bytes go into a temporary file in the held folder, reach the disk, and the temporary file
// takes the file's name: a crash leaves the old file whole. The temporary file has no name until
// its content is complete, where the file system allows, so a crash before leaves nothing. The file
// replaced must be the file read (same device and inode), and a new file takes a name that is still
// free; otherwise nothing changes and the write fails. The new file keeps what KeptProperties.h
// lists: permission bits, access control list and other extended attributes, flags, and, where
// the caller may give them away, owner and group.
//
// The file itself is written instead, which is not atomic, where it cannot or must not be
// replaced: the folder takes no new file (no right to make one, someone else's file in a sticky
// folder, no free inode or room for a name, names that cannot be removed again in an
// append-only folder), the disk is full, the new file could not carry the old one's attributes
// or flags, or the file has more than one hard link. A disk too full for the new content leaves
// it as it was. previous must be locked for writing, so that no reader sees it half written.
//
// A failure names the step that stopped the write and the error; NameWasTaken tells the one
// after which the write is to be made again.
TWriteResult ReplaceFileContent(const THeldPlace& place, const QByteArray& bytes,
                                const TOpenedFile* previous);

// The file was to be created, and another file took the name first; nothing changed. The write
// is to be made again, over that file.
bool NameWasTaken(const TWriteFailure& failure);
