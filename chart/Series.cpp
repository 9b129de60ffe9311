#include "chart/Series.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The renderer's coordinate range: a segment end beyond it is moved back along the line.
constexpr int CoordinateLimit = 32767;
constexpr int MaxLimitComputations = 5;

bool OutOfRange(int v) {
    return v > CoordinateLimit || v < -CoordinateLimit;
}

// Whether a segment's bounding box, at least one pixel wide and high, touches rect. Ends far
// outside the control may lie near the ends of the integer range, hence 64 bits.
bool SegmentTouches(int x0, int y0, int x1, int y1, const TRect& rect) {
    const long long left = std::min(x0, x1);
    const long long top = std::min(y0, y1);
    long long right = std::max(x0, x1);
    long long bottom = std::max(y0, y1);
    if (right == left)
        right = left + 1;
    if (bottom == top)
        bottom = top + 1;
    return std::max<long long>(left, rect.Left) < std::min<long long>(right, rect.Right) &&
           std::max<long long>(top, rect.Top) < std::min<long long>(bottom, rect.Bottom);
}

// While the points are drawn the axes map values without the intermediate rounding to double.
class TFastMappingScope {
public:
    explicit TFastMappingScope(const TCustomAxisPanel& chart) : FChart(chart) {
        for (int i = 0; i < aiCount; ++i) {
            FOld[static_cast<std::size_t>(i)] = chart.Axis(i)->FastCalc();
            chart.Axis(i)->SetFastCalc(true);
        }
    }
    ~TFastMappingScope() {
        for (int i = 0; i < aiCount; ++i)
            FChart.Axis(i)->SetFastCalc(FOld[static_cast<std::size_t>(i)]);
    }
    TFastMappingScope(const TFastMappingScope&) = delete;
    TFastMappingScope& operator=(const TFastMappingScope&) = delete;

private:
    const TCustomAxisPanel& FChart;
    std::array<bool, aiCount> FOld{};
};

} // namespace

int TSeriesPointer::HorizMargin() const {
    return (Pen.Visible ? Pen.Width / 2 + 1 : 1) + HorizSize;
}

int TSeriesPointer::VertMargin() const {
    return (Pen.Visible ? Pen.Width / 2 : 1) + VertSize;
}

void TSeriesPointer::Draw(TChartCanvas& canvas, int x, int y, TColor color) const {
    if (!Visible)
        return;
    PrepareCanvas(canvas, color);
    switch (Style) {
    case psCircle:
        // Inscribed in the box exactly: a circle of diameter 2 × HorizSize centred on the
        // corner point (x, y).
        canvas.Ellipse(x - HorizSize, y - VertSize, x + HorizSize, y + VertSize);
        break;
    case psRectangle:
        canvas.Rectangle(x - HorizSize, y - VertSize, x + HorizSize + 1, y + VertSize + 1);
        break;
    default:
        // The other shapes are not drawn by this chart.
        break;
    }
}

void TSeriesPointer::PrepareCanvas(TChartCanvas& canvas, TColor color) const {
    const TColor fill = Brush.Color != clDefault && Brush.Style != bsClear ? Brush.Color : color;
    canvas.AssignVisiblePenColor(Pen, Pen.Color == clDefault ? fill : Pen.Color);
    TColor brushColor = fill;
    if (Brush.Color == clDefault)
        brushColor = Brush.Style == bsSolid ? color : Brush.BackColor;
    canvas.AssignBrush(Brush, brushColor);
}

TCustomSeries::TCustomSeries() = default;

TLineSeries::TLineSeries() {
    SetDrawLine(true);
    Pointer().Visible = false;
}

int TCustomSeries::InflateLineMargin() const {
    if (!FInflateMargins || !FDrawLine || !FLinePen.Visible || FLinePen.Width < 2)
        return 0;
    return static_cast<int>(std::nearbyint(FLinePen.Width * 0.5)) + 1;
}

void TCustomSeries::CalcHorizMargins(int& leftMargin, int& rightMargin) const {
    TChartSeries::CalcHorizMargins(leftMargin, rightMargin);
    if (FPointer.Visible && FPointer.InflateMargins) {
        leftMargin = std::max(leftMargin, FPointer.HorizMargin());
        rightMargin = std::max(rightMargin, FPointer.HorizMargin());
    }
    leftMargin = std::max(leftMargin, InflateLineMargin());
    rightMargin = std::max(rightMargin, InflateLineMargin());
}

void TCustomSeries::CalcVerticalMargins(int& topMargin, int& bottomMargin) const {
    TChartSeries::CalcVerticalMargins(topMargin, bottomMargin);
    if (FPointer.Visible && FPointer.InflateMargins) {
        topMargin = std::max(topMargin, FPointer.VertMargin());
        bottomMargin = std::max(bottomMargin, FPointer.VertMargin());
    }
    topMargin = std::max(topMargin, InflateLineMargin());
    bottomMargin = std::max(bottomMargin, InflateLineMargin());
}

// Marker sizes count even while the markers are hidden.
bool TCustomSeries::IsPointInChartRect(int index) const {
    return PointBoxInChartRect(index, FPointer.HorizSize, FPointer.VertSize);
}

