// Label step, label values and texts, the room an axis takes, and the drawing of the axis
// line, ticks, grid and labels, checked on a recording surface whose text metrics are
// simple: by default 6 pixels a character and 14 pixels a line.

#include "chart/ChartAxis.h"
#include "chart/RecordingCanvas.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAre;

namespace {

class TFakeChart : public TAxisOwner {
public:
    TRect Rect{30, 19, 942, 431}; // 972 x 450 chart before the axes take their room
    TRecordingCanvas Canvas;
    double MinX = 0, MaxX = 13000, MinY = 5, MaxY = 12;
    int Points = 15;
    TNumberSeparators Separators;

    TRect AxisChartRect() const override { return Rect; }
    TChartCanvas* AxisCanvas() override { return &Canvas; }
    double InternalMinMax(const TChartAxis*, bool isMin, bool isX) override {
        if (isX)
            return isMin ? MinX : MaxX;
        return isMin ? MinY : MaxY;
    }
    bool AxisHasSeriesWithAtMostPoints(const TChartAxis* axis, int n) const override {
        return axis->Horizontal() && Points <= n;
    }
    TNumberSeparators AxisNumberSeparators() const override { return Separators; }
};

void Configure(TChartAxis& a, double increment, bool maximumRound) {
    a.SetAutomatic(false);
    a.SetAutomaticMinimum(false);
    a.SetAutomaticMaximum(true);
    a.SetMinimum(0);
    a.SetIncrement(increment);
    a.SetMaximumRound(maximumRound);
}

// The bottom (RPM) and left (advance) axes of the main window, laid out like a full draw:
// range update, span, axis space, span again, pointer margins and the second rounding.
struct TLaidOutChart : TFakeChart {
    TChartAxis Bottom{this, true};
    TChartAxis Left{this, false};

    TLaidOutChart() {
        Configure(Bottom, 0, false);
        Configure(Left, 1, true);
    }

    void Layout() {
        Rect = TRect{30, 19, 942, 431};
        Bottom.AdjustMaxMin();
        Left.AdjustMaxMin();
        Bottom.InternalCalcPositions();
        Left.InternalCalcPositions();
        TRect r = Rect;
        Bottom.CalcRect(r, true);
        Left.CalcRect(r, true);
        Rect = r;
        Bottom.InternalCalcPositions();
        Left.InternalCalcPositions();
        Bottom.AdjustMaxMinRect(TRect{0, 0, 6, 0});
        Bottom.CalcRoundScales();
        Left.AdjustMaxMinRect(TRect{0, 5, 0, 0});
        Left.CalcRoundScales();
    }
};

void Place(TChartAxis& a, int start, int end, double min, double max) {
    a.IStartPos = start;
    a.IEndPos = end;
    a.IAxisSize = end - start;
    a.ICenterPos = (start + end) / 2;
    a.IMinimum = min;
    a.IMaximum = max;
    a.InternalCalcRange();
}

std::vector<std::string> Texts(const TChartAxis& a) {
    std::vector<std::string> t;
    for (const TAxisItem& i : a.Items())
        t.push_back(i.FText);
    return t;
}

std::vector<double> Values(const TChartAxis& a) {
    std::vector<double> v;
    for (const TAxisItem& i : a.Items())
        v.push_back(i.FValue);
    return v;
}

std::vector<std::string> MeasuredTexts(const TRecordingCanvas& c, const std::string& op) {
    std::vector<std::string> t;
    for (const TCanvasCall& call : c.CallsOf(op))
        t.push_back(call.Text);
    return t;
}

// The Lines drawn with a pen of the given colour, as (x0, y0, x1, y1).
std::vector<std::vector<int>> LinesIn(const TRecordingCanvas& c, TColor color) {
    std::vector<std::vector<int>> lines;
    for (const TCanvasCall& call : c.CallsOf("Line"))
        if (call.Pen.Color == color && call.Pen.Style != psClear)
            lines.push_back(call.Args);
    return lines;
}

} // namespace

