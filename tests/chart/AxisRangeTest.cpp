// Value ranges of the bottom (RPM) and left (advance) axes and the mapping between values and
// pixels: on the main window's chart drawn onto a recording surface (6 pixels a character, 14
// a line), and on a lone axis for the rules the main window does not reach.

#include "chart/MainWindowChart.h"

#include <gtest/gtest.h>

#include <climits>

// The axes take 14 + 7 pixels at the bottom and "12" + " " + 7 on the left: the chart
// rectangle (30, 19, 942, 431) becomes (55, 19, 942, 410), with spans of 887 and 391 pixels.
TEST(AxisInitialRange, BottomEndsSixPixelsBeyondTheLastPointAndLeftIsRoundedToThirteen) {
    TMainWindowChart m;
    m.Left().SetMaximumRound(false);
    m.Draw();
    EXPECT_NEAR(m.Left().IMaximum, 12 + 60.0 / 386, 1e-12); // the pointer margin alone

    m.Left().SetMaximumRound(true);
    for (int draw = 1; draw <= 2; ++draw) { // a second draw gives the same picture
        m.Draw();
        EXPECT_EQ(m.Chart.ChartRect(), (TRect{55, 19, 942, 410})) << draw;
        EXPECT_DOUBLE_EQ(m.Bottom().IMinimum, 0) << draw;
        EXPECT_NEAR(m.Bottom().IMaximum, 13000.0 * 887 / 881, 1e-9) << draw;
        EXPECT_EQ(m.Bottom().CalcXPosValue(13000), 942 - 6) << draw;
        EXPECT_EQ(m.Bottom().CalcXPosValue(0), 55) << draw;
        EXPECT_DOUBLE_EQ(m.Left().IMinimum, 0) << draw;
        EXPECT_DOUBLE_EQ(m.Left().IMaximum, 13) << draw;
        EXPECT_EQ(m.Left().CalcYPosValue(5), 410 - 150) << draw; // 5 x 391 / 13 = 150.4
    }
    // Pixels outside the spans convert to values outside the ranges.
    EXPECT_NEAR(m.Bottom().CalcPosPoint(55 - 10), -10 * 13000.0 / 881, 1e-9);
    EXPECT_NEAR(m.Left().CalcPosPoint(19 - 10), 13 + 10 * 13.0 / 391, 1e-12);
}

TEST(AxisRangeFollowsTheCurve, EndsFollowTheExtremesAtTheNextDraw) {
    TMainWindowChart m;
    m.Draw();
    const int x6000 = m.Series->CalcXPos(7);
    for (int i : {4, 10, 11}) // the three advances of 12
        m.Series->YValues()->SetValue(i, 11);
    m.Series->XValues()->SetValue(14, 20000);
    EXPECT_GT(m.Series->CalcXPos(14), 972); // until the next draw, mapped with the old range
    m.Draw();
    EXPECT_DOUBLE_EQ(m.Left().IMaximum, 12); // 11 lifted by the margin, rounded up
    EXPECT_NEAR(m.Bottom().IMaximum, 20000.0 * 887 / 881, 1e-9);
    EXPECT_EQ(m.Series->CalcXPos(14), 942 - 6);
    EXPECT_LT(m.Series->CalcXPos(7), x6000); // an unchanged value moves left

    m.Series->XValues()->SetValue(14, 13000);
    m.Draw();
    EXPECT_NEAR(m.Bottom().IMaximum, 13000.0 * 887 / 881, 1e-9);
}

TEST(AxisRange, ZeroRangeIsWithinOneTrillionth) {
    const struct {
        double max;
        bool zero;
    } rows[] = {{1e-12, true}, {2e-12, false}, {-1e-12, true}};
    TAxisOwnerStub owner;
    TChartAxis a(&owner, true);
    for (const auto& row : rows) {
        Place(a, 100, 500, 0, row.max);
        EXPECT_EQ(a.IRangeZero, row.zero) << row.max;
    }
}

TEST(AxisValueToPixel, RoundsHalvesToEvenAndNeverClamps) {
    struct Row {
        double value;
        int x, y;
    } rows[] = {
        {1.25, 10 + 2, 210 - 2}, // two pixels a value: 2.5 -> 2
        {1.75, 10 + 4, 210 - 4}, // 3.5 -> 4
        {-1.25, 10 - 2, 210 + 2},
        {150, 310, -90}, // outside the range, outside the span
    };
    TAxisOwnerStub owner;
    TChartAxis h(&owner, true), v(&owner, false);
    Place(h, 10, 210, 0, 100);
    Place(v, 10, 210, 0, 100);
    for (const Row& row : rows) {
        EXPECT_EQ(h.CalcXPosValue(row.value), row.x) << row.value;
        EXPECT_EQ(h.CalcPosValue(row.value), row.x) << row.value;
        EXPECT_EQ(v.CalcYPosValue(row.value), row.y) << row.value;
        EXPECT_EQ(v.CalcPosValue(row.value), row.y) << row.value;
    }
}

TEST(AxisValueToPixel, FastFormSkipsTheRoundingToDouble) {
    TAxisOwnerStub owner;
    TChartAxis a(&owner, true);
    Place(a, 0, 100, 0, 100);
    // 5 x 0.7 is 3.4999999999999997779... in extended precision, which rounds to 3, but
    // exactly 3.5 once rounded to double, which rounds to 4.
    a.IAxisSizeRange = 0.7;
    EXPECT_EQ(a.CalcXPosValue(5), 4);
    EXPECT_EQ(a.CalcYPosValue(5), 100 - 4);
    a.SetFastCalc(true);
    EXPECT_EQ(a.CalcXPosValue(5), 3);
    EXPECT_EQ(a.CalcYPosValue(5), 100 - 3);
}

TEST(AxisValueToPixel, HugeValuesStayOnTheirSideInsteadOfWrapping) {
    TAxisOwnerStub owner;
    TChartAxis a(&owner, true);
    Place(a, 0, 100, 0, 1);
    EXPECT_EQ(a.CalcXPosValue(1e300), INT_MAX);
    EXPECT_EQ(a.CalcXPosValue(-1e300), INT_MIN);
    EXPECT_LT(a.CalcYPosValue(1e300), -2'000'000'000);
    EXPECT_GT(a.CalcYPosValue(-1e300), 2'000'000'000);
}

TEST(AxisMapping, DegenerateSpansAndRangesMapToTheCentreAndTheMinimum) {
    TAxisOwnerStub owner;
    TChartAxis h(&owner, true), v(&owner, false);
    Place(h, 100, 501, 7, 7);
    EXPECT_EQ(h.CalcXPosValue(-1000), 300);
    EXPECT_EQ(h.CalcYPosValue(1e9), 300);
    EXPECT_DOUBLE_EQ(h.CalcPosPoint(10), 7);
    Place(v, 100, 300, 3, 3);
    EXPECT_DOUBLE_EQ(v.CalcPosPoint(1000), 3);
    Place(h, 200, 200, 0, 100);
    EXPECT_DOUBLE_EQ(h.CalcPosPoint(250), 0);
    Place(v, 200, 150, 0, 100);
    EXPECT_DOUBLE_EQ(v.CalcPosPoint(170), 0);
}
