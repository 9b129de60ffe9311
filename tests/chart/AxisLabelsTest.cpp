// Label step, label values and texts, the room an axis takes, and the drawing of the axis line,
// ticks, grid and labels, on a recording surface of 6 pixels a character and 14 a line.

#include "chart/MainWindowChart.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

std::vector<std::string> Texts(const TChartAxis& a) {
    std::vector<std::string> t;
    for (const TAxisItem& i : a.Items())
        t.push_back(i.FText);
    return t;
}

std::vector<std::string> Measured(const TRecordingCanvas& c, const std::string& op) {
    std::vector<std::string> t;
    for (const TCanvasCall& call : c.CallsOf(op))
        t.push_back(call.Text);
    return t;
}

// The Lines drawn with a visible pen of the given colour, as (x0, y0, x1, y1).
std::vector<std::vector<int>> LinesIn(const TRecordingCanvas& c, TColor color) {
    std::vector<std::vector<int>> lines;
    for (const TCanvasCall& call : c.CallsOf("Line"))
        if (call.Pen.Color == color && call.Pen.Style != psClear)
            lines.push_back(call.Args);
    return lines;
}

// The main window's chart after one draw, its recording emptied for the next calls.
struct TDrawnChart : TMainWindowChart {
    TDrawnChart() {
        Draw();
        Rec().Clear();
    }
};

} // namespace

TEST(AxisLabelText, GroupsThousandsAndRoundsToThousandthsHalfAwayFromZero) {
    const std::pair<double, const char*> english[] = {{13000, "13,000"},
                                                      {999, "999"},
                                                      {-1234.5, "-1,234.5"},
                                                      {1234567.125, "1,234,567.125"},
                                                      {6544.267877412033, "6,544.268"},
                                                      {1.0005, "1.001"},
                                                      {-2.0005, "-2.001"},
                                                      {999.9996, "1,000"},
                                                      {0.00049, "0"},
                                                      {-2.7755575615628914e-17, "0"}};
    for (const auto& [value, text] : english)
        EXPECT_EQ(FormatAxisValue(value, {}), text) << value;
    const TNumberSeparators fr{" ", ","};
    EXPECT_EQ(FormatAxisValue(187.5, fr), "187,5");
    EXPECT_EQ(FormatAxisValue(13000, fr), "13 000");
    EXPECT_EQ(FormatAxisValue(13000.5, {"\u00A0", ","}), "13\u00A0000,5"); // several bytes
    TAxisOwnerStub owner;
    owner.Separators = fr;
    EXPECT_EQ(TChartAxis(&owner, true).LabelValue(187.5), "187,5");
}

TEST(AxisLabelStep, NextStepFollowsOneTwoFive) {
    const double rows[][2] = {{688.85, 1000}, {3, 5},      {0.3, 0.5},   {1, 2},
                              {2, 5},         {5, 10},     {9.99, 10},   {10, 20},
                              {1438.3, 2000}, {0.05, 0.1}, {HUGE_VAL, 1}};
    for (const auto& row : rows)
        EXPECT_DOUBLE_EQ(TChartAxis::NextAxisStep(row[0]), row[1]) << row[0];
}

// A label counts its size plus 10 percent rounded, an exact half down (35 -> 38, 45 -> 49,
// 15 -> 16). Each span is chosen so that one pixel more per label leaves one label fewer,
// which turns the step for a range of 20 from 1 into 2. No size or no span: one label.
TEST(AxisLabelStep, LabelsOfAGivenSizeThatFitTheSpan) {
    const struct {
        int span, size;
        double step;
    } rows[] = {{760, 35, 1}, {760, 36, 2}, {960, 45, 1}, {960, 46, 2},
                {320, 15, 1}, {320, 16, 2}, {760, 0, 20}, {0, 35, 20}};
    TAxisOwnerStub owner;
    TChartAxis a(&owner, false);
    for (const auto& row : rows) {
        Place(a, 0, row.span, 0, 20);
        EXPECT_DOUBLE_EQ(a.CalcXYIncrement(row.size), row.step) << row.span << " " << row.size;
    }
}