TEST(AxisLabelText, EnglishGroupsThousandsAndKeepsUpToThreeDecimals) {
    const TNumberSeparators en;
    EXPECT_EQ(FormatAxisValue(13000, en), "13,000");
    EXPECT_EQ(FormatAxisValue(187.5, en), "187.5");
    EXPECT_EQ(FormatAxisValue(0, en), "0");
    EXPECT_EQ(FormatAxisValue(-1234.5, en), "-1,234.5");
    EXPECT_EQ(FormatAxisValue(999, en), "999");
    EXPECT_EQ(FormatAxisValue(1000, en), "1,000");
    EXPECT_EQ(FormatAxisValue(1234567.125, en), "1,234,567.125");
    EXPECT_EQ(FormatAxisValue(0.25, en), "0.25");
    EXPECT_EQ(FormatAxisValue(-0.5, en), "-0.5");
    EXPECT_EQ(FormatAxisValue(1e15, en), "1,000,000,000,000,000");
}

TEST(AxisLabelText, RoundsToThousandthsHalfAwayFromZero) {
    const TNumberSeparators en;
    EXPECT_EQ(FormatAxisValue(6544.267877412033, en), "6,544.268");
    EXPECT_EQ(FormatAxisValue(1.23449, en), "1.234");
    EXPECT_EQ(FormatAxisValue(0.0005, en), "0.001");
    EXPECT_EQ(FormatAxisValue(1.0005, en), "1.001");
    EXPECT_EQ(FormatAxisValue(-2.0005, en), "-2.001");
    EXPECT_EQ(FormatAxisValue(999.9996, en), "1,000");
    EXPECT_EQ(FormatAxisValue(0.00049, en), "0");
    // What is left of a label stepped down to zero reads as zero, without a sign.
    EXPECT_EQ(FormatAxisValue(-2.7755575615628914e-17, en), "0");
    EXPECT_EQ(FormatAxisValue(1.3877787807814457e-16, en), "0");
}

TEST(AxisLabelText, FollowsTheUsersSeparators) {
    const TNumberSeparators spaceComma{" ", ","};
    EXPECT_EQ(FormatAxisValue(187.5, spaceComma), "187,5");
    EXPECT_EQ(FormatAxisValue(13000, spaceComma), "13 000");
    EXPECT_EQ(FormatAxisValue(-1234567.25, spaceComma), "-1 234 567,25");
    // Separators may be several bytes long, such as a no-break space.
    EXPECT_EQ(FormatAxisValue(13000.5, TNumberSeparators{"\u00A0", ","}), "13\u00A0000,5");

    TFakeChart chart;
    chart.Separators = spaceComma;
    TChartAxis a(&chart, true);
    EXPECT_EQ(a.LabelValue(13000), "13 000");
    EXPECT_EQ(a.LabelValue(187.5), "187,5");
}

TEST(AxisNextStep, OneTwoFiveSequence) {
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(688.85), 1000);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(3), 5);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(0.3), 0.5);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(1), 2);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(2), 5);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(5), 10);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(9.99), 10);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(10), 20);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(934.9), 1000);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(1438.3), 2000);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(0.05), 0.1);
    EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(std::numeric_limits<double>::infinity()), 1);
}

// A label counts its size plus 10 percent rounded, an exact half rounded down: 45 pixels
// count 49, 35 count 38, 15 count 16. Each span below is chosen so that one pixel more
// per label leaves one label fewer, which turns the step for a range of 20 from 1 into 2.
TEST(AxisLabelCount, SeparationHalfPixelsRoundDown) {
    TFakeChart chart;
    TChartAxis a(&chart, false);
    Place(a, 0, 760, 0, 20);
    EXPECT_DOUBLE_EQ(a.CalcXYIncrement(35), 1); // 760 / 38 = 20 labels
    EXPECT_DOUBLE_EQ(a.CalcXYIncrement(36), 2); // 760 / 40 = 19 labels
    Place(a, 0, 960, 0, 20);
    EXPECT_DOUBLE_EQ(a.CalcXYIncrement(45), 1); // 960 / 49 = 19.6 -> 20
    EXPECT_DOUBLE_EQ(a.CalcXYIncrement(46), 2); // 960 / 51 = 18.8 -> 19
    Place(a, 0, 320, 0, 20);
    EXPECT_DOUBLE_EQ(a.CalcXYIncrement(15), 1); // 320 / 16 = 20
    EXPECT_DOUBLE_EQ(a.CalcXYIncrement(16), 2); // 320 / 18 = 17.8 -> 18
}

