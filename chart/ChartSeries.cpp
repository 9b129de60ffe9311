#include "chart/ChartSeries.h"

#include "chart/CustomAxisPanel.h"

#include <algorithm>
#include <utility>

TChartSeries::TChartSeries()
    : FXValues(std::make_unique<TChartValueList>(this, "X")),
      FYValues(std::make_unique<TChartValueList>(this, "Y")) {}

int TChartSeries::AddXY(double x, double y) {
    const int index = FXValues->AddChartValue(x);
    FYValues->InsertChartValue(index, y);
    return index;
}

TChartAxis* TChartSeries::GetHorizAxis() const {
    if (!FParentChart)
        return nullptr;
    return FHorizAxis == aTopAxis ? FParentChart->TopAxis() : FParentChart->BottomAxis();
}

TChartAxis* TChartSeries::GetVertAxis() const {
    if (!FParentChart)
        return nullptr;
    return FVertAxis == aRightAxis ? FParentChart->RightAxis() : FParentChart->LeftAxis();
}

bool TChartSeries::AssociatedToAxis(const TAxisScale* axis) const {
    if (!FParentChart || !UseAxis() || !axis)
        return false;
    if (axis == FParentChart->BottomAxis())
        return FHorizAxis == aBottomAxis || FHorizAxis == aBothHorizAxis;
    if (axis == FParentChart->TopAxis())
        return FHorizAxis == aTopAxis || FHorizAxis == aBothHorizAxis;
    if (axis == FParentChart->LeftAxis())
        return FVertAxis == aLeftAxis || FVertAxis == aBothVertAxis;
    if (axis == FParentChart->RightAxis())
        return FVertAxis == aRightAxis || FVertAxis == aBothVertAxis;
    return false;
}

double TChartSeries::MaxYValue() const {
    return PaintedYExtreme(false);
}

double TChartSeries::MinYValue() const {
    return PaintedYExtreme(true);
}

double TChartSeries::PaintedYExtreme(bool isMin) const {
    bool any = false;
    double result = 0;
    for (int i = 0; i < Count(); ++i) {
        if (IsNull(i))
            continue;
        const double y = FYValues->Value(i);
        if (!any || (isMin ? y < result : y > result))
            result = y;
        any = true;
    }
    return result;
}

void TChartSeries::CalcHorizMargins(int& leftMargin, int& rightMargin) const {
    leftMargin = 0;
    rightMargin = 0;
}

void TChartSeries::CalcVerticalMargins(int& topMargin, int& bottomMargin) const {
    topMargin = 0;
    bottomMargin = 0;
}

int TChartSeries::CalcXPosValue(double value) const {
    const TChartAxis* axis = GetHorizAxis();
    return axis ? axis->CalcXPosValue(value) : 0;
}

int TChartSeries::CalcYPosValue(double value) const {
    const TChartAxis* axis = GetVertAxis();
    return axis ? axis->CalcYPosValue(value) : 0;
}

int TChartSeries::CalcXPos(int index) const {
    return CalcXPosValue(FXValues->Value(index));
}

int TChartSeries::CalcYPos(int index) const {
    return CalcYPosValue(FYValues->Value(index));
}

double TChartSeries::XScreenToValue(int pixel) const {
    const TChartAxis* axis = GetHorizAxis();
    return axis ? axis->CalcPosPoint(pixel) : 0;
}

double TChartSeries::YScreenToValue(int pixel) const {
    const TChartAxis* axis = GetVertAxis();
    return axis ? axis->CalcPosPoint(pixel) : 0;
}

void TChartSeries::GetCursorValues(double& xValue, double& yValue) const {
    const TPoint p = FParentChart ? FParentChart->CursorClientPos() : TPoint{};
    xValue = XScreenToValue(p.X);
    yValue = YScreenToValue(p.Y);
}

TColor TChartSeries::GetValueColor(int /*index*/) const {
    return FColor;
}

bool TChartSeries::PointBoxInChartRect(int index, int h, int v) const {
    if (!FParentChart)
        return false;
    const int x = CalcXPos(index);
    const int y = CalcYPos(index);
    TRect overlap;
    return IntersectRect(overlap, TRect{x - h, y - v, x + h, y + v}, FParentChart->ChartRect());
}

bool TChartSeries::IsPointInChartRect(int index) const {
    if (!FParentChart)
        return false;
    const TRect& r = FParentChart->ChartRect();
    const int x = CalcXPos(index);
    const int y = CalcYPos(index);
    return x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
}

void TChartSeries::CalcFirstLastVisibleIndex() {
    FFirstVisibleIndex = -1;
    FLastVisibleIndex = -1;
    if (Count() == 0)
        return;
    if (FXValues->Order() == loNone || !GetHorizAxis()) {
        FFirstVisibleIndex = 0;
        FLastVisibleIndex = Count() - 1;
        return;
    }
    SearchVisibleRange();
    if (FFirstVisibleIndex != -1)
        WidenVisibleRange();
}

// The X values are ascending: the range runs from the first point at or after the left edge
// to the first point at or beyond the right edge.
void TChartSeries::SearchVisibleRange() {
    const int last = Count() - 1;
    const TRect& r = FParentChart->ChartRect();
    const double xMin = XScreenToValue(r.Left);
    const double xMax = XScreenToValue(r.Right);
    const TChartValueList& x = *FXValues;

    int first = 0;
    if (x[0] <= xMin) {
        while (x[first] < xMin) {
            ++first;
            if (first > last)
                return;
        }
    }
    FFirstVisibleIndex = first;

    if (x[last] <= xMax) {
        FLastVisibleIndex = last;
        return;
    }
    FLastVisibleIndex = first;
    while (FLastVisibleIndex < last && x[FLastVisibleIndex] < xMax)
        ++FLastVisibleIndex;
}

// Neighbours whose markers reach into the chart rectangle are drawn too, and points that
// share an X value are drawn together.
void TChartSeries::WidenVisibleRange() {
    const int last = Count() - 1;
    const TChartValueList& x = *FXValues;
    int& first = FFirstVisibleIndex;
    int& lastVisible = FLastVisibleIndex;
    while (lastVisible < last && IsPointInChartRect(lastVisible + 1))
        ++lastVisible;
    while (lastVisible >= 0 && lastVisible < last && x[lastVisible] == x[lastVisible + 1])
        ++lastVisible;
    while (first > 0 && IsPointInChartRect(first - 1))
        --first;
    while (first > 0 && x[first] == x[first - 1])
        --first;
}
