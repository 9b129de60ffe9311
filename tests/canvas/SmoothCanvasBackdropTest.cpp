// The surface's kept backdrop: a draw whose backdrop paints the same operations with the same
// state shows the kept picture, and what was drawn over it in the last draw is gone; anything
// else is painted anew, exactly as a surface that keeps nothing paints it.

#include "chart/canvas/SmoothCanvas.h"

#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

TChartPen Pen(TColor color, int width, TPenEndStyle ends = esRound) {
    TChartPen pen;
    pen.Color = color;
    pen.Width = width;
    pen.EndStyle = ends;
    return pen;
}

// What a backdrop is made of: the panel's face and bevel, a frame, grid lines, a label, and a
// marker, which the chart's backdrop does not draw but the surface would keep as well.
struct TScene {
    TColor Face = 0x00F0F0F0;
    int Bevel = 1;
    int MarkerX = 200;
    TColor Grid = clSilver;
    int GridStep = 20;
    std::string Label = "13,000";
    double FontSize = 8;
    int Align = TA_CENTER;
    TCanvasBackMode LabelBack = cbmTransparent;
};

constexpr int Width = 240;
constexpr int Height = 160;

void PaintBackdrop(TSmoothCanvas& canvas, const TScene& scene) {
    TChartPen none;
    none.Visible = false;
    canvas.AssignVisiblePen(none);
    canvas.AssignBrush(TChartBrush{}, scene.Face);
    canvas.FillRect(0, 0, Width, Height);
    canvas.AssignVisiblePen(Pen(clWhite, 1));
    const int b = scene.Bevel;
    canvas.Polyline({{b, Height - 1 - b}, {b, b}, {Width - 1 - b, b}});
    canvas.AssignVisiblePen(Pen(clBlack, 1));
    canvas.AssignBrush(TChartBrush{clWhite, bsClear}, clWhite);
    canvas.Rectangle(20, 10, 221, 131);
    canvas.AssignVisiblePen(Pen(scene.Grid, 1));
    for (int x = 20 + scene.GridStep; x < 220; x += scene.GridStep)
        canvas.Line(x, 11, x, 130);
    canvas.AssignVisiblePen(Pen(clBlack, 2, esFlat));
    canvas.Line(20, 132, 220, 132);
    TChartFont font;
    font.Size = scene.FontSize;
    canvas.AssignFont(font);
    canvas.SetBackMode(scene.LabelBack);
    canvas.SetTextAlign(scene.Align);
    canvas.TextOut(120, 138, scene.Label);
    canvas.AssignVisiblePen(Pen(clRed, 1));
    canvas.AssignBrush(TChartBrush{}, clYellow);
    canvas.Ellipse(scene.MarkerX - 5, 60, scene.MarkerX + 5, 70);
}

using TDrawing = std::function<void(TSmoothCanvas&)>;

// One full draw: the backdrop bracketed as the chart brackets it, then what lies on top.
void Draw(TSmoothCanvas& canvas, const TScene& scene, const TDrawing& onTop = {}) {
    canvas.InitWindow(TRect{0, 0, Width, Height});
    canvas.BeginBackdrop();
    PaintBackdrop(canvas, scene);
    canvas.EndBackdrop();
    if (onTop)
        onTop(canvas);
    canvas.ShowImage(nullptr, TRect{0, 0, Width, Height});
}

QImage DrawnFromScratch(double ratio, const TScene& scene, const TDrawing& onTop = {}) {
    TSmoothCanvas canvas;
    canvas.SetDevicePixelRatio(ratio);
    Draw(canvas, scene, onTop);
    return canvas.Image();
}

class SurfaceBackdrop : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override { canvas.SetDevicePixelRatio(GetParam()); }
    TSmoothCanvas canvas;
};