TEST(AxisLabelCount, NoSizeOrNoSpanMeansOneLabel) {
    TFakeChart chart;
    TChartAxis a(&chart, false);
    Place(a, 0, 760, 0, 20);
    // One label: the step grows from 20 / 2 until at most one interval is left.
    EXPECT_DOUBLE_EQ(a.CalcXYIncrement(0), 20);
    Place(a, 300, 300, 0, 20);
    EXPECT_DOUBLE_EQ(a.CalcXYIncrement(35), 20);
}

TEST(AxisLabelStep, AutomaticStepFollowsOneTwoFive) {
    TFakeChart chart;
    TChartAxis a(&chart, false); // no point-count rule on this axis
    Place(a, 0, 500, 0, 5);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(20), 0.5); // 5/21 -> 0.5: 10 intervals
    Place(a, 0, 500, 0, 13088.535754824064);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(13), 1000); // 934.9 -> 1000: 13 intervals
    Place(a, 0, 500, 0, 20136.208853575482);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(13), 2000); // 1000 would need 20
}

TEST(AxisLabelStep, WantedIncrementDoubles) {
    TFakeChart chart;
    TChartAxis a(&chart, false);
    a.SetIncrement(1);
    Place(a, 0, 500, 0, 100);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(10), 16); // 1, 2, 4, 8, 16: not 1-2-5
    Place(a, 0, 500, 0, 52);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(26), 2);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(52), 1);
    Place(a, 0, 500, 0, 53);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(26), 2); // 26.5 intervals round to 26
}

TEST(AxisLabelStep, FewPointsAlongTheXAxisKeepTheStepAtLeastOne) {
    TFakeChart chart;
    TChartAxis bottom(&chart, true);
    Place(bottom, 0, 500, 0, 5);
    chart.Points = 15;
    EXPECT_DOUBLE_EQ(bottom.CalcLabelsIncrement(20), 1);
    chart.Points = 25; // more points than labels: the rule is off
    EXPECT_DOUBLE_EQ(bottom.CalcLabelsIncrement(20), 0.5);
    chart.Points = 15;
    Place(bottom, 0, 500, 0, 1.0); // a range below 1.1 is left alone
    EXPECT_DOUBLE_EQ(bottom.CalcLabelsIncrement(20), 0.05);
}

TEST(AxisLabelStep, DegenerateCases) {
    TFakeChart chart;
    TChartAxis a(&chart, false);
    Place(a, 0, 500, 0, 100);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(0), 1e-12);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(-3), 1e-12);
    Place(a, 0, 500, 5, 5);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(10), 1);
    // A step that can only grow to infinity falls back to the whole range.
    Place(a, 0, 500, 0, 1.7e308);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(1), 1.7e308);
    // A tiny range keeps a tiny step, but never below 1e-12.
    Place(a, 0, 500, 0, 2e-12);
    EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(1000), 1e-12);
}

TEST(AxisLabelProbes, MiddleValueIsHalvedUntilItHasDecimals) {
    TFakeChart chart;
    chart.Canvas.LogMeasuring = true;
    TChartAxis a(&chart, true);
    Place(a, 0, 887, 0, 12000);
    a.CalcIncrement();
    EXPECT_THAT(MeasuredTexts(chart.Canvas, "TextWidth"),
                UnorderedElementsAre("187.5", "0", "12,000"));
    // The probes are measured in the labels' font.
    EXPECT_EQ(chart.Canvas.CallsOf("TextWidth").front().Font, a.Labels().Font);
}

TEST(AxisLabelProbes, WantedIncrementAddsTheNeighboursOfBothEnds) {
    TFakeChart chart;
    chart.Canvas.LogMeasuring = true;
    TChartAxis a(&chart, true);
    a.SetIncrement(1);
    Place(a, 0, 887, 0, 13.6);
    a.CalcIncrement();
    EXPECT_THAT(MeasuredTexts(chart.Canvas, "TextWidth"),
                UnorderedElementsAre("6.5", "0", "13", "1", "12"));
}

