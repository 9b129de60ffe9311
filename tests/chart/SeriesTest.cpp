// The line series on the main window's chart, drawn onto a recording surface: which points and
// segments are drawn, in which order, with which pen and brush, and what happens to points
// outside the chart rectangle.

#include "chart/MainWindowChart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A call the series made inside the clip: "L" a segment, "E" a marker.
struct TSeriesCall {
    std::string Op;
    std::vector<int> Args;
    bool operator==(const TSeriesCall&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TSeriesCall& c) {
    os << c.Op;
    for (int a : c.Args)
        os << " " << a;
    return os;
}

std::vector<TSeriesCall> DrawSeries(TMainWindowChart& m) {
    m.Draw();
    std::vector<TSeriesCall> calls;
    bool inside = false;
    for (const TCanvasCall& c : m.Rec().Calls) {
        if (c.Op == "ClipRectangle" || c.Op == "UnClipRectangle")
            inside = c.Op == "ClipRectangle";
        else if (inside)
            calls.push_back({c.Op == "Line" ? "L" : c.Op == "Ellipse" ? "E" : c.Op, c.Args});
    }
    return calls;
}

TPoint At(const TLineSeries& s, int i) {
    return TPoint{s.CalcXPos(i), s.CalcYPos(i)};
}

TSeriesCall Segment(TPoint a, TPoint b) {
    return {"L", {a.X, a.Y, b.X, b.Y}};
}

TSeriesCall Marker(TPoint p) {
    return {"E", {p.X - 5, p.Y - 5, p.X + 5, p.Y + 5}};
}

// The calls "L0-1 E0" names: the segment from point 0 to point 1, the marker of point 0.
std::vector<TSeriesCall> Pattern(const TLineSeries& s, const std::string& pattern) {
    std::vector<TSeriesCall> calls;
    std::istringstream in(pattern);
    char op = 0, dash = 0;
    int from = 0, to = 0;
    while (in >> op >> from) {
        if (op == 'E')
            calls.push_back(Marker(At(s, from)));
        else if (in >> dash >> to)
            calls.push_back(Segment(At(s, from), At(s, to)));
    }
    return calls;
}

// Points from..to in the usual order: segment i-1 -> i, marker i-1, ..., marker to.
std::string InOrder(int from, int to) {
    std::string p;
    for (int i = from + 1; i <= to; ++i)
        p += "L" + std::to_string(i - 1) + "-" + std::to_string(i) + " E" + std::to_string(i - 1) +
             " ";
    return p + "E" + std::to_string(to);
}

// Pixel row of the straight line between points j and i at pixel column x.
int LineRowAt(TMainWindowChart& m, int j, int i, int x) {
    const double xv = m.Bottom().CalcPosPoint(x);
    const TChartValueList &xs = *m.Series->XValues(), &ys = *m.Series->YValues();
    return m.Left().CalcYPosValue((xv - xs.Value(j)) * (ys.Value(i) - ys.Value(j)) /
                                      (xs.Value(i) - xs.Value(j)) +
                                  ys.Value(j));
}

// Holds the bottom axis from bottomMin and, where not 0, ends the axes at fixed maxima.
void FixAxes(TMainWindowChart& m, double bottomMin, double bottomMax, double leftMax) {
    m.Bottom().SetMinimum(bottomMin);
    m.Bottom().SetAutomaticMaximum(bottomMax == 0);
    m.Bottom().SetMaximum(bottomMax);
    m.Left().SetAutomaticMaximum(leftMax == 0);
    m.Left().SetMaximum(leftMax);
}

} // namespace

TEST(SeriesDraw, InitialCurveDrawsRedSegmentsEachFollowedByTheYellowMarkerOfItsStart) {
    TMainWindowChart m;
    const std::vector<TSeriesCall> calls = DrawSeries(m);
    EXPECT_EQ(calls, Pattern(*m.Series, InOrder(0, 14)));
    for (const TCanvasCall& c : m.Rec().Calls) {
        if (c.Op == "Line" && c.Pen.Color == clRed) {
            EXPECT_EQ(c.Pen.Width, 1);
            EXPECT_EQ(c.Pen.EndStyle, esRound);
        } else if (c.Op == "Ellipse") {
            EXPECT_EQ(c.Brush.Color, clYellow);
            EXPECT_EQ(c.Pen.Color, clRed);
        }
    }
}

TEST(SeriesDraw, PointAtFourHundredTwoHundredIsTheBoxAroundThatCorner) {
    TMainWindowChart m;
    m.Draw();
    // Point 7 onto pixel (400, 200) with the mapping of that draw; no extreme changes.
    m.Series->XValues()->SetValue(7, m.Bottom().CalcPosPoint(400));
    m.Series->YValues()->SetValue(7, m.Left().CalcPosPoint(200));
    const std::vector<TSeriesCall> calls = DrawSeries(m);
    ASSERT_EQ(At(*m.Series, 7), (TPoint{400, 200}));
    EXPECT_EQ(calls.at(15), (TSeriesCall{"E", {395, 195, 405, 205}}));
}

