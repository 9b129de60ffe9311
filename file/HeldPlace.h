#pragma once

#include "file/FileDescriptor.h"
#include "file/OrError.h"

#include <QByteArray>
#include <QString>

// A file is found once and then held: its name is resolved through the kernel, the folder that
// holds the file is kept open, and every later step works relative to that folder, so that no
// step can be sent elsewhere by a name that changed in between.

// The folder that holds the file a name leads to, and the file's name in that folder. The
// folder is held by a descriptor that only locates it (O_PATH); the file may not exist yet.
struct THeldPlace {
    TFileDescriptor Folder;
    QByteArray Name;
};

// Resolves fileName the way the kernel does: component by component from the working folder (or
// the root), ".." to the parent of the folder actually reached, every symbolic link read from
// the link itself and followed, at most 40 of them. A link in a sticky world-writable folder is
// followed only when it belongs to us or to the folder's owner, as the kernel's protected
// symlinks rule has it, whether or not the kernel applies that rule. Fails, with the error the
// kernel gives for it, when the name leads nowhere a file could be: a folder on the way is
// missing or cannot be searched (ENOENT, ENOTDIR, EACCES), the name ends in a folder (EISDIR),
// too many links (ELOOP) or one that may not be followed (EACCES), an empty name or one with a
// NUL (EINVAL).
TOrError<THeldPlace> HoldPlace(const QString& fileName);

// The held folder opened for reading, which its sync and the look at its entries need; not open
// when the folder cannot be read.
TFileDescriptor OpenFolder(const THeldPlace& place);
