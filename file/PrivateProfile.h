#pragma once

#include "file/WriteFailure.h"

#include <QString>

// Our own private-profile (INI) functions, reading and writing a file as Windows' own do. This
// is their file half: the file found, locked, read and put in place; the text half, which reads
// and edits the bytes, is file/ProfileText.h.
//
// File layout: "[section]" header lines, then "key=value" lines. A header names what stands
// between its "[" and the line's last "]"; a line that starts with "[" and has no "]" is no
// header. Lines before the first header form the unnamed section, read with an empty section
// name. Section and key names match without regard to letter case or to blanks (spaces, tabs,
// vertical tabs, form feeds, Ctrl-Z) around them; a name in the file ends at its first NUL, and
// blanks before that NUL stay part of it. Blanks around a value are dropped, a value ends at
// its first NUL, and one pair of matching quotes (" or ') around it is dropped. Lines whose
// first non-blank character is ";" or "#" are comments. Any other line without "=" is a bare
// key name: it reads as missing and hides later lines of that name, and a write to that key
// adds "=" and the value to it. Only the first section of a name, and only the first key of a
// name within it, count, for reading and for writing alike.
//
// Encodings: UTF-8 with or without a byte-order mark, and UTF-16 (little or big endian) with
// its byte-order mark; a stray last byte of a UTF-16 file belongs to no line and is kept. Bytes
// that are not a whole UTF-8 character read as Windows reads them: with a mark, as U+FFFD;
// without one, each byte as its character in Windows-1252, the ANSI code page of Western
// Windows ("1\xE9" is "1é"). A byte-order mark after the first is a character of the name or
// value it stands in. A file that starts with a UTF-32 mark reads as Windows reads it, as UTF-16
// little endian (FF FE 00 00) or as 8-bit text (00 00 FE FF), in which no key is found; writes
// add their sections after it. Lines end with LF, CR LF, CR CR LF or a lone CR; new lines end as
// the file's first line does. Files larger than MaxProfileFileSize are not parsed: every key of
// such a file reads as its default and every write to it fails.

inline constexpr qint64 MaxProfileFileSize = qint64(64) * 1024 * 1024;

// The value text of key in section, at most size - 1 characters, or def (cut to the same
// length) when the file, the section or the key is missing or the file cannot be read. The
// file is read under its lock, shared with other readers, so that no write is seen half done;
// a writer that holds it for seconds makes the read give def. Reports no error.
QString GetPrivateProfileString(const QString& section, const QString& key, const QString& def,
                                int size, const QString& fileName);

// Sets key in section to value and leaves every other byte of the file as it was. A key
// already present keeps its line; a missing key goes after the last key line of its section;
// a missing section goes at the end of the file; a missing file is created (UTF-8, LF line
// ends). Text that would end right before the stray last byte of a UTF-16 file gets a line
// end, so that the byte cannot join it. The name is resolved once, as the kernel follows it
// (see HoldPlace), and the file stays locked from the read to the replacement, so that two
// writers never lose each other's keys, whichever names they reach the file by (see
// OpenLockedFile). The file is replaced whole, keeping its
// owner, group, permissions, access control list and other attributes as far as the caller
// may, or written in place where it cannot or must not be replaced (see ReplaceFileContent).
//
// With all three of section, key and value null, this is a flush request: the file and the
// folder it is in are synced to disk, the temporary files that our killed writes of the file
// left there are removed, and the next read or write waits again for a lock held elsewhere.
//
// Fails, having written nothing, and names the step that stopped it and the error (see
// TWriteFailure), when the file is read-only (no write permission for the caller, or no write
// bit at all), not a regular file or too large; the file is missing and its directory takes no
// new file; the disk is full; a name or the value contains a line break or NUL; a key name
// contains "=" or starts like a header or comment; a section name is empty or contains "]"; or
// only some of the three arguments are null. It also fails when a link on the way may not be
// followed, when the file was changed for another while it was written, or when another held
// the file's lock for seconds (or had held it so earlier in the same save).
TWriteResult WritePrivateProfileString(const QString* section, const QString* key,
                                       const QString* value, const QString& fileName);
