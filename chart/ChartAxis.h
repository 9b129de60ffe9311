#pragma once

// A chart axis: its settings, the label values and texts of the current range, and the room
// it takes outside the chart rectangle. The range and mapping arithmetic is its base
// TAxisScale, the label text AxisLabelText, the painting TAxisPainter. Qt-free: the axis
// measures its labels through the abstract TChartCanvas and asks its chart for everything
// else through TAxisOwner.

#include "chart/AxisLabelText.h"
#include "chart/AxisOwner.h"
#include "chart/AxisScale.h"

#include <string>
#include <vector>

// The line of a grid: a pen, drawn at every DrawEvery-th major tick.
struct TAxisGridPen : TChartPen {
    int DrawEvery = 1;
};

// Label settings of an axis.
struct TAxisLabels {
    bool Visible = true;
    TChartFont Font;        // Arial, 8 points, black
    int Separation = 10;    // minimum gap between labels, percent of the largest label size
    bool RoundFirst = true; // the first label is a whole multiple of the step
};

// One label to draw: its text, its value and its pixel position along the axis.
struct TAxisItem {
    std::string FText;
    double FValue = 0;
    int FLabelPos = 0;
    bool operator==(const TAxisItem&) const = default;
};

class TChartAxis : public TAxisScale {
public:
    // Constructor defaults: automatic range (Automatic, AutomaticMinimum and
    // AutomaticMaximum all true), Minimum and Maximum 0, Increment 0 (automatic), no
    // rounding of the ends, visible. The chart's layout overrides what it needs.
    // otherSide: the top axis (horizontal) or the right axis (vertical).
    TChartAxis(TAxisOwner* owner, bool horizontal, bool otherSide = false, bool depth = false);

    // Settings.
    bool OtherSide() const { return FOtherSide; }
    bool IsDepthAxis() const { return FDepth; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }

    TAxisLabels& Labels() { return FLabels; }
    const TAxisLabels& Labels() const { return FLabels; }

    TChartPen& AxisPen() { return FAxisPen; }       // black, width 2, flat ends
    TChartPen& Ticks() { return FTicks; }           // grey, width 1
    TChartPen& MinorTicks() { return FMinorTicks; } // grey, width 1
    TAxisGridPen& Grid() { return FGrid; }          // silver, width 1, every tick
    const TChartPen& AxisPen() const { return FAxisPen; }
    const TChartPen& Ticks() const { return FTicks; }
    const TChartPen& MinorTicks() const { return FMinorTicks; }
    const TAxisGridPen& Grid() const { return FGrid; }
    int TickLength() const { return FTickLength; }
    void SetTickLength(int v) { FTickLength = v; }
    int MinorTickLength() const { return FMinorTickLength; }
    void SetMinorTickLength(int v) { FMinorTickLength = v; }
    int MinorTickCount() const { return FMinorTickCount; }
    void SetMinorTickCount(int v) { FMinorTickCount = v; }

    int PosAxis() const { return FPosAxis; }
    int PosLabels() const { return FPosLabels; }
    // Major tick positions and labels of the last draw, highest value first.
    const std::vector<int>& Tick() const { return FTick; }
    const std::vector<TAxisItem>& Items() const { return FAxisItems; }

    // Label step: from the size of the widest label the range gives.
    double CalcIncrement() override;
    double CalcXYIncrement(int maxLabelSize);

    // Label text and size.
    virtual std::string LabelValue(double value) const;
    int InternalLabelSize(double value);
    int MaxLabelsWidth();

    // Builds Tick and Items for the current range (the first step of a draw).
    void CalcLabelsAndTicks();

    // Takes the axis' label band and tick band out of r and fixes the label edge.
    // Without inflateChartRect the axis only places itself and r is left alone.
    void CalcRect(TRect& r, bool inflateChartRect);
    // Places the axis line, computes the labels and ticks of the current range, and paints
    // them (TAxisPainter).
    void Draw(bool calcPosAxis);

private:
    TChartCanvas* Canvas() const { return FOwner ? FOwner->AxisCanvas() : nullptr; }
    void AddLabel(double value);
    void ShrinkRect(TRect& r, int size);
    bool FOtherSide;
    bool FDepth;
    bool FVisible = true;

    TAxisLabels FLabels;
    TChartPen FAxisPen{clBlack, 2, psSolid, true, esFlat};
    TChartPen FTicks{clGray, 1};
    TChartPen FMinorTicks{clGray, 1};
    TAxisGridPen FGrid{{clSilver, 1}};
    int FTickLength = 4;
    int FMinorTickLength = 2;
    int FMinorTickCount = 3;

    int FPosAxis = 0;
    int FPosLabels = 0;
    std::vector<int> FTick;
    std::vector<TAxisItem> FAxisItems;
};
