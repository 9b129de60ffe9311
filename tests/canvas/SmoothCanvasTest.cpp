#include "canvas/SurfaceFixture.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using SmoothCanvasGeometry = SmoothCanvasTest;

TEST_F(SmoothCanvasGeometry, FillRectCoversExactlyThePixelsInsideRightAndBottomExclusive) {
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.FillRect(10, 10, 20, 20);
    int changed = 0;
    for (int y = 0; y < Image().height(); ++y) {
        for (int x = 0; x < Image().width(); ++x) {
            const bool inside = x >= 10 && x <= 19 && y >= 10 && y <= 19;
            ASSERT_EQ(Image().pixel(x, y), inside ? Black : White) << x << "," << y;
            changed += inside;
        }
    }
    EXPECT_EQ(changed, 100);
}

TEST_F(SmoothCanvasGeometry, FillRectWithAClearBrushOrNoAreaDrawsNothing) {
    canvas.AssignBrush(TChartBrush{clBlack, bsClear}, clBlack);
    canvas.FillRect(10, 10, 20, 20);
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.FillRect(30, 30, 30, 40);
    canvas.FillRect(50, 50, 40, 60);
    EXPECT_TRUE(InkOf(Image(), 1).Empty());
}

TEST_F(SmoothCanvasGeometry, OnePixelLineStraddlesTwoRowsAtHalfIntensityWithRoundEnds) {
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.Line(10, 10, 20, 10);
    for (int x = 11; x <= 18; ++x) {
        EXPECT_NEAR(Darkness(Image(), x, 9), 128, 20) << x;
        EXPECT_NEAR(Darkness(Image(), x, 10), 128, 20) << x;
        EXPECT_EQ(Image().pixel(x, 8), White) << x;
        EXPECT_EQ(Image().pixel(x, 11), White) << x;
    }
    // The round caps reach half a pixel beyond both ends, and no further.
    for (int y : {9, 10}) {
        EXPECT_GT(Darkness(Image(), 9, y), 10);
        EXPECT_LT(Darkness(Image(), 9, y), 110);
        EXPECT_GT(Darkness(Image(), 20, y), 10);
        EXPECT_LT(Darkness(Image(), 20, y), 110);
        EXPECT_EQ(Image().pixel(8, y), White);
        EXPECT_EQ(Image().pixel(21, y), White);
    }
}

TEST_F(SmoothCanvasGeometry, VerticalLineStraddlesTwoColumns) {
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.Line(30, 10, 30, 40);
    EXPECT_NEAR(Darkness(Image(), 29, 25), 128, 20);
    EXPECT_NEAR(Darkness(Image(), 30, 25), 128, 20);
    EXPECT_EQ(Image().pixel(28, 25), White);
    EXPECT_EQ(Image().pixel(31, 25), White);
}

TEST_F(SmoothCanvasGeometry, EllipseIsCentredOnTheCornerBetweenFourPixels) {
    canvas.AssignVisiblePen(SolidPen(clRed, 1));
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.Ellipse(95, 195, 105, 205);
    // Point symmetry about (100, 200): pixel (100 + i, 200 + j) mirrors (99 - i, 199 - j) and,
    // across the vertical axis, (99 - i, 200 + j); the rasteriser may differ by a few levels.
    auto same = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 6 && std::abs(qGreen(a) - qGreen(b)) <= 6 &&
               std::abs(qBlue(a) - qBlue(b)) <= 6;
    };
    for (int j = -8; j < 8; ++j) {
        for (int i = -8; i < 8; ++i) {
            const QRgb p = Image().pixel(100 + i, 200 + j);
            ASSERT_TRUE(same(p, Image().pixel(99 - i, 199 - j))) << i << "," << j;
            ASSERT_TRUE(same(p, Image().pixel(99 - i, 200 + j))) << i << "," << j;
        }
    }
    // Diameter 10 with a 1-pixel outline straddling it: ink from 94.5 to 105.5.
    const TInk ink = InkOf(Image(), 1);
    EXPECT_EQ(ink.Left, 94);
    EXPECT_EQ(ink.Right, 105);
    EXPECT_EQ(ink.Top, 194);
    EXPECT_EQ(ink.Bottom, 205);
    EXPECT_EQ(Image().pixel(99, 199), qRgb(255, 255, 0));
    EXPECT_EQ(Image().pixel(100, 200), qRgb(255, 255, 0));
}

