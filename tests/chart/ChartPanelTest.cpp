// The chart panel's layout and paint cycle, drawn off-window onto a recording surface: the
// margins around the chart rectangle, what one full draw paints in which order, and when a
// paint draws anew or only copies the last image.

#include "chart/MainWindowChart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<int> Args(std::initializer_list<int> args) {
    return args;
}

// Index of the first call from start on that satisfies pred; Calls.size() when none does.
template <class TPred>
std::size_t FindCall(const TRecordingCanvas& canvas, TPred pred, std::size_t start = 0) {
    for (std::size_t i = start; i < canvas.Calls.size(); ++i)
        if (pred(canvas.Calls[i]))
            return i;
    return canvas.Calls.size();
}

std::size_t FindOp(const TRecordingCanvas& canvas, const std::string& op, std::size_t start = 0) {
    return FindCall(
        canvas, [&](const TCanvasCall& c) { return c.Op == op; }, start);
}

// The chart rectangle as the margins leave it, seen from inside the draw before the axes
// take their room.
TRect RectBeforeAxes(TRecordedChart& chart) {
    TRect seen;
    chart.OnBeforeDrawChart = [&] { seen = chart.ChartRect(); };
    chart.Repaint();
    chart.OnBeforeDrawChart = nullptr;
    return seen;
}

TEST(ChartMargins, MainWindowSizeLeavesTheChartRectangleInsideBorderAndPercentMargins) {
    TMainWindowChart m;
    EXPECT_EQ(m.Chart.BorderSize(), 1);
    // 972 x 3 div 100 = 29 and 450 x 4 div 100 = 18, plus the one-pixel bevel.
    EXPECT_EQ(RectBeforeAxes(m.Chart), (TRect{30, 19, 942, 431}));
    EXPECT_EQ(m.Chart.ChartBounds(), (TRect{0, 0, 972, 450}));
}

TEST(ChartMargins, PercentMarginsTruncate) {
    TMainWindowChart m(InitialCurve, 999, 450);
    const TRect r = RectBeforeAxes(m.Chart);
    EXPECT_EQ(r.Left, 1 + 29); // 999 x 3 / 100 = 29.97
    EXPECT_EQ(r.Right, 999 - 1 - 29);
}

TEST(ChartMargins, PixelMarginsAreTakenAsThey) {
    TMainWindowChart m;
    m.Chart.SetMarginUnits(muPixels);
    EXPECT_EQ(RectBeforeAxes(m.Chart), (TRect{1 + 3, 1 + 4, 972 - 1 - 3, 450 - 1 - 4}));
}

TEST(ChartMargins, EveryBevelAndTheBorderWidthAddToTheBorderSize) {
    TMainWindowChart m;
    m.Chart.SetBevelInner(bvLowered);
    m.Chart.SetBevelWidth(2);
    m.Chart.SetBorderWidth(3);
    EXPECT_EQ(m.Chart.BorderSize(), 3 + 2 + 2);
    m.Chart.SetBevelOuter(bvNone);
    m.Chart.SetBevelInner(bvNone);
    EXPECT_EQ(m.Chart.BorderSize(), 3);
    EXPECT_EQ(RectBeforeAxes(m.Chart).Left, 3 + 29);
}

TEST(ChartMargins, AShadowTakesRoomOnItsSide) {
    TMainWindowChart m;
    m.Chart.Shadow().HorizSize = 4;
    m.Chart.Shadow().VertSize = -2;
    EXPECT_EQ(RectBeforeAxes(m.Chart), (TRect{30, 19 + 2, 942 - 4, 431}));
    m.Chart.Shadow().Visible = false;
    EXPECT_EQ(RectBeforeAxes(m.Chart), (TRect{30, 19, 942, 431}));
}

TEST(ChartMargins, CrossingMarginsLeaveAOnePixelRectangleNeverANegativeOne) {
    TMainWindowChart m(InitialCurve, 60, 40);
    m.Chart.SetMarginUnits(muPixels);
    m.Chart.SetMarginLeft(40);
    m.Chart.SetMarginRight(40);
    m.Chart.SetMarginTop(30);
    m.Chart.SetMarginBottom(30);
    const TRect r = RectBeforeAxes(m.Chart);
    EXPECT_EQ(r, (TRect{41, 31, 42, 32}));
    // The axes cannot take room from it either.
    EXPECT_EQ(m.Chart.ChartWidth(), 1);
    EXPECT_EQ(m.Chart.ChartHeight(), 1);
    EXPECT_EQ(m.Chart.DrawCount(), 1);
}

