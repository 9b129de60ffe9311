// Value ranges of the bottom (RPM) and left (advance) axes and the mapping between values
// and pixels, on a stand-in chart that lays the two axes out the way the chart panel does.

#include "chart/ChartAxis.h"
#include "chart/RecordingCanvas.h"
#include "chart/SmoothCanvas.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <limits>

namespace {

// The chart as the axes see it: a chart rectangle, a surface, and one line series whose
// extremes and point count the test sets.
class TFakeChart : public TAxisOwner {
public:
    TRect Rect{30, 19, 942, 431}; // 972 x 450 chart before the axes take their room
    TRecordingCanvas Canvas;
    TChartCanvas* Surface = &Canvas;
    double MinX = 0, MaxX = 13000, MinY = 5, MaxY = 12;
    int Points = 15;
    TNumberSeparators Separators;
    int MinMaxQueries = 0;

    TRect AxisChartRect() const override { return Rect; }
    TChartCanvas* AxisCanvas() override { return Surface; }
    double InternalMinMax(const TChartAxis*, bool isMin, bool isX) override {
        ++MinMaxQueries;
        if (isX)
            return isMin ? MinX : MaxX;
        return isMin ? MinY : MaxY;
    }
    bool AxisHasSeriesWithAtMostPoints(const TChartAxis* axis, int n) const override {
        return axis->Horizontal() && Points <= n;
    }
    TNumberSeparators AxisNumberSeparators() const override { return Separators; }
};

// The two axes as the main window configures them.
void ConfigureBottom(TChartAxis& a) {
    a.SetAutomatic(false);
    a.SetAutomaticMinimum(false);
    a.SetAutomaticMaximum(true);
    a.SetMinimum(0);
    a.SetIncrement(0);
    a.SetMaximumRound(false);
}

void ConfigureLeft(TChartAxis& a) {
    ConfigureBottom(a);
    a.SetIncrement(1.0);
    a.SetMaximumRound(true);
}

struct TLaidOutChart : TFakeChart {
    TChartAxis Bottom{this, true};
    TChartAxis Left{this, false};

    TLaidOutChart() {
        ConfigureBottom(Bottom);
        ConfigureLeft(Left);
    }

    // The layout step of a full draw: range update, pixel span, axis space, pixel span
    // again, then the pointer margins (6 pixels right on the bottom axis, 5 on top on the
    // left axis) and the second rounding.
    void Layout(TRect beforeAxes = TRect{30, 19, 942, 431}) {
        Rect = beforeAxes;
        Bottom.AdjustMaxMin();
        Left.AdjustMaxMin();
        Bottom.InternalCalcPositions();
        Left.InternalCalcPositions();
        TRect r = Rect;
        for (TChartAxis* axis : {&Bottom, &Left}) {
            TRect t = r;
            axis->CalcRect(t, true);
            r = t;
        }
        Rect = r;
        Bottom.InternalCalcPositions();
        Left.InternalCalcPositions();
        Bottom.AdjustMaxMinRect(TRect{0, 0, 6, 0});
        Bottom.CalcRoundScales();
        Left.AdjustMaxMinRect(TRect{0, 5, 0, 0});
        Left.CalcRoundScales();
    }
};

// A bare axis with its span and range set directly.
void Place(TChartAxis& a, int start, int end, double min, double max) {
    a.IStartPos = start;
    a.IEndPos = end;
    a.IAxisSize = end - start;
    a.ICenterPos = (start + end) / 2;
    a.IMinimum = min;
    a.IMaximum = max;
    a.InternalCalcRange();
}

} // namespace

