#include "core/IntegerText.h"

namespace {

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool IsDecimalDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

} // namespace

std::optional<std::int32_t> StrToInt(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == QChar(u' '))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QChar(u'+') || text[i] == QChar(u'-'))) {
        negative = text[i] == QChar(u'-');
        ++i;
    }
    if (i >= n)
        return std::nullopt;

    bool hex = false;
    if (text[i] == QChar(u'$') || text[i] == QChar(u'x') || text[i] == QChar(u'X')) {
        hex = true;
        ++i;
    } else if (text[i] == QChar(u'0') && i + 1 < n &&
               (text[i + 1] == QChar(u'x') || text[i + 1] == QChar(u'X'))) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;

    std::uint64_t magnitude = 0;
    if (hex) {
        for (; i < n; ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0)
                return std::nullopt;
            magnitude = magnitude * 16 + static_cast<std::uint64_t>(d);
            if (magnitude > 0xFFFFFFFFull)
                return std::nullopt;
        }
        // The 32-bit pattern, negated with wrap-around when a minus sign stands before it.
        std::uint32_t pattern = static_cast<std::uint32_t>(magnitude);
        if (negative)
            pattern = 0u - pattern;
        return static_cast<std::int32_t>(pattern);
    }

    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    for (; i < n; ++i) {
        if (!IsDecimalDigit(text[i]))
            return std::nullopt;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i].unicode() - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(value);
}

std::int32_t StrToIntDef(const QString& text, std::int32_t def) {
    return StrToInt(text).value_or(def);
}

QString IntToStr(std::int32_t value) {
    return QString::number(value);
}
