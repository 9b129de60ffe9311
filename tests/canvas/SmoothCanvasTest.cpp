#include "chart/canvas/SmoothCanvas.h"
#include "canvas/ImageDifference.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;

int Darkness(const QImage& image, int x, int y) {
    return 255 - qGray(image.pixel(x, y));
}

TChartPen SolidPen(TColor color, int width) {
    TChartPen pen;
    pen.Color = color;
    pen.Width = width;
    return pen;
}

TChartPen HiddenPen() {
    TChartPen pen;
    pen.Visible = false;
    return pen;
}

// The columns or rows of the image that hold any non-white pixel.
struct TInk {
    int Left = 0;
    int Right = -1;
    int Top = 0;
    int Bottom = -1;
    bool Empty() const { return Right < Left; }
};

TInk InkOf(const QImage& image, int threshold = 60) {
    TInk ink{image.width(), -1, image.height(), -1};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (Darkness(image, x, y) < threshold)
                continue;
            ink.Left = std::min(ink.Left, x);
            ink.Right = std::max(ink.Right, x);
            ink.Top = std::min(ink.Top, y);
            ink.Bottom = std::max(ink.Bottom, y);
        }
    }
    return ink;
}

// A surface in the middle of a draw on a white image.
class SmoothCanvasTest : public ::testing::Test {
protected:
    void StartDraw(int width, int height) {
        canvas.InitWindow(TRect{0, 0, width, height});
        canvas.AssignVisiblePen(HiddenPen());
        canvas.AssignBrush(TChartBrush{}, clWhite);
        canvas.FillRect(0, 0, width, height);
        canvas.ResetState();
    }
    void SetUp() override { StartDraw(200, 250); }

    const QImage& Image() const { return canvas.Image(); }

    TSmoothCanvas canvas;
};

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

class SmoothCanvasText : public SmoothCanvasTest {
protected:
    void SetUp() override {
        StartDraw(300, 120);
        canvas.SetBackMode(cbmTransparent);
        canvas.AssignFont(TChartFont{});
    }
    static bool ArialIsLiberationSans() {
        return QRawFont::fromFont(QFont("Arial")).familyName() == "Liberation Sans";
    }
    void UseFont(const std::string& name, double size, int style = 0) {
        TChartFont font;
        font.Name = name;
        font.Size = size;
        font.Style = style;
        canvas.AssignFont(font);
    }
};

TEST_F(SmoothCanvasText, TextHeightAddsHalfAPixelAndRoundsTiesToEven) {
    EXPECT_EQ(TSmoothCanvas::RoundTextHeight(13.0), 14);
    EXPECT_EQ(TSmoothCanvas::RoundTextHeight(14.0), 14);
    EXPECT_EQ(TSmoothCanvas::RoundTextHeight(13.2), 14);
    EXPECT_EQ(TSmoothCanvas::RoundTextHeight(12.4), 13);
    EXPECT_EQ(canvas.TextHeight("W"), TSmoothCanvas::RoundTextHeight(canvas.TextSize("W").Height));
    EXPECT_EQ(canvas.FontHeight(), canvas.TextHeight("W"));
}

TEST_F(SmoothCanvasText, SizeIsInPointsAtNinetySixDotsPerInch) {
    if (!ArialIsLiberationSans())
        GTEST_SKIP() << "Arial does not resolve to Liberation Sans here";
    const double em = 8 * 96 / 72.0;
    EXPECT_NEAR(canvas.TypographicWidth("W"), 1933 * em / 2048, 1e-9);
    EXPECT_NEAR(canvas.TypographicWidth("13,000"), (5 * 1139 + 569) * em / 2048, 1e-9);
    EXPECT_NEAR(canvas.TextSize("W").Height, 2355 * em / 2048, 1e-9);
    EXPECT_EQ(canvas.TextWidth("13,000"), 36);
    EXPECT_EQ(canvas.TextHeight("W"), 13);
}

