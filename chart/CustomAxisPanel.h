#pragma once

#include "chart/ChartAxis.h"
#include "chart/ChartPanel.h"
#include "chart/ChartSeries.h"

#include <array>
#include <functional>
#include <memory>
#include <vector>

// Positions of the six axes in the chart's list.
enum TAxisIndex { aiBottom, aiTop, aiLeft, aiRight, aiDepth, aiDepthTop, aiCount };

// A chart panel with axes and series: lays the axes out around the chart rectangle and paints
// walls, axes and series in order.
class TCustomAxisPanel : public TCustomChartPanelExtended, public TAxisOwner {
public:
    explicit TCustomAxisPanel(std::unique_ptr<TChartCanvas> canvas);
    ~TCustomAxisPanel() override;

    // Axes, in list order: bottom, top, left, right, depth, depth-top.
    TChartAxis* Axis(int index) const { return FAxes[static_cast<std::size_t>(index)].get(); }
    TChartAxis* BottomAxis() const { return Axis(aiBottom); }
    TChartAxis* TopAxis() const { return Axis(aiTop); }
    TChartAxis* LeftAxis() const { return Axis(aiLeft); }
    TChartAxis* RightAxis() const { return Axis(aiRight); }
    TChartAxis* DepthAxis() const { return Axis(aiDepth); }
    TChartAxis* DepthTopAxis() const { return Axis(aiDepthTop); }
    // Whether the axis took part in the last layout (shown, used by an active series).
    bool AxisShown(const TChartAxis* axis) const;

    // The chart owns its series and keeps them in the order they were added.
    template <class TSeries> TSeries* AddSeries(std::unique_ptr<TSeries> series) {
        TSeries* added = series.get();
        InsertSeries(std::move(series));
        return added;
    }
    int SeriesCount() const { return static_cast<int>(FSeries.size()); }
    TChartSeries* Series(int index) const { return FSeries[static_cast<std::size_t>(index)].get(); }
    int ActiveSeriesCount() const;

    // Settings.
    bool View3D() const { return FView3D; }
    void SetView3D(bool value);

    // Events of a full draw; none is needed by default.
    std::function<void()> OnBeforeDrawChart;
    std::function<void()> OnBeforeDrawAxes;
    std::function<void()> OnBeforeDrawSeries;
    std::function<void()> OnAfterDraw;

    // Extremes over the series associated with an axis.
    double MaxXValue(const TChartAxis* axis) { return InternalMinMax(axis, false, true); }
    double MinXValue(const TChartAxis* axis) { return InternalMinMax(axis, true, true); }
    double MaxYValue(const TChartAxis* axis) { return InternalMinMax(axis, false, false); }
    double MinYValue(const TChartAxis* axis) { return InternalMinMax(axis, true, false); }

    // The axes' view of the chart.
    TRect AxisChartRect() const override { return ChartRect(); }
    TChartCanvas* AxisCanvas() override { return Canvas(); }
    double InternalMinMax(const TAxisScale* axis, bool isMin, bool isX) override;
    bool AxisHasSeriesWithAtMostPoints(const TAxisScale* axis, int n) const override;
    TNumberSeparators AxisNumberSeparators() const override { return TNumberSeparators{}; }

protected:
    void InternalDraw(const TRect& userRect) override;

    // Layout of the axes: ranges, the room each visible axis takes, the chart rectangle
    // that is left, then the pixel spans inside it.
    void CalcAxisRect();
    // The series' pointer margins widen the axes' ranges inside the fixed chart rectangle.
    void CalcSeriesRect();
    void DrawAxes();
    void DrawAllSeries();

    // Hooks of the chart.
    virtual void DrawTitlesAndLegend(bool /*beforeSeries*/) {}
    virtual void CalcWallsRect() {}
    virtual int CalcWallSize(const TChartAxis* /*axis*/) const { return 0; }
    virtual void DrawWalls() {}
    virtual void SeriesAdded(TChartSeries* /*series*/) {}
    virtual void DoOnBeforeDrawChart();
    virtual void DoOnBeforeDrawAxes();
    virtual void DoOnBeforeDrawSeries();
    virtual void DoOnAfterDraw();

    // Whether some active series is drawn against axes, or no series is active at all.
    bool SeriesUseAxesOrNoneActive() const;

private:
    void InsertSeries(std::unique_ptr<TChartSeries> series);
    bool DecideAxisVisible(const TChartAxis* axis) const;
    void CalcAxisMargins(TChartAxis& axis);
    template <class TStep> void ForEachActiveSeries(TStep step);

    std::array<std::unique_ptr<TChartAxis>, aiCount> FAxes;
    std::array<bool, aiCount> FAxisShown{};
    std::vector<std::unique_ptr<TChartSeries>> FSeries;
    bool FView3D = true;
};
