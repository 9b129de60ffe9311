#include "chart/ChartAxis.h"

#include "chart/AxisPainter.h"
#include "chart/PixelArithmetic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double MaxLabelsSteps = 10000;
constexpr int MaxWidestLabelTexts = 5000;
constexpr double MaxRoundableMinimum = 9.223372036854775806e18;

} // namespace

TChartAxis::TChartAxis(TAxisOwner* owner, bool horizontal, bool otherSide, bool depth)
    : TAxisScale(owner, horizontal), FOtherSide(otherSide), FDepth(depth) {}

double TChartAxis::CalcIncrement() {
    if (TChartCanvas* c = Canvas())
        c->AssignFont(FLabels.Font);
    double lo = IMinimum;
    double hi = IMaximum;
    if (FLabels.RoundFirst && FDesiredIncrement != 0) {
        const long double minimum = std::fabs(IMinimum) > MaxRoundableMinimum
                                        ? static_cast<long double>(IMinimum)
                                        : std::nearbyintl(static_cast<long double>(IMinimum));
        lo = static_cast<double>(minimum * FDesiredIncrement);
        hi =
            static_cast<double>(std::trunc(static_cast<long double>(IMaximum)) * FDesiredIncrement);
    }

    // The widest label is usually one with decimals: halve the middle value until it has some.
    double middle = static_cast<double>((static_cast<long double>(hi) + lo) * 0.5L);
    if (std::isinf(middle))
        middle = 0;
    while (middle != 0 && !std::isnan(middle) && std::trunc(middle) == middle)
        middle *= 0.5;

    int size = std::max({InternalLabelSize(middle), InternalLabelSize(lo), InternalLabelSize(hi)});
    if (FDesiredIncrement != 0) {
        size = std::max(size, InternalLabelSize(static_cast<double>(static_cast<long double>(lo) +
                                                                    FDesiredIncrement)));
        size = std::max(size, InternalLabelSize(static_cast<double>(static_cast<long double>(hi) -
                                                                    FDesiredIncrement)));
    }
    return CalcXYIncrement(size);
}

double TChartAxis::CalcXYIncrement(int maxLabelSize) {
    int n = 1;
    if (maxLabelSize > 0 && IAxisSize > 0) {
        const long double gap = FLabels.Separation * OneHundredthBelow * maxLabelSize;
        const long double size = maxLabelSize + std::nearbyintl(gap);
        n = RoundToPixel(IAxisSize / size);
    }
    return CalcLabelsIncrement(n);
}

std::string TChartAxis::LabelValue(double value) const {
    return FormatAxisValue(value, FOwner ? FOwner->AxisNumberSeparators() : TNumberSeparators{});
}

int TChartAxis::InternalLabelSize(double value) {
    TChartCanvas* c = Canvas();
    if (!c)
        return 0;
    if (FHorizontal)
        return c->TextWidth(LabelValue(value));
    return c->TextHeight("W");
}

int TChartAxis::MaxLabelsWidth() {
    TChartCanvas* c = Canvas();
    if (!c)
        return 0;
    const double inc = CalcIncrement();
    c->AssignFont(FLabels.Font);
    double a = IMinimum;
    double z = IMaximum;
    if (FLabels.RoundFirst && inc != 0) {
        a = static_cast<double>(std::trunc(IMinimum / static_cast<long double>(inc)) * inc);
        z = static_cast<double>(std::trunc(IMaximum / static_cast<long double>(inc)) * inc);
    }
    if (inc == 0)
        return std::max(c->TextWidth(LabelValue(a)), c->TextWidth(LabelValue(z)));

    int widest = 0;
    double v = z;
    for (int count = 0; v >= a && count < MaxWidestLabelTexts; ++count) {
        widest = std::max(widest, c->TextWidth(LabelValue(v)));
        v = static_cast<double>(static_cast<long double>(v) - inc);
    }
    return widest;
}

void TChartAxis::AddLabel(double value) {
    const int p = CalcPosValue(value);
    FTick.push_back(p);
    FAxisItems.push_back(TAxisItem{LabelValue(value), value, p});
}

void TChartAxis::CalcLabelsAndTicks() {
    FTick.clear();
    FAxisItems.clear();
    const double inc = CalcIncrement();
    if (!(inc > 0) || IMinimum > IMaximum)
        return;
    if (std::fabs(IRange / static_cast<long double>(inc)) >= MaxLabelsSteps)
        return;

    const bool sameEnds = SameValue(IMaximum, IMinimum);
    double v = IMaximum;
    if (!sameEnds && FLabels.RoundFirst) {
        const double q = static_cast<double>(IMaximum / static_cast<long double>(inc));
        v = static_cast<double>(std::trunc(static_cast<long double>(q)) * inc);
    }
    while (v > IMaximum) {
        const double next = v - inc;
        if (next == v)
            break;
        v = next;
    }

    if (IRangeZero || sameEnds || v - inc == v) {
        AddLabel(v);
        return;
    }

    const double bound =
        IMinimum >= 0 ? static_cast<double>((IMinimum - 1e-12L) / (1 + 1e-12L)) : IMinimum;
    while (v >= bound) {
        AddLabel(v);
        const double next = v - inc;
        if (next == v)
            break;
        v = next;
    }
}

// Moves the inner edge of r by size pixels away from the axis' side, leaving at least one
// pixel of rectangle.
void TChartAxis::ShrinkRect(TRect& r, int size) {
    if (FHorizontal) {
        if (FOtherSide)
            r.Top = std::min(r.Bottom - 1, SaturatedSum(r.Top, size));
        else
            r.Bottom = std::max(r.Top + 1, SaturatedDifference(r.Bottom, size));
    } else {
        if (FOtherSide)
            r.Right = std::max(r.Left + 1, SaturatedDifference(r.Right, size));
        else
            r.Left = std::min(r.Right - 1, SaturatedSum(r.Left, size));
    }
}

void TChartAxis::CalcRect(TRect& r, bool inflateChartRect) {
    TRect work = r;
    auto innerEdge = [this](const TRect& rect) {
        if (FHorizontal)
            return FOtherSide ? rect.Top : rect.Bottom;
        return FOtherSide ? rect.Right : rect.Left;
    };

    TChartCanvas* c = Canvas();
    if (FLabels.Visible && c) {
        c->AssignFont(FLabels.Font);
        int s;
        if (FHorizontal) {
            s = c->TextHeight("W");
        } else {
            s = MaxLabelsWidth();
            c->AssignFont(FLabels.Font);
            s += c->TextWidth(" ");
        }
        ShrinkRect(work, s);
    }
    FPosLabels = innerEdge(work);

    int t = (FAxisPen.Visible ? FAxisPen.Width + 1 : 0) + (FTicks.Visible ? FTickLength : 0);
    if (FMinorTicks.Visible)
        t = std::max(t, FMinorTickLength);
    ShrinkRect(work, t);

    if (inflateChartRect)
        r = work;
}

void TChartAxis::Draw(bool calcPosAxis) {
    TChartCanvas* c = Canvas();
    if (!c)
        return;
    if (calcPosAxis) {
        const TRect r = ChartRect();
        if (FHorizontal)
            FPosAxis = FOtherSide ? r.Top : r.Bottom;
        else
            FPosAxis = FOtherSide ? r.Right : r.Left;
    }
    CalcLabelsAndTicks();
    TAxisPainter(*this, *c, ChartRect()).Draw();
}