TEST(AxisLabelStep, StepForAGivenNumberOfLabels) {
    const struct {
        int points; // along a horizontal axis; 0: a vertical axis
        double increment, min, max;
        int labels;
        double step;
    } rows[] = {{0, 0, 0, 5, 20, 0.5},  // 5 / 21 -> 0.5
                {0, 1, 0, 100, 10, 16}, // a wanted step doubles: 1, 2, 4, 8, 16
                {0, 1, 0, 52, 26, 2},
                {0, 1, 0, 52, 52, 1},
                {0, 1, 0, 53, 26, 2},           // 26.5 intervals round to 26
                {15, 0, 0, 5, 20, 1},           // few points along the X axis: never below 1
                {25, 0, 0, 5, 20, 0.5},         // more points than labels: that rule is off
                {15, 0, 0, 1, 20, 0.05},        // and a range below 1.1 is left alone
                {0, 0, 0, 100, 0, 1e-12},       // no label
                {0, 0, 5, 5, 10, 1},            // zero range
                {0, 0, 0, 1.7e308, 1, 1.7e308}, // would grow to infinity: the whole range
                {0, 0, 0, 2e-12, 1000, 1e-12}}; // never below 1e-12
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto& row = rows[i];
        TAxisOwnerStub owner;
        owner.Points = row.points;
        TChartAxis a(&owner, row.points > 0);
        a.SetIncrement(row.increment);
        Place(a, 0, 500, row.min, row.max);
        EXPECT_DOUBLE_EQ(a.CalcLabelsIncrement(row.labels), row.step) << "row " << i;
    }
}

TEST(AxisLabelStep, ProbesAreTheEndsAndAMiddleValueHalvedUntilItHasDecimals) {
    TAxisOwnerStub owner;
    owner.Canvas.LogMeasuring = true;
    TChartAxis a(&owner, true);
    Place(a, 0, 887, 0, 12000);
    a.CalcIncrement();
    EXPECT_THAT(Measured(owner.Canvas, "TextWidth"),
                ::testing::UnorderedElementsAre("187.5", "0", "12,000"));
    EXPECT_EQ(owner.Canvas.CallsOf("TextWidth").front().Font, a.Labels().Font);
}

TEST(AxisInitialLabels, BottomEveryThousandFromAThreeDecimalProbeAndLeftEveryDegree) {
    TDrawnChart m;
    m.Rec().LogMeasuring = true;
    EXPECT_DOUBLE_EQ(m.Bottom().CalcIncrement(), 1000);
    EXPECT_THAT(Measured(m.Rec(), "TextWidth"), ::testing::Contains("6,544.268"));
    EXPECT_THAT(Texts(m.Bottom()),
                ElementsAre("13,000", "12,000", "11,000", "10,000", "9,000", "8,000", "7,000",
                            "6,000", "5,000", "4,000", "3,000", "2,000", "1,000", "0"));
    EXPECT_THAT(m.Bottom().Tick(),
                ElementsAre(936, 868, 800, 733, 665, 597, 529, 462, 394, 326, 258, 191, 123, 55));
    EXPECT_DOUBLE_EQ(m.Left().CalcIncrement(), 1);
    EXPECT_THAT(Texts(m.Left()), ElementsAre("13", "12", "11", "10", "9", "8", "7", "6", "5", "4",
                                             "3", "2", "1", "0"));
    EXPECT_THAT(m.Left().Tick(),
                ElementsAre(19, 49, 79, 109, 139, 169, 199, 230, 260, 290, 320, 350, 380, 410));
}

TEST(AxisInitialLabels, AdvanceFiftyStepsByTwoToFiftyTwoAndTwentyThousandRpmByTwoThousand) {
    TMainWindowChart m;
    m.Draw();
    m.Series->YValues()->SetValue(4, 50);
    m.Series->XValues()->SetValue(14, 20000);
    m.Draw();
    std::vector<std::string> left;
    for (int v = 52; v >= 0; v -= 2)
        left.push_back(std::to_string(v));
    EXPECT_THAT(Texts(m.Left()), ElementsAreArray(left));
    EXPECT_THAT(Texts(m.Bottom()), ElementsAre("20,000", "18,000", "16,000", "14,000", "12,000",
                                               "10,000", "8,000", "6,000", "4,000", "2,000", "0"));
}

