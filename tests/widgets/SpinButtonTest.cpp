#include "widgets/SpinButton.h"
#include "widgets/Spin.h"
#include "widgets/SpinTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <memory>
#include <stdexcept>

using namespace spintest;

namespace {

TEST(SpinArrowGlyph, TrianglesCentredOnTheFifthColumn) {
    const int upRows[6] = {0, 1, 3, 5, 7, 0};
    const int downRows[6] = {0, 7, 5, 3, 1, 0};
    for (const bool down : {false, true}) {
        const QImage glyph = SpinArrowGlyph(down);
        ASSERT_EQ(glyph.size(), QSize(9, 6));
        const int* rows = down ? downRows : upRows;
        for (int y = 0; y < 6; ++y) {
            const int half = rows[y] / 2;
            for (int x = 0; x < 9; ++x) {
                const bool black = rows[y] > 0 && x >= 4 - half && x <= 4 + half;
                const QColor pixel = glyph.pixelColor(x, y);
                if (black)
                    EXPECT_EQ(pixel, QColor(Qt::black)) << down << " " << x << "," << y;
                else
                    EXPECT_EQ(pixel.alpha(), 0) << down << " " << x << "," << y;
            }
        }
    }
}

// A window with one engine-speed box; the tests hold and release its arrows with the mouse.
class SpinArrowTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureTahoma();
        FHost = std::make_unique<QWidget>();
        FHost->resize(200, 80);
        Box = new TSpinEdit(FHost.get());
        Box->setFont(Tahoma13());
        Box->setGeometry(10, 10, 73, 26);
        Box->SetIncrement(100);
        Box->SetMaxValue(20000);
        Box->SetMinValue(500);
        Box->SetValue(1000);
        Box->SetBeeper([this] { ++Beeps; });
        Box->OnChange = [this](TSpinEdit*) { ++Changes; };
        Up = Box->Button()->UpButton();
        Down = Box->Button()->DownButton();
        ASSERT_TRUE(ShowActive(*FHost));
        FMouse.Pause();
        TestApplication::CaughtErrors = 0;
    }

    int Steps() const { return (Box->Value() - 1000) / 100; }

    std::unique_ptr<QWidget> FHost;
    TSpinEdit* Box = nullptr;
    TTimerSpeedButton* Up = nullptr;
    TTimerSpeedButton* Down = nullptr;
    int Changes = 0;
    int Beeps = 0;
    Mouse FMouse;
};

TEST_F(SpinArrowTest, AQuickClickStepsOnceOnRelease) {
    const QPoint centre = Up->rect().center();
    FMouse.Press(Up, centre);
    EXPECT_TRUE(Up->IsDrawnPressed());
    Wait(200);
    EXPECT_EQ(Box->Text(), "1000") << "nothing happens before the release";
    FMouse.Release(Up, centre);
    EXPECT_FALSE(Up->IsDrawnPressed());
    EXPECT_EQ(Box->Text(), "1100");
    EXPECT_EQ(Changes, 1);
    Wait(600);
    EXPECT_EQ(Box->Text(), "1100") << "the release stopped the repeat";

    FMouse.Pause();
    FMouse.Click(Down, Down->rect().center());
    FMouse.Pause();
    FMouse.Click(Down, Down->rect().center());
    EXPECT_EQ(Box->Text(), "900");
}

TEST_F(SpinArrowTest, HoldingRepeatsAfterThePauseAndOnceMoreOnRelease) {
    const QPoint centre = Up->rect().center();
    QElapsedTimer clock;
    clock.start();
    FMouse.Press(Up, centre);
    Wait(300);
    if (clock.elapsed() < 400) {
        EXPECT_EQ(Steps(), 0) << "no step before the first repeat pause";
    }
    Wait(700);
    const int held = Steps();
    // About 400, 500, ..., 1000 ms: seven steps, fewer on a busy machine.
    EXPECT_GE(held, 3);
    EXPECT_LE(held, 8);
    FMouse.Release(Up, centre);
    EXPECT_EQ(Steps(), held + 1);
    EXPECT_EQ(Changes, held + 1);
}

TEST_F(SpinArrowTest, TheDownArrowRepeatsDownwards) {
    const QPoint centre = Down->rect().center();
    FMouse.Press(Down, centre);
    Wait(650);
    FMouse.Release(Down, centre);
    const int steps = -Steps();
    EXPECT_GE(steps, 2);
    EXPECT_LE(steps, 5);
}

