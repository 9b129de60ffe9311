#pragma once

// The text of an axis label: a value written with the user's digit grouping and decimal mark.

#include <string>

// The user's number separators used in label texts ("13,000" and "187.5" in English).
struct TNumberSeparators {
    std::string Thousands = ",";
    std::string Decimal = ".";
    bool operator==(const TNumberSeparators&) const = default;
};

// Formats a value as "#,##0.###": digits grouped by threes, up to three decimals without
// trailing zeros, at least one integer digit, a minus sign for negatives.
std::string FormatAxisValue(double value, const TNumberSeparators& separators);