TEST_F(SmoothCanvasGeometry, EllipseFillWithoutPenHasTheBoxAsItsDiameters) {
    canvas.AssignVisiblePen(HiddenPen());
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.Ellipse(95, 195, 105, 205);
    const TInk ink = InkOf(Image(), 1);
    EXPECT_EQ(ink.Left, 95);
    EXPECT_EQ(ink.Right, 104);
    EXPECT_EQ(ink.Top, 195);
    EXPECT_EQ(ink.Bottom, 204);
}

TEST_F(SmoothCanvasGeometry, RectangleOutlineStraddlesTheEdgesWhenTheBrushIsClear) {
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.AssignBrush(TChartBrush{clWhite, bsClear}, clBlack);
    canvas.Rectangle(20, 20, 40, 30);
    for (int x : {19, 20, 39, 40})
        EXPECT_NEAR(Darkness(Image(), x, 25), 128, 20) << x;
    for (int y : {19, 20, 29, 30})
        EXPECT_NEAR(Darkness(Image(), 30, y), 128, 20) << y;
    EXPECT_EQ(Image().pixel(30, 25), White);
    EXPECT_EQ(Image().pixel(18, 25), White);
    EXPECT_EQ(Image().pixel(41, 25), White);
}

TEST_F(SmoothCanvasGeometry, RectangleWithAHiddenPenIsOnlyItsCrispFill) {
    canvas.AssignVisiblePen(HiddenPen());
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.Rectangle(20, 20, 40, 30);
    for (int y = 15; y < 35; ++y)
        for (int x = 15; x < 45; ++x)
            ASSERT_EQ(Image().pixel(x, y), (x >= 20 && x < 40 && y >= 20 && y < 30) ? Black : White)
                << x << "," << y;
}

TEST_F(SmoothCanvasGeometry, RectangleCornersAreOrderedFirst) {
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.Rectangle(20, 20, 40, 30);
    const QImage forward = Image().copy();
    StartDraw(200, 250);
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.Rectangle(40, 30, 20, 20);
    EXPECT_TRUE(Image() == forward);
}

TEST_F(SmoothCanvasGeometry, ThickPenFillsOnlyInsideTheInnerHalfOfTheOutline) {
    // A translucent outline shows whether the fill lies under it.
    canvas.AssignVisiblePen(SolidPen(0x800000FF, 4));
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.Rectangle(20, 20, 60, 60);
    const QRgb onOutline = Image().pixel(21, 40);
    EXPECT_GT(qRed(onOutline), 200);
    EXPECT_GT(qGreen(onOutline), 100) << "the fill shows through the outline";
    EXPECT_EQ(Image().pixel(22, 40), Black);
    EXPECT_EQ(Image().pixel(40, 40), Black);
}

TEST_F(SmoothCanvasGeometry, OnePixelPenFillsTheWholeBox) {
    canvas.AssignVisiblePen(SolidPen(0x800000FF, 1));
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.Rectangle(20, 20, 60, 60);
    // Pixel 20 is half outline over the fill: red over black, no white.
    EXPECT_LT(qGreen(Image().pixel(20, 40)), 20);
}

TEST_F(SmoothCanvasGeometry, PenOfWidthZeroDrawsAliased) {
    canvas.AssignVisiblePen(SolidPen(clBlack, 0));
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.Line(10, 10, 60, 37);
    canvas.Ellipse(100, 100, 131, 121);
    int drawn = 0;
    for (int y = 0; y < Image().height(); ++y) {
        for (int x = 0; x < Image().width(); ++x) {
            const QRgb p = Image().pixel(x, y);
            ASSERT_TRUE(p == Black || p == White) << x << "," << y;
            drawn += p == Black;
        }
    }
    EXPECT_GT(drawn, 50);
}

TEST_F(SmoothCanvasGeometry, PenOfWidthOneSmoothsTheSameLine) {
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.Line(10, 10, 60, 37);
    int partial = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 70; ++x)
            partial += Darkness(Image(), x, y) > 10 && Darkness(Image(), x, y) < 245;
    EXPECT_GT(partial, 20);
}

TEST_F(SmoothCanvasGeometry, PolylineIsOneStrokeWithoutDoubleCoverAtTheJoins) {
    canvas.AssignVisiblePen(SolidPen(0x80000000, 4));
    canvas.Polyline({{10, 10}, {50, 10}, {50, 50}, {90, 50}});
    const int full = Darkness(Image(), 30, 10);
    EXPECT_GT(full, 100);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_LE(Darkness(Image(), x, y), full + 2) << x << "," << y;
}

