#pragma once

// A chart axis: its value range, the mapping between values and pixels, the choice of the
// label step, the label texts, the room the axis takes outside the chart rectangle, and the
// drawing of its line, ticks, grid and labels. Qt-free: the axis measures and draws through
// the abstract TChartCanvas and asks its chart for everything else through TAxisOwner.

#include "chart/ChartCanvas.h"

#include <string>
#include <vector>

class TChartAxis;

// The user's number separators used in label texts ("13,000" and "187.5" in English).
struct TNumberSeparators {
    std::string Thousands = ",";
    std::string Decimal = ".";
    bool operator==(const TNumberSeparators&) const = default;
};

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
    virtual double InternalMinMax(const TChartAxis* axis, bool isMin, bool isX) = 0;
    // True when the axis carries the X values of its series (a horizontal axis for a line
    // series) and some active series associated with it has no more than n points. The
    // label step of such an axis is never below 1 (see CalcLabelsIncrement).
    virtual bool AxisHasSeriesWithAtMostPoints(const TChartAxis* axis, int n) const = 0;
    // The thousands and decimal separators of the user's locale, for the label texts.
    // The widget shell reads them from the platform (QLocale()).
    virtual TNumberSeparators AxisNumberSeparators() const = 0;
};

// The line of a grid: a pen, drawn at every DrawEvery-th major tick.
struct TAxisGridPen : TChartPen {
    int DrawEvery = 1;
    bool Centered = false;
};

// Label settings of an axis.
struct TAxisLabels {
    bool Visible = true;
    TChartFont Font;        // Arial, 8 points, black
    int Separation = 10;    // minimum gap between labels, percent of the largest label size
    bool OnAxis = true;     // labels also for values whose pixel lies on or beyond the span ends
    bool RoundFirst = true; // the first label is a whole multiple of the step
    int Angle = 0;
};

// One label to draw: its text, its value and its pixel position along the axis.
struct TAxisItem {
    std::string FText;
    double FValue = 0;
    int FLabelPos = 0;
    bool operator==(const TAxisItem&) const = default;
};

// Formats a value as "#,##0.###": digits grouped by threes, up to three decimals without
// trailing zeros, at least one integer digit, a minus sign for negatives.
std::string FormatAxisValue(double value, const TNumberSeparators& separators);

class TChartAxis {
public:
    // Constructor defaults: automatic range (Automatic, AutomaticMinimum and
    // AutomaticMaximum all true), Minimum and Maximum 0, Increment 0 (automatic), no
    // rounding of the ends, visible. The chart's layout overrides what it needs.
    // otherSide: the top axis (horizontal) or the right axis (vertical).
    TChartAxis(TAxisOwner* owner, bool horizontal, bool otherSide = false, bool depth = false);
    virtual ~TChartAxis() = default;
    TChartAxis(const TChartAxis&) = delete;
    TChartAxis& operator=(const TChartAxis&) = delete;

    TAxisOwner* Owner() const { return FOwner; }

    // Settings.
    bool Horizontal() const { return FHorizontal; }
    bool OtherSide() const { return FOtherSide; }
    bool IsDepthAxis() const { return FDepth; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }
    bool Automatic() const { return FAutomatic; }
    void SetAutomatic(bool v) { FAutomatic = v; }
    bool AutomaticMinimum() const { return FAutomaticMinimum; }
    void SetAutomaticMinimum(bool v) { FAutomaticMinimum = v; }
    bool AutomaticMaximum() const { return FAutomaticMaximum; }
    void SetAutomaticMaximum(bool v) { FAutomaticMaximum = v; }
    double Minimum() const { return FMinimumValue; }
    void SetMinimum(double v) { FMinimumValue = v; }
    double Maximum() const { return FMaximumValue; }
    void SetMaximum(double v) { FMaximumValue = v; }
    double Increment() const { return FDesiredIncrement; }
    void SetIncrement(double v) { FDesiredIncrement = v; }
    bool MaximumRound() const { return FMaximumRound; }
    void SetMaximumRound(bool v) { FMaximumRound = v; }
    bool MinimumRound() const { return FMinimumRound; }
    void SetMinimumRound(bool v) { FMinimumRound = v; }
    // Part of the chart rectangle the axis spans, in percent (0 and 100: all of it).
    double StartPosition() const { return FStartPosition; }
    double EndPosition() const { return FEndPosition; }

    TAxisLabels& Labels() { return FLabels; }
    const TAxisLabels& Labels() const { return FLabels; }
    const std::string& AxisValuesFormat() const { return FAxisValuesFormat; }

