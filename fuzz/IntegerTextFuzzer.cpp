// Any text through the conversion that the value boxes and the curve file share, checked against
// the forms it accepts, written down here a second way: as a pattern, with the range checked on
// the count of significant digits.
//
// The input is the text in UTF-8; after a first NUL byte, the rest is taken as raw UTF-16 code
// units instead, so that pasted text of any kind (lone surrogates, NULs) is tried too.

#include "core/IntegerText.h"
#include "fuzz/CpuBudget.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

QString TextOf(const std::uint8_t* data, std::size_t size) {
    if (size > 0 && data[0] == 0) {
        QString text;
        for (std::size_t i = 1; i + 1 < size; i += 2)
            text.append(QChar(static_cast<char16_t>(data[i] | data[i + 1] << 8)));
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

bool IsAscii(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

// Spaces, at most one sign, then decimal digits or a hexadecimal prefix ("$", "x", "X", "0x",
// "0X") and hexadecimal digits, and nothing more. Decimal text within the signed 32-bit range;
// hexadecimal text of at most 8 significant digits, taken as a 32-bit pattern that the minus
// sign negates.
std::optional<std::int32_t> Expected(const QString& text) {
    // Every accepted form is ASCII; the pattern is given nothing else.
    if (!IsAscii(text))
        return std::nullopt;
    static const QRegularExpression form(
        QStringLiteral(R"(\A *([+-]?)(?:([0-9]+)|(?:\$|[xX]|0[xX])([0-9A-Fa-f]+))\z)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const bool negative = match.captured(1) == u"-";
    const bool decimal = match.hasCaptured(2);
    QString digits = match.captured(decimal ? 2 : 3);
    while (digits.size() > 1 && digits.front() == u'0')
        digits.remove(0, 1);

    if (decimal) {
        if (digits.size() > 10)
            return std::nullopt;
        const long long magnitude = digits.toLongLong();
        const long long value = negative ? -magnitude : magnitude;
        if (value < INT32_MIN || value > INT32_MAX)
            return std::nullopt;
        return static_cast<std::int32_t>(value);
    }
    if (digits.size() > 8)
        return std::nullopt;
    std::uint32_t pattern = static_cast<std::uint32_t>(digits.toULongLong(nullptr, 16));
    if (negative)
        pattern = ~pattern + 1;
    return static_cast<std::int32_t>(pattern);
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzzing::TCpuBudget budget;
    const QString text = TextOf(data, size);
    const std::optional<std::int32_t> expected = Expected(text);
    Check(StrToInt(text) == expected);
    for (const std::int32_t fallback : {std::int32_t{0}, std::int32_t{INT32_MIN}, std::int32_t{-7}})
        Check(StrToIntDef(text, fallback) == expected.value_or(fallback));

    // The value's own text is plain decimal and converts back to it.
    if (expected) {
        static const QRegularExpression plain(QStringLiteral(R"(\A-?(0|[1-9][0-9]*)\z)"));
        const QString canonical = IntToStr(*expected);
        Check(plain.match(canonical).hasMatch());
        Check(StrToInt(canonical) == expected);
    }
    return 0;
}
