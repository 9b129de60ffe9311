// The drawing surface on screens with more than one device pixel per logical pixel: the image
// has the device size, every rule holds in logical pixels, and what is drawn is as sharp as
// the screen allows rather than a stretched copy of the picture at ratio 1.

#include "canvas/ImageDifference.h"
#include "chart/canvas/SmoothCanvas.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

int Darkness(QRgb pixel) {
    return 255 - qGray(pixel);
}

TChartPen Pen(TColor color, int width) {
    TChartPen pen;
    pen.Color = color;
    pen.Width = width;
    return pen;
}

// A surface at the given ratio in the middle of a draw on a white image.
void StartDraw(TSmoothCanvas& canvas, double ratio, int width, int height) {
    canvas.SetDevicePixelRatio(ratio);
    canvas.InitWindow(TRect{0, 0, width, height});
    TChartPen hidden;
    hidden.Visible = false;
    canvas.AssignVisiblePen(hidden);
    canvas.AssignBrush(TChartBrush{}, clWhite);
    canvas.FillRect(0, 0, width, height);
    canvas.ResetState();
    canvas.SetBackMode(cbmTransparent);
}

// Of the pixels a drawing touches, the share that are neither (nearly) paper nor (nearly) ink:
// the blur along its edges.
double GreyShare(const QImage& image) {
    int touched = 0;
    int grey = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int d = Darkness(image.pixel(x, y));
            if (d < 20)
                continue;
            ++touched;
            grey += d < 235;
        }
    }
    return touched == 0 ? 1 : double(grey) / touched;
}

class SurfaceAtRatio : public ::testing::TestWithParam<double> {
protected:
    double Ratio() const { return GetParam(); }
    TSmoothCanvas canvas;
};

TEST_P(SurfaceAtRatio, ImageHasTheDevicePixelsOfTheControl) {
    canvas.SetDevicePixelRatio(Ratio());
    // The drawing bounds stay in logical pixels.
    EXPECT_EQ(canvas.InitWindow(TRect{0, 0, 972, 450}), (TRect{0, 0, 972, 450}));
    const QImage& image = canvas.Image();
    EXPECT_EQ(image.devicePixelRatio(), Ratio());
    EXPECT_EQ(image.width(), static_cast<int>(std::ceil(972 * Ratio())));
    EXPECT_EQ(image.height(), static_cast<int>(std::ceil(450 * Ratio())));
    EXPECT_EQ(image.deviceIndependentSize().toSize(), QSize(972, 450));
}

// Grid lines, ticks, frames, markers and labels are painted once and then copied onto the
// image; at every ratio the copies must give the pixels of drawing the shapes in place.
TEST_P(SurfaceAtRatio, KeptPicturesLookAsThePainterDrawsThemInPlace) {
    StartDraw(canvas, Ratio(), 200, 160);
    TChartPen thick = Pen(clBlack, 2);
    thick.EndStyle = esFlat;
    for (int shift : {0, 1, 2, 3, 50}) {
        canvas.AssignVisiblePen(Pen(clGray, 1));
        canvas.Line(10 + shift, 20 + shift, 60 + shift, 20 + shift);
        canvas.Line(20 + shift, 30, 20 + shift, 80);
        canvas.AssignVisiblePen(thick);
        canvas.Line(70 + shift, 30, 70 + shift, 70);
        canvas.AssignVisiblePen(Pen(clRed, 1));
        canvas.AssignBrush(TChartBrush{}, clYellow);
        canvas.Ellipse(95 + shift, 95 + shift, 105 + shift, 105 + shift);
    }
    QImage painted(canvas.Image().size(), QImage::Format_ARGB32_Premultiplied);
    painted.setDevicePixelRatio(Ratio());
    painted.fill(Qt::white);
    {
        QPainter painter(&painted);
        painter.setRenderHint(QPainter::Antialiasing);
        auto pen = [](QColor color, int width, Qt::PenCapStyle cap) {
            QPen p(color);
            p.setWidthF(width);
            p.setCapStyle(cap);
            p.setJoinStyle(Qt::RoundJoin);
            return p;
        };
        for (int shift : {0, 1, 2, 3, 50}) {
            painter.setPen(pen(QColor(128, 128, 128), 1, Qt::RoundCap));
            painter.drawLine(QPointF(10 + shift, 20 + shift), QPointF(60 + shift, 20 + shift));
            painter.drawLine(QPointF(20 + shift, 30), QPointF(20 + shift, 80));
            painter.setPen(pen(Qt::black, 2, Qt::FlatCap));
            painter.drawLine(QPointF(70 + shift, 30), QPointF(70 + shift, 70));
            QPainterPath disc;
            disc.addEllipse(QRectF(95 + shift, 95 + shift, 10, 10));
            painter.fillPath(disc, Qt::yellow);
            painter.setPen(pen(Qt::red, 1, Qt::RoundCap));
            painter.drawEllipse(QRectF(95 + shift, 95 + shift, 10, 10));
        }
    }
    EXPECT_LE(LargestDifference(canvas.Image(), painted), 1);
}

