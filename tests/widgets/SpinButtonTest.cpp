#include "widgets/SpinTestSupport.h"

#include <QMenu>

namespace {

// Holds and releases the arrows of the engine-speed box, which shows 1000 and steps by 100.
class SpinArrowTest : public SpinBoxes {
protected:
    int Steps() const { return (Rpm->Value() - 1000) / 100; }
    TTimerSpeedButton* Up() const { return Rpm->Button()->UpButton(); }
    TTimerSpeedButton* Down() const { return Rpm->Button()->DownButton(); }
    QPoint Centre() const { return Up()->rect().center(); }
};

TEST_F(SpinArrowTest, AShortLeftPressStepsOnceOnReleaseOtherButtonsNever) {
    FMouse.Press(Up(), Centre());
    EXPECT_TRUE(Up()->IsDrawnPressed());
    Wait(200);
    FMouse.Release(Up(), Centre());
    EXPECT_FALSE(Up()->IsDrawnPressed());
    EXPECT_EQ(Steps(), 1);
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        FMouse.Press(Up(), Centre(), button);
        EXPECT_FALSE(Up()->IsDrawnPressed());
        Wait(600);
        FMouse.Release(Up(), Centre(), button);
    }
    EXPECT_EQ(Steps(), 1) << "neither a repeat after the release nor a step for other buttons";
    FMouse.Pause();
    FMouse.Click(Down(), Down()->rect().center());
    FMouse.Click(Down(), Down()->rect().center());
    EXPECT_EQ(Steps(), -1) << "a double click steps twice";
    EXPECT_EQ(Changes.size(), 3u);
}

TEST_F(SpinArrowTest, HoldingRepeatsInTheArrowsDirectionAndStepsOnceMoreOnRelease) {
    for (TTimerSpeedButton* arrow : {Up(), Down()}) {
        const int sign = arrow == Up() ? 1 : -1;
        const int start = Steps();
        FMouse.Pause();
        FMouse.Press(arrow, arrow->rect().center());
        ASSERT_TRUE(WaitUntil([&] { return (Steps() - start) * sign >= 3; }));
        const int held = Steps();
        FMouse.Release(arrow, arrow->rect().center());
        EXPECT_EQ(Steps(), held + sign);
    }
}

TEST_F(SpinArrowTest, OffTheArrowOrAfterAnotherButtonNoMoreSteps) {
    FMouse.Press(Up(), Centre());
    ASSERT_TRUE(WaitUntil([&] { return Steps() >= 1; }));
    FMouse.Move(Up(), QPoint(-20, 3));
    EXPECT_FALSE(Up()->IsDrawnPressed());
    int steps = Steps();
    Wait(400);
    EXPECT_EQ(Steps(), steps) << "no steps while the pointer is off the arrow";
    FMouse.Move(Up(), Centre());
    EXPECT_TRUE(Up()->IsDrawnPressed());
    ASSERT_TRUE(WaitUntil([&] { return Steps() > steps; }));
    FMouse.Click(Up(), Centre(), Qt::RightButton);
    steps = Steps();
    Wait(400);
    EXPECT_EQ(Steps(), steps) << "releasing any button stops the repeat";
    // Just outside the arrow's own pixels is outside: no step on release there.
    FMouse.Move(Up(), QPoint(Up()->width(), 3));
    FMouse.Release(Up(), QPoint(Up()->width(), 3));
    EXPECT_EQ(Steps(), steps);
    EXPECT_EQ(static_cast<int>(Changes.size()), steps);
}

// What a test can take the mouse with while an arrow of `box` is held.
struct TScene {
    QWidget& Host;
    TSpinEdit& Box;
    QWidget& Other;
    QWidget Modal{};
    QWidget Elsewhere{};
    QMenu Popup{};
};

// A way for the mouse to go elsewhere while an arrow is held, without a release reaching the
// arrow, and the way it comes back.
struct TMouseLoss {
    const char* Name;
    std::function<void(TScene&)> Take;
    std::function<void(TScene&)> Give;
};

void PrintTo(const TMouseLoss& loss, std::ostream* os) {
    *os << loss.Name;
}

class ArrowLosesTheMouse : public SpinArrowTest,
                           public ::testing::WithParamInterface<TMouseLoss> {};

// Whatever took the mouse, the hold ends as at a release outside the arrow: drawn raised, no
// more steps, none for the release that went elsewhere, none after the mouse came back; and
// the arrow steps again at the next click.
TEST_P(ArrowLosesTheMouse, AndActsAsAtAReleaseOutsideIt) {
    TScene scene{Host, *Rpm, *Other};
    FMouse.Press(Up(), Centre());
    ASSERT_TRUE(WaitUntil([&] { return Steps() >= 1; })) << "the arrow repeats";
    GetParam().Take(scene);
    EXPECT_TRUE(WaitUntil([&] { return !Up()->IsDrawnPressed(); }, 600)) << "drawn raised";
    const int steps = Steps();
    Wait(400);
    EXPECT_EQ(Steps(), steps) << "the repeat stopped";
    FMouse.Release(Up(), Centre());
    GetParam().Give(scene);
    ASSERT_TRUE(ShowActive(Host));
    Wait(400);
    EXPECT_EQ(Steps(), steps) << "no step for the release nor after the mouse came back";
    EXPECT_FALSE(Up()->IsDrawnPressed());
    FMouse.Pause();
    FMouse.Click(Up(), Centre());
    EXPECT_EQ(Steps(), steps + 1) << "a click steps again";
}