// With the recording surface's metrics (6 pixels a character, 14 a line) the axes take
// 14 + 7 pixels at the bottom and "12" (12) + " " (6) + 7 on the left: the chart rectangle
// becomes (55, 19, 942, 410); the bottom span is 887 pixels and the left span 391.
TEST(AxisInitialRange, ChartRectangleAfterTheAxesTakeTheirRoom) {
    TLaidOutChart chart;
    chart.Layout();
    EXPECT_EQ(chart.Rect, (TRect{55, 19, 942, 410}));
    EXPECT_EQ(chart.Bottom.IStartPos, 55);
    EXPECT_EQ(chart.Bottom.IEndPos, 942);
    EXPECT_EQ(chart.Bottom.IAxisSize, 887);
    EXPECT_EQ(chart.Bottom.ICenterPos, 498);
    EXPECT_EQ(chart.Left.IStartPos, 19);
    EXPECT_EQ(chart.Left.IEndPos, 410);
    EXPECT_EQ(chart.Left.IAxisSize, 391);
    EXPECT_EQ(chart.Left.ICenterPos, 214);
}

TEST(AxisInitialRange, BottomAxisEndsSixPixelsBeyondTheLargestSpeed) {
    TLaidOutChart chart;
    chart.Layout();
    const TChartAxis& b = chart.Bottom;
    EXPECT_DOUBLE_EQ(b.IMinimum, 0);
    EXPECT_NEAR(b.IMaximum, 13000.0 * 887 / 881, 1e-9);
    EXPECT_NEAR(b.IRange, 13088.535754824064, 1e-9);
    EXPECT_FALSE(b.IRangeZero);
    EXPECT_NEAR(b.IAxisSizeRange, 881.0 / 13000, 1e-15);
    EXPECT_EQ(b.CalcXPosValue(13000), 936);  // 6 pixels inside the right end
    EXPECT_EQ(b.CalcXPosValue(0), 55);       // exactly at the left end
    EXPECT_EQ(b.CalcPosValue(500), 55 + 34); // 500 x 881 / 13000 = 33.9
}

TEST(AxisInitialRange, LeftAxisIsLiftedByTheMarginThenRoundedToThirteen) {
    TLaidOutChart chart;
    chart.Layout();
    const TChartAxis& l = chart.Left;
    EXPECT_DOUBLE_EQ(l.IMinimum, 0);
    EXPECT_DOUBLE_EQ(l.IMaximum, 13);
    EXPECT_DOUBLE_EQ(l.IRange, 13);
    // The lead-in points at 5 degrees sit 5/13 of the span above its bottom.
    EXPECT_EQ(l.CalcYPosValue(5), 410 - 150); // 5 x 391 / 13 = 150.4
    EXPECT_EQ(l.CalcYPosValue(13), 19);
    EXPECT_EQ(l.CalcYPosValue(0), 410);
}

TEST(AxisInitialRange, MarginLiftBeforeRoundingIsTwelvePlusSixtyOverTheShrunkSpan) {
    TLaidOutChart chart;
    chart.Left.SetMaximumRound(false);
    chart.Layout();
    EXPECT_NEAR(chart.Left.IMaximum, 12 + 60.0 / 386, 1e-12);
}

TEST(AxisInitialRange, ASecondDrawGivesTheSamePicture) {
    TLaidOutChart chart;
    chart.Layout();
    const double bottomMax = chart.Bottom.IMaximum;
    chart.Layout();
    EXPECT_EQ(chart.Rect, (TRect{55, 19, 942, 410}));
    EXPECT_DOUBLE_EQ(chart.Bottom.IMaximum, bottomMax);
    EXPECT_DOUBLE_EQ(chart.Left.IMaximum, 13);
}

TEST(AxisRangeFollowsTheCurve, LoweringTheLargestAdvanceToElevenEndsTheLeftAxisAtTwelve) {
    TLaidOutChart chart;
    chart.Layout();
    chart.MaxY = 11;
    chart.Layout();
    EXPECT_DOUBLE_EQ(chart.Left.IMaximum, 12);
    EXPECT_DOUBLE_EQ(chart.Left.IMinimum, 0);
}

TEST(AxisRangeFollowsTheCurve, AdvanceFiftyDoublesTheStepAndRoundsToFiftyTwo) {
    TLaidOutChart chart;
    chart.Layout();
    chart.MaxY = 50;
    chart.Layout();
    // 391 / (14 + 1) gives 26 labels; step 1 needs 51 intervals, step 2 needs 25.
    EXPECT_DOUBLE_EQ(chart.Left.CalcIncrement(), 2);
    EXPECT_DOUBLE_EQ(chart.Left.IMaximum, 52);
}

