#include "platform/PrivateProfile.h"

#include "platform/FileReplacement.h"

#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Ctrl-Z, the end mark of files written by DOS-era tools, counts as a blank wherever it stands.
bool IsBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\v' || unit == u'\f' || unit == u'\x1a';
}

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin].unicode()))
        ++begin;
    while (end > begin && IsBlank(text[end - 1].unicode()))
        --end;
    return text.mid(begin, end - begin);
}

bool SameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

bool HasLineBreakOrNul(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(u'\0'));
}

enum class Encoding { Utf8, Utf16Le, Utf16Be };

// One line of the file as byte offsets: where it starts, where its text ends (before its line
// end) and where the next line starts.
struct Line {
    qsizetype begin = 0;
    qsizetype contentEnd = 0;
    qsizetype end = 0;

    bool HasTerminator() const { return end > contentEnd; }
};

// Where a key stands in the file, or where it would have to go.
struct KeyPlace {
    std::optional<Line> key;
    // Where the name ends: at "=", or for a bare name just after its last non-blank character.
    qsizetype nameEnd = 0;
    bool bare = false;
    // The header or the last line with content of the section: a new key goes after it.
    std::optional<Line> anchor;
    // The file's last line; only looked for when the section is missing.
    std::optional<Line> lastLine;
};

// The bytes of a profile file, walked in code units of its encoding (bytes for UTF-8, byte
// pairs for UTF-16) so that edits splice new bytes in and leave all others untouched, even
// bytes that are not valid text. All offsets are byte offsets into the whole file.
class ProfileText {
public:
    static std::optional<ProfileText> FromBytes(const QByteArray& bytes);

    std::optional<QString> Value(const QString& section, const QString& key) const;
    // The file's bytes with the key set, or nothing when the file cannot be edited safely.
    std::optional<QByteArray> WithValue(const QString& section, const QString& key,
                                        const QString& value) const;

private:
    ProfileText(const QByteArray& bytes, Encoding encoding, qsizetype bodyBegin);

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
    Encoding FEncoding;
    qsizetype FBodyBegin;
    qsizetype FBodyEnd;
};

bool StartsWith(const QByteArray& bytes, std::initializer_list<unsigned char> prefix) {
    if (bytes.size() < qsizetype(prefix.size()))
        return false;
    qsizetype i = 0;
    for (unsigned char b : prefix)
        if (static_cast<unsigned char>(bytes[i++]) != b)
            return false;
    return true;
}

// A UTF-32 byte-order mark is read as Windows reads it: FF FE 00 00 as the mark of UTF-16 little
// endian followed by a NUL, 00 00 FE FF as no mark at all. Either way every line of the rest then
// starts with the upper bytes of a character (a NUL for any character below U+10000), never with
// a blank, a bracket or a name: no header and no key is found, and new sections go after the
// rest, in UTF-16 or in 8-bit text.
std::optional<ProfileText> ProfileText::FromBytes(const QByteArray& bytes) {
    if (StartsWith(bytes, {0xFF, 0xFE}))
        return ProfileText(bytes, Encoding::Utf16Le, 2);
    if (StartsWith(bytes, {0xFE, 0xFF}))
        return ProfileText(bytes, Encoding::Utf16Be, 2);
    if (StartsWith(bytes, {0xEF, 0xBB, 0xBF}))
        return ProfileText(bytes, Encoding::Utf8, 3);
    return ProfileText(bytes, Encoding::Utf8, 0);
}

ProfileText::ProfileText(const QByteArray& bytes, Encoding encoding, qsizetype bodyBegin)
    : FBytes(bytes), FEncoding(encoding), FBodyBegin(bodyBegin) {
    // A stray last byte of a UTF-16 file belongs to no character; the walk stops before it.
    FBodyEnd = FBodyBegin + (FBytes.size() - FBodyBegin) / UnitSize() * UnitSize();
}

char16_t ProfileText::UnitAt(qsizetype offset) const {
    const auto byte = [this](qsizetype i) { return static_cast<unsigned char>(FBytes[i]); };
    switch (FEncoding) {
    case Encoding::Utf8:
        return byte(offset);
    case Encoding::Utf16Le:
        return static_cast<char16_t>(byte(offset) | byte(offset + 1) << 8);
    case Encoding::Utf16Be:
        return static_cast<char16_t>(byte(offset) << 8 | byte(offset + 1));
    }
    return 0;
}

// The offset of the first unit equal to unit in [from, to), or to.
qsizetype ProfileText::Find(char16_t unit, qsizetype from, qsizetype to) const {
    if (FEncoding == Encoding::Utf8) {
        // The units we look for are ASCII, which never occurs inside a UTF-8 sequence.
        const char* begin = FBytes.constData() + from;
        const void* hit = std::memchr(begin, unit, static_cast<std::size_t>(to - from));
        return hit ? from + (static_cast<const char*>(hit) - begin) : to;
    }
    for (qsizetype i = from; i < to; i += 2)
        if (UnitAt(i) == unit)
            return i;
    return to;
}

