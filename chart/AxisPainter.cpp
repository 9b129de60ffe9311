#include "chart/AxisPainter.h"

#include "chart/PixelArithmetic.h"

#include <algorithm>
#include <cstdint>

namespace {

void ClearBrush(TChartCanvas& canvas) {
    TChartBrush b = canvas.Brush();
    b.Style = bsClear;
    canvas.AssignBrush(b, b.Color, b.BackColor);
}

} // namespace

TAxisPainter::TAxisPainter(const TChartAxis& axis, TChartCanvas& canvas, const TRect& chartRect)
    : FAxis(axis), FCanvas(canvas), FChartRect(chartRect) {}

void TAxisPainter::Draw() {
    ClearBrush(FCanvas);
    if (FAxis.AxisPen().Visible)
        DrawAxisLine();
    if (FAxis.Ticks().Visible) {
        FCanvas.AssignVisiblePen(FAxis.Ticks());
        DrawTicks(FAxis.Tick(), FAxis.TickLength());
    }
    if (FAxis.Grid().Visible)
        DrawGrid();
    if (FAxis.MinorTicks().Visible)
        DrawMinorTicks();
    if (FAxis.Labels().Visible)
        DrawLabels();
}

// Distance of the axis line from the chart rectangle's edge: half the axis pen.
int TAxisPainter::AxisLineOffset() const {
    return FAxis.AxisPen().Visible ? FAxis.AxisPen().Width / 2 : 0;
}

// Distance of the ticks' inner end from the chart rectangle's edge: just past the axis line.
int TAxisPainter::TickStart() const {
    return AxisLineOffset() + (FAxis.AxisPen().Visible ? FAxis.AxisPen().Width - 1 : 0);
}

void TAxisPainter::DrawAxisLine() {
    TChartCanvas& c = FCanvas;
    const bool other = FAxis.OtherSide();
    const int pos = FAxis.PosAxis();
    c.AssignVisiblePen(FAxis.AxisPen());
    const int o = AxisLineOffset();
    if (FAxis.Horizontal()) {
        const int y = other ? pos - o : pos + o;
        c.Line(FAxis.IStartPos, y, FAxis.IEndPos, y);
    } else {
        const int x = other ? pos + o : pos - o;
        c.Line(x, FAxis.IStartPos, x, FAxis.IEndPos);
    }
}

// Ticks outwards from the axis line, each `length` pixels long.
void TAxisPainter::DrawTicks(const std::vector<int>& positions, int length) {
    TChartCanvas& c = FCanvas;
    const bool other = FAxis.OtherSide();
    const int pos = FAxis.PosAxis();
    const int s = TickStart();
    for (int p : positions) {
        if (FAxis.Horizontal()) {
            const int y0 = other ? pos - s : pos + s;
            c.Line(p, y0, p, other ? y0 - length : y0 + length);
        } else {
            const int x0 = other ? pos + s : pos - s;
            c.Line(x0, p, other ? x0 + length : x0 - length, p);
        }
    }
}

void TAxisPainter::DrawGrid() {
    TChartCanvas& c = FCanvas;
    c.AssignVisiblePen(FAxis.Grid());
    c.SetBackMode(cbmTransparent);
    ClearBrush(c);
    const TRect& r = FChartRect;
    const std::vector<int>& tick = FAxis.Tick();
    const int every = std::max(1, FAxis.Grid().DrawEvery);
    for (std::size_t i = 0; i < tick.size(); i += static_cast<std::size_t>(every)) {
        const int p = tick[i];
        if (p <= FAxis.IStartPos || p >= FAxis.IEndPos)
            continue;
        if (FAxis.Horizontal())
            c.Line(p, r.Top + 1, p, r.Bottom);
        else
            c.Line(r.Left + 1, p, r.Right, p);
    }
}

void TAxisPainter::DrawMinorTicks() {
    const std::vector<int>& tick = FAxis.Tick();
    if (tick.size() < 2 || FAxis.MinorTickCount() < 1)
        return;
    const int count = FAxis.MinorTickCount();
    const long double f = 1.0L / (count + 1);
    const std::size_t last = tick.size() - 1;
    std::vector<int> minor;
    // Beyond the first and the last major tick, spaced like their neighbours.
    const long double outer = (static_cast<long double>(tick[1]) - tick[0]) * f;
    for (int j = 1; j <= count; ++j) {
        const int e = RoundToPixel(j * outer);
        minor.push_back(SaturatedDifference(tick[0], e));
        minor.push_back(SaturatedSum(tick[last], e));
    }
    for (std::size_t i = 1; i <= last; ++i) {
        const long double d = (static_cast<long double>(tick[i]) - tick[i - 1]) * f;
        for (int j = 1; j <= count; ++j)
            minor.push_back(SaturatedDifference(tick[i], RoundToPixel(d * j)));
    }
    std::erase_if(minor, [this](int p) { return p <= FAxis.IStartPos || p >= FAxis.IEndPos; });

    TChartCanvas& c = FCanvas;
    c.AssignVisiblePen(FAxis.MinorTicks());
    DrawTicks(minor, FAxis.MinorTickLength());
}

void TAxisPainter::DrawLabels() {
    TChartCanvas& c = FCanvas;
    c.AssignFont(FAxis.Labels().Font);
    const int a = RoundToPixel(c.TextSize("W").Height);
    for (const TAxisItem& item : FAxis.Items()) {
        const double v = item.FValue;
        if (!((FAxis.IMinimum <= v && v <= FAxis.IMaximum) ||
              TAxisScale::SameValue(v, FAxis.IMinimum)))
            continue;
        // Drawing text leaves the font's brush on the surface: clear it for every label.
        c.AssignFont(FAxis.Labels().Font);
        ClearBrush(c);
        c.SetTextAlign(TA_CENTER);
        const int w = c.TextWidth(item.FText);
        const int p = item.FLabelPos;
        int left;
        int top;
        if (FAxis.Horizontal()) {
            left = p - w / 2;
            top = FAxis.OtherSide() ? FAxis.PosLabels() - a : FAxis.PosLabels();
        } else {
            left = FAxis.OtherSide() ? FAxis.PosLabels() : FAxis.PosLabels() - w;
            top = p - a / 2;
        }
        const int right = left + w;
        c.TextOut(static_cast<int>((static_cast<std::int64_t>(left) + right) / 2), top, item.FText);
    }
}
