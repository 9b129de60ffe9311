#include "canvas/RecordingCanvas.h"

#include <gtest/gtest.h>

namespace {

TEST(RecordingCanvas, LogsOperationsWithTheStateInForce) {
    TRecordingCanvas canvas;
    TChartPen red;
    red.Color = clRed;
    red.Width = 2;
    canvas.AssignVisiblePen(red);
    canvas.Line(1, 2, 3, 4);
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.SetTextAlign(TA_CENTER);
    canvas.TextOut(5, 6, "ab");
    canvas.Polyline({{1, 1}, {2, 3}});

    ASSERT_EQ(canvas.Ops(), (std::vector<std::string>{"Line", "TextOut", "Polyline"}));
    EXPECT_EQ(canvas.Calls[0].Args, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(canvas.Calls[0].Pen.Color, clRed);
    EXPECT_EQ(canvas.Calls[0].Pen.Width, 2);
    EXPECT_EQ(canvas.Calls[0].Brush.Color, clWhite);
    EXPECT_EQ(canvas.Calls[1].Text, "ab");
    EXPECT_EQ(canvas.Calls[1].TextAlign, TA_CENTER);
    EXPECT_EQ(canvas.Calls[1].Brush.Color, clYellow);
    EXPECT_EQ(canvas.Calls[2].Args, (std::vector<int>{1, 1, 2, 3}));
}

TEST(RecordingCanvas, HiddenPenIsLoggedAsClearStyle) {
    TRecordingCanvas canvas;
    TChartPen hidden;
    hidden.Visible = false;
    canvas.AssignVisiblePen(hidden);
    canvas.Rectangle(0, 0, 5, 5);
    EXPECT_EQ(canvas.Calls.at(0).Pen.Style, psClear);
}

TEST(RecordingCanvas, LineNamesOfTheThirdDimensionNormaliseToLine) {
    TRecordingCanvas canvas;
    canvas.HorizLine3D(1, 9, 5, 0);
    canvas.VertLine3D(4, 2, 8, 0);
    canvas.LineWithZ(1, 2, 3, 4, 0);
    for (const TCanvasCall& c : canvas.Calls)
        EXPECT_EQ(c.AsLine().Op, "Line") << c.Op;
    EXPECT_EQ(canvas.Calls[0].AsLine().Args, (std::vector<int>{1, 5, 9, 5}));
    EXPECT_EQ(canvas.Calls[1].AsLine().Args, (std::vector<int>{4, 2, 4, 8}));
    EXPECT_EQ(canvas.Calls[2].AsLine().Args, (std::vector<int>{1, 2, 3, 4}));
}

TEST(RecordingCanvas, MeasuresWithFixedMetricsCountingCharacters) {
    TRecordingCanvas canvas;
    EXPECT_EQ(canvas.TextWidth("13,000"), 36);
    EXPECT_EQ(canvas.TextWidth("ADV [°]"), 42);
    EXPECT_EQ(canvas.FontHeight(), 14);
    EXPECT_TRUE(canvas.Calls.empty());

    canvas.CharWidth = 5.5;
    canvas.LineHeight = 13;
    canvas.LogMeasuring = true;
    EXPECT_DOUBLE_EQ(canvas.TextSize("abc").Width, 16.5);
    EXPECT_EQ(canvas.TextHeight("W"), 13);
    EXPECT_EQ(canvas.Ops(), (std::vector<std::string>{"TextSize", "TextHeight"}));
}

TEST(RecordingCanvas, FrameAndCurrentPosition) {
    TRecordingCanvas canvas;
    EXPECT_TRUE(canvas.Dirty());
    canvas.MoveTo(3, 4);
    canvas.LineTo(7, 8);
    EXPECT_EQ(canvas.Calls.back().Args, (std::vector<int>{3, 4, 7, 8}));
    EXPECT_EQ(canvas.InitWindow(TRect{10, 20, 110, 70}), (TRect{0, 0, 100, 50}));
    EXPECT_EQ(canvas.CurrentX(), 0);
    EXPECT_EQ(canvas.BackMode(), cbmOpaque);
    EXPECT_FALSE(canvas.ReDrawBitmap(nullptr));
    canvas.ShowImage(nullptr, TRect{0, 0, 100, 50});
    EXPECT_TRUE(canvas.ReDrawBitmap(nullptr));
    canvas.Invalidate();
    EXPECT_TRUE(canvas.Dirty());
}

TEST(RecordingCanvas, ClipCubeReachesTheClipAsItsTwoDimensionalRectangle) {
    TRecordingCanvas canvas;
    canvas.ClipCube(TRect{29, 18, 942, 432}, 0, 0);
    EXPECT_EQ(canvas.Calls.at(0).Args, (std::vector<int>{30, 19, 942, 431}));
    EXPECT_EQ(canvas.ClipDepth(), 1);
    canvas.UnClipRectangle();
    canvas.UnClipRectangle();
    EXPECT_EQ(canvas.ClipDepth(), 0);
}

} // namespace
