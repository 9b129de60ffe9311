#include "chart/ChartAxis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>

namespace {

// Extended precision just below one hundredth: a separation that comes to exactly half a
// pixel is rounded down, not to the even neighbour.
const long double OneHundredthBelow = std::nextafter(0.01L, 0.0L);

constexpr double MinAxisIncrement = 1e-12;
constexpr double MaxLabelsSteps = 10000;
constexpr int MaxWidestLabelTexts = 5000;
constexpr double MaxRoundableMinimum = 9.223372036854775806e18;

// Round half to even, to a 32-bit pixel; values beyond the 32-bit range saturate. In the
// default rounding mode rint rounds as nearbyint does, without saving and restoring the
// floating-point environment around it, which would cost more than all the rest of a position.
int RoundToPixel(long double v) {
    if (std::isnan(v))
        return 0;
    const long double r = std::rintl(v);
    if (r >= static_cast<long double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= static_cast<long double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

int SaturatedSum(int a, int b) {
    const std::int64_t s = static_cast<std::int64_t>(a) + b;
    return static_cast<int>(std::clamp<std::int64_t>(s, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

int SaturatedDifference(int a, int b) {
    const std::int64_t s = static_cast<std::int64_t>(a) - b;
    return static_cast<int>(std::clamp<std::int64_t>(s, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

void ClearBrush(TChartCanvas& canvas) {
    TChartBrush b = canvas.Brush();
    b.Style = bsClear;
    canvas.AssignBrush(b, b.Color, b.BackColor);
}

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

TChartAxis::TChartAxis(TAxisOwner* owner, bool horizontal, bool otherSide, bool depth)
    : FOwner(owner), FHorizontal(horizontal), FOtherSide(otherSide), FDepth(depth) {}

void TChartAxis::CalcMinMax(double& aMin, double& aMax) {
    if (!FOwner)
        return;
    if (FAutomatic || FAutomaticMaximum)
        aMax = FOwner->InternalMinMax(this, false, FHorizontal);
    if (FAutomatic || FAutomaticMinimum)
        aMin = FOwner->InternalMinMax(this, true, FHorizontal);
}

void TChartAxis::AdjustMaxMin() {
    CalcMinMax(FMinimumValue, FMaximumValue);
    IMaximum = FMaximumValue;
    IMinimum = FMinimumValue;
    InternalCalcRange();
    CalcRoundScales();
}

void TChartAxis::InternalCalcRange() {
    IRange = static_cast<double>(static_cast<long double>(IMaximum) - IMinimum);
    IRangeZero = std::fabs(IRange) <= 1e-12;
    IAxisSizeRange =
        IRangeZero ? 0.0 : static_cast<double>(static_cast<long double>(IAxisSize) / IRange);
}

void TChartAxis::CalcRoundScales() {
    if (IAxisSize == 0 || IRangeZero)
        return;
    bool rounded = false;
    if (FMaximumRound && (FAutomatic || FAutomaticMaximum)) {
        const double inc = CalcIncrement();
        if (inc != 0) {
            const double q = static_cast<double>(IMaximum / static_cast<long double>(inc));
            IMaximum = static_cast<double>(inc * std::ceil(static_cast<long double>(q)));
            rounded = true;
        }
    }
    if (FMinimumRound && (FAutomatic || FAutomaticMinimum)) {
        const double inc = CalcIncrement();
        if (inc != 0) {
            const double q = static_cast<double>(IMinimum / static_cast<long double>(inc));
            IMinimum = static_cast<double>(inc * std::floor(static_cast<long double>(q)));
            rounded = true;
        }
    }
    if (rounded)
        InternalCalcRange();
}

void TChartAxis::InternalCalcPositions() {
    const TRect r = ChartRect();
    const int start = FHorizontal ? r.Left : r.Top;
    const int size = FHorizontal ? r.Width() : r.Height();
    IStartPos = SaturatedSum(start, RoundToPixel(size * OneHundredthBelow * FStartPosition));
    IEndPos = SaturatedSum(start, RoundToPixel(size * OneHundredthBelow * FEndPosition));
    IAxisSize = SaturatedDifference(IEndPos, IStartPos);
    ICenterPos = static_cast<int>((static_cast<std::int64_t>(IStartPos) + IEndPos) / 2);
    InternalCalcRange();
}

void TChartAxis::AdjustMaxMinRect(const TRect& margins) {
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
int TChartAxis::CalcPosValueAt(long double value) const {
    long double t = (value - IMinimum) * static_cast<long double>(IAxisSizeRange);
    if (!FFastCalc)
        t = static_cast<double>(t);
    return RoundToPixel(t);
}

int TChartAxis::CalcXPosValue(double value) const {
    if (IRangeZero)
        return ICenterPos;
    return SaturatedSum(IStartPos, CalcPosValueAt(value));
}

int TChartAxis::CalcYPosValue(double value) const {
    if (IRangeZero)
        return ICenterPos;
    return SaturatedDifference(IEndPos, CalcPosValueAt(value));
}

int TChartAxis::CalcPosValue(double value) const {
    return FHorizontal ? CalcXPosValue(value) : CalcYPosValue(value);
}

double TChartAxis::CalcPosPoint(int pixel) const {
    if (IAxisSize < 1)
        return 0;
    const double offset = static_cast<double>(static_cast<std::int64_t>(pixel) - IStartPos);
    const double t = static_cast<double>(static_cast<long double>(offset) * IRange / IAxisSize);
    if (FHorizontal)
        return static_cast<double>(static_cast<long double>(IMinimum) + t);
    return static_cast<double>(static_cast<long double>(IMaximum) - t);
}

double TChartAxis::NextAxisStep(double step) {
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

double TChartAxis::CalcLabelsIncrement(int maxNumLabels) {
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

bool TChartAxis::SameValue(double a, double b) {
    const double epsilon = std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
    return std::fabs(a - b) <= epsilon;
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

// Distance of the axis line from the chart rectangle's edge: half the axis pen.
int TChartAxis::AxisLineOffset() const {
    return FAxisPen.Visible ? FAxisPen.Width / 2 : 0;
}

// Distance of the ticks' inner end from the chart rectangle's edge: just past the axis line.
int TChartAxis::TickStart() const {
    return AxisLineOffset() + (FAxisPen.Visible ? FAxisPen.Width - 1 : 0);
}

void TChartAxis::DrawAxisLine() {
    TChartCanvas& c = *Canvas();
    c.AssignVisiblePen(FAxisPen);
    const int o = AxisLineOffset();
    if (FHorizontal) {
        const int y = FOtherSide ? FPosAxis - o : FPosAxis + o;
        c.Line(IStartPos, y, IEndPos, y);
    } else {
        const int x = FOtherSide ? FPosAxis + o : FPosAxis - o;
        c.Line(x, IStartPos, x, IEndPos);
    }
}

// Ticks outwards from the axis line, each `length` pixels long.
void TChartAxis::DrawTicks(TChartCanvas& c, const std::vector<int>& positions, int length) {
    const int s = TickStart();
    for (int p : positions) {
        if (FHorizontal) {
            const int y0 = FOtherSide ? FPosAxis - s : FPosAxis + s;
            c.Line(p, y0, p, FOtherSide ? y0 - length : y0 + length);
        } else {
            const int x0 = FOtherSide ? FPosAxis + s : FPosAxis - s;
            c.Line(x0, p, FOtherSide ? x0 + length : x0 - length, p);
        }
    }
}

void TChartAxis::DrawGrid() {
    TChartCanvas& c = *Canvas();
    c.AssignVisiblePen(FGrid);
    c.SetBackMode(cbmTransparent);
    ClearBrush(c);
    const TRect r = ChartRect();
    const int every = std::max(1, FGrid.DrawEvery);
    for (std::size_t i = 0; i < FTick.size(); i += static_cast<std::size_t>(every)) {
        const int p = FTick[i];
        if (p <= IStartPos || p >= IEndPos)
            continue;
        if (FHorizontal)
            c.Line(p, r.Top + 1, p, r.Bottom);
        else
            c.Line(r.Left + 1, p, r.Right, p);
    }
}

void TChartAxis::DrawMinorTicks() {
    if (FTick.size() < 2 || FMinorTickCount < 1)
        return;
    const int count = FMinorTickCount;
    const long double f = 1.0L / (count + 1);
    const std::size_t last = FTick.size() - 1;
    std::vector<int> minor;
    // Beyond the first and the last major tick, spaced like their neighbours.
    const long double outer = (static_cast<long double>(FTick[1]) - FTick[0]) * f;
    for (int j = 1; j <= count; ++j) {
        const int e = RoundToPixel(j * outer);
        minor.push_back(SaturatedDifference(FTick[0], e));
        minor.push_back(SaturatedSum(FTick[last], e));
    }
    for (std::size_t i = 1; i <= last; ++i) {
        const long double d = (static_cast<long double>(FTick[i]) - FTick[i - 1]) * f;
        for (int j = 1; j <= count; ++j)
            minor.push_back(SaturatedDifference(FTick[i], RoundToPixel(d * j)));
    }
    std::erase_if(minor, [this](int p) { return p <= IStartPos || p >= IEndPos; });

    TChartCanvas& c = *Canvas();
    c.AssignVisiblePen(FMinorTicks);
    DrawTicks(c, minor, FMinorTickLength);
}

void TChartAxis::DrawLabels() {
    TChartCanvas& c = *Canvas();
    c.AssignFont(FLabels.Font);
    const int a = RoundToPixel(c.TextSize("W").Height);
    for (const TAxisItem& item : FAxisItems) {
        const double v = item.FValue;
        if (!((IMinimum <= v && v <= IMaximum) || SameValue(v, IMinimum)))
            continue;
        // Drawing text leaves the font's brush on the surface: clear it for every label.
        c.AssignFont(FLabels.Font);
        ClearBrush(c);
        c.SetTextAlign(TA_CENTER);
        const int w = c.TextWidth(item.FText);
        const int p = item.FLabelPos;
        int left;
        int top;
        if (FHorizontal) {
            left = p - w / 2;
            top = FOtherSide ? FPosLabels - a : FPosLabels;
        } else {
            left = FOtherSide ? FPosLabels : FPosLabels - w;
            top = p - a / 2;
        }
        const int right = left + w;
        c.TextOut(static_cast<int>((static_cast<std::int64_t>(left) + right) / 2), top, item.FText);
    }
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

    ClearBrush(*c);
    if (FAxisPen.Visible)
        DrawAxisLine();
    if (FTicks.Visible) {
        c->AssignVisiblePen(FTicks);
        DrawTicks(*c, FTick, FTickLength);
    }
    if (FGrid.Visible)
        DrawGrid();
    if (FMinorTicks.Visible)
        DrawMinorTicks();
    if (FLabels.Visible)
        DrawLabels();
}
