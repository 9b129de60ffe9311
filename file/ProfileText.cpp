#include "file/ProfileText.h"

#include "file/Utf8Decoding.h"

#include <algorithm>
#include <cstring>

namespace {

// Ctrl-Z, the end mark of files written by DOS-era tools, counts as a blank wherever it stands.
bool IsBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\v' || unit == u'\f' || unit == u'\x1a';
}

bool SameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

bool HasLineBreakOrNul(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(u'\0'));
}

} // namespace

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin].unicode()))
        ++begin;
    while (end > begin && IsBlank(text[end - 1].unicode()))
        --end;
    return text.mid(begin, end - begin);
}

bool IsWritableEntry(const QString& section, const QString& key, const QString& value) {
    return !section.isEmpty() && !section.contains(u']') && !HasLineBreakOrNul(section) &&
           !key.isEmpty() && !key.contains(u'=') && !HasLineBreakOrNul(key) &&
           !key.startsWith(u'[') && !key.startsWith(u';') && !key.startsWith(u'#') &&
           !HasLineBreakOrNul(value);
}

// A UTF-32 byte-order mark is read as Windows reads it: FF FE 00 00 as the mark of UTF-16 little
// endian followed by a NUL, 00 00 FE FF as no mark at all. Either way every line of the rest then
// starts with the upper bytes of a character (a NUL for any character below U+10000), never with
// a blank, a bracket or a name: no header and no key is found, and new sections go after the
// rest, in UTF-16 or in 8-bit text.
TProfileText::TProfileText(const QByteArray& bytes) : FBytes(bytes) {
    if (bytes.startsWith("\xFF\xFE")) {
        FEncoding = Encoding::Utf16Le;
        FBodyBegin = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        FEncoding = Encoding::Utf16Be;
        FBodyBegin = 2;
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        FBodyBegin = 3;
    }
    // A stray last byte of a UTF-16 file belongs to no character; the walk stops before it.
    FBodyEnd = FBodyBegin + (FBytes.size() - FBodyBegin) / UnitSize() * UnitSize();
}

char16_t TProfileText::UnitAt(qsizetype offset) const {
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
qsizetype TProfileText::Find(char16_t unit, qsizetype from, qsizetype to) const {
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
qsizetype TProfileText::FindLast(char16_t unit, qsizetype from, qsizetype to) const {
    for (qsizetype i = to - UnitSize(); i >= from; i -= UnitSize())
        if (UnitAt(i) == unit)
            return i;
    return to;
}

// The offset of the first CR or LF from from on, or the end of the text.
qsizetype TProfileText::FindLineEnd(qsizetype from) const {
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

qsizetype TProfileText::SkipBlanks(qsizetype from, qsizetype to) const {
    while (from < to && IsBlank(UnitAt(from)))
        from += UnitSize();
    return from;
}

qsizetype TProfileText::TrimEnd(qsizetype from, qsizetype to) const {
    while (to > from && IsBlank(UnitAt(to - UnitSize())))
        to -= UnitSize();
    return to;
}

QString TProfileText::Decode(qsizetype begin, qsizetype end) const {
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
QString TProfileText::DecodeName(qsizetype begin, qsizetype end) const {
    begin = SkipBlanks(begin, end);
    return Decode(begin, Find(u'\0', begin, TrimEnd(begin, end)));
}

QByteArray TProfileText::Encode(const QString& text) const {
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
std::optional<TProfileText::Line> TProfileText::LineAt(qsizetype begin) const {
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

bool TProfileText::IsBlankLine(const Line& line) const {
    return SkipBlanks(line.begin, line.contentEnd) == line.contentEnd;
}

// New lines end the way the file's first line does, so a CRLF file stays CRLF and a file with
// CR line ends stays one.
QByteArray TProfileText::LineEnd() const {
    const std::optional<Line> first = LineAt(FBodyBegin);
    if (!first || !first->HasTerminator())
        return Encode(QStringLiteral("\n"));
    return FBytes.mid(first->contentEnd, first->end - first->contentEnd);
}

// The name of the section that a line starting with "[" at first opens: what stands between
// it and the line's last "]". Without a "]" the line is no header.
std::optional<QString> TProfileText::SectionName(qsizetype first, const Line& line) const {
    const qsizetype nameBegin = first + UnitSize();
    const qsizetype close = FindLast(u']', nameBegin, line.contentEnd);
    if (close == line.contentEnd)
        return std::nullopt;
    return DecodeName(nameBegin, close);
}

// One pass from the top that stops at the first key of that name in the first section of that
// name, or at the header after that section. Lines before the first header form the unnamed
// section.
TProfileText::KeyPlace TProfileText::Locate(const QString& section, const QString& key) const {
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
QByteArray TProfileText::Spliced(qsizetype begin, qsizetype end, const QByteArray& insert) const {
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
std::optional<QString> TProfileText::Value(const QString& section, const QString& key) const {
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

QByteArray TProfileText::WithValue(const QString& section, const QString& key,
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