TEST(AxisRangeFollowsTheCurve, DraggingToTwentyThousandWidensTheBottomAxis) {
    TLaidOutChart chart;
    chart.Layout();
    const int before = chart.Bottom.CalcXPosValue(6000);
    chart.MaxX = 20000;
    chart.Layout();
    EXPECT_NEAR(chart.Bottom.IMaximum, 20000.0 * 887 / 881, 1e-9);
    EXPECT_EQ(chart.Bottom.CalcXPosValue(20000), 936);
    EXPECT_LT(chart.Bottom.CalcXPosValue(6000), before); // unchanged values move left
    // ... and narrows again when the point comes back.
    chart.MaxX = 13000;
    chart.Layout();
    EXPECT_NEAR(chart.Bottom.IMaximum, 13000.0 * 887 / 881, 1e-9);
}

TEST(AxisRangeUpdate, OnlyTheAutomaticEndsFollowTheSeries) {
    TFakeChart chart;
    TChartAxis a(&chart, true);
    ConfigureBottom(a);
    chart.MinX = 700;
    a.AdjustMaxMin();
    EXPECT_DOUBLE_EQ(a.IMinimum, 0);
    EXPECT_DOUBLE_EQ(a.IMaximum, 13000);
    EXPECT_DOUBLE_EQ(a.Maximum(), 13000);

    a.SetAutomaticMinimum(true);
    a.AdjustMaxMin();
    EXPECT_DOUBLE_EQ(a.IMinimum, 700);

    TChartAxis fixed(&chart, false);
    fixed.SetAutomatic(false);
    fixed.SetAutomaticMinimum(false);
    fixed.SetAutomaticMaximum(false);
    fixed.SetMinimum(-3);
    fixed.SetMaximum(7);
    fixed.AdjustMaxMin();
    EXPECT_DOUBLE_EQ(fixed.IMinimum, -3);
    EXPECT_DOUBLE_EQ(fixed.IMaximum, 7);
    EXPECT_DOUBLE_EQ(fixed.IRange, 10);
}

TEST(AxisRangeUpdate, LeftAxisTakesTheAdvancesAndBottomAxisTheSpeeds) {
    TFakeChart chart;
    chart.MaxX = 9000;
    chart.MaxY = 33;
    TChartAxis bottom(&chart, true);
    TChartAxis left(&chart, false);
    ConfigureBottom(bottom);
    ConfigureBottom(left);
    bottom.AdjustMaxMin();
    left.AdjustMaxMin();
    EXPECT_DOUBLE_EQ(bottom.IMaximum, 9000);
    EXPECT_DOUBLE_EQ(left.IMaximum, 33);
}

TEST(AxisRangeUpdate, NoRoundingBeforeTheFirstSpanIsKnown) {
    TFakeChart chart;
    chart.MaxY = 12.4;
    TChartAxis left(&chart, false);
    ConfigureLeft(left);
    left.AdjustMaxMin(); // span still 0
    EXPECT_DOUBLE_EQ(left.IMaximum, 12.4);
    left.InternalCalcPositions();
    left.CalcRoundScales();
    EXPECT_DOUBLE_EQ(left.IMaximum, 13);
}

TEST(AxisRangeUpdate, RoundingNeedsAnAutomaticMaximum) {
    TFakeChart chart;
    TChartAxis a(&chart, false);
    Place(a, 0, 400, 0, 12.4);
    a.SetIncrement(1);
    a.SetMaximumRound(true);
    a.SetAutomatic(false);
    a.SetAutomaticMaximum(false);
    a.CalcRoundScales();
    EXPECT_DOUBLE_EQ(a.IMaximum, 12.4);
    a.SetAutomaticMaximum(true);
    a.CalcRoundScales();
    EXPECT_DOUBLE_EQ(a.IMaximum, 13);
    EXPECT_DOUBLE_EQ(a.IRange, 13);
}

