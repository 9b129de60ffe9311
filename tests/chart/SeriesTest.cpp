// The line series on the main window's chart, drawn onto a recording surface: which points
// and segments are drawn, in which order, with which pen and brush, and what happens to
// points outside the chart rectangle.

#include "chart/MainWindowChart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

namespace {

// What the series drew between the clip and its removal, as "L" (segment) and "E" (marker)
// with their arguments.
struct TSeriesCall {
    std::string Op;
    std::vector<int> Args;
    bool operator==(const TSeriesCall&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TSeriesCall& c) {
    os << c.Op << "(";
    for (std::size_t i = 0; i < c.Args.size(); ++i)
        os << (i ? ", " : "") << c.Args[i];
    return os << ")";
}

class SeriesDraw : public ::testing::Test {
protected:
    void Build(const TCurve& curve) {
        M = std::make_unique<TMainWindowChart>(curve);
        Series = M->Series;
    }

    TRecordingCanvas& Rec() { return M->Chart.Recorder; }

    // Draws once and returns the series' calls, the clip itself left out.
    std::vector<TSeriesCall> Draw() {
        M->Draw();
        return SeriesCalls();
    }

    std::vector<TSeriesCall> SeriesCalls() const {
        std::vector<TSeriesCall> calls;
        bool inside = false;
        for (const TCanvasCall& c : M->Chart.Recorder.Calls) {
            if (c.Op == "ClipRectangle")
                inside = true;
            else if (c.Op == "UnClipRectangle")
                inside = false;
            else if (inside && c.Op == "Line")
                calls.push_back({"L", c.Args});
            else if (inside && c.Op == "Ellipse")
                calls.push_back({"E", c.Args});
            else if (inside)
                calls.push_back({c.Op, c.Args});
        }
        return calls;
    }

    TPoint At(int i) const { return TPoint{Series->CalcXPos(i), Series->CalcYPos(i)}; }
    TSeriesCall Segment(int from, int to) const { return Segment(At(from), At(to)); }
    static TSeriesCall Segment(TPoint a, TPoint b) { return {"L", {a.X, a.Y, b.X, b.Y}}; }
    TSeriesCall Marker(int i) const {
        const TPoint p = At(i);
        return {"E", {p.X - 5, p.Y - 5, p.X + 5, p.Y + 5}};
    }

    // Pixel row of the straight line between points j and i at pixel column x, as the axes
    // of the last draw map it.
    int LineRowAt(int j, int i, int x) const {
        const double xv = Chart().BottomAxis()->CalcPosPoint(x);
        const double x0 = Series->XValues()->Value(j), x1 = Series->XValues()->Value(i);
        const double y0 = Series->YValues()->Value(j), y1 = Series->YValues()->Value(i);
        return Chart().LeftAxis()->CalcYPosValue((xv - x0) * (y1 - y0) / (x1 - x0) + y0);
    }

    TRecordedChart& Chart() const { return M->Chart; }

