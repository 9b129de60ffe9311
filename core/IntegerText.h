#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The one rule by which the value boxes and the curve file turn text into a 32-bit integer:
// leading blanks (the space character only), at most one sign, then decimal digits or a
// hexadecimal prefix ("$", "x", "X", "0x", "0X") with at least one hex digit, and nothing
// after. Decimal text must fit the signed 32-bit range; hexadecimal text converts while its
// magnitude fits 32 bits and is taken as a 32-bit pattern ("$FFFFFFFF" is -1).
std::optional<std::int32_t> StrToInt(const QString& text);

// StrToInt, or def when the text does not convert.
std::int32_t StrToIntDef(const QString& text, std::int32_t def);

// Decimal text: a minus sign for negatives, no leading zeros, no separators.
QString IntToStr(std::int32_t value);