INSTANTIATE_TEST_SUITE_P(
    Situations, ArrowLosesTheMouse,
    ::testing::Values(TMouseLoss{"ModalBoxOpens",
                                 [](TScene& s) {
                                     s.Modal.setWindowModality(Qt::ApplicationModal);
                                     s.Modal.show();
                                     s.Modal.activateWindow();
                                 },
                                 [](TScene& s) { s.Modal.hide(); }},
                      TMouseLoss{"WindowLosesActivation",
                                 [](TScene& s) { ASSERT_TRUE(ShowActive(s.Elsewhere)); },
                                 [](TScene&) {}},
                      TMouseLoss{"AnotherWidgetGrabsTheMouse",
                                 [](TScene& s) { s.Other.grabMouse(); },
                                 [](TScene& s) { s.Other.releaseMouse(); }},
                      // Taken and given back between two steps; the release went to the grabber.
                      TMouseLoss{"AnotherWidgetGrabsTheMouseForAMoment",
                                 [](TScene& s) {
                                     s.Other.grabMouse();
                                     Mouse().Click(&s.Other, {5, 5}, Qt::RightButton);
                                     s.Other.releaseMouse();
                                 },
                                 [](TScene&) {}},
                      TMouseLoss{"APopupOpens",
                                 [](TScene& s) {
                                     s.Popup.addAction("Item");
                                     s.Popup.popup(s.Host.mapToGlobal(QPoint(150, 60)));
                                 },
                                 [](TScene& s) { s.Popup.close(); }},
                      TMouseLoss{"TheBoxIsHidden", [](TScene& s) { s.Box.hide(); },
                                 [](TScene& s) { s.Box.show(); }},
                      TMouseLoss{"TheBoxIsDisabled", [](TScene& s) { s.Box.setEnabled(false); },
                                 [](TScene& s) { s.Box.setEnabled(true); }}),
    [](const ::testing::TestParamInfo<TMouseLoss>& info) { return std::string(info.param.Name); });

// The pure black pixels of an arrow's face: its glyph, since the face itself has none.
QRegion BlackPixels(QWidget* arrow) {
    const QImage image = arrow->grab().toImage();
    QRegion black;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(Qt::black))
                black += QRect(x, y, 1, 1);
    return black;
}

// The 9 x 6 glyph at the origin given: rows of 0, 1, 3, 5, 7 and 0 black pixels (upside down
// for the down arrow), centred on the fifth column.
QRegion Triangle(bool down, QPoint origin) {
    const int rows[6] = {0, 1, 3, 5, 7, 0};
    QRegion region;
    for (int y = 0; y < 6; ++y)
        if (const int n = rows[down ? 5 - y : y])
            region += QRect(origin.x() + 4 - n / 2, origin.y() + y, n, 1);
    return region;
}

TEST_F(SpinArrowTest, FacesShowTheGlyphCentredShiftedWhilePressedAndGreyedWhenDisabled) {
    EXPECT_EQ(BlackPixels(Up()), Triangle(false, QPoint(3, 2)));
    EXPECT_EQ(BlackPixels(Down()), Triangle(true, QPoint(3, 3)));
    FMouse.Press(Up(), Centre());
    EXPECT_EQ(BlackPixels(Up()), Triangle(false, QPoint(4, 3)));
    FMouse.Release(Up(), QPoint(-20, 3));
    Rpm->setEnabled(false);
    EXPECT_TRUE(BlackPixels(Up()).isEmpty());
}

TEST(SpinArrowGlyphs, TheOutlineHoldsTheCentresOfExactlyTheBlackPixels) {
    for (const bool down : {false, true}) {
        const QImage glyph = SpinArrowGlyph(down);
        const QPainterPath outline = SpinArrowOutline(down);
        for (int y = 0; y < glyph.height(); ++y)
            for (int x = 0; x < glyph.width(); ++x)
                EXPECT_EQ(outline.contains(QPointF(x + 0.5, y + 0.5)),
                          qAlpha(glyph.pixel(x, y)) > 0)
                    << down << " " << x << "," << y;
    }
}

// On a screen with two device pixels per pixel the arrow is the filled triangle at the
// screen's resolution: as much ink as the glyph covers, with every device row its own width
// where a stretched copy of the glyph would repeat each row twice.
TEST_F(SpinArrowTest, OnADenseScreenTheArrowIsSharpNotAStretchedGlyph) {
    QScreen* dense = ScreenWithRatio(2);
    ASSERT_NE(dense, nullptr);
    ShowOn(Host, dense);
    ASSERT_EQ(Up()->devicePixelRatio(), 2);
    const QImage whole = Up()->grab().toImage();
    ASSERT_EQ(whole.size(), Up()->size() * 2);
    // The glyph's 9 x 6 box at (3, 2), as on a screen of ratio 1.
    const QImage face = whole.copy(6, 4, 18, 12);
    std::vector<int> rows;
    double ink = 0;
    for (int y = 0; y < face.height(); ++y) {
        int dark = 0;
        for (int x = 0; x < face.width(); ++x) {
            const int darkness = 255 - qGray(face.pixel(x, y));
            if (darkness > 128)
                ++dark;
            if (darkness > 200)
                ink += darkness / 255.0;
        }
        if (dark > 0)
            rows.push_back(dark);
    }
    EXPECT_NEAR(ink, 4 * 16, 10) << "16 glyph pixels of 2 x 2 device pixels each";
    ASSERT_GE(rows.size(), 7u);
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_LT(rows[i - 1], rows[i]) << "device row " << i;
}

} // namespace
