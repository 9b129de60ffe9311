#pragma once

#include "chart/ChartEngine.h"

// The line series: a polyline through the points in index order with a marker at each point.
class TLineSeries : public TChartSeries {
public:
    TLineSeries() = default;

    // Pixel position of point i as the axes of the last full draw map it.
    int CalcXPos(int index) const;
    int CalcYPos(int index) const;
    // Values under the pointer's current position, with the axes of the last full draw.
    void GetCursorValues(double& xValue, double& yValue) const;
};