TEST(AxisLabelProbes, VerticalAxisMeasuresTheFontHeight) {
    TFakeChart chart;
    chart.Canvas.LogMeasuring = true;
    chart.Canvas.LineHeight = 20;
    TChartAxis a(&chart, false);
    a.SetIncrement(1);
    Place(a, 0, 440, 0, 100);
    // 20 + 2 pixels a label: 20 labels; 1, 2, 4 need more intervals, 8 needs 12.5 -> 12.
    EXPECT_DOUBLE_EQ(a.CalcIncrement(), 8);
    EXPECT_EQ(chart.Canvas.Count("TextWidth"), 0u);
    EXPECT_THAT(MeasuredTexts(chart.Canvas, "TextHeight"), ::testing::Each("W"));
}

TEST(AxisInitialLabels, BottomStepIsOneThousandFromAProbeWithThreeDecimals) {
    TLaidOutChart chart;
    chart.Layout();
    chart.Canvas.LogMeasuring = true;
    EXPECT_DOUBLE_EQ(chart.Bottom.CalcIncrement(), 1000);
    EXPECT_THAT(MeasuredTexts(chart.Canvas, "TextWidth"), ::testing::Contains("6,544.268"));

    chart.Bottom.CalcLabelsAndTicks();
    EXPECT_THAT(Texts(chart.Bottom),
                ElementsAre("13,000", "12,000", "11,000", "10,000", "9,000", "8,000", "7,000",
                            "6,000", "5,000", "4,000", "3,000", "2,000", "1,000", "0"));
    EXPECT_THAT(chart.Bottom.Tick(),
                ElementsAre(936, 868, 800, 733, 665, 597, 529, 462, 394, 326, 258, 191, 123, 55));
}

TEST(AxisInitialLabels, LeftStepIsOneFromThirteenDownToZero) {
    TLaidOutChart chart;
    chart.Layout();
    EXPECT_DOUBLE_EQ(chart.Left.CalcIncrement(), 1);
    chart.Left.CalcLabelsAndTicks();
    EXPECT_THAT(Texts(chart.Left), ElementsAre("13", "12", "11", "10", "9", "8", "7", "6", "5", "4",
                                               "3", "2", "1", "0"));
    EXPECT_THAT(chart.Left.Tick(),
                ElementsAre(19, 49, 79, 109, 139, 169, 199, 230, 260, 290, 320, 350, 380, 410));
    for (const TAxisItem& item : chart.Left.Items())
        EXPECT_EQ(item.FLabelPos, chart.Left.CalcYPosValue(item.FValue)) << item.FText;
}

TEST(AxisInitialLabels, AdvanceFiftyGivesEvenLabelsUpToFiftyTwo) {
    TLaidOutChart chart;
    chart.MaxY = 50;
    chart.Layout();
    chart.Left.CalcLabelsAndTicks();
    std::vector<std::string> expected;
    for (int v = 52; v >= 0; v -= 2)
        expected.push_back(std::to_string(v));
    EXPECT_THAT(Texts(chart.Left), ElementsAreArray(expected));
}

TEST(AxisInitialLabels, TwentyThousandRpmGivesStepTwoThousand) {
    TLaidOutChart chart;
    chart.MaxX = 20000;
    chart.Layout();
    EXPECT_DOUBLE_EQ(chart.Bottom.CalcIncrement(), 2000);
    chart.Bottom.CalcLabelsAndTicks();
    EXPECT_THAT(Texts(chart.Bottom),
                ElementsAre("20,000", "18,000", "16,000", "14,000", "12,000", "10,000", "8,000",
                            "6,000", "4,000", "2,000", "0"));
}

TEST(AxisLabelValues, StartAtAWholeStepBelowTheMaximum) {
    TFakeChart chart;
    chart.Points = 100;
    TChartAxis a(&chart, true);
    a.SetIncrement(1);
    Place(a, 0, 900, 0.5, 9.7);
    a.CalcLabelsAndTicks();
    EXPECT_THAT(Values(a), ElementsAre(9, 8, 7, 6, 5, 4, 3, 2, 1));

    a.Labels().RoundFirst = false;
    a.CalcLabelsAndTicks();
    ASSERT_EQ(a.Items().size(), 10u); // 9.7, 8.7, ... 0.7
    EXPECT_DOUBLE_EQ(a.Items().front().FValue, 9.7);
    EXPECT_NEAR(a.Items().back().FValue, 0.7, 1e-12);
}