TEST(SeriesDraw, WhichPointsAndSegmentsAreDrawn) {
    const struct {
        double bottomMin, bottomMax, leftMax; // 0: automatic maximum
        int first, last;
        std::string pattern;
        TCurve curve;
    } rows[] = {
        // Two points on the same pixel: no segment between them, both markers.
        {0, 0, 0, 0, 3, "L0-1 E0 E1 L2-3 E2 E3", {{0, 5}, {908, 10}, {908.2, 10}, {2000, 5}}},
        {0, 0, 0, 0, 0, "E0", {{1000, 5}}},
        {0, 0, 0, -1, -1, "", {}},
        // Of the points right of the rectangle only the first is drawn, ...
        {0, 5500, 0, 0, 7, InOrder(0, 7), InitialCurve},
        // ... and those whose markers reach into it.
        {0, 4999, 0, 0, 3, InOrder(0, 3), {{0, 5}, {5000, 7}, {5002, 8}, {5004, 9}, {9000, 5}}},
        // A segment wholly above the control is skipped.
        {0, 0, 13, 0, 3, "L0-1 E0 E1 L2-3 E2 E3", {{0, 5}, {1000, 100}, {2000, 120}, {3000, 9}}},
        // Points sharing the first visible X value are drawn together; the segment entering
        // from the left edge lies above the control.
        {2500, 0, 13, 1, 3, InOrder(1, 3), {{0, 2}, {2497, 100}, {2497, 9}, {4000, 9}}}};
    for (const auto& row : rows) {
        TMainWindowChart m(row.curve);
        FixAxes(m, row.bottomMin, row.bottomMax, row.leftMax);
        const std::vector<TSeriesCall> calls = DrawSeries(m);
        EXPECT_EQ(calls, Pattern(*m.Series, row.pattern)) << row.pattern;
        EXPECT_EQ(m.Series->FirstValueIndex(), row.first) << row.pattern;
        EXPECT_EQ(m.Series->LastValueIndex(), row.last) << row.pattern;
    }
}

TEST(SeriesDraw, PointsLeftOfTheRectangleOnlyGiveTheSegmentEnteringFromItsEdge) {
    TMainWindowChart m;
    m.Bottom().SetMinimum(2500); // halfway between points 3 and 4
    const std::vector<TSeriesCall> calls = DrawSeries(m);
    const int left = m.Chart.ChartRect().Left;
    std::vector<TSeriesCall> expected{
        Segment(TPoint{left, LineRowAt(m, 3, 4, left)}, At(*m.Series, 4))};
    for (const TSeriesCall& c : Pattern(*m.Series, InOrder(4, 14)))
        expected.push_back(c);
    EXPECT_EQ(calls, expected);
}

TEST(SeriesDraw, FarEndsArePulledBackAlongTheLineWithinTheCoordinateLimit) {
    for (double farAdvance : {9.0, 1e12}) {
        TMainWindowChart m({{0, 5}, {10000, 8}, {10000000, farAdvance}});
        FixAxes(m, 0, 13000, 13);
        const std::vector<TSeriesCall> calls = DrawSeries(m);
        ASSERT_EQ(calls.size(), 5u) << farAdvance;
        EXPECT_EQ(calls[4], Marker(At(*m.Series, 2))) << farAdvance; // the true position
        const std::vector<int>& line = calls[2].Args;
        EXPECT_EQ((TPoint{line[0], line[1]}), At(*m.Series, 1));
        if (farAdvance == 9.0) {
            EXPECT_EQ(line[2], 32767);
            EXPECT_EQ(line[3], LineRowAt(m, 1, 2, 32767));
        } else { // steep: the column is divided by 3 while the row is out of range
            const std::vector<int> columns{32767, 10922, 3640, 1213, 404};
            EXPECT_NE(std::find(columns.begin(), columns.end(), line[2]), columns.end()) << line[2];
            EXPECT_LE(std::abs(line[3]), 32767);
        }
    }
}

TEST(SeriesDraw, UnsortedValuesStayAndAreDrawnBackAndForthInIndexOrder) {
    TMainWindowChart m;
    m.Draw();
    m.Series->XValues()->SetValue(5, 50);
    const std::vector<TSeriesCall> calls = DrawSeries(m);
    EXPECT_EQ(calls, Pattern(*m.Series, InOrder(0, 14)));
    EXPECT_DOUBLE_EQ(m.Series->XValues()->Value(4), 3000);
    EXPECT_DOUBLE_EQ(m.Series->XValues()->Value(5), 50);
    EXPECT_LT(At(*m.Series, 5).X, At(*m.Series, 4).X);
}

TEST(SeriesMapping, CursorOutsideTheChartGivesValuesOutsideBothRanges) {
    TMainWindowChart m;
    m.Draw();
    m.Chart.Cursor = TPoint{-10, 5};
    double x = 0, y = 0;
    m.Series->GetCursorValues(x, y);
    EXPECT_DOUBLE_EQ(x, m.Bottom().CalcPosPoint(-10));
    EXPECT_LT(x, 0);
    EXPECT_DOUBLE_EQ(y, m.Left().CalcPosPoint(5));
    EXPECT_GT(y, m.Left().IMaximum);
}

// Notes whether the axes map values in their fast form while each value is drawn.
struct TMappingProbeSeries : TLineSeries {
    std::vector<bool> Fast;
    void DrawValue(int valueIndex) override {
        Fast.push_back(GetHorizAxis()->FastCalc() && GetVertAxis()->FastCalc());
        TLineSeries::DrawValue(valueIndex);
    }
};

TEST(SeriesMapping, DrawingUsesTheFastMappingAndRestoresTheExactOne) {
    TMainWindowChart m;
    TMappingProbeSeries* probe = m.Chart.AddSeries(std::make_unique<TMappingProbeSeries>());
    for (const auto& [x, y] : InitialCurve)
        probe->AddXY(x, y);
    m.Draw();
    EXPECT_EQ(probe->Fast, std::vector<bool>(15, true));
    EXPECT_FALSE(m.Bottom().FastCalc());
    EXPECT_FALSE(m.Left().FastCalc());
}