TEST(AxisRangeUpdate, RoundingTheMinimumGoesDownToAWholeStep) {
    TFakeChart chart;
    TChartAxis a(&chart, false);
    Place(a, 0, 400, 2.6, 12);
    a.SetIncrement(1);
    a.SetMinimumRound(true);
    a.CalcRoundScales();
    EXPECT_DOUBLE_EQ(a.IMinimum, 2);
    EXPECT_DOUBLE_EQ(a.IRange, 10);
}

TEST(AxisSpan, FollowsTheChartRectangle) {
    TFakeChart chart;
    chart.Rect = TRect{55, 19, 942, 410};
    TChartAxis bottom(&chart, true);
    TChartAxis left(&chart, false);
    bottom.InternalCalcPositions();
    left.InternalCalcPositions();
    EXPECT_EQ((std::array{bottom.IStartPos, bottom.IEndPos, bottom.IAxisSize}),
              (std::array{55, 942, 887}));
    EXPECT_EQ((std::array{left.IStartPos, left.IEndPos, left.IAxisSize}),
              (std::array{19, 410, 391}));
    // The centre truncates towards zero, also for negative positions.
    chart.Rect = TRect{-7, -9, 0, -4};
    bottom.InternalCalcPositions();
    left.InternalCalcPositions();
    EXPECT_EQ(bottom.ICenterPos, -3);
    EXPECT_EQ(left.ICenterPos, -6);
}

TEST(AxisRange, ZeroRangeAndPixelsPerValue) {
    TFakeChart chart;
    TChartAxis a(&chart, true);
    Place(a, 100, 500, 5, 5);
    EXPECT_TRUE(a.IRangeZero);
    EXPECT_DOUBLE_EQ(a.IAxisSizeRange, 0);

    a.IMinimum = 0;
    a.IMaximum = 1e-12;
    a.InternalCalcRange();
    EXPECT_TRUE(a.IRangeZero);
    a.IMaximum = 2e-12;
    a.InternalCalcRange();
    EXPECT_FALSE(a.IRangeZero);
    a.IMaximum = -1e-12;
    a.InternalCalcRange();
    EXPECT_TRUE(a.IRangeZero);

    a.IMinimum = 5;
    a.IMaximum = 105;
    a.InternalCalcRange();
    EXPECT_DOUBLE_EQ(a.IRange, 100);
    EXPECT_DOUBLE_EQ(a.IAxisSizeRange, 4);
}

TEST(AxisPointerMargins, OldRangeFitsTheShrunkSpan) {
    TFakeChart chart;
    chart.Rect = TRect{100, 50, 500, 250};
    TChartAxis bottom(&chart, true);
    bottom.InternalCalcPositions();
    bottom.IMinimum = 0;
    bottom.IMaximum = 394;
    bottom.InternalCalcRange();
    bottom.AdjustMaxMinRect(TRect{0, 0, 6, 0});
    EXPECT_EQ(bottom.IStartPos, 100);
    EXPECT_EQ(bottom.IEndPos, 500);
    EXPECT_DOUBLE_EQ(bottom.IMaximum, 400); // 394 x 400 / 394
    EXPECT_EQ(bottom.CalcXPosValue(394), 494);

    TChartAxis left(&chart, false);
    left.InternalCalcPositions();
    left.IMinimum = 0;
    left.IMaximum = 195;
    left.InternalCalcRange();
    left.AdjustMaxMinRect(TRect{0, 5, 0, 0});
    EXPECT_DOUBLE_EQ(left.IMaximum, 200); // 195 + 5 x 195 / 195
    EXPECT_DOUBLE_EQ(left.IMinimum, 0);
    EXPECT_EQ(left.CalcYPosValue(195), 55);

    // Margins at both ends of a horizontal axis widen both ends.
    TChartAxis both(&chart, true);
    both.InternalCalcPositions();
    both.IMinimum = 0;
    both.IMaximum = 380;
    both.InternalCalcRange();
    both.AdjustMaxMinRect(TRect{10, 0, 10, 0});
    EXPECT_DOUBLE_EQ(both.IMinimum, -10);
    EXPECT_DOUBLE_EQ(both.IMaximum, 390);
}

