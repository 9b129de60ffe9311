#include "chart/CustomAxisPanel.h"

#include <algorithm>
#include <utility>

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

bool TCustomAxisPanel::AxisShown(const TChartAxis* axis) const {
    for (std::size_t i = 0; i < FAxes.size(); ++i)
        if (FAxes[i].get() == axis)
            return FAxisShown[i];
    return false;
}

double TCustomAxisPanel::InternalMinMax(const TAxisScale* axis, bool isMin, bool isX) {
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

bool TCustomAxisPanel::AxisHasSeriesWithAtMostPoints(const TAxisScale* axis, int n) const {
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
    if (!axis->Visible() || axis->IsDepthAxis())
        return false;
    if (ActiveSeriesCount() == 0)
        return true;
    return std::any_of(FSeries.begin(), FSeries.end(),
                       [&](const auto& s) { return s->Active() && s->AssociatedToAxis(axis); });
}

void TCustomAxisPanel::InternalDraw(const TRect& userRect) {
    Canvas()->BeginBackdrop();
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
    // The axes lie behind the series.
    DrawAxes();
    Canvas()->EndBackdrop();
    DoOnBeforeDrawSeries();
    DrawAllSeries();
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
        // A series drawn against axes is clipped to the chart rectangle; one row above and
        // below stays open for markers on its edges.
        const bool clip = s->UseAxis();
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
