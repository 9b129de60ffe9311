#pragma once

// Integer pixel arithmetic shared by the axis' mapping, layout and painting: rounding to a
// 32-bit pixel and sums that saturate instead of overflowing.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

// Extended precision just below one hundredth: a percentage that comes to exactly half a
// pixel is rounded down, not to the even neighbour.
inline const long double OneHundredthBelow = std::nextafter(0.01L, 0.0L);

// Round half to even, to a 32-bit pixel; values beyond the 32-bit range saturate. In the
// default rounding mode rint rounds as nearbyint does, without saving and restoring the
// floating-point environment around it, which would cost more than all the rest of a position.
inline int RoundToPixel(long double v) {
    if (std::isnan(v))
        return 0;
    const long double r = std::rintl(v);
    if (r >= static_cast<long double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= static_cast<long double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

inline int SaturateToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

inline int SaturatedSum(int a, int b) {
    return SaturateToInt(static_cast<std::int64_t>(a) + b);
}

inline int SaturatedDifference(int a, int b) {
    return SaturateToInt(static_cast<std::int64_t>(a) - b);
}