TEST(ChartMargins, ARectangleNeverStartsOutsideTheDrawingBounds) {
    TMainWindowChart m;
    m.Chart.SetMarginUnits(muPixels);
    m.Chart.SetMarginLeft(-10);
    m.Chart.SetMarginTop(-10);
    const TRect r = RectBeforeAxes(m.Chart);
    EXPECT_EQ(r.Left, 0);
    EXPECT_EQ(r.Top, 0);
}

TEST(ChartMargins, EqualEdgesStayALineOfZeroWidth) {
    TMainWindowChart m(InitialCurve, 2, 2);
    const TRect r = RectBeforeAxes(m.Chart);
    EXPECT_EQ(r.Left, 1);
    EXPECT_EQ(r.Right, 1);
}

TEST(ChartLayout, AxesTakeTheirRoomAtTheBottomAndLeftOnly) {
    TMainWindowChart m;
    m.Draw();
    // Recording metrics: a label line is 14 pixels high, "12" is 12 wide and a blank 6;
    // each axis adds 7 pixels of line and ticks.
    EXPECT_EQ(m.Chart.ChartRect(), (TRect{30 + 12 + 6 + 7, 19, 942, 431 - 14 - 7}));
    EXPECT_EQ(m.Chart.ChartWidth(), 942 - 55);
    EXPECT_EQ(m.Chart.ChartHeight(), 410 - 19);
    EXPECT_EQ(m.Chart.ChartXCenter(), (55 + 942) / 2);
    EXPECT_EQ(m.Chart.ChartYCenter(), (19 + 410) / 2);
    EXPECT_EQ(m.Chart.BottomAxis()->IStartPos, 55);
    EXPECT_EQ(m.Chart.LeftAxis()->IEndPos, 410);
}

TEST(ChartLayout, OnlyTheAxesOfAnActiveSeriesAreShown) {
    TMainWindowChart m;
    m.Draw();
    EXPECT_TRUE(m.Chart.AxisShown(m.Chart.BottomAxis()));
    EXPECT_TRUE(m.Chart.AxisShown(m.Chart.LeftAxis()));
    EXPECT_FALSE(m.Chart.AxisShown(m.Chart.TopAxis()));
    EXPECT_FALSE(m.Chart.AxisShown(m.Chart.RightAxis()));
    EXPECT_FALSE(m.Chart.AxisShown(m.Chart.DepthAxis()));

    m.Series->SetActive(false);
    m.Draw();
    EXPECT_TRUE(m.Chart.AxisShown(m.Chart.TopAxis()));
    EXPECT_TRUE(m.Chart.AxisShown(m.Chart.RightAxis()));
    EXPECT_FALSE(m.Chart.AxisShown(m.Chart.DepthTopAxis()));

    m.Series->SetActive(true);
    m.Chart.SetAxisVisible(false);
    m.Draw();
    EXPECT_FALSE(m.Chart.AxisShown(m.Chart.BottomAxis()));
    EXPECT_EQ(m.Chart.ChartRect(), (TRect{30, 19, 942, 431}));
}

TEST(ChartLayout, PointerMarginsWidenTheAutomaticEndsOnly) {
    TMainWindowChart m;
    m.Draw();
    const TChartAxis& bottom = *m.Chart.BottomAxis();
    const TChartAxis& left = *m.Chart.LeftAxis();
    EXPECT_DOUBLE_EQ(bottom.IMinimum, 0);
    EXPECT_NEAR(bottom.IMaximum, 13000.0 * 887 / (887 - 6), 1e-9);
    EXPECT_DOUBLE_EQ(left.IMinimum, 0);
    EXPECT_DOUBLE_EQ(left.IMaximum, 13);
    EXPECT_EQ(m.Series->CalcXPos(14), 942 - 6);
}