TEST(AxisLabelValues, NegativeMinimumAndDriftingZero) {
    TFakeChart chart;
    TChartAxis a(&chart, false);
    a.SetIncrement(1);
    Place(a, 0, 500, -2.5, 2.5);
    a.CalcLabelsAndTicks();
    EXPECT_THAT(Texts(a), ElementsAre("2", "1", "0", "-1", "-2"));

    // Ten steps of 0.1 leave a hair above zero, which is still labelled, and labelled "0".
    a.SetIncrement(0.1);
    Place(a, 0, 500, 0, 1);
    a.CalcLabelsAndTicks();
    ASSERT_EQ(a.Items().size(), 11u);
    EXPECT_EQ(a.Items().front().FText, "1");
    EXPECT_EQ(a.Items()[3].FText, "0.7");
    EXPECT_EQ(a.Items().back().FText, "0");
}

TEST(AxisLabelValues, ZeroRangeGivesOneLabelAtTheCentre) {
    TFakeChart chart;
    TChartAxis a(&chart, true);
    Place(a, 100, 501, 5, 5);
    a.CalcLabelsAndTicks();
    ASSERT_EQ(a.Items().size(), 1u);
    EXPECT_EQ(a.Items()[0], (TAxisItem{"5", 5, 300}));
    EXPECT_THAT(a.Tick(), ElementsAre(300));
}

TEST(AxisLabelValues, TenThousandStepsOrMoreGiveNoLabelsAndNoTicks) {
    TFakeChart chart;
    TChartAxis a(&chart, true);
    chart.Rect = TRect{0, 0, 5, 100};
    Place(a, 0, 5, 0, 100); // no label fits 5 pixels: the step falls to 1e-12
    EXPECT_DOUBLE_EQ(a.CalcIncrement(), 1e-12);
    a.Draw(true);
    EXPECT_TRUE(a.Items().empty());
    EXPECT_TRUE(a.Tick().empty());
    EXPECT_EQ(chart.Canvas.Count("TextOut"), 0u);
    EXPECT_EQ(chart.Canvas.Count("Line"), 1u); // the axis line alone
}

TEST(AxisLabelValues, MinimumAboveMaximumGivesNothing) {
    TFakeChart chart;
    TChartAxis a(&chart, false);
    a.SetIncrement(1);
    Place(a, 0, 500, 10, 0);
    a.CalcLabelsAndTicks();
    EXPECT_TRUE(a.Items().empty());
}

TEST(AxisLabelValues, SameValueIsRelativeAwayFromZero) {
    EXPECT_TRUE(TChartAxis::SameValue(1, 1 + 1e-13));
    EXPECT_TRUE(TChartAxis::SameValue(0, 1e-12));
    EXPECT_FALSE(TChartAxis::SameValue(0, 2e-12));
    EXPECT_TRUE(TChartAxis::SameValue(1e6, 1e6 + 1e-7));
    EXPECT_FALSE(TChartAxis::SameValue(1e6, 1e6 + 2e-6));
    EXPECT_TRUE(TChartAxis::SameValue(-1e6, -1e6 - 1e-7));
}

TEST(AxisSpace, BottomTakesALineOfTextAndSevenPixels) {
    TFakeChart chart;
    TChartAxis bottom(&chart, true);
    TRect r{30, 19, 942, 431};
    bottom.CalcRect(r, true);
    EXPECT_EQ(r, (TRect{30, 19, 942, 431 - 14 - 7}));
    EXPECT_EQ(bottom.PosLabels(), 431 - 14);

    chart.Canvas.LineHeight = 17;
    r = TRect{30, 19, 942, 431};
    bottom.CalcRect(r, true);
    EXPECT_EQ(r.Bottom, 431 - 17 - 7);
}