    std::unique_ptr<TMainWindowChart> M;
    TLineSeries* Series = nullptr;
};

TEST_F(SeriesDraw, InitialCurveDrawsEachSegmentThenTheMarkerOfItsStart) {
    Build(InitialCurve);
    const std::vector<TSeriesCall> calls = Draw();
    std::vector<TSeriesCall> expected;
    for (int i = 1; i < 15; ++i) {
        expected.push_back(Segment(i - 1, i));
        expected.push_back(Marker(i - 1));
    }
    expected.push_back(Marker(14));
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(Series->FirstValueIndex(), 0);
    EXPECT_EQ(Series->LastValueIndex(), 14);
}

TEST_F(SeriesDraw, SegmentsAreRedOneWideAndMarkersYellowCirclesRimmedInRed) {
    Build(InitialCurve);
    Draw();
    const auto lines = Rec().CallsOf("Line");
    const auto markers = Rec().CallsOf("Ellipse");
    ASSERT_EQ(markers.size(), 15u);
    std::size_t segments = 0;
    for (const TCanvasCall& l : lines) {
        if (l.Pen.Color != clRed)
            continue; // grid, ticks and axis lines
        ++segments;
        EXPECT_EQ(l.Pen.Width, 1);
        EXPECT_EQ(l.Pen.Style, psSolid);
        EXPECT_EQ(l.Pen.EndStyle, esRound);
        EXPECT_EQ(l.Pen.JoinStyle, jsRound);
        EXPECT_EQ(l.Brush.Style, bsClear);
    }
    EXPECT_EQ(segments, 14u);
    for (const TCanvasCall& e : markers) {
        EXPECT_EQ(e.Brush.Color, clYellow);
        EXPECT_EQ(e.Brush.Style, bsSolid);
        EXPECT_EQ(e.Pen.Color, clRed);
        EXPECT_EQ(e.Pen.Width, 1);
        EXPECT_NE(e.Pen.Style, psClear);
        // Ten pixels across: right and bottom are not widened by one.
        EXPECT_EQ(e.Args[2] - e.Args[0], 10);
        EXPECT_EQ(e.Args[3] - e.Args[1], 10);
    }
}

TEST_F(SeriesDraw, PointAtFourHundredTwoHundredIsTheBoxAroundThatCorner) {
    Build(InitialCurve);
    Draw();
    // Move point 7 onto pixel (400, 200) with the mapping of that draw; the ranges stay,
    // because neither extreme changes.
    Series->XValues()->SetValue(7, Chart().BottomAxis()->CalcPosPoint(400));
    Series->YValues()->SetValue(7, Chart().LeftAxis()->CalcPosPoint(200));
    ASSERT_EQ(At(7), (TPoint{400, 200}));
    const std::vector<TSeriesCall> calls = Draw();
    ASSERT_EQ(At(7), (TPoint{400, 200}));
    EXPECT_EQ(calls.at(15), (TSeriesCall{"E", {395, 195, 405, 205}}));
}

TEST_F(SeriesDraw, NeighboursOnTheSamePixelGetNoSegmentButBothMarkers) {
    Build({{0, 5}, {908, 10}, {908.2, 10}, {2000, 5}});
    const std::vector<TSeriesCall> calls = Draw();
    ASSERT_EQ(At(1), At(2));
    EXPECT_EQ(calls, (std::vector<TSeriesCall>{Segment(0, 1), Marker(0), Marker(1), Segment(2, 3),
                                               Marker(2), Marker(3)}));
}

TEST_F(SeriesDraw, OnePointCurveDrawsOnlyItsMarker) {
    Build({{1000, 5}});
    const std::vector<TSeriesCall> calls = Draw();
    EXPECT_EQ(calls, (std::vector<TSeriesCall>{Marker(0)}));
}

TEST_F(SeriesDraw, EmptyCurveDrawsNothingAndSetsNoClip) {
    Build({});
    EXPECT_TRUE(Draw().empty());
    EXPECT_EQ(Rec().Count("ClipRectangle"), 0u);
    EXPECT_EQ(Series->FirstValueIndex(), -1);
}

TEST_F(SeriesDraw, PointsLeftOfTheRectangleOnlyGiveTheSegmentEnteringFromItsEdge) {
    Build(InitialCurve);
    Chart().BottomAxis()->SetMinimum(2500);
    const std::vector<TSeriesCall> calls = Draw();
    // 2500 lies halfway between points 3 (2000) and 4 (3000); the marker of point 3 lies far
    // outside the rectangle.
    EXPECT_EQ(Series->FirstValueIndex(), 4);
    const int left = Chart().ChartRect().Left;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], Segment(TPoint{left, LineRowAt(3, 4, left)}, At(4)));
    EXPECT_EQ(calls[1], Segment(4, 5));
    EXPECT_EQ(calls[2], Marker(4));
    for (const TSeriesCall& c : calls) {
        if (c.Op == "E") {
            EXPECT_GT(c.Args[2], left) << c;
        }
    }
    EXPECT_EQ(calls.size(), 1u + 2u * 10u + 1u);
}

TEST_F(SeriesDraw, PointsSharingTheFirstVisibleXValueAreDrawnTogether) {
    // Point 2 sits just left of the rectangle, its marker reaching into it; point 1 shares its
    // X value but lies far above the chart.
    Build({{0, 2}, {2497, 100}, {2497, 9}, {4000, 9}});
    Chart().BottomAxis()->SetMinimum(2500);
    Chart().LeftAxis()->SetAutomaticMaximum(false);
    Chart().LeftAxis()->SetMaximum(13);
    const std::vector<TSeriesCall> calls = Draw();
    EXPECT_EQ(Series->FirstValueIndex(), 1);
    // The entering segment lies wholly above the control and is skipped.
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], Segment(1, 2));
    EXPECT_EQ(calls[1], Marker(1));
}

TEST_F(SeriesDraw, OfThePointsRightOfTheRectangleOnlyTheFirstIsDrawn) {
    Build(InitialCurve);
    Chart().BottomAxis()->SetAutomaticMaximum(false);
    Chart().BottomAxis()->SetMaximum(5500);
    const std::vector<TSeriesCall> calls = Draw();
    EXPECT_EQ(Series->LastValueIndex(), 7); // 6000, the first at or beyond the right edge
    std::vector<TSeriesCall> expected;
    for (int i = 1; i <= 7; ++i) {
        expected.push_back(Segment(i - 1, i));
        expected.push_back(Marker(i - 1));
    }
    expected.push_back(Marker(7));
    EXPECT_EQ(calls, expected);
}