TEST(ChartLayout, ExtremesComeFromTheSeriesOnTheAxis) {
    TMainWindowChart m;
    TCustomChart& c = m.Chart;
    EXPECT_DOUBLE_EQ(c.MaxXValue(c.BottomAxis()), 13000);
    EXPECT_DOUBLE_EQ(c.MinXValue(c.BottomAxis()), 0);
    EXPECT_DOUBLE_EQ(c.MaxYValue(c.LeftAxis()), 12);
    EXPECT_DOUBLE_EQ(c.MinYValue(c.LeftAxis()), 5);
    EXPECT_DOUBLE_EQ(c.MaxXValue(c.TopAxis()), 0);

    // A second series counts only where it goes further; an inactive one only while no
    // active series is on the axis.
    TLineSeries* other = AddCurve(c, {{-50, 40}, {20000, 1}});
    EXPECT_DOUBLE_EQ(c.MaxXValue(c.BottomAxis()), 20000);
    EXPECT_DOUBLE_EQ(c.MinXValue(c.BottomAxis()), -50);
    EXPECT_DOUBLE_EQ(c.MaxYValue(c.LeftAxis()), 40);
    other->SetActive(false);
    EXPECT_DOUBLE_EQ(c.MaxXValue(c.BottomAxis()), 13000);
    m.Series->SetActive(false);
    EXPECT_DOUBLE_EQ(c.MaxXValue(c.BottomAxis()), 20000);
}

class ChartDrawOrder : public ::testing::Test {
protected:
    void SetUp() override { M.Draw(); }

    TRecordingCanvas& Rec() { return M.Chart.Recorder; }

    TMainWindowChart M;
};

TEST_F(ChartDrawOrder, StartsWithTheDrawingBoundsAndEndsWithTheCopyToTheWindow) {
    ASSERT_FALSE(Rec().Calls.empty());
    EXPECT_EQ(Rec().Calls.front().Op, "InitWindow");
    EXPECT_EQ(Rec().Calls.front().Args, Args({0, 0, 972, 450}));
    EXPECT_EQ(Rec().Calls.back().Op, "ShowImage");
    EXPECT_EQ(Rec().Calls.back().Args, Args({0, 0, 972, 450}));
    EXPECT_EQ(Rec().Count("InitWindow"), 1u);
    EXPECT_EQ(Rec().Count("ShowImage"), 1u);
}

TEST_F(ChartDrawOrder, PanelIsFilledWithTheParentColourThenItsOwn) {
    const auto& calls = Rec().Calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[1].Op, "FillRect");
    EXPECT_EQ(calls[1].Args, Args({0, 0, 972, 450}));
    EXPECT_EQ(calls[1].Brush.Color, DefaultButtonFaceRGB);
    EXPECT_EQ(calls[1].Brush.Style, bsSolid);
    EXPECT_EQ(calls[2].Op, "Rectangle");
    EXPECT_EQ(calls[2].Args, Args({0, 0, 973, 451}));
    EXPECT_EQ(calls[2].Brush.Color, DefaultButtonFaceRGB);
    EXPECT_EQ(calls[2].Brush.Style, bsSolid);
    EXPECT_EQ(calls[2].Pen.Style, psClear); // the border pen is hidden: no outline
}

TEST_F(ChartDrawOrder, PanelColourOfItsOwnGoesOverTheParentColour) {
    M.Chart.SetColor(clSilver);
    M.Draw();
    const auto& calls = Rec().Calls;
    EXPECT_EQ(calls[1].Brush.Color, DefaultButtonFaceRGB);
    EXPECT_EQ(calls[2].Brush.Color, clSilver);
    M.Chart.SetParentColor(true);
    M.Draw();
    EXPECT_EQ(Rec().Calls[2].Brush.Color, DefaultButtonFaceRGB);
}

TEST_F(ChartDrawOrder, RaisedBevelIsWhiteTopLeftAndGreyBottomRight) {
    const auto& calls = Rec().Calls;
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(calls[3].Op, "Polyline");
    EXPECT_EQ(calls[3].Args, Args({0, 449, 0, 0, 971, 0}));
    EXPECT_EQ(calls[3].Pen.Color, clWhite);
    EXPECT_EQ(calls[4].Op, "Polyline");
    EXPECT_EQ(calls[4].Args, Args({971, 0, 971, 449, -1, 449}));
    EXPECT_EQ(calls[4].Pen.Color, BevelDarkColor);
    for (const TCanvasCall& c : {calls[3], calls[4]}) {
        EXPECT_EQ(c.Pen.Width, 1);
        EXPECT_EQ(c.Pen.Style, psSolid);
        EXPECT_TRUE(c.Pen.Visible);
    }
    EXPECT_EQ(Rec().Count("Polyline"), 2u);
}

TEST_F(ChartDrawOrder, WiderBevelsNestInwardsAndTheInnerOneFollows) {
    M.Chart.SetBevelWidth(2);
    M.Chart.SetBevelInner(bvLowered);
    M.Draw();
    const auto lines = Rec().CallsOf("Polyline");
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[2].Args, Args({1, 448, 1, 1, 970, 1}));
    EXPECT_EQ(lines[3].Args, Args({970, 1, 970, 448, 0, 448}));
    // The lowered inner bevel: grey top-left, white bottom-right, two pixels further in.
    EXPECT_EQ(lines[4].Args, Args({2, 447, 2, 2, 969, 2}));
    EXPECT_EQ(lines[4].Pen.Color, BevelDarkColor);
    EXPECT_EQ(lines[5].Pen.Color, clWhite);
}

