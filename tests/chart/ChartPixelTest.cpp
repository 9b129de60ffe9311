// The chart control on its real anti-aliased surface: the pixels of bevel, frame and markers,
// and how a repaint reaches the image and the window, shown and hidden.

#include "chart/MainWindowChart.h"
#include "chart/SmoothCanvas.h"

#include <QApplication>
#include <QImage>
#include <QLocale>
#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>

namespace {

QColor Face() {
    return QApplication::palette().button().color();
}

bool Lighter(QColor c, QColor than) {
    return c.red() > than.red() && c.green() > than.green() && c.blue() > than.blue();
}

bool Darker(QColor c, QColor than) {
    return c.red() < than.red() && c.green() < than.green() && c.blue() < than.blue();
}

bool Yellow(QColor c) {
    return c.red() > 240 && c.green() > 240 && c.blue() < 30;
}

bool Reddish(QColor c) {
    return c.red() - c.green() > 60 && c.red() - c.blue() > 60;
}

int Darkness(QColor c) {
    return 255 - qGray(c.rgb());
}

class ChartPixels : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Chart = std::make_unique<TChart>();
        Chart->resize(972, 450);
        ConfigureLikeMainWindow(*Chart);
        Series = AddCurve(*Chart, InitialCurve);
        Chart->Repaint();
    }

    const QImage& Image() const {
        return static_cast<const TSmoothCanvas*>(Chart->Canvas())->Image();
    }
    QColor Pixel(int x, int y) const { return QColor(Image().pixel(x, y)); }

    std::unique_ptr<TChart> Chart;
    TLineSeries* Series = nullptr;
};

TEST_F(ChartPixels, HiddenControlRepaintsIntoItsImageBeforeReturning) {
    EXPECT_FALSE(Chart->isVisible());
    EXPECT_EQ(Chart->DrawCount(), 1);
    EXPECT_FALSE(Chart->Canvas()->Dirty());
    EXPECT_EQ(Image().size(), QSize(972, 450));
    Chart->Repaint();
    EXPECT_EQ(Chart->DrawCount(), 2);
}

TEST_F(ChartPixels, PanelIsTheButtonFaceWithAWhiteTopLeftAndGreyBottomRightBevel) {
    EXPECT_EQ(Pixel(500, 8), Face());
    EXPECT_EQ(Chart->PanelColor(clBtnFace), static_cast<TColor>(Face().red()) |
                                                static_cast<TColor>(Face().green()) << 8 |
                                                static_cast<TColor>(Face().blue()) << 16);
    for (int along : {100, 300, 440}) {
        EXPECT_TRUE(Lighter(Pixel(0, along), Face())) << along;
        EXPECT_TRUE(Lighter(Pixel(along, 0), Face())) << along;
        EXPECT_TRUE(Darker(Pixel(971, along), Face())) << along;
        EXPECT_TRUE(Darker(Pixel(along, 449), Face())) << along;
    }
}

TEST_F(ChartPixels, ChartRectangleIsFramedInBlack) {
    const TRect r = Chart->ChartRect();
    const int x = Chart->ChartXCenter();
    const int y = Chart->ChartYCenter();
    // A one-pixel outline on the pixel boundary darkens the two pixels either side of it.
    EXPECT_GT(Darkness(Pixel(x, r.Top - 1)), 100);
    EXPECT_GT(Darkness(Pixel(x, r.Top)), 100);
    EXPECT_GT(Darkness(Pixel(r.Right, y)), 100);
    EXPECT_GT(Darkness(Pixel(r.Right + 1, y)), 100);
    EXPECT_EQ(Pixel(x, r.Top - 3), Face());
    EXPECT_EQ(Pixel(r.Right + 3, y), Face());
}

