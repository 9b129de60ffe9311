#pragma once

#include "chart/ChartAxis.h"
#include "chart/ChartValueList.h"

#include <memory>

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
    bool AssociatedToAxis(const TAxisScale* axis) const;
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
    // The smallest or largest Y value over the points that are painted; 0 without any.
    double PaintedYExtreme(bool isMin) const;
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
