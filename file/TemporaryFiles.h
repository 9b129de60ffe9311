#pragma once

#include <QByteArray>

#include <sys/types.h>

// A write names its temporary file after the file it replaces, with the tag ".varnotel-" and
// twelve letters or digits after it: six that spell the temporary file's inode number, six that
// spell the inode number of the file it replaces (its own again for a new file). Whichever of
// the two a killed write left under that name, the new file before the swap or the old one
// after it, its name spells its own inode. The write holds a lock on it from before it has that
// name until after the rename. A long name gives only its beginning, so that the temporary name
// fits the file system's 255 bytes.

// The name of a temporary file of inode that replaces the file target of inode replaced.
QByteArray TemporaryName(const QByteArray& target, ino_t inode, ino_t replaced);

// A temporary name for target with letters at random, for when the one the inodes spell is taken.
QByteArray RandomTemporaryName(const QByteArray& target);

// Removes the temporary files that our own writes of the file name in folder (a folder opened
// for reading) left behind when they were killed, and nothing else: not another user's file,
// nor one of ours that only looks like a temporary file.
void RemoveStaleTemporaries(int folder, const QByteArray& name);
