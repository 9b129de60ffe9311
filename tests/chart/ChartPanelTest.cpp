// The chart panel's layout and paint cycle, drawn off-window onto a recording surface: the
// margins around the chart rectangle, what one full draw paints in which order, and when a
// paint draws anew or only copies the last image.

#include "chart/MainWindowChart.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using TArgs = std::vector<int>;
using TOps = std::vector<std::string>;

// Index of the first call from start on that satisfies pred; Calls.size() when none does.
template <class TPred>
std::size_t Find(const TRecordingCanvas& rec, TPred pred, std::size_t start = 0) {
    while (start < rec.Calls.size() && !pred(rec.Calls[start]))
        ++start;
    return start;
}

std::size_t FindOp(const TRecordingCanvas& rec, const std::string& op) {
    return Find(rec, [&](const TCanvasCall& c) { return c.Op == op; });
}

bool IsAxisLine(const TCanvasCall& c) {
    return c.AsLine().Op == "Line" && c.Pen.Width == 2 && c.Pen.Color == clBlack;
}

// The chart rectangle as the margins leave it, seen from inside the draw before the axes take
// their room.
TRect RectBeforeAxes(TRecordedChart& chart) {
    TRect seen;
    chart.OnBeforeDrawChart = [&] { seen = chart.ChartRect(); };
    chart.Repaint();
    chart.OnBeforeDrawChart = nullptr;
    return seen;
}

} // namespace

TEST(ChartMargins, ChartRectangleInsideBorderAndMargins) {
    const struct {
        int width, height;
        TPanelMarginUnits units;
        int left, top, right, bottom;
        TRect expected;
    } rows[] = {
        {972, 450, muPercent, 3, 4, 3, 4, {30, 19, 942, 431}}, // 29 and 18, and the bevel
        {999, 450, muPercent, 3, 4, 3, 4, {30, 19, 969, 431}}, // 999 x 3 / 100 = 29.97 -> 29
        {2, 2, muPercent, 3, 4, 3, 4, {1, 1, 1, 1}},           // equal edges stay equal
        {972, 450, muPixels, 3, 4, 3, 4, {4, 5, 968, 445}},
        {60, 40, muPixels, 40, 30, 40, 30, {41, 31, 42, 32}},    // crossing: one pixel
        {972, 450, muPixels, -10, -10, 3, 4, {0, 0, 968, 445}}}; // never outside the bounds
    for (const auto& row : rows) {
        TMainWindowChart m(InitialCurve, row.width, row.height);
        m.Chart.SetMarginUnits(row.units);
        m.Chart.SetMarginLeft(row.left);
        m.Chart.SetMarginTop(row.top);
        m.Chart.SetMarginRight(row.right);
        m.Chart.SetMarginBottom(row.bottom);
        EXPECT_EQ(RectBeforeAxes(m.Chart), row.expected) << row.width << " x " << row.height;
        if (row.width == 60) { // the axes cannot take room from it either
            EXPECT_EQ(m.Chart.ChartWidth(), 1);
            EXPECT_EQ(m.Chart.ChartHeight(), 1);
        }
    }
}

TEST(ChartDrawOrder, PanelFillsAndRaisedBevelComeFirstAndTheCopyLast) {
    TMainWindowChart m;
    m.Draw();
    const auto& c = m.Rec().Calls;
    ASSERT_GE(c.size(), 5u);
    EXPECT_EQ((TOps{c[0].Op, c[1].Op, c[2].Op, c[3].Op, c[4].Op, c.back().Op}),
              (TOps{"InitWindow", "FillRect", "Rectangle", "Polyline", "Polyline", "ShowImage"}));
    EXPECT_EQ(c[0].Args, (TArgs{0, 0, 972, 450}));
    EXPECT_EQ(c.back().Args, (TArgs{0, 0, 972, 450}));
    // The parent's colour, then the panel's own, without an outline.
    EXPECT_EQ(c[1].Args, (TArgs{0, 0, 972, 450}));
    EXPECT_EQ(c[1].Brush.Color, DefaultButtonFaceRGB);
    EXPECT_EQ(c[2].Args, (TArgs{0, 0, 973, 451}));
    EXPECT_EQ(c[2].Brush.Color, DefaultButtonFaceRGB);
    EXPECT_EQ(c[2].Pen.Style, psClear);
    // White along the top and left edges, grey along x = 971 and y = 449.
    EXPECT_EQ(c[3].Args, (TArgs{0, 449, 0, 0, 971, 0}));
    EXPECT_EQ(c[3].Pen.Color, clWhite);
    EXPECT_EQ(c[4].Args, (TArgs{971, 0, 971, 449, -1, 449}));
    EXPECT_EQ(c[4].Pen.Color, BevelDarkColor);
    EXPECT_EQ(m.Rec().Count("Polyline"), 2u);
}