TEST_F(SmoothCanvasGeometry, LineToStartsAtTheCurrentPositionAndMovesIt) {
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.MoveTo(10, 40);
    canvas.LineTo(50, 40);
    canvas.LineTo(50, 80);
    EXPECT_GT(Darkness(Image(), 30, 39), 100);
    EXPECT_GT(Darkness(Image(), 49, 60), 100);
    canvas.Line(100, 10, 120, 10);
    canvas.LineTo(120, 30);
    EXPECT_GT(Darkness(Image(), 119, 20), 100);
}

// The chart is flat: a line at a depth is painted as the line between the same two points, and
// the next LineTo starts where it ends.
TEST_F(SmoothCanvasGeometry, LinesAtADepthArePaintedAsTheLinesBetweenTheirPoints) {
    using TDrawing = std::function<void(TSmoothCanvas&)>;
    const std::vector<std::pair<TDrawing, TRect>> lines{
        {[](TSmoothCanvas& c) { c.HorizLine3D(10, 90, 30, 7); }, TRect{10, 30, 90, 30}},
        {[](TSmoothCanvas& c) { c.VertLine3D(40, 20, 120, -3); }, TRect{40, 20, 40, 120}},
        {[](TSmoothCanvas& c) { c.LineWithZ(15, 140, 170, 60, 5); }, TRect{15, 140, 170, 60}},
    };
    auto drawn = [&](const TDrawing& line) {
        StartDraw(200, 250);
        canvas.AssignVisiblePen(SolidPen(clRed, 2));
        line(canvas);
        canvas.LineTo(0, 0);
        return Image().copy();
    };
    for (const auto& [atADepth, ends] : lines) {
        const TRect line = ends;
        const QImage projected = drawn(atADepth);
        EXPECT_FALSE(InkOf(projected).Empty());
        EXPECT_TRUE(projected == drawn([line](TSmoothCanvas& c) {
                        c.Line(line.Left, line.Top, line.Right, line.Bottom);
                    }))
            << line.Left << "," << line.Top;
    }
}

TEST_F(SmoothCanvasGeometry, DashedPenLeavesGaps) {
    TChartPen dashed = SolidPen(clBlack, 1);
    dashed.Style = psDash;
    dashed.EndStyle = esFlat;
    canvas.AssignVisiblePen(dashed);
    canvas.Line(10, 10, 150, 10);
    int gaps = 0;
    for (int x = 12; x < 148; ++x)
        gaps += Image().pixel(x, 10) == White;
    EXPECT_GT(gaps, 10);
}

TEST_F(SmoothCanvasGeometry, ClearPenDrawsNoStroke) {
    TChartPen clear = SolidPen(clBlack, 1);
    clear.Style = psClear;
    canvas.AssignVisiblePen(clear);
    canvas.Line(10, 10, 150, 10);
    canvas.Polyline({{10, 20}, {50, 60}});
    EXPECT_TRUE(InkOf(Image(), 1).Empty());
}

using SmoothCanvasColour = SmoothCanvasTest;

TEST_F(SmoothCanvasColour, RedIsTheLowByte) {
    canvas.AssignBrush(TChartBrush{}, 0x00336699);
    canvas.FillRect(0, 0, 10, 10);
    EXPECT_EQ(Image().pixel(5, 5), qRgb(0x99, 0x66, 0x33));
}

TEST_F(SmoothCanvasColour, HighByteAndTransparencyLowerTheOpacity) {
    canvas.AssignBrush(TChartBrush{}, 0x80000000);
    canvas.FillRect(0, 0, 10, 10);
    EXPECT_NEAR(qGray(Image().pixel(5, 5)), 128, 2);

    canvas.SetTransparency(0x80);
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.FillRect(20, 0, 30, 10);
    EXPECT_NEAR(qGray(Image().pixel(25, 5)), 128, 2);

    // Opacity never goes below nothing.
    canvas.AssignBrush(TChartBrush{}, 0xFF000000);
    canvas.FillRect(40, 0, 50, 10);
    EXPECT_EQ(Image().pixel(45, 5), White);
}