TEST_F(SmoothCanvasText, DoublingThePointSizeDoublesEveryMeasure) {
    const TFloatSize small = canvas.TextSize("ADV [°]");
    const double typographic = canvas.TypographicWidth("ADV [°]");
    UseFont("Arial", 16);
    EXPECT_NEAR(canvas.TextSize("ADV [°]").Width, 2 * small.Width, 1e-9);
    EXPECT_NEAR(canvas.TextSize("ADV [°]").Height, 2 * small.Height, 1e-9);
    EXPECT_NEAR(canvas.TypographicWidth("ADV [°]"), 2 * typographic, 1e-9);
}

TEST_F(SmoothCanvasText, LayoutBoxIsWiderThanTheTypographicWidth) {
    const double padding = canvas.TextSize("13,000").Width - canvas.TypographicWidth("13,000");
    EXPECT_GT(padding, 2);
    EXPECT_LT(padding, 5);
    EXPECT_NEAR(canvas.TextSize("1").Width - canvas.TypographicWidth("1"), padding, 1e-9);
}

TEST_F(SmoothCanvasText, TrailingBlanksAreNotMeasuredLeadingOnesAre) {
    EXPECT_DOUBLE_EQ(canvas.TextSize("13,000 ").Width, canvas.TextSize("13,000").Width);
    EXPECT_GT(canvas.TextSize(" 1").Width, canvas.TextSize("1").Width + 1);
    const int blank = canvas.TextWidth(" ");
    EXPECT_GT(blank, 0);
    EXPECT_EQ(blank, static_cast<int>(std::nearbyint(canvas.TextSize("1").Width -
                                                     canvas.TypographicWidth("1"))));
    EXPECT_EQ(canvas.TextSize("").Width, 0);
}

TEST_F(SmoothCanvasText, UnknownFamilyFallsBackToTheGenericSansSerif) {
    UseFont("Sans Serif", 8);
    const TFloatSize generic = canvas.TextSize("13,000 RPM");
    UseFont("No Such Family Qz", 8);
    const TFloatSize unknown = canvas.TextSize("13,000 RPM");
    EXPECT_DOUBLE_EQ(unknown.Width, generic.Width);
    EXPECT_DOUBLE_EQ(unknown.Height, generic.Height);
}

TEST_F(SmoothCanvasText, BoldIsWider) {
    const double regular = canvas.TypographicWidth("rpm");
    UseFont("Arial", 8, fsBold);
    EXPECT_GT(canvas.TypographicWidth("rpm"), regular);
}

TEST_F(SmoothCanvasText, RightAlignedTextEndsAtTheAnchor) {
    for (const char* text : {"13,000", "1", "50"}) {
        StartDraw(300, 120);
        canvas.SetBackMode(cbmTransparent);
        UseFont("Arial", 16);
        canvas.SetTextAlign(TA_RIGHT);
        canvas.TextOut(200, 20, text);
        const TInk ink = InkOf(Image());
        ASSERT_FALSE(ink.Empty()) << text;
        EXPECT_GE(ink.Right, 198) << text;
        EXPECT_LE(ink.Right, 202) << text;
    }
}

TEST_F(SmoothCanvasText, LeftAlignedTextSitsInTheMiddleOfItsLayoutBox) {
    UseFont("Arial", 16);
    canvas.TextOut(50, 20, "W");
    const TFloatSize box = canvas.TextSize("W");
    const TInk ink = InkOf(Image());
    ASSERT_FALSE(ink.Empty());
    EXPECT_GE(ink.Left, 51);
    EXPECT_LT(ink.Right, 50 + box.Width);
    EXPECT_NEAR((ink.Left + ink.Right + 1) / 2.0, 50 + box.Width / 2, 1);
    EXPECT_GE(ink.Top, 21);
    EXPECT_LT(ink.Bottom, 20 + box.Height);
}

TEST_F(SmoothCanvasText, BottomAloneDrawsAsIfTopAligned) {
    canvas.TextOut(50, 40, "13,000");
    const QImage top = Image().copy();
    StartDraw(300, 120);
    canvas.SetBackMode(cbmTransparent);
    canvas.AssignFont(TChartFont{});
    canvas.SetTextAlign(TA_BOTTOM);
    canvas.TextOut(50, 40, "13,000");
    EXPECT_TRUE(Image() == top);
    EXPECT_FALSE(InkOf(top).Empty());
}