TEST_F(SeriesDraw, MarkersReachingIntoTheRectangleWidenTheVisibleRange) {
    Build({{0, 5}, {1000, 6}, {5000, 7}, {5002, 8}, {5004, 9}, {9000, 5}});
    Chart().BottomAxis()->SetAutomaticMaximum(false);
    Chart().BottomAxis()->SetMaximum(4999);
    const std::vector<TSeriesCall> calls = Draw();
    // 5000 is the first point beyond the right edge; the markers of 5002 and 5004 still
    // reach into the rectangle, the one of 9000 does not.
    EXPECT_EQ(Series->LastValueIndex(), 4);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), Marker(4));
}

TEST_F(SeriesDraw, SegmentWhollyOutsideTheControlOnOneSideIsSkipped) {
    // Points 2 and 3 lie far above the control; the left axis is held at 0 to 13.
    Build({{0, 5}, {1000, 10}, {2000, 100}, {3000, 120}, {4000, 10}, {5000, 5}});
    Chart().LeftAxis()->SetAutomaticMaximum(false);
    Chart().LeftAxis()->SetMaximum(13);
    const std::vector<TSeriesCall> calls = Draw();
    ASSERT_LT(At(2).Y, 0);
    ASSERT_LT(At(3).Y, 0);
    EXPECT_EQ(calls, (std::vector<TSeriesCall>{Segment(0, 1), Marker(0), Segment(1, 2), Marker(1),
                                               Marker(2), Segment(3, 4), Marker(3), Segment(4, 5),
                                               Marker(4), Marker(5)}));
}

TEST_F(SeriesDraw, FarEndIsPulledBackAlongTheLineToTheCoordinateLimit) {
    Build({{0, 5}, {10000, 8}, {10000000, 9}});
    Chart().BottomAxis()->SetAutomaticMaximum(false);
    Chart().BottomAxis()->SetMaximum(13000);
    const std::vector<TSeriesCall> calls = Draw();
    ASSERT_GT(At(2).X, 32767);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[2], Segment(At(1), TPoint{32767, LineRowAt(1, 2, 32767)}));
    EXPECT_EQ(calls[4], Marker(2)); // the marker keeps the true position
}

TEST_F(SeriesDraw, ASteepFarEndIsPulledBackByThirdsThenCapped) {
    Build({{0, 5}, {10000, 8}, {10000000, 1e12}});
    Chart().BottomAxis()->SetAutomaticMaximum(false);
    Chart().BottomAxis()->SetMaximum(13000);
    Chart().LeftAxis()->SetAutomaticMaximum(false);
    Chart().LeftAxis()->SetMaximum(13);
    const std::vector<TSeriesCall> calls = Draw();
    ASSERT_EQ(calls.size(), 5u);
    const std::vector<int>& line = calls[2].Args;
    EXPECT_EQ((TPoint{line[0], line[1]}), At(1));
    const int x = line[2];
    const int y = line[3];
    EXPECT_LE(std::abs(y), 32767);
    // The column is 32767 divided by 3 once for every earlier row still out of range, at
    // most four times.
    std::vector<int> columns{32767};
    while (columns.size() < 5)
        columns.push_back(columns.back() / 3);
    std::size_t k = 0;
    while (k < columns.size() && columns[k] != x)
        ++k;
    ASSERT_LT(k, columns.size()) << x;
    for (std::size_t j = 0; j < k; ++j)
        EXPECT_GT(std::abs(LineRowAt(1, 2, columns[j])), 32767) << columns[j];
    if (std::abs(LineRowAt(1, 2, x)) <= 32767)
        EXPECT_EQ(y, LineRowAt(1, 2, x));
    else
        EXPECT_EQ(k, 4u);
}

TEST_F(SeriesDraw, UnsortedValuesAreDrawnBackAndForthInIndexOrder) {
    Build(InitialCurve);
    Draw();
    Series->XValues()->SetValue(5, 50);
    const std::vector<TSeriesCall> calls = Draw();
    EXPECT_DOUBLE_EQ(Series->XValues()->Value(4), 3000);
    EXPECT_DOUBLE_EQ(Series->XValues()->Value(5), 50);
    ASSERT_EQ(calls.size(), 29u);
    EXPECT_EQ(calls[8], Segment(4, 5));
    EXPECT_LT(calls[8].Args[2], calls[8].Args[0]); // leftwards
    EXPECT_EQ(calls[10], Segment(5, 6));
    EXPECT_EQ(calls[28], Marker(14));
}

