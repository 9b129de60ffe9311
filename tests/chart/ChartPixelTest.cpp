// The chart control on its real anti-aliased surface: the pixels of bevel, frame and markers,
// and how a repaint reaches the image and the window, shown and hidden.

#include "chart/MainWindowChart.h"
#include "chart/canvas/SmoothCanvas.h"
#include "support/QtInput.h"

#include <QApplication>
#include <QBackingStore>
#include <QElapsedTimer>
#include <QGlyphRun>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QRawFont>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

QColor Face() {
    return QApplication::palette().button().color();
}

// Every channel of a above that of b.
bool Above(QColor a, QColor b) {
    return a.red() > b.red() && a.green() > b.green() && a.blue() > b.blue();
}

bool Yellow(QColor c) {
    return c.red() > 240 && c.green() > 240 && c.blue() < 30;
}

bool Reddish(QColor c) {
    return c.red() - c.green() > 60 && c.red() - c.blue() > 60;
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
    for (int along : {100, 300, 440}) {
        EXPECT_TRUE(Above(Pixel(0, along), Face())) << along;
        EXPECT_TRUE(Above(Pixel(along, 0), Face())) << along;
        EXPECT_TRUE(Above(Face(), Pixel(971, along))) << along;
        EXPECT_TRUE(Above(Face(), Pixel(along, 449))) << along;
    }
}

TEST_F(ChartPixels, ChartRectangleIsFramedInBlack) {
    const TRect r = Chart->ChartRect();
    const int x = Chart->ChartXCenter();
    const int y = Chart->ChartYCenter();
    // A one-pixel outline on the pixel boundary darkens the two pixels either side of it.
    auto dark = [&](int px, int py) { return qGray(Image().pixel(px, py)) < 155; };
    EXPECT_TRUE(dark(x, r.Top - 1));
    EXPECT_TRUE(dark(x, r.Top));
    EXPECT_TRUE(dark(r.Right, y));
    EXPECT_TRUE(dark(r.Right + 1, y));
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
        for (int y : {194, 195, 204, 205})
            EXPECT_TRUE(Reddish(Pixel(x, y))) << x << "," << y;
        for (int y : {193, 206})
            EXPECT_FALSE(Reddish(Pixel(x, y))) << x << "," << y;
    }
}