TEST_F(ChartDrawOrder, NoBevelsNoLines) {
    M.Chart.SetBevelOuter(bvNone);
    M.Draw();
    EXPECT_EQ(Rec().Count("Polyline"), 0u);
}

TEST_F(ChartDrawOrder, FrameOfTheChartRectangleIsABlackOutlineWithoutFill) {
    const TRect r = M.Chart.ChartRect();
    const auto frames = Rec().CallsOf("Rectangle");
    ASSERT_EQ(frames.size(), 2u); // the panel fill, then the frame
    const TCanvasCall& frame = frames[1];
    EXPECT_EQ(frame.Args, Args({r.Left, r.Top, r.Right + 1, r.Bottom + 1}));
    EXPECT_EQ(frame.Pen.Color, clBlack);
    EXPECT_EQ(frame.Pen.Width, 1);
    EXPECT_EQ(frame.Pen.Style, psSolid);
    EXPECT_EQ(frame.Brush.Style, bsClear);
}

TEST_F(ChartDrawOrder, FrameThenBottomAxisThenLeftAxisThenSeriesInsideTheClip) {
    const auto& rec = Rec();
    const TRect r = M.Chart.ChartRect();
    const std::size_t frame = FindCall(
        rec, [](const TCanvasCall& c) { return c.Op == "Rectangle" && c.Brush.Style == bsClear; });
    auto axisLine = [](const TCanvasCall& c) {
        return c.AsLine().Op == "Line" && c.Pen.Width == 2 && c.Pen.Color == clBlack;
    };
    const std::size_t bottomLine = FindCall(rec, axisLine);
    const std::size_t leftLine = FindCall(rec, axisLine, bottomLine + 1);
    const std::size_t clip = FindOp(rec, "ClipRectangle");
    const std::size_t firstSegment =
        FindCall(rec, [](const TCanvasCall& c) { return c.Op == "Line" && c.Pen.Color == clRed; });
    const std::size_t unclip = FindOp(rec, "UnClipRectangle");
    const std::size_t show = FindOp(rec, "ShowImage");

    ASSERT_LT(show, rec.Calls.size());
    EXPECT_LT(FindOp(rec, "Polyline"), frame);
    EXPECT_LT(frame, bottomLine);
    EXPECT_LT(bottomLine, leftLine);
    EXPECT_LT(leftLine, clip);
    EXPECT_LT(clip, firstSegment);
    EXPECT_LT(FindOp(rec, "Ellipse"), unclip);
    EXPECT_LT(unclip, show);

    const std::vector<int> bottom = rec.Calls[bottomLine].AsLine().Args;
    EXPECT_EQ(bottom[1], r.Bottom + 1);
    EXPECT_EQ(bottom[3], r.Bottom + 1);
    const std::vector<int> left = rec.Calls[leftLine].AsLine().Args;
    EXPECT_EQ(left[0], r.Left - 1);
    EXPECT_EQ(left[2], r.Left - 1);

    // Every red segment and every marker lies inside the clip; nothing of the axes does.
    for (std::size_t i = 0; i < rec.Calls.size(); ++i) {
        const TCanvasCall& c = rec.Calls[i];
        const bool seriesCall = c.Op == "Ellipse" || (c.Op == "Line" && c.Pen.Color == clRed);
        EXPECT_EQ(seriesCall, i > clip && i < unclip) << c.Op << " at " << i;
    }
}

TEST_F(ChartDrawOrder, SeriesIsClippedToTheChartRectangleWithARowAboveAndBelow) {
    const TRect r = M.Chart.ChartRect();
    const auto clips = Rec().CallsOf("ClipRectangle");
    ASSERT_EQ(clips.size(), 1u);
    // The box (Left, Top - 1, Right, Bottom + 1) as the flat surface clips it.
    EXPECT_EQ(clips[0].Args, Args({r.Left + 1, r.Top, r.Right, r.Bottom}));
    EXPECT_EQ(Rec().Count("UnClipRectangle"), 1u);
    EXPECT_EQ(Rec().ClipDepth(), 0);
}