void TCustomSeries::DrawAllValues() {
    TCustomAxisPanel* chart = ParentChart();
    if (!chart || FirstValueIndex() < 0)
        return;
    IClientRect = chart->ChartBounds();
    const TFastMappingScope fastMapping(*chart);

    // A line series never draws nothing at all.
    if (FDrawLine && !FLinePen.Visible && !FPointer.Visible && !FDrawArea)
        FLinePen.Visible = true;

    chart->Canvas()->AssignBrush(FBrush, FBrush.Color == clDefault ? SeriesColor() : FBrush.Color);
    for (int i = FirstValueIndex(); i <= LastValueIndex(); ++i)
        DrawValue(i);
}

void TCustomSeries::DrawValue(int valueIndex) {
    const TColor color = GetValueColor(valueIndex);
    const int x = CalcXPos(valueIndex);
    const int y = CalcYPos(valueIndex);
    // No segment starts at a null point.
    if (OldColor == clNone && FTreatNulls == tnDontPaint) {
        OldX = x;
        OldY = y;
    }
    if (valueIndex == FirstValueIndex()) {
        if (valueIndex > 0)
            DrawPreviousPoint(valueIndex, x, y);
        // Otherwise the marker comes with the next segment, on top of it.
        if (valueIndex == LastValueIndex() && color != clNone)
            DrawPointer(x, y, color, valueIndex);
    } else {
        DrawPoint(valueIndex, x, y, color, true);
    }
    OldX = x;
    OldY = y;
    OldColor = color;
}

void TCustomSeries::DrawPoint(int index, int x, int y, TColor color, bool withMarkers) {
    if ((x != OldX || y != OldY) && (FTreatNulls == tnIgnore || color != clNone) && FDrawLine)
        DrawSegment(index, x, y, color);
    if (withMarkers)
        DrawMarkersOfSegment(index, x, y, color);
}

void TCustomSeries::DrawSegment(int index, int x, int y, TColor color) {
    if (!SegmentTouches(OldX, OldY, x, y, IClientRect))
        return;
    int x0 = OldX;
    int y0 = OldY;
    if (x0 < IClientRect.Left || x0 > IClientRect.Right)
        LimitCoordinates(index, x0, y0);
    LimitCoordinates(index, x, y);
    const bool pointColor = FColorEachLine || (FColorEachPoint && !FPointer.Visible);
    LinePrepareCanvas(pointColor ? color : SeriesColor());
    ParentChart()->Canvas()->Line(x0, y0, x, y);
}

// The segment ends at point index; the previous point's marker goes on top of it, and the
// last point's own marker follows.
void TCustomSeries::DrawMarkersOfSegment(int index, int x, int y, TColor color) {
    const int markerIndex = std::max(index - 1, FirstValueIndex());
    if (OldColor != clNone)
        DrawPointer(OldX, OldY, OldColor, markerIndex);
    else if (FTreatNulls != tnDontPaint)
        DrawPointer(OldX, OldY, color, markerIndex);
    if (index == LastValueIndex() && color != clNone)
        DrawPointer(x, y, color, index);
}

// The line enters the chart rectangle from its left edge, at the height of the segment from
// the hidden point before.
void TCustomSeries::DrawPreviousPoint(int index, int x, int y) {
    OldX = ParentChart()->ChartRect().Left;
    OldY = CalcPosLeftRight(index, index - 1, XScreenToValue(OldX));
    if (!IsNull(index - 1))
        DrawPoint(index, x, y, GetValueColor(index), false);
}

// The line's pixel row at X value xValue on the segment between points other and index.
int TCustomSeries::CalcPosLeftRight(int index, int other, double xValue) const {
    const TChartValueList& xs = *XValues();
    const TChartValueList& ys = *YValues();
    if (xs[index] == xs[other])
        return CalcYPos(other);
    const double y =
        (xValue - xs[other]) * (ys[index] - ys[other]) / (xs[index] - xs[other]) + ys[other];
    return CalcYPosValue(y);
}

// Moves a segment end beyond the renderer's range back onto the segment's line, nearer to the
// control each time, and caps what is still out of range.
void TCustomSeries::LimitCoordinates(int index, int& x, int& y) const {
    if (OutOfRange(x)) {
        int column = x > 0 ? CoordinateLimit : -CoordinateLimit;
        y = CalcPosLeftRight(index, index - 1, XScreenToValue(column));
        for (int computations = 1; OutOfRange(y) && computations < MaxLimitComputations;
             ++computations) {
            column /= 3;
            y = CalcPosLeftRight(index, index - 1, XScreenToValue(column));
        }
        x = column;
    }
    y = std::clamp(y, -CoordinateLimit, CoordinateLimit);
}

void TCustomSeries::LinePrepareCanvas(TColor color) {
    TChartCanvas& canvas = *ParentChart()->Canvas();
    TChartBrush clear = canvas.Brush();
    clear.Style = bsClear;
    canvas.AssignBrush(clear, clear.Color, clear.BackColor);
    TChartPen pen = FLinePen;
    if (!pen.Visible && !FPointer.Visible && !FDrawArea)
        pen.Visible = true;
    canvas.AssignVisiblePenColor(pen, color);
}

void TCustomSeries::DrawPointer(int x, int y, TColor color, int /*index*/) {
    if (FPointer.Visible)
        FPointer.Draw(*ParentChart()->Canvas(), x, y, color);
}
