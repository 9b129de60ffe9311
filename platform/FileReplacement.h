#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/stat.h>

// Puts bytes in the place of the file fileName, whose status was previous when its content was
// read, or creates it when previous is empty. A symbolic link stays a link and its target gets
// the bytes.
//
// The bytes go into a temporary file beside the file, reach the disk, and the temporary file is
// renamed over the file: a full disk or a crash leaves the old file whole. The new file keeps the
// old one's permission bits and, where the caller may give them away, its owner and group; the
// set-group-ID bit stays wherever the group does.
//
// A file that the directory will not let us replace (no new file may be made there, or a
// sticky directory protects someone else's file) and a file with more than one hard link are
// written in place instead, which is not atomic; a full disk still leaves them as they were.
//
// Each write first removes the temporary files that writes of the same file left behind when
// they were killed.
//
// Returns false when the bytes could not be written; the file is then as it was.
bool ReplaceFileContent(const QString& fileName, const QByteArray& bytes,
                        const std::optional<struct stat>& previous);