TEST_F(SmoothCanvasText, CentredBottomTextSitsAboveTheAnchor) {
    UseFont("Arial", 16);
    canvas.SetTextAlign(TA_CENTER | TA_BOTTOM);
    canvas.TextOut(150, 80, "W");
    const TInk ink = InkOf(Image());
    ASSERT_FALSE(ink.Empty());
    EXPECT_LT(ink.Bottom, 80);
    EXPECT_GT(ink.Bottom, 80 - canvas.TextHeight("W") / 2);
    EXPECT_LE(std::abs((150 - ink.Left) - (ink.Right + 1 - 150)), 1);
}

TEST_F(SmoothCanvasText, TextIsDrawnInTheFontColour) {
    TChartFont font;
    font.Size = 16;
    font.Color = clRed;
    canvas.AssignFont(font);
    canvas.TextOut(20, 20, "W");
    const TInk ink = InkOf(Image());
    ASSERT_FALSE(ink.Empty());
    int red = 0;
    for (int y = ink.Top; y <= ink.Bottom; ++y)
        for (int x = ink.Left; x <= ink.Right; ++x)
            red += Image().pixel(x, y) == qRgb(255, 0, 0);
    EXPECT_GT(red, 5);
}

TEST_F(SmoothCanvasText, OpaqueBackgroundFillsTheTextBoxFirst) {
    canvas.SetBackMode(cbmOpaque);
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.TextOut(20, 30, "13,000");
    const TFloatSize size = canvas.TextSize("13,000");
    const int right = static_cast<int>(std::nearbyint(20 + size.Width));
    const int bottom = static_cast<int>(std::nearbyint(30 + size.Height));
    const QRgb yellow = qRgb(255, 255, 0);
    EXPECT_EQ(Image().pixel(20, 30), yellow);
    EXPECT_EQ(Image().pixel(right - 1, bottom - 1), yellow);
    EXPECT_EQ(Image().pixel(right, 30), White);
    EXPECT_EQ(Image().pixel(20, bottom), White);
    EXPECT_EQ(Image().pixel(19, 30), White);
}

TEST_F(SmoothCanvasText, TransparentBackgroundLeavesTheBoxAlone) {
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.SetBackMode(cbmTransparent);
    canvas.TextOut(20, 30, "13,000");
    for (int y = 0; y < Image().height(); ++y)
        for (int x = 0; x < Image().width(); ++x)
            ASSERT_NE(Image().pixel(x, y), qRgb(255, 255, 0));
}

TEST_F(SmoothCanvasText, AfterTextTheBrushIsTheFontsSolidBrush) {
    TChartFont font;
    font.Color = clRed;
    canvas.AssignFont(font);
    canvas.AssignBrush(TChartBrush{clWhite, bsClear}, clYellow);
    canvas.TextOut(20, 30, "1");
    EXPECT_EQ(canvas.Brush().Style, bsSolid);
    EXPECT_EQ(canvas.Brush().Color, clRed);
}

