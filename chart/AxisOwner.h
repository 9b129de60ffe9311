#pragma once

#include "chart/AxisLabelText.h"
#include "chart/canvas/ChartCanvas.h"

class TAxisScale;

// What an axis needs from the chart that owns it. The chart class implements it.
class TAxisOwner {
public:
    virtual ~TAxisOwner() = default;

    // The chart rectangle (the plotting area inside the axes) of the current layout.
    virtual TRect AxisChartRect() const = 0;
    // The drawing surface the axis measures its labels with and draws on; may be null
    // before the chart has one (labels then measure 0 pixels).
    virtual TChartCanvas* AxisCanvas() = 0;
    // The automatic extreme over the series associated with the axis: their smallest
    // (isMin) or largest value, of their X values (isX) or Y values; 0 without any.
    virtual double InternalMinMax(const TAxisScale* axis, bool isMin, bool isX) = 0;
    // True when the axis carries the X values of its series (a horizontal axis for a line
    // series) and some active series associated with it has no more than n points. The
    // label step of such an axis is never below 1 (see CalcLabelsIncrement).
    virtual bool AxisHasSeriesWithAtMostPoints(const TAxisScale* axis, int n) const = 0;
    // The thousands and decimal separators of the user's locale, for the label texts.
    // The widget shell reads them from the platform (QLocale()).
    virtual TNumberSeparators AxisNumberSeparators() const = 0;
};