// Everything the series and the chart may draw over a backdrop.
const std::vector<std::pair<const char*, TDrawing>> OnTop{
    {"a slanted thin line",
     [](TSmoothCanvas& c) {
         c.AssignVisiblePen(Pen(clRed, 1));
         c.Line(25, 120, 215, 15);
     }},
    {"a thick slanted line with round ends",
     [](TSmoothCanvas& c) {
         c.AssignVisiblePen(Pen(clRed, 5));
         c.Line(30, 20, 200, 100);
     }},
    {"a marker across the frame",
     [](TSmoothCanvas& c) {
         c.AssignVisiblePen(Pen(clRed, 1));
         c.AssignBrush(TChartBrush{}, clYellow);
         c.Ellipse(15, 5, 25, 15);
     }},
    {"a clipped marker",
     [](TSmoothCanvas& c) {
         c.ClipRectangle(21, 11, 220, 130);
         c.AssignVisiblePen(Pen(clRed, 1));
         c.AssignBrush(TChartBrush{}, clYellow);
         c.Ellipse(215, 125, 225, 135);
         c.UnClipRectangle();
     }},
    {"a polyline with miter joins",
     [](TSmoothCanvas& c) {
         TChartPen pen = Pen(0x00FF0000, 4);
         pen.JoinStyle = jsMitter;
         c.AssignVisiblePen(pen);
         c.Polyline({{40, 100}, {60, 20}, {80, 100}, {100, 20}});
     }},
    {"a hatched fill",
     [](TSmoothCanvas& c) {
         c.AssignBrush(TChartBrush{clBlack, bsDiagCross, clYellow}, clBlack, clYellow);
         c.FillRect(150, 40, 190, 70);
     }},
    {"a rectangle with a thick outline",
     [](TSmoothCanvas& c) {
         c.AssignVisiblePen(Pen(clGray, 3));
         c.AssignBrush(TChartBrush{}, clWhite);
         c.Rectangle(120, 80, 160, 110);
     }},
    {"a text",
     [](TSmoothCanvas& c) {
         c.AssignFont(TChartFont{});
         c.SetBackMode(cbmTransparent);
         c.TextOut(60, 60, "ADV 12");
     }},
    {"a text on its own background",
     [](TSmoothCanvas& c) {
         c.AssignBrush(TChartBrush{}, clWhite);
         c.AssignFont(TChartFont{});
         c.SetBackMode(cbmOpaque);
         c.TextOut(130, 100, "RPM");
     }},
    {"a thin right-angled polyline",
     [](TSmoothCanvas& c) {
         c.AssignVisiblePen(Pen(clGray, 1));
         c.Polyline({{30, 110}, {30, 40}, {95, 40}, {95, 75}});
     }},
    {"a marker and a rectangle filled without outlines",
     [](TSmoothCanvas& c) {
         TChartPen none;
         none.Visible = false;
         c.AssignVisiblePen(none);
         c.AssignBrush(TChartBrush{}, clYellow);
         c.Ellipse(101, 61, 113, 75);
         c.AssignBrush(TChartBrush{}, 0x00FF8000);
         c.Rectangle(171, 91, 203, 117);
     }},
};

TEST_P(SurfaceBackdrop, WhatWasDrawnOverAKeptBackdropIsGoneFromTheNextDraw) {
    const TScene scene;
    const QImage bare = DrawnFromScratch(GetParam(), scene);
    Draw(canvas, scene);
    for (const auto& [name, drawing] : OnTop) {
        SCOPED_TRACE(name);
        const int reuses = canvas.BackdropReuses();
        Draw(canvas, scene, drawing);
        EXPECT_TRUE(canvas.Image() == DrawnFromScratch(GetParam(), scene, drawing));
        EXPECT_FALSE(canvas.Image() == bare);
        Draw(canvas, scene);
        EXPECT_TRUE(canvas.Image() == bare);
        // Both draws show the kept picture.
        EXPECT_EQ(canvas.BackdropReuses(), reuses + 2);
    }
}

TEST_P(SurfaceBackdrop, AnyChangedOperationOrStatePaintsTheBackdropAnew) {
    const TScene base;
    std::vector<std::pair<const char*, TScene>> changes{
        {"the panel's face", base},       {"a grid line's colour", base},
        {"the grid's spacing", base},     {"a label's text", base},
        {"the font's size", base},        {"the text's anchor", base},
        {"the label's background", base}, {"the bevel's place", base},
        {"a marker's place", base},
    };
    changes[0].second.Face = 0x00E0E0E0;
    changes[1].second.Grid = clGray;
    changes[2].second.GridStep = 25;
    changes[3].second.Label = "13,500";
    changes[4].second.FontSize = 9;
    changes[5].second.Align = TA_RIGHT;
    changes[6].second.LabelBack = cbmOpaque;
    changes[7].second.Bevel = 2;
    changes[8].second.MarkerX = 201;
    Draw(canvas, base);
    for (const auto& [name, scene] : changes) {
        SCOPED_TRACE(name);
        const int reuses = canvas.BackdropReuses();
        Draw(canvas, scene);
        EXPECT_EQ(canvas.BackdropReuses(), reuses);
        EXPECT_TRUE(canvas.Image() == DrawnFromScratch(GetParam(), scene));
        Draw(canvas, base);
        EXPECT_EQ(canvas.BackdropReuses(), reuses);
        EXPECT_TRUE(canvas.Image() == DrawnFromScratch(GetParam(), base));
    }
}