TEST_F(SmoothCanvasText, UnderlineDrawsBelowTheBaseline) {
    UseFont("Arial", 16);
    canvas.TextOut(20, 20, "ace");
    const TInk plain = InkOf(Image());
    StartDraw(300, 120);
    canvas.SetBackMode(cbmTransparent);
    UseFont("Arial", 16, fsUnderline);
    canvas.TextOut(20, 20, "ace");
    EXPECT_GT(InkOf(Image()).Bottom, plain.Bottom);
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
class SmoothCanvasPictures : public SmoothCanvasTest {
protected:
    // The shapes drawn with the painter straight onto a white image of the surface's size.
    QImage Painted(const std::function<void(QPainter&)>& paint) const {
        QImage image(Image().size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
        return image;
    }
    static QPen PainterPen(QColor color, int width, Qt::PenCapStyle cap = Qt::RoundCap) {
        QPen pen(color);
        pen.setWidthF(width);
        pen.setCapStyle(cap);
        pen.setJoinStyle(Qt::RoundJoin);
        return pen;
    }
    // Every pixel of the block at (x, y) equals the pixel of the block at (x + dx, y + dy).
    void ExpectSameBlock(int x, int y, int width, int height, int dx, int dy) const {
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                ASSERT_EQ(Image().pixel(x + i, y + j), Image().pixel(x + dx + i, y + dy + j))
                    << x + i << "," << y + j;
    }
    void FillWhole(TColor color) {
        canvas.AssignBrush(TChartBrush{}, color);
        canvas.FillRect(0, 0, Image().width(), Image().height());
    }
    bool Plain(QRgb color) const {
        for (int y = 0; y < Image().height(); ++y)
            for (int x = 0; x < Image().width(); ++x)
                if (Image().pixel(x, y) != color)
                    return false;
        return true;
    }
};

TEST_F(SmoothCanvasPictures, StrokesAlongTheAxesLookAsThePainterDrawsThem) {
    TChartPen axis = SolidPen(clBlack, 2);
    axis.EndStyle = esFlat;
    TChartPen square = SolidPen(0x00336699, 3);
    square.EndStyle = esSquare;
    // Each stroke twice, the second time from the kept picture.
    for (int shift : {0, 90}) {
        canvas.AssignVisiblePen(SolidPen(clGray, 1));
        canvas.Line(10 + shift, 20, 80 + shift, 20);
        canvas.Line(80 + shift, 40, 10 + shift, 40);
        canvas.Line(30 + shift, 50, 30 + shift, 200);
        canvas.Line(40 + shift, 200, 40 + shift, 50);
        canvas.AssignVisiblePen(axis);
        canvas.Line(50 + shift, 60, 85 + shift, 60);
        canvas.Line(55 + shift, 70, 55 + shift, 180);
        canvas.AssignVisiblePen(square);
        canvas.Line(65 + shift, 80, 65 + shift, 150);
    }
    const QImage painted = Painted([](QPainter& painter) {
        for (int shift : {0, 90}) {
            painter.setPen(PainterPen(QColor(128, 128, 128), 1));
            painter.drawLine(QPointF(10 + shift, 20), QPointF(80 + shift, 20));
            painter.drawLine(QPointF(80 + shift, 40), QPointF(10 + shift, 40));
            painter.drawLine(QPointF(30 + shift, 50), QPointF(30 + shift, 200));
            painter.drawLine(QPointF(40 + shift, 200), QPointF(40 + shift, 50));
            painter.setPen(PainterPen(Qt::black, 2, Qt::FlatCap));
            painter.drawLine(QPointF(50 + shift, 60), QPointF(85 + shift, 60));
            painter.drawLine(QPointF(55 + shift, 70), QPointF(55 + shift, 180));
            painter.setPen(PainterPen(QColor(0x99, 0x66, 0x33), 3, Qt::SquareCap));
            painter.drawLine(QPointF(65 + shift, 80), QPointF(65 + shift, 150));
        }
    });
    EXPECT_LE(LargestDifference(Image(), painted), 1);
}

TEST_F(SmoothCanvasPictures, RightAngledOutlinesLookAsThePainterDrawsThem) {
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.AssignBrush(TChartBrush{clWhite, bsClear}, clWhite);
    canvas.Rectangle(20, 20, 120, 80);
    canvas.Rectangle(150, 90, 130, 30);
    canvas.AssignVisiblePen(SolidPen(0x00A0A0A0, 1));
    canvas.Polyline({{10, 240}, {10, 100}, {190, 100}});
    canvas.Polyline({{190, 110}, {190, 230}, {20, 230}});
    canvas.AssignVisiblePen(SolidPen(clRed, 1));
    canvas.Polyline({{60, 200}, {60, 130}, {120, 130}, {120, 180}, {150, 180}});
    TChartPen flat = SolidPen(clBlack, 1);
    flat.EndStyle = esFlat;
    canvas.AssignVisiblePen(flat);
    canvas.Polyline({{70, 215}, {140, 215}, {140, 190}});
    const QImage painted = Painted([](QPainter& painter) {
        painter.setPen(PainterPen(Qt::black, 1));
        painter.drawRect(QRectF(QPointF(20, 20), QPointF(120, 80)));
        painter.drawRect(QRectF(QPointF(130, 30), QPointF(150, 90)));
        painter.setPen(PainterPen(QColor(0xA0, 0xA0, 0xA0), 1));
        painter.drawPolyline(QPolygonF({QPointF(10, 240), QPointF(10, 100), QPointF(190, 100)}));
        painter.drawPolyline(QPolygonF({QPointF(190, 110), QPointF(190, 230), QPointF(20, 230)}));
        painter.setPen(PainterPen(Qt::red, 1));
        painter.drawPolyline(QPolygonF({QPointF(60, 200), QPointF(60, 130), QPointF(120, 130),
                                        QPointF(120, 180), QPointF(150, 180)}));
        painter.setPen(PainterPen(Qt::black, 1, Qt::FlatCap));
        painter.drawPolyline(QPolygonF({QPointF(70, 215), QPointF(140, 215), QPointF(140, 190)}));
    });
    EXPECT_LE(LargestDifference(Image(), painted), 1);
}

TEST_F(SmoothCanvasPictures, FilledOutlinedEllipsesLookAsThePainterDrawsThem) {
    canvas.AssignVisiblePen(SolidPen(clRed, 1));
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.Ellipse(95, 195, 105, 205);
    canvas.Ellipse(35, 45, 45, 55);
    canvas.AssignVisiblePen(SolidPen(0x00336699, 3));
    canvas.AssignBrush(TChartBrush{}, clSilver);
    canvas.Ellipse(120, 20, 170, 50);
    canvas.AssignVisiblePen(HiddenPen());
    canvas.Ellipse(20, 100, 60, 120);
    const QImage painted = Painted([](QPainter& painter) {
        auto ellipse = [&](QRectF box, double inset, QColor fill, std::optional<QPen> pen) {
            QPainterPath path;
            path.addEllipse(box.adjusted(inset, inset, -inset, -inset));
            painter.fillPath(path, fill);
            if (pen) {
                painter.setPen(*pen);
                painter.drawEllipse(box);
            }
        };
        ellipse(QRectF(95, 195, 10, 10), 0, Qt::yellow, PainterPen(Qt::red, 1));
        ellipse(QRectF(35, 45, 10, 10), 0, Qt::yellow, PainterPen(Qt::red, 1));
        ellipse(QRectF(120, 20, 50, 30), 1.5, QColor(192, 192, 192),
                PainterPen(QColor(0x99, 0x66, 0x33), 3));
        ellipse(QRectF(20, 100, 40, 20), 0, QColor(192, 192, 192), std::nullopt);
    });
    EXPECT_LE(LargestDifference(Image(), painted), 1);
}

TEST_F(SmoothCanvasPictures, KeptPicturesAreClippedAsTheDrawingItself) {
    canvas.AssignVisiblePen(SolidPen(clGray, 1));
    canvas.AssignBrush(TChartBrush{}, clYellow);
    // The first pictures are made outside the clip, then copied across its edges.
    canvas.Line(10, 30, 180, 30);
    canvas.Line(20, 10, 20, 240);
    canvas.Ellipse(5, 5, 15, 15);
    canvas.ClipRectangle(50, 60, 150, 160);
    canvas.Line(10, 100, 180, 100);
    canvas.Line(100, 10, 100, 240);
    canvas.Line(10, 59, 180, 59);
    canvas.Ellipse(45, 95, 55, 105);
    canvas.Ellipse(145, 155, 155, 165);
    canvas.UnClipRectangle();
    const QImage painted = Painted([](QPainter& painter) {
        auto marker = [&](QRectF box) {
            QPainterPath path;
            path.addEllipse(box);
            painter.fillPath(path, Qt::yellow);
            painter.drawEllipse(box);
        };
        painter.setPen(PainterPen(QColor(128, 128, 128), 1));
        painter.drawLine(QPointF(10, 30), QPointF(180, 30));
        painter.drawLine(QPointF(20, 10), QPointF(20, 240));
        marker(QRectF(5, 5, 10, 10));
        painter.setClipRect(QRect(50, 59, 100, 102));
        painter.drawLine(QPointF(10, 100), QPointF(180, 100));
        painter.drawLine(QPointF(100, 10), QPointF(100, 240));
        painter.drawLine(QPointF(10, 59), QPointF(180, 59));
        marker(QRectF(45, 95, 10, 10));
        marker(QRectF(145, 155, 10, 10));
    });
    EXPECT_LE(LargestDifference(Image(), painted), 1);
    EXPECT_EQ(Image().pixel(49, 99), White);
    EXPECT_EQ(Image().pixel(150, 100), White);
    EXPECT_EQ(Image().pixel(100, 57), White);
    EXPECT_EQ(Image().pixel(100, 161), White);
}

TEST_F(SmoothCanvasPictures, TextIsTheSameWhereverItIsDrawn) {
    canvas.SetBackMode(cbmTransparent);
    canvas.AssignFont(TChartFont{});
    canvas.TextOut(20, 20, "13,000");
    canvas.TextOut(110, 57, "13,000");
    ExpectSameBlock(10, 10, 80, 30, 90, 37);
    // Centred texts start on half pixels for odd widths.
    canvas.SetTextAlign(TA_CENTER);
    canvas.TextOut(50, 120, "9,000");
    canvas.TextOut(151, 171, "9,000");
    ExpectSameBlock(10, 110, 80, 30, 101, 51);
    EXPECT_FALSE(InkOf(Image()).Empty());
}

TEST_F(SmoothCanvasPictures, TextKeepsWhereItStartsInsideAPixel) {
    // Centred, a text of an odd whole width starts half a pixel further than left-aligned.
    canvas.AssignFont(TChartFont{});
    std::string text;
    for (const char* candidate : {"9,000", "13,000", "1", "50", "W"})
        if (static_cast<int>(std::nearbyint(canvas.TypographicWidth(candidate))) % 2 != 0)
            text = candidate;
    ASSERT_FALSE(text.empty());
    // Each on a surface of its own, which has kept no pictures yet.
    auto draw = [&](bool centredFirst) {
        TSmoothCanvas surface;
        surface.InitWindow(TRect{0, 0, 200, 250});
        surface.AssignVisiblePen(HiddenPen());
        surface.AssignBrush(TChartBrush{}, clWhite);
        surface.FillRect(0, 0, 200, 250);
        surface.SetBackMode(cbmTransparent);
        surface.AssignFont(TChartFont{});
        if (centredFirst) {
            surface.SetTextAlign(TA_CENTER);
            surface.TextOut(50, 120, text);
        }
        surface.SetTextAlign(TA_LEFT);
        surface.TextOut(20, 20, text);
        return surface.Image().copy(0, 0, 200, 60);
    };
    EXPECT_TRUE(draw(true) == draw(false));
}

TEST_F(SmoothCanvasPictures, TextKeepsItsOwnColourAndFont) {
    canvas.SetBackMode(cbmTransparent);
    TChartFont font;
    font.Size = 16;
    canvas.AssignFont(font);
    canvas.TextOut(10, 10, "W");
    font.Color = clRed;
    canvas.AssignFont(font);
    canvas.TextOut(10, 60, "W");
    font.Size = 32;
    canvas.AssignFont(font);
    canvas.TextOut(10, 110, "W");
    auto inkIn = [&](int top, int bottom, auto wanted) {
        int count = 0;
        int lowest = -1;
        int highest = Image().height();
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < 120; ++x) {
                if (wanted(Image().pixel(x, y))) {
                    ++count;
                    lowest = std::max(lowest, y);
                    highest = std::min(highest, y);
                }
            }
        }
        return std::pair{count, lowest - highest + 1};
    };
    auto black = [](QRgb p) { return p == Black; };
    auto red = [](QRgb p) { return p == qRgb(255, 0, 0); };
    const auto [blackInk, blackHeight] = inkIn(0, 50, black);
    const auto [redInk, redHeight] = inkIn(50, 100, red);
    const auto [bigInk, bigHeight] = inkIn(100, 250, red);
    EXPECT_GT(blackInk, 5);
    EXPECT_EQ(inkIn(50, 100, black).first, 0);
    EXPECT_EQ(redInk, blackInk);
    EXPECT_EQ(redHeight, blackHeight);
    EXPECT_GT(bigHeight, 2 * blackHeight - 3);
    EXPECT_GT(bigInk, 3 * redInk);
}