TEST(AxisSpace, LeftTakesTheWidestLabelABlankAndSevenPixels) {
    TFakeChart chart;
    TChartAxis left(&chart, false);
    left.SetIncrement(1);
    chart.Rect = TRect{30, 19, 942, 410};
    left.InternalCalcPositions();
    left.IMinimum = 0;
    left.IMaximum = 12;
    left.InternalCalcRange();
    TRect r = chart.Rect;
    left.CalcRect(r, true);
    EXPECT_EQ(r, (TRect{30 + 12 + 6 + 7, 19, 942, 410})); // "12", " ", ticks
    EXPECT_EQ(left.PosLabels(), 30 + 12 + 6);

    left.IMaximum = 1000; // step 64: 960, 896, ... "960" is the widest
    left.InternalCalcRange();
    r = chart.Rect;
    left.CalcRect(r, true);
    EXPECT_EQ(r.Left, 30 + 18 + 6 + 7);
}

TEST(AxisSpace, WidestLabelStopsAfterFiveThousandTexts) {
    TFakeChart chart;
    chart.Canvas.LogMeasuring = true;
    TChartAxis left(&chart, false);
    Place(left, 0, 7, 0, 1); // no label fits: the step falls to 1e-12
    left.MaxLabelsWidth();
    EXPECT_EQ(chart.Canvas.Count("TextWidth"), 5000u);
}

TEST(AxisSpace, NeverLeavesLessThanOnePixel) {
    TFakeChart chart;
    TChartAxis bottom(&chart, true);
    TRect r{30, 19, 942, 25};
    bottom.CalcRect(r, true);
    EXPECT_EQ(r.Bottom, 20);
    EXPECT_EQ(bottom.PosLabels(), 20);

    TChartAxis left(&chart, false);
    left.SetIncrement(1);
    Place(left, 19, 410, 0, 12);
    r = TRect{30, 19, 40, 410};
    left.CalcRect(r, true);
    EXPECT_EQ(r.Left, 39);
}

TEST(AxisSpace, PlacingOnlyLeavesTheRectangleAlone) {
    TFakeChart chart;
    TChartAxis bottom(&chart, true);
    TRect r{30, 19, 942, 431};
    bottom.CalcRect(r, false);
    EXPECT_EQ(r, (TRect{30, 19, 942, 431}));
    EXPECT_EQ(bottom.PosLabels(), 417);
}

TEST(AxisSpace, HiddenPiecesTakeNoRoom) {
    TFakeChart chart;
    TChartAxis bottom(&chart, true);
    bottom.Labels().Visible = false;
    TRect r{30, 19, 942, 431};
    bottom.CalcRect(r, true);
    EXPECT_EQ(r.Bottom, 431 - 7);

    bottom.AxisPen().Visible = false;
    bottom.Ticks().Visible = false;
    r = TRect{30, 19, 942, 431};
    bottom.CalcRect(r, true);
    EXPECT_EQ(r.Bottom, 431 - 2); // the minor ticks still need their length

    bottom.MinorTicks().Visible = false;
    r = TRect{30, 19, 942, 431};
    bottom.CalcRect(r, true);
    EXPECT_EQ(r.Bottom, 431);
}

class AxisDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        chart.Layout();
        chart.Canvas.Clear();
    }
    TLaidOutChart chart;
};

TEST_F(AxisDrawing, BottomAxisLineTicksAndGrid) {
    chart.Bottom.Draw(true);
    EXPECT_EQ(chart.Bottom.PosAxis(), 410);
    const auto& c = chart.Canvas;

    const auto axisLines = LinesIn(c, clBlack);
    ASSERT_EQ(axisLines.size(), 1u);
    EXPECT_EQ(axisLines[0], (std::vector<int>{55, 411, 942, 411}));
    const TCanvasCall axisCall = c.CallsOf("Line").front();
    EXPECT_EQ(axisCall.Pen.Width, 2);
    EXPECT_EQ(axisCall.Pen.EndStyle, esFlat);
    EXPECT_EQ(axisCall.Brush.Style, bsClear);

    const std::vector<int> ticks{936, 868, 800, 733, 665, 597, 529,
                                 462, 394, 326, 258, 191, 123, 55};
    std::vector<std::vector<int>> major, grid;
    for (int p : ticks) {
        major.push_back({p, 412, p, 416});
        if (p > 55 && p < 942)
            grid.push_back({p, 20, p, 410});
    }
    const auto gray = LinesIn(c, clGray);
    ASSERT_GE(gray.size(), major.size());
    EXPECT_EQ(std::vector(gray.begin(), gray.begin() + 14), major);
    // The grid line of 0 lies on the span's end: its tick and label are drawn, it is not.
    EXPECT_EQ(LinesIn(c, clSilver), grid);
    EXPECT_EQ(grid.size(), 13u);
}

