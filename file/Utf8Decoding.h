#pragma once

#include <QByteArrayView>
#include <QString>

// The text of bytes of a UTF-8 profile file, marked says whether the file starts with a
// byte-order mark.
//
// A file with a UTF-8 mark is read as Windows reads UTF-8: a piece that is no character reads as
// U+FFFD. A file without a mark Windows reads in its ANSI code page, every byte a character of its
// own; we read it as UTF-8 where its bytes are UTF-8, so that the files we write (UTF-8 without a
// mark) read back as written, and every byte that is not part of a whole character as Windows
// reads it. So a name or value with such a byte in it matches and converts where it would on
// Windows and nowhere else, and a write never lands in a line that Windows takes for another
// key. A byte-order mark inside the file is a character like any other: it is part of the name
// or the value it starts.
QString DecodeUtf8(QByteArrayView bytes, bool marked);