TEST(AxisValueToPixel, RoundsHalvesToTheEvenPixel) {
    TFakeChart chart;
    // Two pixels per value: value v + 0.25 lies at 2v + 0.5.
    TChartAxis h(&chart, true);
    Place(h, 10, 210, 0, 100);
    EXPECT_EQ(h.CalcXPosValue(1.25), 10 + 2);  // 2.5 -> 2
    EXPECT_EQ(h.CalcXPosValue(1.75), 10 + 4);  // 3.5 -> 4
    EXPECT_EQ(h.CalcXPosValue(-1.25), 10 - 2); // -2.5 -> -2
    TChartAxis v(&chart, false);
    Place(v, 10, 210, 0, 100);
    EXPECT_EQ(v.CalcYPosValue(1.25), 210 - 2);
    EXPECT_EQ(v.CalcYPosValue(1.75), 210 - 4);
    EXPECT_EQ(v.CalcPosValue(1.75), 210 - 4);
    EXPECT_EQ(h.CalcPosValue(1.75), 10 + 4);
    // Values outside the range map outside the span; nothing is clamped.
    EXPECT_EQ(h.CalcXPosValue(150), 310);
    EXPECT_EQ(v.CalcYPosValue(-10), 230);
}

TEST(AxisValueToPixel, ZeroRangeMapsEverythingToTheCentre) {
    TFakeChart chart;
    TChartAxis a(&chart, true);
    Place(a, 100, 501, 5, 5);
    EXPECT_EQ(a.CalcXPosValue(-1000), 300);
    EXPECT_EQ(a.CalcYPosValue(1e9), 300);
}

TEST(AxisValueToPixel, FastFormSkipsTheRoundingToDouble) {
    TFakeChart chart;
    TChartAxis a(&chart, true);
    Place(a, 0, 100, 0, 100);
    // 5 x 0.7 is 3.4999999999999997779... in extended precision, which rounds to 3, but
    // exactly 3.5 once rounded to double, which rounds to 4.
    a.IAxisSizeRange = 0.7;
    EXPECT_EQ(a.CalcXPosValue(5), 4);
    a.SetFastCalc(true);
    EXPECT_EQ(a.CalcXPosValue(5), 3);
    EXPECT_EQ(a.CalcYPosValue(5), 100 - 3);
    a.SetFastCalc(false);
    EXPECT_EQ(a.CalcYPosValue(5), 100 - 4);
}

