#pragma once

// What the chart's benchmarks and their peer share: the main window, built without a screen's
// services, and the value that changes from one draw to the next.

#include "bench/BenchPlatform.h"

#include <cstddef>

// Point 7 (curve index 8, at 7000 RPM) swings between 7 and 6 degrees, inside the axes' ranges.
constexpr int EditedPoint = 8;
inline double EditedAdvance(std::size_t frame) {
    return frame % 2 == 0 ? 7 : 6;
}