TEST_F(SmoothCanvasPictures, KeptPicturesStayWithinABudget) {
    canvas.SetBackMode(cbmTransparent);
    canvas.AssignFont(TChartFont{});
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    for (int i = 0; i < 3000; ++i)
        canvas.TextOut(0, 0, std::to_string(i));
    EXPECT_LT(canvas.CachedPictures(), 3000u);
    StartDraw(200, 250);
    canvas.SetBackMode(cbmTransparent);
    canvas.AssignFont(TChartFont{});
    canvas.TextOut(20, 20, "13,000");
    canvas.AssignVisiblePen(SolidPen(clBlack, 1));
    canvas.Line(10, 100, 150, 100);
    EXPECT_FALSE(InkOf(Image()).Empty());
    EXPECT_NEAR(Darkness(Image(), 80, 99), 128, 20);
}

TEST_F(SmoothCanvasPictures, MeasuresStayWithTheirFont) {
    TChartFont font;
    canvas.AssignFont(font);
    const TFloatSize small = canvas.TextSize("13,000");
    font.Size = 16;
    canvas.AssignFont(font);
    const TFloatSize big = canvas.TextSize("13,000");
    font.Size = 8;
    canvas.AssignFont(font);
    EXPECT_DOUBLE_EQ(canvas.TextSize("13,000").Width, small.Width);
    EXPECT_DOUBLE_EQ(canvas.TextSize("13,000").Height, small.Height);
    font.Size = 16;
    canvas.AssignFont(font);
    EXPECT_DOUBLE_EQ(canvas.TextSize("13,000").Width, big.Width);
    EXPECT_GT(big.Width, small.Width);
}