TEST_F(SmoothCanvasColour, HatchedBrushPaintsItsBackgroundUnderTheLines) {
    canvas.AssignBrush(TChartBrush{clBlack, bsHorizontal, clRed}, clBlack, clRed);
    canvas.FillRect(0, 0, 40, 40);
    int black = 0;
    int red = 0;
    for (int y = 0; y < 40; ++y) {
        black += Image().pixel(20, y) == Black;
        red += Image().pixel(20, y) == qRgb(255, 0, 0);
    }
    EXPECT_GT(black, 0);
    EXPECT_GT(red, 0);
    EXPECT_EQ(black + red, 40);
}

class SmoothCanvasClipping : public SmoothCanvasTest {
protected:
    void SetUp() override {
        StartDraw(960, 450);
        canvas.AssignBrush(TChartBrush{}, clBlack);
    }
    void FillAll() { canvas.FillRect(0, 0, 960, 450); }
    // Every pixel is black inside [left, right] x [top, bottom] and white outside.
    void ExpectBlackExactly(int left, int top, int right, int bottom) {
        for (int y = 0; y < Image().height(); ++y) {
            for (int x = 0; x < Image().width(); ++x) {
                const bool inside = x >= left && x <= right && y >= top && y <= bottom;
                ASSERT_EQ(Image().pixel(x, y), inside ? Black : White) << x << "," << y;
            }
        }
    }
};

TEST_F(SmoothCanvasClipping, ClipIsWidenedByOneRowAboveAndBelow) {
    canvas.ClipRectangle(30, 19, 942, 431);
    FillAll();
    ExpectBlackExactly(30, 18, 941, 431);
}

TEST_F(SmoothCanvasClipping, ClipCubeClipsTheSeriesArea) {
    canvas.ClipCube(TRect{29, 18, 942, 432}, 0, 0);
    FillAll();
    ExpectBlackExactly(30, 18, 941, 431);
}

TEST_F(SmoothCanvasClipping, UnClipRestoresTheSavedClip) {
    canvas.ClipRectangle(10, 11, 500, 400);
    canvas.ClipRectangle(100, 101, 200, 200);
    canvas.UnClipRectangle();
    FillAll();
    ExpectBlackExactly(10, 10, 499, 400);
}

TEST_F(SmoothCanvasClipping, EachUnClipPopsOneLevel) {
    canvas.ClipRectangle(10, 11, 500, 400);
    canvas.ClipRectangle(100, 101, 200, 200);
    canvas.UnClipRectangle();
    canvas.UnClipRectangle();
    FillAll();
    ExpectBlackExactly(0, 0, 959, 449);
}

TEST_F(SmoothCanvasClipping, NestedClipIsTheIntersection) {
    canvas.ClipRectangle(10, 11, 500, 400);
    canvas.ClipRectangle(300, 301, 700, 420);
    FillAll();
    ExpectBlackExactly(300, 300, 499, 400);
}

TEST_F(SmoothCanvasClipping, PoppingTheLastSavedClipUnclips) {
    canvas.ClipRectangle(10, 11, 500, 400);
    canvas.UnClipRectangle();
    FillAll();
    ExpectBlackExactly(0, 0, 959, 449);
}

TEST_F(SmoothCanvasClipping, UnClipWithNothingSavedUnclips) {
    canvas.UnClipRectangle();
    canvas.ClipRectangle(10, 11, 500, 400);
    canvas.UnClipRectangle();
    canvas.UnClipRectangle();
    FillAll();
    ExpectBlackExactly(0, 0, 959, 449);
}

TEST_F(SmoothCanvasClipping, ANewDrawStartsUnclipped) {
    canvas.ClipRectangle(10, 11, 500, 400);
    canvas.ShowImage(nullptr, TRect{0, 0, 960, 450});
    StartDraw(960, 450);
    canvas.AssignBrush(TChartBrush{}, clBlack);
    FillAll();
    ExpectBlackExactly(0, 0, 959, 449);
}

TEST(SmoothCanvasFrame, ANewSurfaceIsStaleAndCopiesNothing) {
    TSmoothCanvas canvas;
    EXPECT_TRUE(canvas.Dirty());
    QImage window(50, 50, QImage::Format_RGB32);
    window.fill(Qt::blue);
    const QImage before = window.copy();
    QPainter painter(&window);
    TPainterDestination destination(&painter);
    EXPECT_FALSE(canvas.ReDrawBitmap(&destination));
    painter.end();
    EXPECT_TRUE(window == before);
}