// A label drawn at any logical position shows the same picture wherever the position falls on
// the same place inside a device pixel.
TEST_P(SurfaceAtRatio, TextIsTheSameWhereverItFallsOnTheDeviceGrid) {
    StartDraw(canvas, Ratio(), 200, 160);
    canvas.AssignFont(TChartFont{});
    // Four logical pixels are a whole number of device pixels at every ratio here.
    canvas.TextOut(20, 20, "13,000");
    canvas.TextOut(120, 100, "13,000");
    const auto r = [&](int v) { return static_cast<int>(std::lround(v * Ratio())); };
    const QImage& image = canvas.Image();
    const QImage first = image.copy(r(10), r(10), r(70), r(40));
    const QImage second = image.copy(r(110), r(90), r(70), r(40));
    EXPECT_EQ(first, second);
    EXPECT_LT(GreyShare(first), 1);
}

// Slanted strokes (the series' segments) are not kept as pictures; with round ends they cover
// what the painter's own round-ended stroke covers, their smoothed edges all but the same.
TEST_P(SurfaceAtRatio, SlantedStrokesCoverWhatARoundEndedStrokeCovers) {
    StartDraw(canvas, Ratio(), 200, 160);
    for (const int width : {1, 3}) {
        canvas.AssignVisiblePen(Pen(clRed, width));
        canvas.Line(20, 30 + 60 * (width / 3), 150, 70 + 60 * (width / 3));
        canvas.Line(170, 20 + 60 * (width / 3), 160, 60 + 60 * (width / 3));
    }
    QImage painted(canvas.Image().size(), QImage::Format_ARGB32_Premultiplied);
    painted.setDevicePixelRatio(Ratio());
    painted.fill(Qt::white);
    {
        QPainter painter(&painted);
        painter.setRenderHint(QPainter::Antialiasing);
        for (const int width : {1, 3}) {
            QPen pen(Qt::red);
            pen.setWidthF(width);
            pen.setCapStyle(Qt::RoundCap);
            painter.setPen(pen);
            painter.drawLine(QPointF(20, 30 + 60 * (width / 3)),
                             QPointF(150, 70 + 60 * (width / 3)));
            painter.drawLine(QPointF(170, 20 + 60 * (width / 3)),
                             QPointF(160, 60 + 60 * (width / 3)));
        }
    }
    long inkCanvas = 0;
    long inkPainted = 0;
    for (int y = 0; y < painted.height(); ++y) {
        for (int x = 0; x < painted.width(); ++x) {
            inkCanvas += 255 - qGreen(canvas.Image().pixel(x, y));
            inkPainted += 255 - qGreen(painted.pixel(x, y));
        }
    }
    EXPECT_NEAR(inkCanvas, inkPainted, inkPainted * 0.01);
    EXPECT_LE(LargestDifference(canvas.Image(), painted), 64);
}

// Strokes along the axes are blended by the surface itself where no clip cuts them, and copied
// by the painter where one does: a clip that cuts nothing must leave every pixel as it is.
TEST_P(SurfaceAtRatio, StrokesBlendedByHandAreThePaintersCopiesPixelForPixel) {
    TChartPen square = Pen(0x00336699, 3);
    square.EndStyle = esSquare;
    TChartPen flat = Pen(clBlack, 2);
    flat.EndStyle = esFlat;
    TChartPen translucent = Pen(0x60C0C0C0, 1);
    auto draw = [&](bool clipped) {
        TSmoothCanvas canvas;
        StartDraw(canvas, GetParam(), 200, 150);
        canvas.AssignBrush(TChartBrush{}, 0x00F0F0F0);
        canvas.FillRect(0, 0, 200, 150);
        if (clipped)
            canvas.ClipRectangle(0, 1, 200, 149);
        for (const TChartPen& pen : {Pen(clSilver, 1), Pen(clGray, 1), flat, square, translucent}) {
            canvas.AssignVisiblePen(pen);
            for (int i = 0; i < 4; ++i) {
                canvas.Line(10 + 7 * i, 20, 180, 20 + 7 * i);
                canvas.Line(10, 30 + 23 * i, 190, 30 + 23 * i);
                canvas.Line(15 + 41 * i, 10, 15 + 41 * i, 140);
                canvas.Line(20 + 40 * i, 140, 20 + 40 * i, 5);
            }
        }
        return canvas.Image().copy();
    };
    const QImage byHand = draw(false);
    const QImage copied = draw(true);
    ASSERT_EQ(byHand.size(), copied.size());
    EXPECT_TRUE(byHand == copied);
}

INSTANTIATE_TEST_SUITE_P(Ratios, SurfaceAtRatio, ::testing::Values(1.0, 1.25, 1.5, 2.0, 3.0));

// The draw at ratio 2 of a part of the chart, and the same part at ratio 1.
struct TPair {
    QImage One;
    QImage Two;
};