TEST_F(ChartDrawOrder, WithoutClipPointsTheSeriesIsNotClipped) {
    M.Chart.SetClipPoints(false);
    M.Draw();
    EXPECT_EQ(Rec().Count("ClipRectangle"), 0u);
    EXPECT_EQ(Rec().Count("Ellipse"), 15u);
}

TEST_F(ChartDrawOrder, SurfaceStateIsResetBeforeTheCopy) {
    const TCanvasCall& show = Rec().Calls.back();
    EXPECT_EQ(show.Pen, TChartPen{});
    EXPECT_EQ(show.Brush.Color, clWhite);
    EXPECT_EQ(show.Brush.Style, bsSolid);
    EXPECT_EQ(show.Font, TChartFont{});
    EXPECT_EQ(show.TextAlign, TA_LEFT);
}

TEST_F(ChartDrawOrder, NothingIsDrawnForTitlesOrLegend) {
    M.Chart.Title().Text = {};
    M.Draw();
    // Texts come from the axes' labels only: every one sits on a label band.
    const TRect r = M.Chart.ChartRect();
    for (const TCanvasCall& t : Rec().CallsOf("TextOut"))
        EXPECT_TRUE(t.Args[1] >= r.Bottom || t.Args[0] <= r.Left) << t.Text;
    EXPECT_EQ(r.Top, 19);
    EXPECT_EQ(r.Right, 942);
}

TEST_F(ChartDrawOrder, WithoutAnActiveSeriesTheWallsAndAllFourAxesAreStillDrawn) {
    M.Series->SetActive(false);
    M.Draw();
    EXPECT_EQ(Rec().Count("Rectangle"), 2u);
    EXPECT_EQ(Rec().Count("ClipRectangle"), 0u);
    EXPECT_EQ(Rec().Count("Ellipse"), 0u);
}

TEST_F(ChartDrawOrder, AxesInFrontAreDrawnAfterTheSeries) {
    M.Chart.SetAxisBehind(false);
    M.Draw();
    const std::size_t unclip = FindOp(Rec(), "UnClipRectangle");
    const std::size_t axis = FindCall(
        Rec(), [](const TCanvasCall& c) { return c.AsLine().Op == "Line" && c.Pen.Width == 2; });
    EXPECT_LT(unclip, axis);
    EXPECT_LT(axis, Rec().Calls.size());
}

TEST_F(ChartDrawOrder, EventsOfTheDrawRunInOrder) {
    std::vector<std::string> events;
    M.Chart.OnBeforeDrawChart = [&] { events.push_back("chart"); };
    M.Chart.OnBeforeDrawAxes = [&] { events.push_back("axes"); };
    M.Chart.OnBeforeDrawSeries = [&] { events.push_back("series"); };
    M.Chart.OnAfterDraw = [&] { events.push_back("after"); };
    M.Draw();
    EXPECT_EQ(events, (std::vector<std::string>{"chart", "axes", "series", "after"}));
}

class ChartPaintCycle : public ::testing::Test {
protected:
    TRecordingCanvas& Rec() { return M.Chart.Recorder; }
    TMainWindowChart M;
};

TEST_F(ChartPaintCycle, ANewChartRepaintsAutomaticallyAndItsImageIsStale) {
    TRecordedChart chart;
    EXPECT_TRUE(chart.AutoRepaint());
    EXPECT_TRUE(chart.Canvas()->Dirty());
    EXPECT_EQ(chart.DrawCount(), 0);
    EXPECT_EQ(chart.ClientWidth(), 400);
    EXPECT_EQ(chart.ClientHeight(), 250);
}

TEST_F(ChartPaintCycle, RepaintHasDrawnOnceWhenItReturns) {
    M.Chart.Repaint();
    EXPECT_EQ(M.Chart.DrawCount(), 1);
    EXPECT_FALSE(M.Chart.Canvas()->Dirty());
    Rec().Clear();
    M.Chart.Repaint();
    EXPECT_EQ(M.Chart.DrawCount(), 2);
    EXPECT_EQ(Rec().Ops().front(), "Invalidate");
    EXPECT_EQ(Rec().Count("InitWindow"), 1u);
    EXPECT_EQ(Rec().Ops().back(), "ShowImage");
}

TEST_F(ChartPaintCycle, PaintWithAFreshImageOnlyCopiesIt) {
    M.Draw();
    Rec().Clear();
    M.Chart.Paint(nullptr);
    EXPECT_EQ(Rec().Ops(), (std::vector<std::string>{"ReDrawBitmap"}));
    EXPECT_EQ(M.Chart.DrawCount(), 1);
}