TEST_F(AxisDrawing, BottomMinorTicksStayInsideTheSpan) {
    chart.Bottom.Draw(true);
    const auto gray = LinesIn(chart.Canvas, clGray);
    const std::vector minor(gray.begin() + 14, gray.end());
    // Beyond 13000 and below 0 every minor tick falls outside the span; between the 14
    // major ticks there are 13 x 3.
    ASSERT_EQ(minor.size(), 39u);
    for (const auto& m : minor) {
        EXPECT_GT(m[0], 55);
        EXPECT_LT(m[0], 942);
        EXPECT_EQ(m[1], 412);
        EXPECT_EQ(m[3], 414);
    }
    // 936 -> 868 in quarters of -17; 800 -> 733 in quarters of -16.75 (33.5 rounds to 34).
    EXPECT_EQ(minor[0][0], 885);
    EXPECT_EQ(minor[1][0], 902);
    EXPECT_EQ(minor[2][0], 919);
    EXPECT_EQ(minor[6][0], 750);
    EXPECT_EQ(minor[7][0], 767);
    EXPECT_EQ(minor[8][0], 783);
}

TEST_F(AxisDrawing, LeftAxisLineTicksGridAndMinorTicks) {
    chart.Left.Draw(true);
    EXPECT_EQ(chart.Left.PosAxis(), 55);
    const auto& c = chart.Canvas;
    EXPECT_THAT(LinesIn(c, clBlack), ElementsAre(std::vector<int>{54, 19, 54, 410}));

    const std::vector<int> ticks{19, 49, 79, 109, 139, 169, 199, 230, 260, 290, 320, 350, 380, 410};
    const auto gray = LinesIn(c, clGray);
    ASSERT_EQ(gray.size(), 14u + 39u);
    for (std::size_t i = 0; i < ticks.size(); ++i)
        EXPECT_EQ(gray[i], (std::vector<int>{53, ticks[i], 49, ticks[i]}));

    // Neither 13 (top end) nor 0 (bottom end) gets a grid line.
    const auto grid = LinesIn(c, clSilver);
    ASSERT_EQ(grid.size(), 12u);
    EXPECT_EQ(grid.front(), (std::vector<int>{56, 49, 942, 49}));
    EXPECT_EQ(grid.back(), (std::vector<int>{56, 380, 942, 380}));

    // Quarters of 7.5 pixels round to 8, 15 and 22; of 7.75 to 8, 16 and 23.
    std::vector<int> minor;
    for (std::size_t i = 14; i < gray.size(); ++i) {
        EXPECT_EQ(gray[i][0], 53);
        EXPECT_EQ(gray[i][2], 51);
        minor.push_back(gray[i][1]);
    }
    EXPECT_THAT(std::vector(minor.begin(), minor.begin() + 6), ElementsAre(41, 34, 27, 71, 64, 57));
    EXPECT_THAT(std::vector(minor.begin() + 18, minor.begin() + 21), ElementsAre(222, 214, 207));
    for (int m : minor) {
        EXPECT_GT(m, 19);
        EXPECT_LT(m, 410);
    }
}

TEST_F(AxisDrawing, PiecesComeInOrderEachWithItsPen) {
    chart.Bottom.Draw(true);
    std::vector<std::string> pieces;
    for (const TCanvasCall& call : chart.Canvas.Calls) {
        std::string piece = call.Op;
        if (call.Op == "Line")
            piece = call.Pen.Color == clBlack    ? "axis"
                    : call.Pen.Color == clSilver ? "grid"
                                                 : "tick";
        if (pieces.empty() || pieces.back() != piece)
            pieces.push_back(piece);
    }
    // Major ticks, then grid, then minor ticks, then labels.
    EXPECT_THAT(pieces, ElementsAre("axis", "tick", "grid", "tick", "TextOut"));
    for (const TCanvasCall& call : chart.Canvas.CallsOf("Line"))
        EXPECT_EQ(call.Pen.Width, call.Pen.Color == clBlack ? 2 : 1);
    for (const TCanvasCall& call : chart.Canvas.Calls) {
        if (call.Op == "Line" && call.Pen.Color == clSilver) {
            EXPECT_EQ(call.Brush.Style, bsClear);
            EXPECT_EQ(call.BackMode, cbmTransparent);
        }
    }
}