// A series whose point 2 is null: no segment leads into or out of it and it has no marker.
class TSeriesWithNullPoint : public TLineSeries {
public:
    TColor GetValueColor(int index) const override {
        return index == 2 ? clNone : TLineSeries::GetValueColor(index);
    }
};

TEST_F(SeriesDraw, NullPointLeavesAGapWithoutMarker) {
    TRecordedChart chart;
    chart.SetClientSize(972, 450);
    ConfigureLikeMainWindow(chart);
    auto owned = std::make_unique<TSeriesWithNullPoint>();
    ConfigureLikeSeries1(*owned);
    for (const auto& [x, y] : TCurve{{0, 5}, {1000, 10}, {2000, 11}, {3000, 7}, {4000, 8}})
        owned->AddXY(x, y);
    TLineSeries* s = chart.AddSeries(std::move(owned));
    chart.Repaint();
    auto at = [&](int i) { return TPoint{s->CalcXPos(i), s->CalcYPos(i)}; };
    auto marker = [&](int i) {
        return TSeriesCall{"E", {at(i).X - 5, at(i).Y - 5, at(i).X + 5, at(i).Y + 5}};
    };
    std::vector<TSeriesCall> calls;
    for (const TCanvasCall& c : chart.Recorder.CallsOf("Ellipse"))
        calls.push_back({"E", c.Args});
    for (const TCanvasCall& c : chart.Recorder.CallsOf("Line"))
        if (c.Pen.Color == clRed)
            calls.push_back({"L", c.Args});
    EXPECT_EQ(calls, (std::vector<TSeriesCall>{marker(0), marker(1), marker(3), marker(4),
                                               Segment(at(0), at(1)), Segment(at(3), at(4))}));
    // Its value does not count for the axis either.
    EXPECT_DOUBLE_EQ(s->MaxYValue(), 10);
}

TEST(SeriesMargins, MarkersOfHalfSizeFiveNeedSixPixelsAcrossAndFiveUpAndDown) {
    TLineSeries series;
    ConfigureLikeSeries1(series);
    int left = -1, right = -1, top = -1, bottom = -1;
    series.CalcHorizMargins(left, right);
    series.CalcVerticalMargins(top, bottom);
    EXPECT_EQ(left, 6);
    EXPECT_EQ(right, 6);
    EXPECT_EQ(top, 5);
    EXPECT_EQ(bottom, 5);
}

TEST(SeriesMargins, PenWidthAndHiddenPartsChangeTheRoom) {
    TLineSeries series;
    ConfigureLikeSeries1(series);
    int a = 0, b = 0;
    series.Pointer().Pen.Width = 3;
    series.CalcHorizMargins(a, b);
    EXPECT_EQ(a, 3 / 2 + 1 + 5);
    series.CalcVerticalMargins(a, b);
    EXPECT_EQ(a, 3 / 2 + 5);
    series.Pointer().Pen.Visible = false;
    series.CalcHorizMargins(a, b);
    EXPECT_EQ(a, 1 + 5);
    series.CalcVerticalMargins(a, b);
    EXPECT_EQ(b, 1 + 5);

    // Without markers only a line of two pixels or more takes room.
    series.Pointer().Visible = false;
    series.CalcHorizMargins(a, b);
    EXPECT_EQ(a, 0);
    series.LinePen().Width = 3;
    series.CalcHorizMargins(a, b);
    EXPECT_EQ(a, 2 + 1); // Round(1.5) = 2
    series.LinePen().Width = 5;
    series.CalcVerticalMargins(a, b);
    EXPECT_EQ(b, 2 + 1); // Round(2.5) = 2, ties to even
    series.SetInflateMargins(false);
    series.CalcVerticalMargins(a, b);
    EXPECT_EQ(b, 0);
}

TEST(SeriesDefaults, LineSeriesDrawsALineWithItsMarkersHidden) {
    TLineSeries series;
    EXPECT_TRUE(series.Active());
    EXPECT_TRUE(series.DrawLine());
    EXPECT_FALSE(series.Pointer().Visible);
    EXPECT_EQ(series.Pointer().Style, psRectangle);
    EXPECT_EQ(series.Pointer().HorizSize, 4);
    EXPECT_EQ(series.Pointer().VertSize, 4);
    EXPECT_EQ(series.Pointer().Brush.Color, clDefault);
    EXPECT_EQ(series.SeriesColor(), clDefault);
    EXPECT_TRUE(series.ColorEachLine());
    EXPECT_FALSE(series.ColorEachPoint());
    EXPECT_EQ(series.TreatNulls(), tnDontPaint);
    EXPECT_EQ(series.LinePen(), TChartPen{});
    EXPECT_EQ(series.HorizAxis(), aBottomAxis);
    EXPECT_EQ(series.VertAxis(), aLeftAxis);
}

