// Label text on the surface: how a text is measured, anchored and drawn.

#include "canvas/SurfaceFixture.h"

#include <QFont>
#include <QImage>
#include <QRawFont>

#include <gtest/gtest.h>

#include <string>

namespace {

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

} // namespace