TEST(AxisLabelValues, FromAWholeStepBelowTheMaximumDownToTheMinimum) {
    const struct {
        double min, max, increment;
        std::vector<std::string> texts;
    } rows[] = {
        {0.5, 9.7, 1, {"9", "8", "7", "6", "5", "4", "3", "2", "1"}},
        {-2.5, 2.5, 1, {"2", "1", "0", "-1", "-2"}},
        // Ten steps of 0.1 leave a hair above zero, which is still labelled, and as "0".
        {0, 1, 0.1, {"1", "0.9", "0.8", "0.7", "0.6", "0.5", "0.4", "0.3", "0.2", "0.1", "0"}},
        {10, 0, 1, {}},
        {5, 5, 1, {"5"}}, // zero range: one label, at the centre
    };
    TAxisOwnerStub owner;
    TChartAxis a(&owner, false);
    for (const auto& row : rows) {
        a.SetIncrement(row.increment);
        Place(a, 100, 501, row.min, row.max);
        a.CalcLabelsAndTicks();
        EXPECT_THAT(Texts(a), ElementsAreArray(row.texts)) << row.min << ".." << row.max;
    }
    EXPECT_THAT(a.Tick(), ElementsAre(300));
}

TEST(AxisLabelValues, RunawayLabelCountsAreCapped) {
    TAxisOwnerStub owner;
    owner.Rect = TRect{0, 0, 5, 100};
    TChartAxis a(&owner, true);
    Place(a, 0, 5, 0, 100); // no label fits 5 pixels: the step falls to 1e-12
    EXPECT_DOUBLE_EQ(a.CalcIncrement(), 1e-12);
    a.Draw(true); // 10000 steps or more: no labels and no ticks
    EXPECT_TRUE(a.Items().empty());
    EXPECT_TRUE(a.Tick().empty());
    EXPECT_EQ(owner.Canvas.Count("TextOut"), 0u);
    EXPECT_EQ(owner.Canvas.Count("Line"), 1u); // the axis line alone

    owner.Canvas.Clear();
    owner.Canvas.LogMeasuring = true;
    TChartAxis v(&owner, false);
    Place(v, 0, 7, 0, 1);
    v.MaxLabelsWidth();
    EXPECT_EQ(owner.Canvas.Count("TextWidth"), 5000u);
}

TEST(AxisSpace, WidestLabelAndAtLeastOnePixelLeft) {
    TAxisOwnerStub owner;
    auto space = [](TChartAxis& a, TRect r) {
        a.CalcRect(r, true);
        return r;
    };
    TChartAxis left(&owner, false);
    left.SetIncrement(1);
    Place(left, 19, 410, 0, 1000); // step 64: 960, 896, ... "960" is the widest
    EXPECT_EQ(space(left, TRect{30, 19, 942, 410}).Left, 30 + 18 + 6 + 7);
    EXPECT_EQ(space(left, TRect{30, 19, 40, 410}).Left, 39);

    TChartAxis bottom(&owner, true);
    EXPECT_EQ(space(bottom, TRect{30, 19, 942, 25}).Bottom, 20);
    EXPECT_EQ(bottom.PosLabels(), 20);
}