TEST_F(AxisDrawing, BottomLabelsHangFromTheLabelEdgeCentredOnTheirTicks) {
    chart.Bottom.Draw(true);
    const auto texts = chart.Canvas.CallsOf("TextOut");
    ASSERT_EQ(texts.size(), 14u);
    EXPECT_EQ(texts.front().Text, "13,000");
    EXPECT_EQ(texts.front().Args, (std::vector<int>{936, 417}));
    EXPECT_EQ(texts.back().Text, "0");
    EXPECT_EQ(texts.back().Args, (std::vector<int>{55, 417}));
    for (const TCanvasCall& t : texts) {
        EXPECT_EQ(t.TextAlign, TA_CENTER);
        EXPECT_EQ(t.Font, chart.Bottom.Labels().Font);
        EXPECT_EQ(t.Brush.Style, bsClear);
        EXPECT_EQ(t.BackMode, cbmTransparent);
    }
}

TEST_F(AxisDrawing, LeftLabelsEndAtTheLabelEdgeCentredOnTheirTicks) {
    chart.Left.Draw(true);
    const auto texts = chart.Canvas.CallsOf("TextOut");
    ASSERT_EQ(texts.size(), 14u);
    // The band's inner edge is 48; "13" is 12 pixels wide: its box is 36..48, centre 42;
    // a line is 14 pixels high: the box starts 7 above the tick.
    EXPECT_EQ(texts[0].Text, "13");
    EXPECT_EQ(texts[0].Args, (std::vector<int>{42, 19 - 7}));
    EXPECT_EQ(texts[4].Text, "9");
    EXPECT_EQ(texts[4].Args, (std::vector<int>{45, 139 - 7}));
    EXPECT_EQ(texts[13].Text, "0");
    EXPECT_EQ(texts[13].Args, (std::vector<int>{45, 410 - 7}));
}

TEST(AxisLabelPlacement, OddSizesDivideTowardsZero) {
    TFakeChart chart;
    chart.Canvas.CharWidth = 7;
    chart.Canvas.LineHeight = 13;
    chart.Rect = TRect{100, 20, 400, 300};
    TChartAxis left(&chart, false);
    left.SetIncrement(1);
    left.InternalCalcPositions();
    left.IMinimum = 0;
    left.IMaximum = 10;
    left.InternalCalcRange();
    TRect r = chart.Rect;
    left.CalcRect(r, true);
    EXPECT_EQ(left.PosLabels(), 100 + 14 + 7); // "10" and a blank, 7 pixels each
    chart.Rect = r;
    left.InternalCalcPositions();
    left.Draw(true);
    const auto texts = chart.Canvas.CallsOf("TextOut");
    ASSERT_EQ(texts.size(), 11u);
    // "10": box 107..121, centre 114; "9": box 114..121, centre 235 div 2 = 117;
    // 13 div 2 = 6 above the tick.
    EXPECT_EQ(texts[0].Args, (std::vector<int>{114, 20 - 6}));
    EXPECT_EQ(texts[1].Args, (std::vector<int>{117, 48 - 6}));
    EXPECT_EQ(texts[10].Args, (std::vector<int>{117, 300 - 6}));
}

TEST(AxisLabelPlacement, NoCanvasMeansNothingMeasuredAndNothingDrawn) {
    class TNoSurface : public TFakeChart {
        TChartCanvas* AxisCanvas() override { return nullptr; }
    } chart;
    TChartAxis a(&chart, true);
    Place(a, 0, 500, 0, 100);
    EXPECT_EQ(a.InternalLabelSize(100), 0);
    EXPECT_EQ(a.MaxLabelsWidth(), 0);
    a.Draw(true);
    EXPECT_TRUE(chart.Canvas.Calls.empty());
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