template <class Draw> TPair AtOneAndTwo(int width, int height, Draw draw) {
    TPair pair;
    for (double ratio : {1.0, 2.0}) {
        TSmoothCanvas canvas;
        StartDraw(canvas, ratio, width, height);
        draw(canvas);
        (ratio == 1 ? pair.One : pair.Two) = canvas.Image();
    }
    return pair;
}

TEST(SurfaceAtRatioTwo, AOnePixelGridLineFillsTwoWholeDeviceRows) {
    const TPair pair = AtOneAndTwo(100, 40, [](TSmoothCanvas& canvas) {
        canvas.AssignVisiblePen(Pen(clBlack, 1));
        canvas.Line(10, 20, 90, 20);
    });
    // At 1 the band from 19.5 to 20.5 halves two rows; at 2 it covers device rows 39 and 40.
    EXPECT_NEAR(Darkness(pair.One.pixel(50, 19)), 128, 20);
    EXPECT_NEAR(Darkness(pair.One.pixel(50, 20)), 128, 20);
    for (int x = 20; x < 180; ++x) {
        ASSERT_EQ(Darkness(pair.Two.pixel(x, 38)), 0) << x;
        ASSERT_EQ(Darkness(pair.Two.pixel(x, 39)), 255) << x;
        ASSERT_EQ(Darkness(pair.Two.pixel(x, 40)), 255) << x;
        ASSERT_EQ(Darkness(pair.Two.pixel(x, 41)), 0) << x;
    }
}

TEST(SurfaceAtRatioTwo, LabelStrokesAreAsSharpAsAtOneNotAStretchedCopy) {
    const TPair pair = AtOneAndTwo(120, 40, [](TSmoothCanvas& canvas) {
        canvas.AssignFont(TChartFont{});
        canvas.TextOut(10, 10, "13,000");
    });
    const double one = GreyShare(pair.One);
    const double two = GreyShare(pair.Two);
    EXPECT_LT(two, one) << one << " " << two;
    for (const Qt::TransformationMode mode : {Qt::FastTransformation, Qt::SmoothTransformation}) {
        const QImage stretched = pair.One.scaled(pair.Two.size(), Qt::IgnoreAspectRatio, mode);
        EXPECT_LT(two, GreyShare(stretched)) << mode;
    }
    // The same text at the same place: its ink covers the same logical area.
    int inkOne = 0;
    int inkTwo = 0;
    for (int y = 0; y < pair.Two.height(); ++y)
        for (int x = 0; x < pair.Two.width(); ++x)
            inkTwo += Darkness(pair.Two.pixel(x, y));
    for (int y = 0; y < pair.One.height(); ++y)
        for (int x = 0; x < pair.One.width(); ++x)
            inkOne += Darkness(pair.One.pixel(x, y));
    EXPECT_NEAR(inkTwo / 4.0, inkOne, inkOne * 0.15);
}

TEST(SurfaceRatioChange, TheNextDrawUsesTheNewRatioWithPicturesMadeForIt) {
    TSmoothCanvas canvas;
    StartDraw(canvas, 1, 100, 60);
    canvas.AssignVisiblePen(Pen(clBlack, 1));
    canvas.Line(10, 20, 90, 20);
    canvas.ShowImage(nullptr, TRect{0, 0, 100, 60});
    EXPECT_FALSE(canvas.Dirty());

    canvas.SetDevicePixelRatio(2);
    EXPECT_TRUE(canvas.Dirty());
    EXPECT_EQ(canvas.Image().devicePixelRatio(), 1) << "the image of the last draw stays";
    StartDraw(canvas, 2, 100, 60);
    canvas.AssignVisiblePen(Pen(clBlack, 1));
    canvas.Line(10, 20, 90, 20);
    EXPECT_EQ(canvas.Image().size(), QSize(200, 120));
    // The line kept from ratio 1 would have left half-dark rows; this one is solid.
    EXPECT_EQ(Darkness(canvas.Image().pixel(100, 39)), 255);
    EXPECT_EQ(Darkness(canvas.Image().pixel(100, 38)), 0);

    canvas.ShowImage(nullptr, TRect{0, 0, 100, 60});
    canvas.SetDevicePixelRatio(2);
    EXPECT_FALSE(canvas.Dirty()) << "the same ratio again changes nothing";
}

TEST(SurfaceRatioChange, ARatioThatIsNoRatioCountsAsOne) {
    TSmoothCanvas canvas;
    for (double wrong : {0.0, -2.0, std::nan(""), HUGE_VAL}) {
        canvas.SetDevicePixelRatio(2);
        canvas.SetDevicePixelRatio(wrong);
        canvas.InitWindow(TRect{0, 0, 40, 30});
        EXPECT_EQ(canvas.Image().size(), QSize(40, 30)) << wrong;
    }
    canvas.SetDevicePixelRatio(1e6);
    canvas.InitWindow(TRect{0, 0, 40, 30});
    EXPECT_LE(canvas.Image().width(), 40 * 8);
}

} // namespace