TEST(AxisValueToPixel, HugeValuesStayOnTheirSideInsteadOfWrapping) {
    TFakeChart chart;
    TChartAxis a(&chart, true);
    Place(a, 0, 100, 0, 1);
    EXPECT_EQ(a.CalcXPosValue(1e300), INT_MAX);
    EXPECT_EQ(a.CalcXPosValue(-1e300), INT_MIN);
    EXPECT_LT(a.CalcYPosValue(1e300), -2'000'000'000);
    EXPECT_GT(a.CalcYPosValue(-1e300), 2'000'000'000);
}

TEST(AxisPixelToValue, NoClampingOutsideTheSpan) {
    TLaidOutChart chart;
    chart.Layout();
    const TChartAxis& b = chart.Bottom;
    // Ten pixels left of the bottom span: a negative speed.
    EXPECT_NEAR(b.CalcPosPoint(b.IStartPos - 10), -10 * 13000.0 / 881, 1e-9);
    EXPECT_DOUBLE_EQ(b.CalcPosPoint(b.IStartPos), 0);
    EXPECT_NEAR(b.CalcPosPoint(b.IEndPos), b.IMaximum, 1e-9);
    // Ten pixels above the left span: an advance above the maximum.
    const TChartAxis& l = chart.Left;
    EXPECT_NEAR(l.CalcPosPoint(l.IStartPos - 10), 13 + 10 * 13.0 / 391, 1e-12);
    EXPECT_DOUBLE_EQ(l.CalcPosPoint(l.IEndPos), 0);
    EXPECT_GT(l.CalcPosPoint(l.IStartPos - 1), l.IMaximum);
    EXPECT_LT(l.CalcPosPoint(l.IEndPos + 1), 0);
}

TEST(AxisPixelToValue, InverseOfTheMappingUpToWholePixels) {
    TLaidOutChart chart;
    chart.Layout();
    for (double rpm : {0.0, 500.0, 3300.0, 7000.0, 13000.0}) {
        const double back = chart.Bottom.CalcPosPoint(chart.Bottom.CalcXPosValue(rpm));
        EXPECT_LE(std::fabs(back - rpm), 0.5 / chart.Bottom.IAxisSizeRange) << rpm;
    }
    for (double adv : {0.0, 5.0, 12.0, 13.0}) {
        const double back = chart.Left.CalcPosPoint(chart.Left.CalcYPosValue(adv));
        EXPECT_LE(std::fabs(back - adv), 0.5 / chart.Left.IAxisSizeRange) << adv;
    }
}

TEST(AxisPixelToValue, DegenerateSpansAndRanges) {
    TFakeChart chart;
    TChartAxis flat(&chart, true);
    Place(flat, 200, 200, 0, 100);
    EXPECT_DOUBLE_EQ(flat.CalcPosPoint(250), 0);
    TChartAxis inverted(&chart, false);
    Place(inverted, 200, 150, 0, 100);
    EXPECT_DOUBLE_EQ(inverted.CalcPosPoint(170), 0);

    TChartAxis zeroH(&chart, true);
    Place(zeroH, 100, 300, 7, 7);
    EXPECT_DOUBLE_EQ(zeroH.CalcPosPoint(10), 7);
    TChartAxis zeroV(&chart, false);
    Place(zeroV, 100, 300, 3, 3);
    EXPECT_DOUBLE_EQ(zeroV.CalcPosPoint(1000), 3);
}

// The machine's Arial (Liberation Sans) at 8 points on the anti-aliased surface: "W" is 13
// pixels high, "10" to "13" are 15 wide and a blank 4. The bottom axis takes 13 + 7 pixels
// (431 -> 411, labels from 418); the left axis, sized for 0..12 with step 1, takes
// 15 + 4 + 7 (30 -> 56, labels up to 49). The spans are 886 and 392 pixels.
TEST(AxisOnTheRealSurface, InitialLayoutWithArialEightPoints) {
    TSmoothCanvas surface;
    surface.AssignFont(TChartFont{});
    ASSERT_EQ(surface.TextHeight("W"), 13);
    ASSERT_EQ(surface.TextWidth("12"), 15);
    ASSERT_EQ(surface.TextWidth("10"), 15);
    ASSERT_EQ(surface.TextWidth(" "), 4);

    TLaidOutChart chart;
    chart.Surface = &surface;
    chart.Layout();
    EXPECT_EQ(chart.Rect, (TRect{56, 19, 942, 411}));
    EXPECT_EQ(chart.Bottom.PosLabels(), 418);
    EXPECT_EQ(chart.Left.PosLabels(), 49);
    EXPECT_EQ(chart.Bottom.IAxisSize, 886);
    EXPECT_EQ(chart.Left.IAxisSize, 392);

    EXPECT_NEAR(chart.Bottom.IMaximum, 13000.0 * 886 / 880, 1e-9);
    EXPECT_EQ(chart.Bottom.CalcXPosValue(13000), 936);
    EXPECT_EQ(chart.Bottom.CalcXPosValue(0), 56);
    // 12 + 60 / 387 rounded up with step 1 (392 / 14 = 28 labels fit).
    EXPECT_DOUBLE_EQ(chart.Left.IMaximum, 13);
    EXPECT_EQ(chart.Left.CalcYPosValue(5), 411 - 151); // 5 x 392 / 13 = 150.8
    // "13,088.636" (57 + 6 pixels) lets 14 labels fit: 872.6 per interval -> 1000.
    EXPECT_DOUBLE_EQ(chart.Bottom.CalcIncrement(), 1000);
    EXPECT_DOUBLE_EQ(chart.Left.CalcIncrement(), 1);
}

int main(int argc, char** argv) {
    // Test discovery runs the programme without the test environment; it needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