// The offset of the last unit equal to unit in [from, to), or to.
qsizetype ProfileText::FindLast(char16_t unit, qsizetype from, qsizetype to) const {
    for (qsizetype i = to - UnitSize(); i >= from; i -= UnitSize())
        if (UnitAt(i) == unit)
            return i;
    return to;
}

// The offset of the first CR or LF from from on, or the end of the text.
qsizetype ProfileText::FindLineEnd(qsizetype from) const {
    if (FEncoding == Encoding::Utf8) {
        const char* bytes = FBytes.constData();
        const auto isLineEnd = [](char c) { return c == '\n' || c == '\r'; };
        return std::find_if(bytes + from, bytes + FBodyEnd, isLineEnd) - bytes;
    }
    for (qsizetype i = from; i < FBodyEnd; i += UnitSize()) {
        const char16_t unit = UnitAt(i);
        if (unit == u'\n' || unit == u'\r')
            return i;
    }
    return FBodyEnd;
}

qsizetype ProfileText::SkipBlanks(qsizetype from, qsizetype to) const {
    while (from < to && IsBlank(UnitAt(from)))
        from += UnitSize();
    return from;
}

qsizetype ProfileText::TrimEnd(qsizetype from, qsizetype to) const {
    while (to > from && IsBlank(UnitAt(to - UnitSize())))
        to -= UnitSize();
    return to;
}