TEST(ChartDrawOrder, FrameThenBottomAxisThenLeftAxisThenTheClippedSeries) {
    TMainWindowChart m;
    m.Draw();
    const auto& rec = m.Rec();
    const TRect r = m.Chart.ChartRect();
    const std::size_t frame = Find(
        rec, [](const TCanvasCall& c) { return c.Op == "Rectangle" && c.Brush.Style == bsClear; });
    ASSERT_LT(frame, rec.Calls.size());
    EXPECT_EQ(rec.Calls[frame].Args, (TArgs{r.Left, r.Top, r.Right + 1, r.Bottom + 1}));
    EXPECT_EQ(rec.Calls[frame].Pen.Color, clBlack);
    EXPECT_EQ(rec.Calls[frame].Pen.Width, 1);

    const std::size_t bottom = Find(rec, IsAxisLine);
    const std::size_t left = Find(rec, IsAxisLine, bottom + 1);
    const std::size_t clip = FindOp(rec, "ClipRectangle");
    const std::size_t unclip = FindOp(rec, "UnClipRectangle");
    ASSERT_LT(unclip, rec.Calls.size());
    EXPECT_LT(FindOp(rec, "Polyline"), frame);
    EXPECT_LT(frame, bottom);
    EXPECT_EQ(rec.Calls[bottom].AsLine().Args[1], r.Bottom + 1);
    EXPECT_LT(bottom, left);
    EXPECT_EQ(rec.Calls[left].AsLine().Args[0], r.Left - 1);
    EXPECT_LT(left, clip);
    // The box (Left, Top - 1, Right, Bottom + 1) as the flat surface clips it.
    EXPECT_EQ(rec.Calls[clip].Args, (TArgs{r.Left + 1, r.Top, r.Right, r.Bottom}));
    EXPECT_EQ(rec.Count("ClipRectangle"), 1u);
    EXPECT_EQ(rec.ClipDepth(), 0);
    // Every red segment and every marker lies inside the clip; nothing else does.
    for (std::size_t i = 0; i < rec.Calls.size(); ++i) {
        const TCanvasCall& c = rec.Calls[i];
        const bool ofSeries = c.Op == "Ellipse" || (c.Op == "Line" && c.Pen.Color == clRed);
        EXPECT_EQ(ofSeries, i > clip && i < unclip) << c.Op << " at " << i;
    }
    EXPECT_EQ(rec.Count("TextOut"), 28u); // the labels only: nothing for titles or legend
}

TEST(ChartPaintCycle, RepaintHasDrawnWhenItReturnsAndPaintDrawsOnlyAStaleImage) {
    TMainWindowChart m;
    m.Chart.Repaint();
    EXPECT_EQ(m.Chart.DrawCount(), 1);
    EXPECT_FALSE(m.Chart.Canvas()->Dirty());
    m.Rec().Clear();
    m.Chart.Repaint();
    EXPECT_EQ(m.Chart.DrawCount(), 2);
    EXPECT_EQ(m.Rec().Ops().front(), "Invalidate");
    EXPECT_EQ(m.Rec().Ops().back(), "ShowImage");

    m.Rec().Clear();
    m.Chart.Paint(nullptr); // a fresh image is only copied
    EXPECT_EQ(m.Rec().Ops(), (TOps{"ReDrawBitmap"}));
    EXPECT_EQ(m.Chart.DrawCount(), 2);
    const int invalidations = m.Chart.WindowInvalidations;
    m.Chart.Invalidate();
    EXPECT_TRUE(m.Chart.Canvas()->Dirty());
    EXPECT_EQ(m.Chart.WindowInvalidations, invalidations + 1);
    m.Chart.Paint(nullptr);
    EXPECT_EQ(m.Chart.DrawCount(), 3);
}

TEST(ChartPaintCycle, DrawingSwitchesAutoRepaintOffAndBackOnAlsoWhenAbandoned) {
    TMainWindowChart m;
    bool autoRepaintDuringDraw = true;
    std::size_t invalidatedDuringDraw = 1;
    m.Chart.OnBeforeDrawSeries = [&] {
        autoRepaintDuringDraw = m.Chart.AutoRepaint();
        m.Chart.Invalidate();
        invalidatedDuringDraw = m.Rec().Count("Invalidate");
    };
    const int invalidations = m.Chart.WindowInvalidations;
    m.Draw();
    EXPECT_FALSE(autoRepaintDuringDraw);
    EXPECT_EQ(invalidatedDuringDraw, 0u);
    EXPECT_EQ(m.Chart.WindowInvalidations, invalidations + 1); // only the one before the draw
    EXPECT_TRUE(m.Chart.AutoRepaint());

    m.Chart.OnBeforeDrawSeries = [] { throw std::runtime_error("abandoned"); };
    EXPECT_THROW(m.Chart.Repaint(), std::runtime_error);
    EXPECT_TRUE(m.Chart.AutoRepaint());
    m.Chart.OnBeforeDrawSeries = nullptr;
    m.Chart.Repaint();
    EXPECT_FALSE(m.Chart.Canvas()->Dirty());
    EXPECT_EQ(m.Rec().ClipDepth(), 0);
}
