#pragma once

// The arithmetic of an axis: the value range it spans, the label step that divides the range,
// and the mapping between values and pixels along its span. It neither measures nor draws: the
// step depends on the size of the labels, which the axis measures (CalcIncrement).

#include "chart/AxisOwner.h"

class TAxisScale {
public:
    // Automatic range (Automatic, AutomaticMinimum and AutomaticMaximum all true), Minimum
    // and Maximum 0, Increment 0 (automatic), no rounding of the ends.
    TAxisScale(TAxisOwner* owner, bool horizontal) : FOwner(owner), FHorizontal(horizontal) {}
    virtual ~TAxisScale() = default;
    TAxisScale(const TAxisScale&) = delete;
    TAxisScale& operator=(const TAxisScale&) = delete;

    TAxisOwner* Owner() const { return FOwner; }
    bool Horizontal() const { return FHorizontal; }

    // Range settings.
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
    // Part of the chart rectangle the axis spans, in percent (0 and 100: all of it).
    double StartPosition() const { return FStartPosition; }
    double EndPosition() const { return FEndPosition; }

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

    // Label step: the step for the current range and label size, found by the axis, which
    // measures its labels; the step that gives at most maxNumLabels labels; the next step
    // of the 1, 2, 5 series.
    virtual double CalcIncrement() = 0;
    double CalcLabelsIncrement(int maxNumLabels);
    static double NextAxisStep(double step);

    // True when a and b differ by no more than 1e-12 relatively (absolutely near zero).
    static bool SameValue(double a, double b);

protected:
    TRect ChartRect() const { return FOwner ? FOwner->AxisChartRect() : TRect{}; }

    TAxisOwner* FOwner;
    bool FHorizontal;
    bool FAutomatic = true;
    bool FAutomaticMinimum = true;
    bool FAutomaticMaximum = true;
    double FMinimumValue = 0;
    double FMaximumValue = 0;
    double FDesiredIncrement = 0;
    bool FMaximumRound = false;
    double FStartPosition = 0;
    double FEndPosition = 100;

private:
    int CalcPosValueAt(long double value) const;

    bool FFastCalc = false;
};