TEST(SmoothCanvasFrame, InitWindowReturnsTheBoundsAndPreparesTheDraw) {
    TSmoothCanvas canvas;
    EXPECT_EQ(canvas.InitWindow(TRect{5, 7, 105, 87}), (TRect{0, 0, 100, 80}));
    EXPECT_EQ(canvas.Image().size(), QSize(100, 80));
    EXPECT_EQ(canvas.Image().dotsPerMeterX(), 3780);
    EXPECT_EQ(canvas.Image().dotsPerMeterY(), 3780);
    EXPECT_EQ(canvas.BackMode(), cbmOpaque);
    EXPECT_TRUE(canvas.Drawing());
}

TEST(SmoothCanvasFrame, InitWindowResetsTheCurrentPosition) {
    TSmoothCanvas canvas;
    canvas.InitWindow(TRect{0, 0, 100, 80});
    canvas.MoveTo(50, 50);
    canvas.ShowImage(nullptr, TRect{0, 0, 100, 80});
    canvas.InitWindow(TRect{0, 0, 100, 80});
    canvas.AssignBrush(TChartBrush{}, clWhite);
    canvas.FillRect(0, 0, 100, 80);
    canvas.LineTo(0, 40);
    EXPECT_GT(255 - qGray(canvas.Image().pixel(0, 20)), 100);
    EXPECT_EQ(canvas.Image().pixel(50, 45), White);
}

TEST(SmoothCanvasFrame, ImageIsReusedForTheSameSizeAndNotCleared) {
    TSmoothCanvas canvas;
    canvas.InitWindow(TRect{0, 0, 100, 80});
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.FillRect(0, 0, 10, 10);
    canvas.ShowImage(nullptr, TRect{0, 0, 100, 80});
    const uchar* data = canvas.Image().constBits();

    canvas.InitWindow(TRect{0, 0, 100, 80});
    EXPECT_EQ(canvas.Image().constBits(), data);
    EXPECT_EQ(canvas.Image().pixel(5, 5), Black);
    canvas.ShowImage(nullptr, TRect{0, 0, 100, 80});

    canvas.InitWindow(TRect{0, 0, 120, 80});
    EXPECT_EQ(canvas.Image().size(), QSize(120, 80));
}

TEST(SmoothCanvasFrame, ShowImageCopiesTheWholeImageAtTheRectangleAndMarksItFresh) {
    TSmoothCanvas canvas;
    canvas.InitWindow(TRect{0, 0, 40, 30});
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.FillRect(0, 0, 40, 30);
    canvas.AssignVisiblePen(SolidPen(clRed, 1));
    canvas.Line(0, 15, 40, 15);

    QImage window(100, 80, QImage::Format_RGB32);
    window.fill(Qt::blue);
    QPainter painter(&window);
    // Whatever the window's painter would blend with, the image replaces what lies under it.
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    TPainterDestination destination(&painter);
    canvas.ShowImage(&destination, TRect{20, 10, 60, 40});
    EXPECT_EQ(painter.compositionMode(), QPainter::CompositionMode_Multiply);
    painter.end();

    EXPECT_FALSE(canvas.Dirty());
    EXPECT_FALSE(canvas.Drawing());
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 100; ++x) {
            const bool inside = x >= 20 && x < 60 && y >= 10 && y < 40;
            const QRgb expected = inside ? canvas.Image().pixel(x - 20, y - 10) : qRgb(0, 0, 255);
            ASSERT_EQ(window.pixel(x, y), expected) << x << "," << y;
        }
    }
}