TEST_F(ChartPaintCycle, PaintWithAStaleImageDrawsAnew) {
    M.Chart.Paint(nullptr);
    EXPECT_EQ(M.Chart.DrawCount(), 1);
    const int invalidations = M.Chart.WindowInvalidations;
    M.Chart.Invalidate();
    EXPECT_TRUE(M.Chart.Canvas()->Dirty());
    EXPECT_EQ(M.Chart.WindowInvalidations, invalidations + 1);
    M.Chart.Paint(nullptr);
    EXPECT_EQ(M.Chart.DrawCount(), 2);
}

TEST_F(ChartPaintCycle, AValueWrittenWithoutRepaintStaysInvisibleUntilTheNextRepaint) {
    M.Draw();
    const auto before = Rec().CallsOf("Ellipse");
    const int invalidations = M.Chart.WindowInvalidations;

    M.Series->YValues()->SetValue(7, 2);
    Rec().Clear();
    M.Chart.Paint(nullptr); // covered and uncovered
    EXPECT_EQ(Rec().Ops(), (std::vector<std::string>{"ReDrawBitmap"}));
    EXPECT_EQ(M.Chart.WindowInvalidations, invalidations);

    M.Draw();
    const auto after = Rec().CallsOf("Ellipse");
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[6].Args, before[6].Args);
    EXPECT_GT(after[7].Args[1], before[7].Args[1]); // lower on the screen
}

TEST_F(ChartPaintCycle, DrawingSwitchesAutoRepaintOffAndRestoresIt) {
    bool duringDraw = true;
    bool dirtiedDuringDraw = false;
    int invalidationsDuringDraw = 0;
    M.Chart.OnBeforeDrawSeries = [&] {
        duringDraw = M.Chart.AutoRepaint();
        const int before = M.Chart.WindowInvalidations;
        M.Chart.Invalidate();
        dirtiedDuringDraw = Rec().Count("Invalidate") > 0;
        invalidationsDuringDraw = M.Chart.WindowInvalidations - before;
    };
    M.Draw();
    EXPECT_FALSE(duringDraw);
    EXPECT_FALSE(dirtiedDuringDraw);
    EXPECT_EQ(invalidationsDuringDraw, 0);
    EXPECT_TRUE(M.Chart.AutoRepaint());
    EXPECT_FALSE(M.Chart.Canvas()->Dirty());
    EXPECT_EQ(M.Chart.DrawCount(), 1);
}

TEST_F(ChartPaintCycle, WithoutAutoRepaintInvalidateDoesNothingAndADrawKeepsItOff) {
    M.Draw();
    M.Chart.SetAutoRepaint(false);
    const int invalidations = M.Chart.WindowInvalidations;
    M.Chart.Invalidate();
    EXPECT_FALSE(M.Chart.Canvas()->Dirty());
    EXPECT_EQ(M.Chart.WindowInvalidations, invalidations);
    // Repaint then only copies the fresh image.
    M.Chart.Repaint();
    EXPECT_EQ(M.Chart.DrawCount(), 1);
    M.Chart.Draw(nullptr, M.Chart.ClientRect());
    EXPECT_FALSE(M.Chart.AutoRepaint());
}

TEST_F(ChartPaintCycle, AnAbandonedDrawStillSwitchesAutoRepaintBackOn) {
    M.Chart.OnBeforeDrawSeries = [] { throw std::runtime_error("abandoned"); };
    EXPECT_THROW(M.Chart.Repaint(), std::runtime_error);
    EXPECT_TRUE(M.Chart.AutoRepaint());
    M.Chart.OnBeforeDrawSeries = nullptr;
    M.Chart.Repaint();
    EXPECT_EQ(M.Chart.DrawCount(), 1);
}

TEST_F(ChartPaintCycle, GeometryKeepsItsValuesBetweenDraws) {
    M.Draw();
    const TRect r = M.Chart.ChartRect();
    const int x13 = M.Series->CalcXPos(13);
    const int x14 = M.Series->CalcXPos(14);
    M.Series->XValues()->SetValue(14, 20000);
    EXPECT_EQ(M.Chart.ChartRect(), r);
    EXPECT_EQ(M.Series->CalcXPos(13), x13);
    EXPECT_GT(M.Series->CalcXPos(14), 972); // mapped with the old range, off the control
    M.Draw();
    EXPECT_EQ(M.Series->CalcXPos(14), x14); // the new maximum sits where the old one did
    EXPECT_LT(M.Series->CalcXPos(13), x13);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
