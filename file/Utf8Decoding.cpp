#include "file/Utf8Decoding.h"

#include <QStringDecoder>

namespace {

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

} // namespace

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
