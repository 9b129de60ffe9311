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

// Windows-1252, the ANSI code page of Western Windows, from 0x80 to 0x9F; above that it is
// Latin-1. The five bytes the code page leaves free read as the C1 controls of the same number,
// as Windows reads them.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t AnsiCharacter(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? Windows1252High[byte - 0x80] : char16_t(byte);
}

// One step of a UTF-8 walk: a whole character, or bytes that are none.
struct Utf8Step {
    char32_t character = 0;
    qsizetype length = 1;
    bool whole = false;
};

// Once the first continuation byte is in, the top bits of a three- or four-byte character are
// known: too long a form, a surrogate or a value above U+10FFFF shows already.
bool RuledOut(char32_t top, int following) {
    if (following == 2)
        return top < 0x20 || (top >= 0x360 && top < 0x380);
    return following == 3 && (top < 0x10 || top >= 0x110);
}

// The character that starts at bytes[0], taken as Windows' UTF-8 decoder takes it: a lead byte
// takes continuation bytes for as long as they can still make a character. Where they stop
// doing so, the bytes taken, the one that ruled the character out included, are one piece that
// is no character; a byte that starts nothing is one on its own.
Utf8Step NextUtf8(const unsigned char* bytes, qsizetype size) {
    const unsigned char lead = bytes[0];
    if (lead < 0x80)
        return {lead, 1, true};
    int following = 0;
    char32_t character = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        following = 1;
        character = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        following = 2;
        character = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        following = 3;
        character = lead & 0x07;
    } else {
        return {};
    }
    qsizetype length = 1;
    for (int i = 0; i < following; ++i) {
        if (length == size || (bytes[length] & 0xC0) != 0x80)
            return {0, length, false};
        character = character << 6 | (bytes[length++] & 0x3F);
        if (i == 0 && RuledOut(character, following))
            return {0, length, false};
    }
    return {character, length, true};
}

// A file with a UTF-8 mark is read as Windows reads UTF-8: a piece that is no character reads as
// U+FFFD. A file without a mark Windows reads in its ANSI code page, every byte a character of its
// own; we read it as UTF-8 where its bytes are UTF-8, so that the files we write (UTF-8 without a
// mark) read back as written, and every byte that is not part of a whole character as Windows
// reads it. So a name or value with such a byte in it matches and converts where it would on
// Windows and nowhere else, and a write never lands in a line that Windows takes for another
// key. A byte-order mark inside the file is a character like any other: it is part of the name
// or the value it starts.
QString DecodeUtf8(QByteArrayView bytes, bool marked) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    // Stretches of whole characters go through Qt's decoder, which is fast and reads them as we
    // always have; only the pieces between them are ours.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    QString text;
    qsizetype stretch = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        if (data[i] < 0x80) {
            ++i;
            continue;
        }
        const Utf8Step step = NextUtf8(data + i, bytes.size() - i);
        if (step.whole) {
            i += step.length;
            continue;
        }
        text += utf8(bytes.sliced(stretch, i - stretch));
        if (marked) {
            text += QChar::ReplacementCharacter;
            i += step.length;
        } else {
            // Only this byte: the next one may start a character of its own.
            text += QChar(AnsiCharacter(data[i]));
            ++i;
        }
        stretch = i;
    }
    if (stretch == 0)
        return utf8(bytes);
    return text + utf8(bytes.sliced(stretch));
}

QString ProfileText::Decode(qsizetype begin, qsizetype end) const {
    if (FEncoding == Encoding::Utf8) {
        const bool marked = FBodyBegin > 0;
        return DecodeUtf8(QByteArrayView(FBytes.constData() + begin, end - begin), marked);
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