// A byte-order mark inside the file is a character like any other: it is part of the name or the
// value it starts.
QString ProfileText::Decode(qsizetype begin, qsizetype end) const {
    if (FEncoding == Encoding::Utf8) {
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return decoder(QByteArrayView(FBytes.constData() + begin, end - begin));
    }
    QString text(static_cast<qsizetype>((end - begin) / 2), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(UnitAt(begin + 2 * i));
    return text;
}

// A name is what stands between its first and last non-blank characters, up to its first NUL:
// the blanks before a NUL stay.
QString ProfileText::DecodeName(qsizetype begin, qsizetype end) const {
    begin = SkipBlanks(begin, end);
    return Decode(begin, Find(u'\0', begin, TrimEnd(begin, end)));
}

QByteArray ProfileText::Encode(const QString& text) const {
    if (FEncoding == Encoding::Utf8)
        return text.toUtf8();
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (QChar c : text) {
        const char low = static_cast<char>(c.unicode() & 0xFF);
        const char high = static_cast<char>(c.unicode() >> 8);
        bytes.append(FEncoding == Encoding::Utf16Le ? low : high);
        bytes.append(FEncoding == Encoding::Utf16Le ? high : low);
    }
    return bytes;
}

// A line ends at LF, CR LF, CR CR LF (a CRLF file converted once more) or a CR on its own, as
// Windows reads such files: no value keeps a CR, and a file with CR line ends has many lines.
std::optional<Line> ProfileText::LineAt(qsizetype begin) const {
    if (begin >= FBodyEnd)
        return std::nullopt;
    const qsizetype contentEnd = FindLineEnd(begin);
    Line line{begin, contentEnd, contentEnd};
    if (contentEnd == FBodyEnd)
        return line;
    const auto isAt = [this](qsizetype offset, char16_t unit) {
        return offset < FBodyEnd && UnitAt(offset) == unit;
    };
    const qsizetype u = UnitSize();
    if (isAt(contentEnd, u'\r') && isAt(contentEnd + u, u'\n'))
        line.end = contentEnd + 2 * u;
    else if (isAt(contentEnd, u'\r') && isAt(contentEnd + u, u'\r') &&
             isAt(contentEnd + 2 * u, u'\n'))
        line.end = contentEnd + 3 * u;
    else
        line.end = contentEnd + u;
    return line;
}

bool ProfileText::IsBlankLine(const Line& line) const {
    return SkipBlanks(line.begin, line.contentEnd) == line.contentEnd;
}

// New lines end the way the file's first line does, so a CRLF file stays CRLF and a file with
// CR line ends stays one.
QByteArray ProfileText::LineEnd() const {
    const std::optional<Line> first = LineAt(FBodyBegin);
    if (!first || !first->HasTerminator())
        return Encode(QStringLiteral("\n"));
    return FBytes.mid(first->contentEnd, first->end - first->contentEnd);
}

// The name of the section that a line starting with "[" at first opens: what stands between
// it and the line's last "]". Without a "]" the line is no header.
std::optional<QString> ProfileText::SectionName(qsizetype first, const Line& line) const {
    const qsizetype nameBegin = first + UnitSize();
    const qsizetype close = FindLast(u']', nameBegin, line.contentEnd);
    if (close == line.contentEnd)
        return std::nullopt;
    return DecodeName(nameBegin, close);
}

// One pass from the top that stops at the first key of that name in the first section of that
// name, or at the header after that section. Lines before the first header form the unnamed
// section.
KeyPlace ProfileText::Locate(const QString& section, const QString& key) const {
    KeyPlace place;
    bool inSection = section.isEmpty();
    for (std::optional<Line> line = LineAt(FBodyBegin); line; line = LineAt(line->end)) {
        place.lastLine = line;
        const qsizetype first = SkipBlanks(line->begin, line->contentEnd);
        if (first == line->contentEnd)
            continue;
        const char16_t lead = UnitAt(first);
        if (lead == u';' || lead == u'#')
            continue;
        if (lead == u'[') {
            if (const std::optional<QString> name = SectionName(first, *line)) {
                if (inSection)
                    break;
                inSection = SameName(*name, section);
                if (inSection)
                    place.anchor = line;
                continue;
            }
        }
        if (!inSection)
            continue;
        place.anchor = line;
        const qsizetype equals = Find(u'=', first, line->contentEnd);
        const qsizetype nameEnd = TrimEnd(first, equals);
        if (SameName(DecodeName(first, nameEnd), key)) {
            place.key = line;
            place.bare = equals == line->contentEnd;
            place.nameEnd = place.bare ? nameEnd : equals;
            break;
        }
    }
    return place;
}

// A stray last byte of a UTF-16 file stays last; when new text would end right before it, a line
// end goes between them, so that the byte cannot join the last value.
QByteArray ProfileText::Spliced(qsizetype begin, qsizetype end, const QByteArray& insert) const {
    QByteArray bytes;
    bytes.reserve(FBytes.size() - (end - begin) + insert.size() + 3 * UnitSize());
    bytes.append(FBytes.constData(), begin);
    bytes.append(insert);
    if (end == FBodyEnd && FBodyEnd != FBytes.size() && !insert.endsWith(LineEnd()))
        bytes.append(LineEnd());
    bytes.append(FBytes.constData() + end, FBytes.size() - end);
    return bytes;
}

// A bare name has no value: it reads as missing, and it hides any later line of that name.
// A value ends at its first NUL; the blanks before a NUL stay.
std::optional<QString> ProfileText::Value(const QString& section, const QString& key) const {
    const KeyPlace place = Locate(section, key);
    if (!place.key || place.bare)
        return std::nullopt;
    qsizetype begin = SkipBlanks(place.nameEnd + UnitSize(), place.key->contentEnd);
    qsizetype end = Find(u'\0', begin, TrimEnd(begin, place.key->contentEnd));
    if (end - begin >= 2 * UnitSize()) {
        const char16_t open = UnitAt(begin);
        if ((open == u'"' || open == u'\'') && UnitAt(end - UnitSize()) == open) {
            begin += UnitSize();
            end -= UnitSize();
        }
    }
    return Decode(begin, end);
}

std::optional<QByteArray> ProfileText::WithValue(const QString& section, const QString& key,
                                                 const QString& value) const {
    const KeyPlace place = Locate(section, key);
    if (place.key && place.bare)
        return Spliced(place.nameEnd, place.key->contentEnd, Encode(QStringLiteral("=") + value));
    if (place.key) {
        // Blanks after "=" stay, so "Key = 5" becomes "Key = 7".
        const qsizetype begin = SkipBlanks(place.nameEnd + UnitSize(), place.key->contentEnd);
        return Spliced(begin, place.key->contentEnd, Encode(value));
    }
    const QByteArray entry = Encode(key + QStringLiteral("=") + value);
    if (place.anchor) {
        const Line& anchor = *place.anchor;
        const QByteArray insert = anchor.HasTerminator() ? entry + LineEnd() : LineEnd() + entry;
        return Spliced(anchor.end, anchor.end, insert);
    }
    // A new section goes at the end, after a blank line that keeps the sections apart.
    QByteArray tail;
    if (place.lastLine) {
        if (!place.lastLine->HasTerminator())
            tail += LineEnd();
        if (!IsBlankLine(*place.lastLine))
            tail += LineEnd();
    }
    tail +=
        Encode(QStringLiteral("[") + section + QStringLiteral("]")) + LineEnd() + entry + LineEnd();
    return Spliced(FBodyEnd, FBodyEnd, tail);
}

// Only regular files are read: a FIFO or a device could block or never end.
std::optional<QByteArray> ReadRegularFile(const TOpenedFile& file) {
    if (file.Status.st_size > MaxProfileFileSize)
        return std::nullopt;
    return ReadWholeFile(file.File.Get(), file.Status.st_size, MaxProfileFileSize);
}

std::optional<ProfileText> ReadProfile(const QString& fileName) {
    const std::optional<THeldPlace> place = HoldPlace(fileName);
    if (!place)
        return std::nullopt;
    // Read under the file's lock, so that a write in place is never seen half done.
    const TOpenResult opened = OpenLockedFile(*place, O_RDONLY);
    if (!opened.File)
        return std::nullopt;
    const std::optional<QByteArray> bytes = ReadRegularFile(*opened.File);
    if (!bytes)
        return std::nullopt;
    return ProfileText::FromBytes(*bytes);
}

// A file nobody may write counts as read-only even for root, who would otherwise replace it.
// Our own right to write it was checked when it was opened for writing.
bool IsWritable(const struct stat& status) {
    const mode_t anyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
    return (status.st_mode & anyWrite) != 0;
}

struct ExistingFile {
    QByteArray bytes;
    // Open for reading and writing; none for a file not yet there.
    std::optional<TOpenedFile> file;
};

// The current content of a file about to be written, locked until it is written, empty for a
// file not yet there, or nothing when the file must not be written.
std::optional<ExistingFile> ReadForUpdate(const THeldPlace& place) {
    TOpenResult opened = OpenLockedFile(place, O_RDWR);
    if (opened.Outcome == TOpenOutcome::Absent)
        return ExistingFile{};
    if (!opened.File || !IsWritable(opened.File->Status))
        return std::nullopt;
    std::optional<QByteArray> bytes = ReadRegularFile(*opened.File);
    if (!bytes)
        return std::nullopt;
    return ExistingFile{std::move(*bytes), std::move(opened.File)};
}

// Each write already reaches the disk before its rename; syncing the folder of the file makes
// the renames themselves durable. A save ends with this request, so this is where the
// temporary files of saves that were killed are looked for: once per save, not once per key.
// A folder we may not read (write and search rights only) can be neither listed nor synced on
// its own; the file system that holds the file is synced whole instead.
bool FlushProfile(const QString& fileName) {
    ForgetLockWaits();
    const std::optional<THeldPlace> place = HoldPlace(fileName);
    if (!place)
        return false;
    const TFileDescriptor folder = OpenFolder(*place);
    if (folder.IsOpen())
        RemoveStaleTemporaries(folder.Get(), place->Name);
    const TOpenResult opened = OpenRegularFile(*place, O_RDONLY);
    bool synced = true;
    if (opened.File)
        synced = ::fsync(opened.File->File.Get()) == 0;
    ReachFileStep(TFileStep::SyncingFolder, place->Folder.Get());
    if (folder.IsOpen())
        return ::fsync(folder.Get()) == 0 && synced;
    return !opened.File || ::syncfs(opened.File->File.Get()) == 0;
}

bool IsValidSection(const QString& section) {
    return !section.isEmpty() && !section.contains(u']') && !HasLineBreakOrNul(section);
}

bool IsValidKey(const QString& key) {
    return !key.isEmpty() && !key.contains(u'=') && !HasLineBreakOrNul(key) &&
           !key.startsWith(u'[') && !key.startsWith(u';') && !key.startsWith(u'#');
}

} // namespace