// A backdrop that leaves pixels of the image unpainted, or paints it translucent, shows what
// the image held before: its picture is not kept.
TEST_P(SurfaceBackdrop, ABackdropThatLetsTheImageBeforeShowThroughIsPaintedEveryTime) {
    const std::vector<std::pair<const char*, TColor>> faces{{"no face at all", clNone},
                                                            {"a translucent face", 0x80F0F0F0}};
    for (const auto& [name, color] : faces) {
        SCOPED_TRACE(name);
        const TColor face = color;
        TSmoothCanvas surface;
        surface.SetDevicePixelRatio(GetParam());
        auto drawOver = [&](TColor before) {
            surface.InitWindow(TRect{0, 0, Width, Height});
            surface.AssignBrush(TChartBrush{}, before);
            surface.FillRect(0, 0, Width, Height);
            surface.BeginBackdrop();
            if (face != clNone) {
                surface.AssignBrush(TChartBrush{}, face);
                surface.FillRect(0, 0, Width, Height);
            }
            surface.AssignVisiblePen(Pen(clBlack, 1));
            surface.Line(10, 50, 200, 50);
            surface.EndBackdrop();
            surface.ShowImage(nullptr, TRect{0, 0, Width, Height});
            return surface.Image().pixel(5, 5);
        };
        const QRgb onRed = drawOver(clRed);
        const QRgb onBlue = drawOver(0x00FF0000);
        EXPECT_NE(onRed, onBlue);
        EXPECT_GT(qRed(onRed), qBlue(onRed));
        EXPECT_EQ(surface.BackdropReuses(), 0);
    }
}

// A clip inside the backdrop acts on what the backdrop paints after it, not on what comes before.
TEST_P(SurfaceBackdrop, AClipInsideTheBackdropClipsWhatFollowsIt) {
    const TDrawing clipped = [](TSmoothCanvas& c) {
        TChartPen none;
        none.Visible = false;
        c.AssignVisiblePen(none);
        c.AssignBrush(TChartBrush{}, clWhite);
        c.FillRect(0, 0, Width, Height);
        c.AssignVisiblePen(Pen(clBlack, 1));
        c.Line(10, 100, 230, 100);
        c.ClipRectangle(50, 20, 100, 60);
        c.AssignBrush(TChartBrush{}, clBlack);
        c.FillRect(0, 0, Width, Height);
        c.UnClipRectangle();
        c.Line(10, 120, 230, 120);
    };
    for (int draw = 0; draw < 2; ++draw) {
        canvas.InitWindow(TRect{0, 0, Width, Height});
        canvas.BeginBackdrop();
        clipped(canvas);
        canvas.EndBackdrop();
        canvas.ShowImage(nullptr, TRect{0, 0, Width, Height});
        TSmoothCanvas plain;
        plain.SetDevicePixelRatio(GetParam());
        plain.InitWindow(TRect{0, 0, Width, Height});
        clipped(plain);
        plain.ShowImage(nullptr, TRect{0, 0, Width, Height});
        EXPECT_TRUE(canvas.Image() == plain.Image()) << draw;
    }
    const QImage& image = canvas.Image();
    const double r = GetParam();
    EXPECT_EQ(image.pixel(int(75 * r), int(40 * r)), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(int(150 * r), int(40 * r)), qRgb(255, 255, 255));
    EXPECT_LT(qGray(image.pixel(int(150 * r), int(100 * r) - 1)), 200);
    EXPECT_LT(qGray(image.pixel(int(150 * r), int(120 * r) - 1)), 200);
}

// The pen, brush, font and position the chart set inside the backdrop are still in force for
// what it draws after it, whether the backdrop was painted or shown from the kept picture.
TEST_P(SurfaceBackdrop, TheStateSetInsideTheBackdropOutlastsIt) {
    for (int draw = 0; draw < 2; ++draw) {
        canvas.InitWindow(TRect{0, 0, Width, Height});
        canvas.BeginBackdrop();
        PaintBackdrop(canvas, TScene{});
        canvas.MoveTo(30, 40);
        canvas.AssignVisiblePen(Pen(clRed, 3));
        canvas.EndBackdrop();
        EXPECT_EQ(canvas.Pen(), Pen(clRed, 3));
        EXPECT_EQ(canvas.TextAlign(), TA_CENTER);
        EXPECT_EQ(canvas.BackMode(), cbmTransparent);
        canvas.LineTo(200, 40);
        canvas.ShowImage(nullptr, TRect{0, 0, Width, Height});
        const QRgb line = canvas.Image().pixel(int(100 * GetParam()), int(40 * GetParam()));
        EXPECT_EQ(line, qRgb(255, 0, 0)) << draw;
    }
    EXPECT_EQ(canvas.BackdropReuses(), 1);
}

INSTANTIATE_TEST_SUITE_P(AtRatio, SurfaceBackdrop, ::testing::Values(1.0, 1.25, 2.0));

} // namespace
