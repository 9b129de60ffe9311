#pragma once

// The painting of an axis on the drawing surface: its line, major ticks, grid, minor ticks
// and labels, from the ticks and label texts the axis computed for the current range.

#include "chart/ChartAxis.h"

#include <vector>

class TAxisPainter {
public:
    TAxisPainter(const TChartAxis& axis, TChartCanvas& canvas, const TRect& chartRect);

    // Draws every visible part, in the order line, ticks, grid, minor ticks, labels.
    void Draw();

private:
    void DrawAxisLine();
    void DrawTicks(const std::vector<int>& positions, int length);
    void DrawGrid();
    void DrawMinorTicks();
    void DrawLabels();
    int AxisLineOffset() const;
    int TickStart() const;

    const TChartAxis& FAxis;
    TChartCanvas& FCanvas;
    const TRect FChartRect;
};