TEST(SeriesDefaults, ASeriesWithoutAColourTakesOneFromThePalette) {
    TRecordedChart chart;
    TLineSeries* first = chart.AddSeries(std::make_unique<TLineSeries>());
    TLineSeries* second = chart.AddSeries(std::make_unique<TLineSeries>());
    EXPECT_EQ(first->SeriesColor(), 0xA36644u);
    EXPECT_EQ(second->SeriesColor(), 0x359CF3u);
    auto red = std::make_unique<TLineSeries>();
    red->SetSeriesColor(clRed);
    EXPECT_EQ(chart.AddSeries(std::move(red))->SeriesColor(), clRed);
}

TEST(SeriesDefaults, HiddenMarkersDrawASquareOnlyWhenShownAndTheLineIsMadeVisible) {
    TMainWindowChart m({{0, 5}, {1000, 10}});
    m.Series->Pointer().Visible = false;
    m.Series->LinePen().Visible = false;
    m.Draw();
    // A line series never draws nothing: with markers and pen hidden the pen comes back.
    EXPECT_TRUE(m.Series->LinePen().Visible);
    EXPECT_EQ(m.Chart.Recorder.Count("Ellipse"), 0u);

    m.Series->Pointer().Visible = true;
    m.Series->Pointer().Style = psRectangle;
    m.Draw();
    const auto squares = m.Chart.Recorder.CallsOf("Rectangle");
    ASSERT_EQ(squares.size(), 4u); // panel, frame, then the two markers
    const int x = m.Series->CalcXPos(1);
    const int y = m.Series->CalcYPos(1);
    EXPECT_EQ(squares[3].Args, (std::vector<int>{x - 5, y - 5, x + 6, y + 6}));
}

TEST(SeriesMapping, PositionsAndValuesGoThroughTheAxesOfTheLastDraw) {
    TMainWindowChart m;
    m.Chart.Repaint();
    const TChartAxis& bottom = *m.Chart.BottomAxis();
    const TChartAxis& left = *m.Chart.LeftAxis();
    EXPECT_EQ(m.Series->CalcXPos(3), bottom.CalcXPosValue(2000));
    EXPECT_EQ(m.Series->CalcYPos(3), left.CalcYPosValue(10));
    EXPECT_EQ(m.Series->CalcXPos(0), m.Chart.ChartRect().Left);
    EXPECT_DOUBLE_EQ(m.Series->XScreenToValue(500), bottom.CalcPosPoint(500));
    EXPECT_DOUBLE_EQ(m.Series->YScreenToValue(100), left.CalcPosPoint(100));

    m.Chart.Cursor = TPoint{-10, 5};
    double x = 0, y = 0;
    m.Series->GetCursorValues(x, y);
    EXPECT_DOUBLE_EQ(x, bottom.CalcPosPoint(-10));
    EXPECT_LT(x, 0); // left of the chart: a negative speed
    EXPECT_DOUBLE_EQ(y, left.CalcPosPoint(5));
    EXPECT_GT(y, left.IMaximum);
}

// Notes which mapping the axes use while each value is drawn.
class TMappingProbeSeries : public TLineSeries {
public:
    std::vector<bool> FastWhileDrawing;
    void DrawValue(int valueIndex) override {
        FastWhileDrawing.push_back(GetHorizAxis()->FastCalc() && GetVertAxis()->FastCalc());
        TLineSeries::DrawValue(valueIndex);
    }
};

TEST(SeriesMapping, DrawingUsesTheFastMappingAndRestoresTheExactOne) {
    TRecordedChart chart;
    ConfigureLikeMainWindow(chart);
    auto owned = std::make_unique<TMappingProbeSeries>();
    ConfigureLikeSeries1(*owned);
    for (const auto& [x, y] : InitialCurve)
        owned->AddXY(x, y);
    TMappingProbeSeries* probe = chart.AddSeries(std::move(owned));
    chart.Repaint();
    EXPECT_EQ(probe->FastWhileDrawing, std::vector<bool>(15, true));
    for (int i = 0; i < aiCount; ++i)
        EXPECT_FALSE(chart.Axis(i)->FastCalc()) << i;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
