#include "chart/ChartEngine.h"

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

bool TChartSeries::AssociatedToAxis(const TChartAxis* axis) const {
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
    bool any = false;
    double result = 0;
    for (int i = 0; i < Count(); ++i) {
        if (IsNull(i))
            continue;
        const double y = FYValues->Value(i);
        if (!any || y > result)
            result = y;
        any = true;
    }
    return result;
}

double TChartSeries::MinYValue() const {
    bool any = false;
    double result = 0;
    for (int i = 0; i < Count(); ++i) {
        if (IsNull(i))
            continue;
        const double y = FYValues->Value(i);
        if (!any || y < result)
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

TCustomAxisPanel::TCustomAxisPanel(std::unique_ptr<TChartCanvas> canvas)
    : TCustomChartPanelExtended(std::move(canvas)) {
    FAxes[aiBottom] = std::make_unique<TChartAxis>(this, true);
    FAxes[aiTop] = std::make_unique<TChartAxis>(this, true, true);
    FAxes[aiLeft] = std::make_unique<TChartAxis>(this, false);
    FAxes[aiRight] = std::make_unique<TChartAxis>(this, false, true);
    FAxes[aiDepth] = std::make_unique<TChartAxis>(this, false, false, true);
    FAxes[aiDepthTop] = std::make_unique<TChartAxis>(this, false, true, true);
}

TCustomAxisPanel::~TCustomAxisPanel() = default;

void TCustomAxisPanel::InsertSeries(std::unique_ptr<TChartSeries> series) {
    series->SetParentChart(this);
    FSeries.push_back(std::move(series));
    SeriesAdded(FSeries.back().get());
    Invalidate();
}

int TCustomAxisPanel::ActiveSeriesCount() const {
    return static_cast<int>(
        std::count_if(FSeries.begin(), FSeries.end(), [](const auto& s) { return s->Active(); }));
}

template <class TStep> void TCustomAxisPanel::ForEachActiveSeries(TStep step) {
    for (const auto& s : FSeries)
        if (s->Active())
            step(*s);
}

void TCustomAxisPanel::SetView3D(bool value) {
    FView3D = value;
    Invalidate();
}

void TCustomAxisPanel::SetView3DWalls(bool value) {
    FView3DWalls = value;
    Invalidate();
}

void TCustomAxisPanel::SetAxisVisible(bool value) {
    FAxisVisible = value;
    Invalidate();
}

void TCustomAxisPanel::SetAxisBehind(bool value) {
    FAxisBehind = value;
    Invalidate();
}

void TCustomAxisPanel::SetClipPoints(bool value) {
    FClipPoints = value;
    Invalidate();
}

bool TCustomAxisPanel::AxisShown(const TChartAxis* axis) const {
    for (std::size_t i = 0; i < FAxes.size(); ++i)
        if (FAxes[i].get() == axis)
            return FAxisShown[i];
    return false;
}

double TCustomAxisPanel::InternalMinMax(const TChartAxis* axis, bool isMin, bool isX) {
    const bool anyActive = std::any_of(FSeries.begin(), FSeries.end(), [&](const auto& s) {
        return s->Active() && s->AssociatedToAxis(axis);
    });
    bool taken = false;
    double result = 0;
    for (const auto& s : FSeries) {
        if ((!s->Active() && anyActive) || s->Count() == 0 || !s->AssociatedToAxis(axis))
            continue;
        const double v = isX ? (isMin ? s->MinXValue() : s->MaxXValue())
                             : (isMin ? s->MinYValue() : s->MaxYValue());
        if (!taken || (isMin ? v < result : v > result))
            result = v;
        taken = true;
    }
    return result;
}

bool TCustomAxisPanel::AxisHasSeriesWithAtMostPoints(const TChartAxis* axis, int n) const {
    // A line series carries its X values along its horizontal axis.
    if (!axis->Horizontal())
        return false;
    return std::any_of(FSeries.begin(), FSeries.end(), [&](const auto& s) {
        return s->Active() && s->AssociatedToAxis(axis) && s->Count() <= n;
    });
}

bool TCustomAxisPanel::SeriesUseAxesOrNoneActive() const {
    bool anyActive = false;
    for (const auto& s : FSeries) {
        if (!s->Active())
            continue;
        if (s->UseAxis())
            return true;
        anyActive = true;
    }
    return !anyActive;
}

// The chart is drawn flat, so the depth axes never take part.
bool TCustomAxisPanel::DecideAxisVisible(const TChartAxis* axis) const {
    if (!FAxisVisible || !axis->Visible() || axis->IsDepthAxis())
        return false;
    if (ActiveSeriesCount() == 0)
        return true;
    return std::any_of(FSeries.begin(), FSeries.end(),
                       [&](const auto& s) { return s->Active() && s->AssociatedToAxis(axis); });
}

void TCustomAxisPanel::InternalDraw(const TRect& userRect) {
    PanelPaint(userRect);
    DoOnBeforeDrawChart();
    ForEachActiveSeries([](TChartSeries& s) { s.DoBeforeDrawChart(); });
    DrawTitlesAndLegend(true);
    CalcWallsRect();
    ReCalcWidthHeight();
    ForEachActiveSeries([](TChartSeries& s) { s.BeforeCalcAxis(); });
    CalcAxisRect();
    ForEachActiveSeries([](TChartSeries& s) { s.CalcDepthPositions(); });
    CalcSeriesRect();
    if (SeriesUseAxesOrNoneActive())
        DrawWalls();
    if (FAxisBehind)
        DrawAxes();
    DoOnBeforeDrawSeries();
    DrawAllSeries();
    if (!FAxisBehind)
        DrawAxes();
    DrawTitlesAndLegend(false);
    Canvas()->ResetState();
    DoOnAfterDraw();
}

void TCustomAxisPanel::CalcAxisRect() {
    for (std::size_t i = 0; i < FAxes.size(); ++i) {
        FAxisShown[i] = DecideAxisVisible(FAxes[i].get());
        FAxes[i]->AdjustMaxMin();
    }
    for (const auto& axis : FAxes)
        axis->InternalCalcPositions();

    // Only the axes in the first five places take room; any later one only places itself.
    constexpr std::size_t AxesTakingRoom = 5;
    TRect r = ChartRect();
    for (std::size_t i = 0; i < FAxes.size(); ++i) {
        if (!FAxisShown[i])
            continue;
        TRect taken = r;
        FAxes[i]->CalcRect(taken, i < AxesTakingRoom);
        TRect left;
        // An axis that would leave no rectangle at all is ignored for the layout.
        if (IntersectRect(left, taken, r))
            r = left;
    }
    SetChartRect(r);
    ReCalcWidthHeight();
    for (const auto& axis : FAxes)
        axis->InternalCalcPositions();
}

void TCustomAxisPanel::CalcSeriesRect() {
    for (const auto& axis : FAxes)
        if (!axis->IsDepthAxis())
            CalcAxisMargins(*axis);
}

void TCustomAxisPanel::CalcAxisMargins(TChartAxis& axis) {
    TRect margins;
    const bool autoMin = axis.AutomaticMinimum();
    const bool autoMax = axis.AutomaticMaximum();
    if (autoMin || autoMax) {
        for (const auto& s : FSeries) {
            if (!s->Active() || !s->AssociatedToAxis(&axis))
                continue;
            int before = 0;
            int after = 0;
            if (axis.Horizontal()) {
                s->CalcHorizMargins(before, after);
                if (autoMin)
                    margins.Left = std::max(margins.Left, before);
                if (autoMax)
                    margins.Right = std::max(margins.Right, after);
            } else {
                s->CalcVerticalMargins(before, after);
                if (autoMin)
                    margins.Bottom = std::max(margins.Bottom, after);
                if (autoMax)
                    margins.Top = std::max(margins.Top, before);
            }
        }
    }
    axis.AdjustMaxMinRect(margins);
    axis.CalcRoundScales();
}

void TCustomAxisPanel::DrawAxes() {
    if (!FAxisVisible)
        return;
    DoOnBeforeDrawAxes();
    for (std::size_t i = 0; i < FAxes.size(); ++i)
        if (FAxisShown[i])
            FAxes[i]->Draw(true);
}

void TCustomAxisPanel::DrawAllSeries() {
    const TRect& r = ChartRect();
    for (const auto& s : FSeries) {
        if (!s->Active())
            continue;
        s->CalcFirstLastVisibleIndex();
        if (s->FirstValueIndex() == -1)
            continue;
        // One row above and below the rectangle stays open for markers on its edges.
        const bool clip = FClipPoints && s->UseAxis();
        if (clip)
            Canvas()->ClipCube(TRect{r.Left, r.Top - 1, r.Right, r.Bottom + 1}, 0, 0);
        s->DoBeforeDrawValues();
        s->DrawAllValues();
        s->DoAfterDrawValues();
        if (clip)
            Canvas()->UnClipRectangle();
        s->DrawMarks();
    }
}

void TCustomAxisPanel::DoOnBeforeDrawChart() {
    if (OnBeforeDrawChart)
        OnBeforeDrawChart();
}

void TCustomAxisPanel::DoOnBeforeDrawAxes() {
    if (OnBeforeDrawAxes)
        OnBeforeDrawAxes();
}

void TCustomAxisPanel::DoOnBeforeDrawSeries() {
    if (OnBeforeDrawSeries)
        OnBeforeDrawSeries();
}

void TCustomAxisPanel::DoOnAfterDraw() {
    if (OnAfterDraw)
        OnAfterDraw();
}
