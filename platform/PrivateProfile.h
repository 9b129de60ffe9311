#pragma once

#include <QString>

// Our own private-profile (INI) functions, behaving as the editor expects from the platform's.
//
// File layout: "[section]" header lines, then "key=value" lines. Section and key names match
// without regard to letter case or to blanks (spaces, tabs) around them; blanks around a value
// are dropped and so is one pair of matching quotes (" or ') around it. Lines whose first
// non-blank character is ";" or "#" are comments. A line that is neither a header nor a
// comment and has no "=" is kept but never matches a key. Only the first section of a name,
// and only the first key of a name within it, count, for reading and for writing alike.
//
// Encodings: UTF-8 with or without a byte-order mark, and UTF-16 (little or big endian) with
// its byte-order mark. Lines end with LF or CRLF. Files larger than MaxProfileFileSize are not
// parsed: every key of such a file reads as its default and every write to it fails.

inline constexpr qint64 MaxProfileFileSize = qint64(64) * 1024 * 1024;

// The value text of key in section, at most size - 1 characters, or def (cut to the same
// length) when the file, the section or the key is missing or the file cannot be read.
// Reports no error.
QString GetPrivateProfileString(const QString& section, const QString& key, const QString& def,
                                int size, const QString& fileName);

// Sets key in section to value and leaves every other byte of the file as it was. A key
// already present keeps its line; a missing key goes after the last key line of its section;
// a missing section goes at the end of the file; a missing file is created (UTF-8, LF line
// ends). The file is replaced whole or not at all.
//
// With all three of section, key and value null, this is a flush request: the file and its
// directory are synced to disk.
//
// Returns false when nothing was written: the file is read-only (no write permission for the
// caller, or no write bit at all), not a regular file, too large or in an encoding we cannot
// edit without damage; the directory does not accept the new file; a name or the value
// contains a line break or NUL; a key name contains "=" or starts like a header or comment; a
// section name contains "]"; or only some of the three arguments are null.
bool WritePrivateProfileString(const QString* section, const QString* key, const QString* value,
                               const QString& fileName);
