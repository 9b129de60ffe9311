// Stamps: what the surface paints once and copies must look as the painter paints it in place.

#include "canvas/ImageDifference.h"
#include "canvas/SurfaceFixture.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

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
