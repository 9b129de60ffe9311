#include "chart/AxisLabelText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

// |value| as a whole number of thousandths, rounded half away from zero on its 15
// significant decimal digits; "0" when nothing is left.
std::string Thousandths(double value) {
    // 15 significant digits, correctly rounded, as "d.dddddddddddddde+xx".
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf - 1, std::fabs(value),
                                       std::chars_format::scientific, 14);
    *written.ptr = '\0';
    std::string mantissa;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            mantissa.push_back(*p);
    const int exponent = std::atoi(p + 1);
    // value × 1000 = 0.mantissa × 10^(exponent + 4)
    const int point = exponent + 4;
    std::string whole;
    int roundDigit = 0;
    if (point > 0) {
        for (int i = 0; i < point; ++i)
            whole.push_back(i < static_cast<int>(mantissa.size()) ? mantissa[i] : '0');
        if (point < static_cast<int>(mantissa.size()))
            roundDigit = mantissa[point] - '0';
    } else {
        whole = "0";
        if (point == 0)
            roundDigit = mantissa[0] - '0';
    }
    if (roundDigit >= 5) {
        int i = static_cast<int>(whole.size()) - 1;
        for (; i >= 0 && whole[i] == '9'; --i)
            whole[i] = '0';
        if (i >= 0)
            ++whole[i];
        else
            whole.insert(whole.begin(), '1');
    }
    const auto first = whole.find_first_not_of('0');
    return first == std::string::npos ? "0" : whole.substr(first);
}

} // namespace

std::string FormatAxisValue(double value, const TNumberSeparators& separators) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    std::string digits = Thousandths(value);
    if (digits == "0")
        return "0";
    if (digits.size() < 4)
        digits.insert(0, 4 - digits.size(), '0');
    const std::string whole = digits.substr(0, digits.size() - 3);
    std::string fraction = digits.substr(digits.size() - 3);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();

    std::string text = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            text += separators.Thousands;
        text.push_back(whole[i]);
    }
    if (!fraction.empty())
        text += separators.Decimal + fraction;
    return text;
}
