#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The text half of the private-profile functions: a profile file's bytes read as sections and
// keys, and a key set in them, by the rules file/PrivateProfile.h describes.
//
// The bytes are walked in code units of their encoding (bytes for UTF-8, byte pairs for UTF-16)
// so that edits splice new bytes in and leave all others untouched, even bytes that are not
// valid text. All offsets are byte offsets into the whole file.
class TProfileText {
public:
    explicit TProfileText(const QByteArray& bytes);

    std::optional<QString> Value(const QString& section, const QString& key) const;
    // The file's bytes with the key set.
    QByteArray WithValue(const QString& section, const QString& key, const QString& value) const;

private:
    enum class Encoding { Utf8, Utf16Le, Utf16Be };

    // One line of the file as byte offsets: where it starts, where its text ends (before its
    // line end) and where the next line starts.
    struct Line {
        qsizetype begin = 0;
        qsizetype contentEnd = 0;
        qsizetype end = 0;

        bool HasTerminator() const { return end > contentEnd; }
    };

    // Where a key stands in the file, or where it would have to go.
    struct KeyPlace {
        std::optional<Line> key;
        // Where the name ends: at "=", or for a bare name just after its last non-blank
        // character.
        qsizetype nameEnd = 0;
        bool bare = false;
        // The header or the last line with content of the section: a new key goes after it.
        std::optional<Line> anchor;
        // The file's last line; only looked for when the section is missing.
        std::optional<Line> lastLine;
    };

    qsizetype UnitSize() const { return FEncoding == Encoding::Utf8 ? 1 : 2; }
    char16_t UnitAt(qsizetype offset) const;
    qsizetype Find(char16_t unit, qsizetype from, qsizetype to) const;
    qsizetype FindLast(char16_t unit, qsizetype from, qsizetype to) const;
    qsizetype FindLineEnd(qsizetype from) const;
    qsizetype SkipBlanks(qsizetype from, qsizetype to) const;
    qsizetype TrimEnd(qsizetype from, qsizetype to) const;
    QString Decode(qsizetype begin, qsizetype end) const;
    QString DecodeName(qsizetype begin, qsizetype end) const;
    QByteArray Encode(const QString& text) const;

    std::optional<Line> LineAt(qsizetype begin) const;
    bool IsBlankLine(const Line& line) const;
    QByteArray LineEnd() const;
    std::optional<QString> SectionName(qsizetype first, const Line& line) const;
    KeyPlace Locate(const QString& section, const QString& key) const;
    QByteArray Spliced(qsizetype begin, qsizetype end, const QByteArray& insert) const;

    QByteArray FBytes;
    Encoding FEncoding = Encoding::Utf8;
    qsizetype FBodyBegin = 0;
    qsizetype FBodyEnd = 0;
};

// A section or key name as the file's rules compare it: without the blanks around it.
QString TrimBlanks(const QString& text);

// Whether a section, a key (both trimmed) and a value can be written as one line of a file
// without changing how any other line reads: the section neither empty nor holding "]", the
// key neither empty nor holding "=" nor starting like a header or a comment, and no line break
// or NUL in any of the three.
bool IsWritableEntry(const QString& section, const QString& key, const QString& value);