TEST(SmoothCanvasFrame, AFreshImageIsCopiedAgainWithoutDrawingAStaleOneIsNot) {
    TSmoothCanvas canvas;
    canvas.InitWindow(TRect{0, 0, 40, 30});
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.FillRect(0, 0, 40, 30);
    canvas.ShowImage(nullptr, TRect{0, 0, 40, 30});
    const QImage drawn = canvas.Image().copy();

    QImage window(40, 30, QImage::Format_RGB32);
    window.fill(Qt::blue);
    {
        QPainter painter(&window);
        TPainterDestination destination(&painter);
        EXPECT_TRUE(canvas.ReDrawBitmap(&destination));
    }
    EXPECT_EQ(window.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(window.pixel(39, 29), qRgb(255, 255, 0));
    EXPECT_TRUE(canvas.Image() == drawn);
    EXPECT_FALSE(canvas.Drawing());

    canvas.Invalidate();
    EXPECT_TRUE(canvas.Dirty());
    window.fill(Qt::blue);
    {
        QPainter painter(&window);
        TPainterDestination destination(&painter);
        EXPECT_FALSE(canvas.ReDrawBitmap(&destination));
    }
    EXPECT_EQ(window.pixel(0, 0), qRgb(0, 0, 255));
}

TEST(SmoothCanvasFrame, DrawingOutsideADrawChangesNothing) {
    TSmoothCanvas canvas;
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.FillRect(0, 0, 10, 10);
    canvas.TextOut(0, 0, "1");
    EXPECT_GT(canvas.TextWidth("1"), 0);
    canvas.InitWindow(TRect{0, 0, 40, 30});
    canvas.AssignBrush(TChartBrush{}, clWhite);
    canvas.FillRect(0, 0, 40, 30);
    canvas.ShowImage(nullptr, TRect{0, 0, 40, 30});
    canvas.AssignBrush(TChartBrush{}, clBlack);
    canvas.FillRect(0, 0, 10, 10);
    canvas.Line(0, 0, 30, 30);
    EXPECT_EQ(canvas.Image().pixel(5, 5), White);
}

TEST(SmoothCanvasFrame, AControlWithoutAreaStillGetsADraw) {
    TSmoothCanvas canvas;
    EXPECT_EQ(canvas.InitWindow(TRect{0, 0, 0, 0}), (TRect{0, 0, 0, 0}));
    canvas.FillRect(0, 0, 10, 10);
    canvas.ShowImage(nullptr, TRect{});
    EXPECT_FALSE(canvas.Dirty());
}

class SmoothCanvasCaching : public SmoothCanvasTest {};

TEST_F(SmoothCanvasCaching, PenIsBuiltOncePerChangeAndOnlyWhenStroking) {
    const int start = canvas.PenBuilds();
    canvas.AssignVisiblePen(SolidPen(clRed, 1));
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    EXPECT_EQ(canvas.PenBuilds(), start);
    canvas.Line(0, 0, 10, 10);
    canvas.Line(0, 10, 10, 0);
    canvas.Polyline({{0, 0}, {5, 5}, {9, 0}});
    canvas.Rectangle(20, 20, 30, 30);
    canvas.Ellipse(40, 40, 50, 50);
    EXPECT_EQ(canvas.PenBuilds(), start + 1);
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.FillRect(0, 0, 5, 5);
    canvas.TextOut(10, 10, "1");
    canvas.Line(0, 0, 10, 10);
    EXPECT_EQ(canvas.PenBuilds(), start + 1);
    canvas.AssignVisiblePen(SolidPen(clRed, 2));
    canvas.Line(0, 0, 10, 10);
    EXPECT_EQ(canvas.PenBuilds(), start + 2);
}

TEST_F(SmoothCanvasCaching, PenChangesTakeEffectOnTheNextStroke) {
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.Line(10, 10, 50, 10);
    canvas.AssignVisiblePen(SolidPen(clRed, 1));
    canvas.Line(10, 30, 50, 30);
    EXPECT_EQ(qRed(Image().pixel(30, 30)), 255);
    EXPECT_LT(qGreen(Image().pixel(30, 30)), 160);
    EXPECT_LT(qRed(Image().pixel(30, 10)), 160);
}

TEST_F(SmoothCanvasCaching, FontIsBuiltOnlyWhenNameSizeOrStyleChange) {
    canvas.TextWidth("1");
    const int start = canvas.FontBuilds();
    canvas.TextWidth("13,000");
    canvas.TextOut(10, 10, "13,000");
    TChartFont font;
    font.Color = clRed;
    font.Quality = fqBest;
    canvas.AssignFont(font);
    canvas.TextHeight("W");
    EXPECT_EQ(canvas.FontBuilds(), start);
    font.Size = 9;
    canvas.AssignFont(font);
    canvas.TextHeight("W");
    EXPECT_EQ(canvas.FontBuilds(), start + 1);
    font.Style = fsBold;
    canvas.AssignFont(font);
    canvas.TextHeight("W");
    font.Name = "Tahoma";
    canvas.AssignFont(font);
    canvas.TextHeight("W");
    EXPECT_EQ(canvas.FontBuilds(), start + 3);
}

// Drawings the surface keeps as ready pictures and copies: they must give the pixels the painter
// gives when it draws the same shapes straight onto the image.

} // namespace