// The machine's Arial (Liberation Sans) at 8 points: "W" is 13 pixels high, "10" to "13" are
// 15 wide and a blank 4. The bottom axis takes 13 + 7 pixels (431 -> 411), the left one
// 15 + 4 + 7 (30 -> 56).
TEST_F(ChartPixels, InitialLayoutWithTheRealFont) {
    EXPECT_EQ(Chart->ChartRect(), (TRect{56, 19, 942, 411}));
    EXPECT_NEAR(Chart->BottomAxis()->IMaximum, 13000.0 * 886 / 880, 1e-9);
    EXPECT_EQ(Series->CalcXPos(14), 936);
    EXPECT_EQ(Series->CalcXPos(0), 56);
    // 12 + 60 / 387 rounded up with step 1 (392 / 14 = 28 labels fit).
    EXPECT_DOUBLE_EQ(Chart->LeftAxis()->IMaximum, 13);
    EXPECT_EQ(Series->CalcYPos(0), 411 - 151); // 5 x 392 / 13 = 150.8
    // "13,088.636" (57 + 6 pixels) lets 14 labels fit: 872.6 per interval -> 1000.
    EXPECT_DOUBLE_EQ(Chart->BottomAxis()->CalcIncrement(), 1000);
    EXPECT_DOUBLE_EQ(Chart->LeftAxis()->CalcIncrement(), 1);
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

TEST_F(ShownChart, UncoveringOnlyCopiesTheImageAndRepaintHasDrawnAndCopiedWhenItReturns) {
    ASSERT_TRUE(Chart->isVisible());
    const QImage before = Screen();
    const int draws = Chart->DrawCount();
    Series->YValues()->SetValue(7, 2);
    Chart->repaint(); // the window asks for its pixels again, as when uncovered
    QApplication::processEvents();
    EXPECT_EQ(Chart->DrawCount(), draws);
    EXPECT_EQ(Screen(), before);

    Chart->Repaint();
    EXPECT_EQ(Chart->DrawCount(), draws + 1);
    EXPECT_FALSE(Chart->Canvas()->Dirty());
    EXPECT_NE(Screen(), before);
    EXPECT_EQ(Screen(), Image());
}

// A shown chart follows the ratio of the screen its window is on.
TEST_F(ShownChart, DrawsAtTheRatioOfItsScreenAndAgainWhenItMovesToAnother) {
    EXPECT_EQ(Image().devicePixelRatio(), 1);
    const TRect layout = Chart->ChartRect();
    for (double ratio : {2.0, 1.25, 3.0, 1.0}) {
        QScreen* screen = qtinput::ScreenWithRatio(ratio);
        ASSERT_NE(screen, nullptr) << "no test screen of ratio " << ratio;
        qtinput::ShowOn(*Chart, screen);
        ASSERT_EQ(Chart->devicePixelRatio(), ratio);
        // The next draw, not a stretched copy of the last one.
        Chart->repaint();
        EXPECT_EQ(Image().devicePixelRatio(), ratio);
        EXPECT_EQ(Image().size(), QSize(static_cast<int>(std::ceil(972 * ratio)),
                                        static_cast<int>(std::ceil(450 * ratio))));
        EXPECT_EQ(Chart->ChartRect(), layout) << "the layout stays in logical pixels";
        EXPECT_EQ(Screen().size(), Image().size());
    }
}

// The labels' digit groups in the user's locale, each character with a real glyph, and the
// text measured with the glyphs it is drawn with.
class LabelGlyphs : public ChartPixels {
protected:
    void TearDown() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    TSmoothCanvas& Surface() { return *static_cast<TSmoothCanvas*>(Chart->Canvas()); }
    std::string Label(const char* locale, double value) {
        QLocale::setDefault(QLocale(locale));
        return FormatAxisValue(value, Chart->AxisNumberSeparators());
    }
};

TEST_F(LabelGlyphs, EveryCharacterOfEveryLabelHasAGlyphInEveryLocale) {
    for (const char* locale : {"fr_FR", "de_CH", "en_IN", "de_DE", "en_US"}) {
        for (double value : {0.0, 1000.0, 13000.0, 20000.0, 187.5, -1234567.25}) {
            const std::string label = Label(locale, value);
            const QList<QGlyphRun> runs = Surface().GlyphRuns(label);
            ASSERT_FALSE(runs.isEmpty()) << locale << " " << label;
            qsizetype glyphs = 0;
            for (const QGlyphRun& run : runs) {
                EXPECT_TRUE(run.rawFont().isValid()) << locale << " " << label;
                EXPECT_FALSE(run.glyphIndexes().contains(0)) << locale << " " << label;
                glyphs += run.glyphIndexes().size();
            }
            EXPECT_EQ(glyphs, QString::fromStdString(label).toUcs4().size()) << label;
        }
    }
}

// Whether the label's own face has the narrow space depends on its version (Liberation Sans has
// it from 2.0 on): the separator is drawn from that face if it does, else from one that has it.
TEST_F(LabelGlyphs, FrenchThousandsAreSetOffByARealNarrowNoBreakSpace) {
    const std::string label = Label("fr_FR", 13000);
    EXPECT_EQ(QString::fromStdString(label), QString::fromUtf8("13\u202F000"));
    const QList<QGlyphRun> runs = Surface().GlyphRuns(label);
    ASSERT_FALSE(runs.isEmpty());
    const QRawFont labelFace = runs[0].rawFont();
    const bool own = labelFace.supportsCharacter(0x202F);
    ASSERT_EQ(runs.size(), own ? 1 : 3) << labelFace.familyName().toStdString();
    // The separator's glyph, its face, and where it and the digits after it start.
    const QGlyphRun& separator = runs[own ? 0 : 1];
    const qsizetype at = own ? 2 : 0;
    const QRawFont face = separator.rawFont();
    EXPECT_TRUE(face.supportsCharacter(0x202F)) << face.familyName().toStdString();
    EXPECT_EQ(separator.glyphIndexes().at(at),
              face.glyphIndexesForString(QString(QChar(0x202F))).at(0));
    const QGlyphRun& last = runs.back();
    EXPECT_EQ(last.rawFont().familyName(), labelFace.familyName());
    // Narrower than a word space, and the next digits start where its advance ends.
    const double start = separator.positions().at(at).x();
    const double next = own ? separator.positions().at(at + 1).x() : last.positions().at(0).x();
    const double narrow = next - start;
    const double space = face.advancesForGlyphIndexes(face.glyphIndexesForString(" ")).at(0).x();
    EXPECT_GT(narrow, 0);
    EXPECT_LT(narrow, space);
    // Measured with those glyphs: the text's width ends where its last digit's advance ends.
    const QList<QPointF> lastAdvance = last.rawFont().advancesForGlyphIndexes(last.glyphIndexes());
    EXPECT_NEAR(Surface().TypographicWidth(label),
                last.positions().back().x() + lastAdvance.back().x(), 0.05);
}

TEST_F(LabelGlyphs, EnglishLabelsAreOneRunOfTheLabelFace) {
    for (double value : {13000.0, 187.5}) {
        const QList<QGlyphRun> runs = Surface().GlyphRuns(Label("en_US", value));
        ASSERT_EQ(runs.size(), 1);
        EXPECT_EQ(runs[0].rawFont().familyName(), QRawFont::fromFont(QFont("Arial")).familyName());
    }
}

TEST_F(ChartPixels, LabelsUseTheSeparatorsOfTheUsersLocale) {
    EXPECT_EQ(Chart->AxisNumberSeparators(), (TNumberSeparators{",", "."}));
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    const TNumberSeparators french = Chart->AxisNumberSeparators();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(french.Decimal, ",");
    EXPECT_NE(french.Thousands, ",");
}

// The window's buffer as Qt Widgets painted it (the offscreen platform keeps it in an image).
QImage WindowBuffer(QWidget& window) {
    QPaintDevice* device = window.backingStore()->paintDevice();
    return device->devType() == QInternal::Image
               ? static_cast<QImage*>(device)->convertToFormat(QImage::Format_RGB32)
               : QImage();
}

// Fills the window's buffer with one colour, as a new buffer from the window system starts:
// nothing that Qt painted before is in it.
void EmptyBuffer(QWidget& window, QColor colour) {
    QBackingStore* store = window.backingStore();
    store->beginPaint(QRegion(window.rect()));
    QPainter painter(store->paintDevice());
    painter.fillRect(window.rect(), colour);
    painter.end();
    store->endPaint();
}

bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// The window system hands the window a new, empty buffer (Qt's Wayland client does when the
// frame around the window changes) and asks it for a new frame: the chart is in that frame,
// in its first window and after it moved into another one.
TEST(ChartInAWindow, IsInTheFrameAWindowIsAskedForAfterANewBuffer) {
    QWidget first;
    QWidget second;
    auto* chart = new TChart(&first);
    ConfigureLikeMainWindow(*chart);
    AddCurve(*chart, InitialCurve);
    const QRect place(14, 20, 972, 450);
    for (QWidget* window : {&first, &second}) {
        SCOPED_TRACE(window == &first ? "first window" : "second window");
        window->resize(1000, 480);
        chart->setParent(window);
        chart->setGeometry(place);
        chart->show();
        window->show();
        ASSERT_TRUE(WaitFor([&] { return window->windowHandle()->isExposed(); }));
        chart->Repaint();
        const QImage drawn = static_cast<const TSmoothCanvas*>(chart->Canvas())
                                 ->Image()
                                 .convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(WindowBuffer(*window).copy(place), drawn);

        EmptyBuffer(*window, Qt::magenta);
        window->windowHandle()->requestUpdate();
        // The rest of the window is painted again, and the chart with it.
        ASSERT_TRUE(
            WaitFor([&] { return WindowBuffer(*window).pixel(5, 5) != qRgb(255, 0, 255); }));
        EXPECT_EQ(WindowBuffer(*window).copy(place), drawn);
        window->hide();
    }
}

} // namespace