TEST_F(ChartPixels, PointAtFourHundredTwoHundredIsAYellowDiscWithARedRimOnThatCorner) {
    // Point 10 is moved onto pixel (400, 200) with the mapping of the last draw; its
    // segments then leave the disc to the right, away from its top and bottom.
    Series->XValues()->SetValue(10, Chart->BottomAxis()->CalcPosPoint(400));
    Series->YValues()->SetValue(10, Chart->LeftAxis()->CalcPosPoint(200));
    Chart->Repaint();
    ASSERT_EQ(Series->CalcXPos(10), 400);
    ASSERT_EQ(Series->CalcYPos(10), 200);

    for (int x : {399, 400}) {
        for (int y : {197, 199, 200, 202})
            EXPECT_TRUE(Yellow(Pixel(x, y))) << x << "," << y;
        // The rim straddles rows 195 and 205 of the circle of diameter 10.
        EXPECT_FALSE(Reddish(Pixel(x, 193))) << x;
        EXPECT_TRUE(Reddish(Pixel(x, 194))) << x;
        EXPECT_TRUE(Reddish(Pixel(x, 195))) << x;
        EXPECT_TRUE(Reddish(Pixel(x, 204))) << x;
        EXPECT_TRUE(Reddish(Pixel(x, 205))) << x;
        EXPECT_FALSE(Reddish(Pixel(x, 206))) << x;
    }
}

class ShownChart : public ChartPixels {
protected:
    void SetUp() override {
        ChartPixels::SetUp();
        Chart->show();
        QApplication::processEvents();
    }

    QImage Screen() const {
        return Chart->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
};

TEST_F(ShownChart, RepaintHasDrawnAndCopiedWhenItReturns) {
    ASSERT_TRUE(Chart->isVisible());
    const int draws = Chart->DrawCount();
    Series->YValues()->SetValue(7, 2);
    Chart->Repaint();
    EXPECT_EQ(Chart->DrawCount(), draws + 1);
    EXPECT_FALSE(Chart->Canvas()->Dirty());
    EXPECT_EQ(Screen(), Image());
}

TEST_F(ShownChart, UncoveringOnlyCopiesTheImageSoAnUnrepaintedChangeStaysInvisible) {
    Chart->Repaint();
    const QImage before = Screen();
    const int draws = Chart->DrawCount();

    Series->YValues()->SetValue(7, 2);
    Chart->repaint(); // the window asks for its pixels again, as when uncovered
    QApplication::processEvents();
    EXPECT_EQ(Chart->DrawCount(), draws);
    EXPECT_EQ(Screen(), before);

    Chart->Repaint();
    EXPECT_EQ(Chart->DrawCount(), draws + 1);
    EXPECT_NE(Screen(), before);
}

TEST_F(ShownChart, ControlNeverErasesAndShowsAPointingHand) {
    EXPECT_TRUE(Chart->testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_TRUE(Chart->testAttribute(Qt::WA_NoSystemBackground));
    EXPECT_EQ(Chart->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(Chart->focusPolicy(), Qt::TabFocus);
}

TEST_F(ChartPixels, LabelsUseTheSeparatorsOfTheUsersLocale) {
    EXPECT_EQ(Chart->AxisNumberSeparators(), (TNumberSeparators{",", "."}));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    const TNumberSeparators french = Chart->AxisNumberSeparators();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(french.Decimal, ",");
    EXPECT_NE(french.Thousands, ",");
}

TEST(ChartControl, NewControlHasTheLibraryDefaults) {
    TChart chart;
    EXPECT_EQ(chart.ClientWidth(), 400);
    EXPECT_EQ(chart.ClientHeight(), 250);
    EXPECT_TRUE(chart.AutoRepaint());
    EXPECT_TRUE(chart.View3D());
    EXPECT_TRUE(chart.Legend().Visible);
    EXPECT_TRUE(chart.Zoom().Allow);
    EXPECT_EQ(chart.AllowPanning(), pmBoth);
    EXPECT_EQ(chart.Color(), clBtnFace);
    EXPECT_EQ(chart.BevelOuter(), bvRaised);
    EXPECT_EQ(chart.MarginLeft(), 3);
    EXPECT_EQ(chart.MarginTop(), 4);
    EXPECT_EQ(chart.ColorPaletteIndex(), 13);
    EXPECT_EQ(chart.SeriesCount(), 0);
    EXPECT_EQ(chart.DrawCount(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