TEST_F(SpinArrowTest, MovingOffTheArrowSuspendsTheRepeat) {
    const QPoint centre = Up->rect().center();
    const QPoint outside(-20, centre.y());
    FMouse.Press(Up, centre);
    Wait(650);
    const int inside = Steps();
    EXPECT_GE(inside, 1);

    FMouse.Move(Up, outside);
    EXPECT_FALSE(Up->IsDrawnPressed());
    const int whenLeft = Steps();
    Wait(400);
    EXPECT_EQ(Steps(), whenLeft) << "no steps while the pointer is off the arrow";

    FMouse.Move(Up, centre);
    EXPECT_TRUE(Up->IsDrawnPressed());
    Wait(350);
    EXPECT_GT(Steps(), whenLeft) << "steps resume when the pointer comes back";

    // Just outside the arrow's own pixels counts as outside.
    FMouse.Move(Up, QPoint(Up->width(), centre.y()));
    EXPECT_FALSE(Up->IsDrawnPressed());
    const int beforeRelease = Steps();
    FMouse.Release(Up, QPoint(Up->width(), centre.y()));
    EXPECT_EQ(Steps(), beforeRelease) << "no step on a release outside";
    EXPECT_EQ(Changes, beforeRelease);
}

TEST_F(SpinArrowTest, RightAndMiddlePressesNeverStep) {
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        const QPoint centre = Up->rect().center();
        FMouse.Pause();
        FMouse.Press(Up, centre, button);
        EXPECT_FALSE(Up->IsDrawnPressed());
        Wait(600);
        FMouse.Release(Up, centre, button);
        Wait(50);
    }
    EXPECT_EQ(Box->Text(), "1000");
    EXPECT_EQ(Changes, 0);
}

TEST_F(SpinArrowTest, ReleasingAnyButtonStopsTheRepeat) {
    const QPoint centre = Up->rect().center();
    FMouse.Press(Up, centre);
    Wait(550);
    EXPECT_GE(Steps(), 1);
    FMouse.Press(Up, centre, Qt::RightButton);
    FMouse.Release(Up, centre, Qt::RightButton);
    const int stopped = Steps();
    Wait(400);
    EXPECT_EQ(Steps(), stopped);
    FMouse.Release(Up, centre);
    EXPECT_EQ(Steps(), stopped + 1) << "the left release over the arrow still steps";
}

TEST_F(SpinArrowTest, ADoubleClickStepsTwice) {
    const QPoint centre = Up->rect().center();
    FMouse.Click(Up, centre);
    FMouse.Click(Up, centre);
    EXPECT_EQ(Box->Text(), "1200");
    EXPECT_EQ(Changes, 2);
}

TEST_F(SpinArrowTest, AReadOnlyBoxBeepsAtEveryArrowStep) {
    Box->setReadOnly(true);
    FMouse.Click(Up, Up->rect().center());
    FMouse.Pause();
    FMouse.Click(Down, Down->rect().center());
    EXPECT_EQ(Box->Text(), "1000");
    EXPECT_EQ(Beeps, 2);
}

TEST_F(SpinArrowTest, AFailingRepeatedStepStopsTheRepeat) {
    Box->OnChange = [this](TSpinEdit*) {
        ++Changes;
        throw std::runtime_error("step refused");
    };
    const QPoint centre = Up->rect().center();
    FMouse.Press(Up, centre);
    Wait(900);
    EXPECT_EQ(TestApplication::CaughtErrors, 1);
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Box->Text(), "1100") << "the text changed before the handler failed";
    FMouse.Release(Up, centre);
    EXPECT_EQ(TestApplication::CaughtErrors, 2) << "the release still runs its step";
    EXPECT_EQ(Box->Text(), "1200");
}

TEST_F(SpinArrowTest, HoverMakesTheArrowHot) {
    FMouse.Move(FHost.get(), QPoint(150, 60));
    EXPECT_FALSE(Up->IsHot());
    FMouse.Move(Up, Up->rect().center());
    EXPECT_TRUE(Up->IsHot());
    EXPECT_FALSE(Down->IsHot());
    FMouse.Move(FHost.get(), QPoint(150, 60));
    EXPECT_FALSE(Up->IsHot());
}

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

QRegion GlyphAt(bool down, QPoint origin) {
    const QImage glyph = SpinArrowGlyph(down);
    QRegion region;
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x)
            if (glyph.pixelColor(x, y).alpha() == 255)
                region += QRect(origin.x() + x, origin.y() + y, 1, 1);
    return region;
}

TEST_F(SpinArrowTest, FacesShowTheGlyphCentredAndShiftedWhilePressed) {
    EXPECT_EQ(BlackPixels(Up), GlyphAt(false, QPoint(3, 2)));
    EXPECT_EQ(BlackPixels(Down), GlyphAt(true, QPoint(3, 3)));

    FMouse.Press(Up, Up->rect().center());
    EXPECT_EQ(BlackPixels(Up), GlyphAt(false, QPoint(4, 3)));
    FMouse.Release(Up, QPoint(-20, 3));

    Box->setEnabled(false);
    EXPECT_TRUE(BlackPixels(Up).isEmpty()) << "a disabled arrow's glyph is greyed";
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
