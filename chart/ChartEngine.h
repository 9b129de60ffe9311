#pragma once

// Axes, the series base and the chart that owns them.

#include "chart/ChartValueList.h"

#include <memory>

class TCustomAxisPanel;

// A series of points with X and Y value lists, shown on a chart.
class TChartSeries {
public:
    TChartSeries();
    virtual ~TChartSeries() = default;

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

    // A written value only notifies the series; it neither re-sorts nor repaints.
    virtual void NotifyValue(TValueEvent /*event*/, int /*index*/) {}

private:
    std::unique_ptr<TChartValueList> FXValues;
    std::unique_ptr<TChartValueList> FYValues;
    TCustomAxisPanel* FParentChart = nullptr;
    bool FActive = true;
};