QString GetPrivateProfileString(const QString& section, const QString& key, const QString& def,
                                int size, const QString& fileName) {
    if (size <= 0)
        return {};
    const std::optional<ProfileText> text = ReadProfile(fileName);
    std::optional<QString> value;
    if (text)
        value = text->Value(TrimBlanks(section), TrimBlanks(key));
    return value.value_or(def).left(size - 1);
}

bool WritePrivateProfileString(const QString* section, const QString* key, const QString* value,
                               const QString& fileName) {
    if (!section && !key && !value)
        return FlushProfile(fileName);
    if (!section || !key || !value)
        return false;
    const QString sectionName = TrimBlanks(*section);
    const QString keyName = TrimBlanks(*key);
    if (!IsValidSection(sectionName) || !IsValidKey(keyName) || HasLineBreakOrNul(*value))
        return false;

    // The file is found once, and stays locked from the read to the replacement, so that two
    // editors saving at once never lose each other's keys. Two editors creating the file at
    // once: the second writes its key again into the file the first made.
    const std::optional<THeldPlace> place = HoldPlace(fileName);
    if (!place)
        return false;
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::optional<ExistingFile> existing = ReadForUpdate(*place);
        if (!existing)
            return false;
        const std::optional<ProfileText> text = ProfileText::FromBytes(existing->bytes);
        if (!text)
            return false;
        const std::optional<QByteArray> updated = text->WithValue(sectionName, keyName, *value);
        if (!updated)
            return false;
        if (existing->file && *updated == existing->bytes)
            return true;
        const TReplaceOutcome outcome =
            ReplaceFileContent(*place, *updated, existing->file ? &*existing->file : nullptr);
        if (outcome != TReplaceOutcome::NameTaken)
            return outcome == TReplaceOutcome::Written;
    }
    return false;
}