TEST(AxisDrawing, BottomLineTicksGridMinorTicksAndLabelsInThatOrder) {
    TDrawnChart m;
    m.Bottom().Draw(true);
    EXPECT_THAT(LinesIn(m.Rec(), clBlack), ElementsAre(std::vector<int>{55, 411, 942, 411}));
    std::vector<std::vector<int>> major, grid;
    for (int p : m.Bottom().Tick()) {
        major.push_back({p, 412, p, 416});
        if (p != 55) // the grid line of 0 lies on the span's end: its tick and label are drawn
            grid.push_back({p, 20, p, 410});
    }
    EXPECT_EQ(LinesIn(m.Rec(), clSilver), grid);
    const auto gray = LinesIn(m.Rec(), clGray);
    ASSERT_EQ(gray.size(), 14u + 13u * 3u);
    EXPECT_EQ(std::vector(gray.begin(), gray.begin() + 14), major);
    std::vector<int> minor;
    for (auto it = gray.begin() + 14; it != gray.end(); ++it) {
        EXPECT_EQ((*it)[1], 412);
        EXPECT_EQ((*it)[3], 414);
        EXPECT_GT((*it)[0], 55);
        EXPECT_LT((*it)[0], 942);
        minor.push_back((*it)[0]);
    }
    // Quarters of 17 pixels up from 868 and from 800; of 16.75 from 733 (33.5 rounds to 34).
    EXPECT_THAT(std::vector(minor.begin(), minor.begin() + 9),
                ElementsAre(885, 902, 919, 817, 834, 851, 750, 767, 783));

    const auto texts = m.Rec().CallsOf("TextOut");
    ASSERT_EQ(texts.size(), 14u);
    EXPECT_EQ(texts.front().Text, "13,000");
    EXPECT_EQ(texts.front().Args, (std::vector<int>{936, 417}));
    EXPECT_EQ(texts.back().Text, "0");
    EXPECT_EQ(texts.back().Args, (std::vector<int>{55, 417}));
    for (const TCanvasCall& t : texts)
        EXPECT_EQ(t.TextAlign, TA_CENTER);

    // Major ticks, then grid, then minor ticks, then labels, each with its pen.
    std::vector<std::string> pieces;
    for (const TCanvasCall& call : m.Rec().Calls) {
        std::string piece = call.Op;
        if (call.Op == "Line") {
            piece = call.Pen.Color == clBlack    ? "axis"
                    : call.Pen.Color == clSilver ? "grid"
                                                 : "tick";
            EXPECT_EQ(call.Pen.Width, piece == "axis" ? 2 : 1);
        }
        if (call.Op == "TextOut" || piece == "grid") {
            EXPECT_EQ(call.Brush.Style, bsClear) << piece;
            EXPECT_EQ(call.BackMode, cbmTransparent) << piece;
        }
        if (pieces.empty() || pieces.back() != piece)
            pieces.push_back(piece);
    }
    EXPECT_THAT(pieces, ElementsAre("axis", "tick", "grid", "tick", "TextOut"));
}

TEST(AxisDrawing, LeftLineTicksGridAndLabels) {
    TDrawnChart m;
    m.Left().Draw(true);
    EXPECT_THAT(LinesIn(m.Rec(), clBlack), ElementsAre(std::vector<int>{54, 19, 54, 410}));
    const auto gray = LinesIn(m.Rec(), clGray);
    ASSERT_EQ(gray.size(), 14u + 13u * 3u);
    for (std::size_t i = 0; i < 14; ++i)
        EXPECT_EQ(gray[i], (std::vector<int>{53, m.Left().Tick()[i], 49, m.Left().Tick()[i]}));
    // Neither 13 (top end) nor 0 (bottom end) gets a grid line.
    const auto grid = LinesIn(m.Rec(), clSilver);
    ASSERT_EQ(grid.size(), 12u);
    EXPECT_EQ(grid.front(), (std::vector<int>{56, 49, 942, 49}));
    EXPECT_EQ(grid.back(), (std::vector<int>{56, 380, 942, 380}));
    // The label band ends at 48: "13" (12 pixels) is centred on 42, one digit on 45; a line
    // of 14 pixels starts 7 above its tick.
    const auto texts = m.Rec().CallsOf("TextOut");
    ASSERT_EQ(texts.size(), 14u);
    EXPECT_EQ(texts[0].Args, (std::vector<int>{42, 19 - 7}));
    EXPECT_EQ(texts[4].Args, (std::vector<int>{45, 139 - 7}));
    EXPECT_EQ(texts[13].Args, (std::vector<int>{45, 410 - 7}));
}

TEST(AxisDrawing, OddLabelSizesDivideTowardsZero) {
    TAxisOwnerStub owner;
    owner.Canvas.CharWidth = 7;
    owner.Canvas.LineHeight = 13;
    owner.Rect = TRect{100, 20, 400, 300};
    TChartAxis left(&owner, false);
    left.SetIncrement(1);
    Place(left, 20, 300, 0, 10);
    left.CalcRect(owner.Rect, true);
    EXPECT_EQ(left.PosLabels(), 100 + 14 + 7); // "10" and a blank, 7 pixels each
    left.InternalCalcPositions();
    left.Draw(true);
    const auto texts = owner.Canvas.CallsOf("TextOut");
    ASSERT_EQ(texts.size(), 11u);
    // "10": box 107..121, centre 114; "9": box 114..121, centre 235 div 2 = 117; 13 div 2 = 6
    // above the tick.
    EXPECT_EQ(texts[0].Args, (std::vector<int>{114, 20 - 6}));
    EXPECT_EQ(texts[1].Args, (std::vector<int>{117, 48 - 6}));
    EXPECT_EQ(texts[10].Args, (std::vector<int>{117, 300 - 6}));
}
