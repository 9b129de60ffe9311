#pragma once

// The series base and the chart that owns axes and series: the layout of the axes around the
// chart rectangle and the order in which walls, axes and series are painted.

#include "chart/ChartAxis.h"
#include "chart/ChartPanel.h"
#include "chart/ChartValueList.h"

#include <array>
#include <functional>
#include <memory>
#include <vector>

class TCustomAxisPanel;

enum THorizAxis { aTopAxis, aBottomAxis, aBothHorizAxis };
enum TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis };

// A series of points with X and Y value lists, shown on a chart against one horizontal and
// one vertical axis.
class TChartSeries : public TValueListOwner {
public:
    TChartSeries();
    virtual ~TChartSeries() = default;
    TChartSeries(const TChartSeries&) = delete;
    TChartSeries& operator=(const TChartSeries&) = delete;

    TChartValueList* XValues() { return FXValues.get(); }
    TChartValueList* YValues() { return FYValues.get(); }
    const TChartValueList* XValues() const { return FXValues.get(); }
    const TChartValueList* YValues() const { return FYValues.get(); }
    int Count() const { return FXValues->Count(); }

    // Adds a point while the series is filled; each list places its value by its order.
    int AddXY(double x, double y);

    TCustomAxisPanel* ParentChart() const { return FParentChart; }
    void SetParentChart(TCustomAxisPanel* chart) { FParentChart = chart; }

    bool Active() const { return FActive; }
    void SetActive(bool active) { FActive = active; }

    // clDefault: the chart hands the series a colour from its palette.
    TColor SeriesColor() const { return FColor; }
    void SetSeriesColor(TColor color) { FColor = color; }

    THorizAxis HorizAxis() const { return FHorizAxis; }
    void SetHorizAxis(THorizAxis axis) { FHorizAxis = axis; }
    TVertAxis VertAxis() const { return FVertAxis; }
    void SetVertAxis(TVertAxis axis) { FVertAxis = axis; }
    TChartAxis* GetHorizAxis() const;
    TChartAxis* GetVertAxis() const;
    bool AssociatedToAxis(const TChartAxis* axis) const;
    // Whether the series is drawn against axes at all.
    virtual bool UseAxis() const { return true; }

    // Extremes of the values; the Y extremes only over the points that are painted.
    virtual double MaxXValue() const { return FXValues->MaxValue(); }
    virtual double MinXValue() const { return FXValues->MinValue(); }
    virtual double MaxYValue() const;
    virtual double MinYValue() const;

    // Room in pixels the series needs beyond the automatic ends of its axes.
    virtual void CalcHorizMargins(int& leftMargin, int& rightMargin) const;
    virtual void CalcVerticalMargins(int& topMargin, int& bottomMargin) const;

    // Pixel of a value, or of point index, as the axes of the last full draw map it.
    virtual int CalcXPosValue(double value) const;
    virtual int CalcYPosValue(double value) const;
    virtual int CalcXPos(int index) const;
    virtual int CalcYPos(int index) const;
    // Value at a pixel column or row.
    virtual double XScreenToValue(int pixel) const;
    virtual double YScreenToValue(int pixel) const;
    // Values under the pointer's current position, with the axes of the last full draw.
    void GetCursorValues(double& xValue, double& yValue) const;

    // The colour point index is painted in; clNone makes it a null point.
    virtual TColor GetValueColor(int index) const;
    bool IsNull(int index) const { return GetValueColor(index) == clNone; }

    // Steps of a full draw, in the order the chart calls them.
    virtual void DoBeforeDrawChart() {}
    virtual void BeforeCalcAxis() {}
    virtual void CalcDepthPositions() {}
    virtual void CalcFirstLastVisibleIndex();
    virtual void DoBeforeDrawValues() {}
    virtual void DrawAllValues() {}
    virtual void DoAfterDrawValues() {}
    virtual void DrawMarks() {}

    // Visible index range of the current draw; -1 when nothing is visible.
    int FirstValueIndex() const { return FFirstVisibleIndex; }
    int LastValueIndex() const { return FLastVisibleIndex; }

    // A written value only notifies the series; it neither re-sorts nor repaints.
    void NotifyValue(TValueEvent /*event*/, int /*index*/) override {}

protected:
    virtual bool IsPointInChartRect(int index) const;
    // Whether the box (x - h, y - v, x + h, y + v) around point index overlaps the chart
    // rectangle in a positive area.
    bool PointBoxInChartRect(int index, int h, int v) const;

    int FFirstVisibleIndex = -1;
    int FLastVisibleIndex = -1;

private:
    void SearchVisibleRange();
    void WidenVisibleRange();

    std::unique_ptr<TChartValueList> FXValues;
    std::unique_ptr<TChartValueList> FYValues;
    TCustomAxisPanel* FParentChart = nullptr;
    bool FActive = true;
    TColor FColor = clDefault;
    THorizAxis FHorizAxis = aBottomAxis;
    TVertAxis FVertAxis = aLeftAxis;
};

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
    bool View3DWalls() const { return FView3DWalls; }
    void SetView3DWalls(bool value);
    bool AxisVisible() const { return FAxisVisible; }
    void SetAxisVisible(bool value);
    bool AxisBehind() const { return FAxisBehind; }
    void SetAxisBehind(bool value);
    bool ClipPoints() const { return FClipPoints; }
    void SetClipPoints(bool value);

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
    double InternalMinMax(const TChartAxis* axis, bool isMin, bool isX) override;
    bool AxisHasSeriesWithAtMostPoints(const TChartAxis* axis, int n) const override;
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
    bool FView3DWalls = true;
    bool FAxisVisible = true;
    bool FAxisBehind = true;
    bool FClipPoints = true;
};