// The panel paints the whole image twice in its colour; whatever was drawn in between must
// still be painted over.
TEST_F(SmoothCanvasPictures, AWholeImageFillCoversEveryDrawingBeforeIt) {
    const QRgb face = qRgb(0xEF, 0xEF, 0xEF);
    const std::vector<std::function<void()>> drawings = {
        [&] {
            canvas.AssignVisiblePen(SolidPen(clBlack, 1));
            canvas.Line(10, 10, 100, 10);
        },
        [&] {
            canvas.AssignVisiblePen(SolidPen(clBlack, 1));
            canvas.Line(10, 10, 100, 90);
        },
        [&] {
            canvas.AssignVisiblePen(SolidPen(clBlack, 1));
            canvas.Polyline({{0, 50}, {0, 0}, {50, 0}});
        },
        [&] {
            canvas.AssignVisiblePen(SolidPen(clBlack, 1));
            canvas.AssignBrush(TChartBrush{clWhite, bsClear}, clWhite);
            canvas.Rectangle(10, 10, 60, 60);
        },
        [&] {
            canvas.AssignVisiblePen(HiddenPen());
            canvas.AssignBrush(TChartBrush{}, clBlack);
            canvas.Ellipse(10, 10, 20, 20);
        },
        [&] {
            canvas.SetBackMode(cbmTransparent);
            canvas.AssignFont(TChartFont{});
            canvas.TextOut(10, 10, "13,000");
        },
        [&] {
            canvas.AssignBrush(TChartBrush{}, clBlack);
            canvas.FillRect(10, 10, 20, 20);
        },
        [&] {
            canvas.AssignBrush(TChartBrush{}, clBlack);
            canvas.ClipRectangle(0, 1, 5, 5);
            canvas.FillRect(0, 0, 200, 250);
            canvas.UnClipRectangle();
        },
        [&] {
            canvas.AssignBrush(TChartBrush{}, 0x80000000);
            canvas.FillRect(0, 0, 200, 250);
        },
    };
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        FillWhole(0x00EFEFEF);
        FillWhole(0x00EFEFEF);
        drawings[i]();
        ASSERT_FALSE(Plain(face)) << i;
        FillWhole(0x00EFEFEF);
        ASSERT_TRUE(Plain(face)) << i;
    }
    FillWhole(clBlack);
    EXPECT_TRUE(Plain(Black));
}

} // namespace