    TChartPen& AxisPen() { return FAxisPen; }       // black, width 2, flat ends
    TChartPen& Ticks() { return FTicks; }           // grey, width 1
    TChartPen& MinorTicks() { return FMinorTicks; } // grey, width 1
    TAxisGridPen& Grid() { return FGrid; }          // silver, width 1, every tick
    TChartPen& MinorGrid() { return FMinorGrid; }   // hidden
    const TChartPen& AxisPen() const { return FAxisPen; }
    const TChartPen& Ticks() const { return FTicks; }
    const TChartPen& MinorTicks() const { return FMinorTicks; }
    const TAxisGridPen& Grid() const { return FGrid; }
    const TChartPen& MinorGrid() const { return FMinorGrid; }
    int TickLength() const { return FTickLength; }
    void SetTickLength(int v) { FTickLength = v; }
    // Inner ticks (into the chart rectangle) are not drawn: their length stays 0.
    int TickInnerLength() const { return FTickInnerLength; }
    int MinorTickLength() const { return FMinorTickLength; }
    void SetMinorTickLength(int v) { FMinorTickLength = v; }
    int MinorTickCount() const { return FMinorTickCount; }
    void SetMinorTickCount(int v) { FMinorTickCount = v; }
    bool TickOnLabelsOnly() const { return FTickOnLabelsOnly; }

    // Working state of the last draw: kept between draws and read by the mapping.
    double IMinimum = 0;
    double IMaximum = 0;
    double IRange = 0;
    bool IRangeZero = false;
    double IAxisSizeRange = 0; // pixels per value unit
    int IStartPos = 0;
    int IEndPos = 0;
    int IAxisSize = 0;
    int ICenterPos = 0;

    int PosAxis() const { return FPosAxis; }
    int PosLabels() const { return FPosLabels; }
    // Major tick positions and labels of the last draw, highest value first.
    const std::vector<int>& Tick() const { return FTick; }
    const std::vector<TAxisItem>& Items() const { return FAxisItems; }

    // Range.
    void AdjustMaxMin();
    void CalcMinMax(double& aMin, double& aMax);
    void InternalCalcRange();
    void CalcRoundScales();
    void InternalCalcPositions();
    // Widens the range so that the old range fits the span shrunk by the margins
    // (left/right on a horizontal axis, top/bottom on a vertical one).
    void AdjustMaxMinRect(const TRect& margins);

    // Value to pixel; no clamping.
    int CalcXPosValue(double value) const;
    int CalcYPosValue(double value) const;
    int CalcPosValue(double value) const;
    // Pixel to value; no clamping.
    double CalcPosPoint(int pixel) const;
    // While a series draws its points the chart switches the mapping to its fast form,
    // which skips the intermediate rounding to double.
    void SetFastCalc(bool fast) { FFastCalc = fast; }
    bool FastCalc() const { return FFastCalc; }

    // Label step.
    double CalcIncrement();
    double CalcXYIncrement(int maxLabelSize);
    double CalcLabelsIncrement(int maxNumLabels);
    static double NextAxisStep(double step);

    // Label text and size.
    virtual std::string LabelValue(double value) const;
    int InternalLabelSize(double value);
    int MaxLabelsWidth();

    // Builds Tick and Items for the current range (the first step of a draw).
    void CalcLabelsAndTicks();

    // Takes the axis' label band and tick band out of r and fixes the label edge.
    // Without inflateChartRect the axis only places itself and r is left alone.
    void CalcRect(TRect& r, bool inflateChartRect);
    // Draws the axis line, major ticks, grid, minor ticks and labels.
    void Draw(bool calcPosAxis);

    // True when a and b differ by no more than 1e-12 relatively (absolutely near zero).
    static bool SameValue(double a, double b);

private:
    TChartCanvas* Canvas() const { return FOwner ? FOwner->AxisCanvas() : nullptr; }
    TRect ChartRect() const { return FOwner ? FOwner->AxisChartRect() : TRect{}; }
    int CalcPosValueAt(long double value) const;
    void AddLabel(double value);
    void ShrinkRect(TRect& r, int size);
    void DrawAxisLine();
    void DrawTicks(TChartCanvas& canvas, const std::vector<int>& positions, int length);
    void DrawGrid();
    void DrawMinorTicks();
    void DrawLabels();
    int AxisLineOffset() const;
    int TickStart() const;

    TAxisOwner* FOwner;
    bool FHorizontal;
    bool FOtherSide;
    bool FDepth;
    bool FVisible = true;
    bool FAutomatic = true;
    bool FAutomaticMinimum = true;
    bool FAutomaticMaximum = true;
    double FMinimumValue = 0;
    double FMaximumValue = 0;
    double FDesiredIncrement = 0;
    bool FMaximumRound = false;
    bool FMinimumRound = false;
    double FStartPosition = 0;
    double FEndPosition = 100;

    TAxisLabels FLabels;
    std::string FAxisValuesFormat = "#,##0.###";
    TChartPen FAxisPen{clBlack, 2, psSolid, true, esFlat};
    TChartPen FTicks{clGray, 1};
    TChartPen FMinorTicks{clGray, 1};
    TAxisGridPen FGrid{{clSilver, 1}};
    TChartPen FMinorGrid{clGray, 1, psSolid, false};
    int FTickLength = 4;
    const int FTickInnerLength = 0;
    int FMinorTickLength = 2;
    int FMinorTickCount = 3;
    bool FTickOnLabelsOnly = true;

    int FPosAxis = 0;
    int FPosLabels = 0;
    std::vector<int> FTick;
    std::vector<TAxisItem> FAxisItems;
    bool FFastCalc = false;
};
