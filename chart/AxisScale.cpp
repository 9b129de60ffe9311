#include "chart/AxisScale.h"

#include "chart/PixelArithmetic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

constexpr double MinAxisIncrement = 1e-12;

} // namespace

void TAxisScale::CalcMinMax(double& aMin, double& aMax) {
    if (!FOwner)
        return;
    if (FAutomatic || FAutomaticMaximum)
        aMax = FOwner->InternalMinMax(this, false, FHorizontal);
    if (FAutomatic || FAutomaticMinimum)
        aMin = FOwner->InternalMinMax(this, true, FHorizontal);
}

void TAxisScale::AdjustMaxMin() {
    CalcMinMax(FMinimumValue, FMaximumValue);
    IMaximum = FMaximumValue;
    IMinimum = FMinimumValue;
    InternalCalcRange();
    CalcRoundScales();
}

void TAxisScale::InternalCalcRange() {
    IRange = static_cast<double>(static_cast<long double>(IMaximum) - IMinimum);
    IRangeZero = std::fabs(IRange) <= 1e-12;
    IAxisSizeRange =
        IRangeZero ? 0.0 : static_cast<double>(static_cast<long double>(IAxisSize) / IRange);
}

void TAxisScale::CalcRoundScales() {
    if (IAxisSize == 0 || IRangeZero)
        return;
    // Only the top end rounds: up to a whole number of label steps.
    if (!FMaximumRound || !(FAutomatic || FAutomaticMaximum))
        return;
    const double inc = CalcIncrement();
    if (inc == 0)
        return;
    const double q = static_cast<double>(IMaximum / static_cast<long double>(inc));
    IMaximum = static_cast<double>(inc * std::ceil(static_cast<long double>(q)));
    InternalCalcRange();
}

void TAxisScale::InternalCalcPositions() {
    const TRect r = ChartRect();
    const int start = FHorizontal ? r.Left : r.Top;
    const int size = FHorizontal ? r.Width() : r.Height();
    IStartPos = SaturatedSum(start, RoundToPixel(size * OneHundredthBelow * FStartPosition));
    IEndPos = SaturatedSum(start, RoundToPixel(size * OneHundredthBelow * FEndPosition));
    IAxisSize = SaturatedDifference(IEndPos, IStartPos);
    ICenterPos = static_cast<int>((static_cast<std::int64_t>(IStartPos) + IEndPos) / 2);
    InternalCalcRange();
}

void TAxisScale::AdjustMaxMinRect(const TRect& margins) {
    const int a = FHorizontal ? margins.Left : margins.Top;
    const int b = FHorizontal ? margins.Right : margins.Bottom;
    const int s0 = IStartPos;
    const int e0 = IEndPos;
    IStartPos = SaturatedSum(s0, a);
    IEndPos = SaturatedDifference(e0, b);
    IAxisSize = SaturatedDifference(IEndPos, IStartPos);
    const double atStart = CalcPosPoint(s0);
    const double atEnd = CalcPosPoint(e0);
    InternalCalcPositions();
    IMaximum = atEnd;
    IMinimum = atStart;
    if (IMaximum < IMinimum)
        std::swap(IMaximum, IMinimum);
    InternalCalcRange();
}

// Offset in pixels of a value from the start of the span (before the direction is applied).
int TAxisScale::CalcPosValueAt(long double value) const {
    long double t = (value - IMinimum) * static_cast<long double>(IAxisSizeRange);
    if (!FFastCalc)
        t = static_cast<double>(t);
    return RoundToPixel(t);
}

int TAxisScale::CalcXPosValue(double value) const {
    if (IRangeZero)
        return ICenterPos;
    return SaturatedSum(IStartPos, CalcPosValueAt(value));
}

int TAxisScale::CalcYPosValue(double value) const {
    if (IRangeZero)
        return ICenterPos;
    return SaturatedDifference(IEndPos, CalcPosValueAt(value));
}

int TAxisScale::CalcPosValue(double value) const {
    return FHorizontal ? CalcXPosValue(value) : CalcYPosValue(value);
}

double TAxisScale::CalcPosPoint(int pixel) const {
    if (IAxisSize < 1)
        return 0;
    const double offset = static_cast<double>(static_cast<std::int64_t>(pixel) - IStartPos);
    const double t = static_cast<double>(static_cast<long double>(offset) * IRange / IAxisSize);
    if (FHorizontal)
        return static_cast<double>(static_cast<long double>(IMinimum) + t);
    return static_cast<double>(static_cast<long double>(IMaximum) - t);
}

double TAxisScale::NextAxisStep(double step) {
    if (std::isinf(step) || std::isnan(step) || step <= 0)
        return 1;
    if (step >= 10)
        return NextAxisStep(step * 0.1) * 10;
    if (step < 1)
        return NextAxisStep(step * 10) * 0.1;
    if (step < 2)
        return 2;
    if (step < 5)
        return 5;
    return 10;
}

double TAxisScale::CalcLabelsIncrement(int maxNumLabels) {
    const int n = maxNumLabels;
    if (n < 1)
        return MinAxisIncrement;

    double r;
    if (FDesiredIncrement > 0)
        r = FDesiredIncrement;
    else if (IRangeZero)
        r = 1;
    else
        r = static_cast<double>(std::fabs(static_cast<long double>(IRange)) /
                                (static_cast<long double>(n) + 1));
    // Labels of point-wise X values: with few points, no step below one.
    if (r < 1 && IRange >= 1.1 && FOwner && FOwner->AxisHasSeriesWithAtMostPoints(this, n))
        r = 1;

    long double k = static_cast<long double>(n) + 1;
    if (r != 0) {
        do {
            const double q = static_cast<double>(IRange / static_cast<long double>(r));
            if (std::fabs(q) < 2147483647.0) {
                k = std::nearbyintl(static_cast<long double>(q));
                if (k > n)
                    r = FDesiredIncrement > 0 ? r * 2 : NextAxisStep(r);
            } else {
                r = NextAxisStep(r);
            }
        } while (!(k <= n || IRange < r || std::isinf(r)));
    }
    if (std::isinf(r))
        return IRange;
    return std::max(r, MinAxisIncrement);
}

bool TAxisScale::SameValue(double a, double b) {
    const double epsilon = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
    return std::fabs(a - b) <= epsilon;
}
