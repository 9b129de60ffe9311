#include "chart/Chart.h"
#include "chart/canvas/SmoothCanvas.h"
#include "support/QtInput.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace qtinput;

namespace {

// A shown chart whose draw or mouse handler fails: the error ends at the edge of the paint or
// mouse event, is reported once, and the chart goes on working.
class ChartHandlerErrors : public ::testing::Test {
protected:
    void SetUp() override {
        Window.resize(500, 300);
        Chart->setGeometry(50, 25, 400, 250);
        ASSERT_TRUE(ShowActive(Window));
        TestApplication::ClearErrors();
    }
    void TearDown() override { TestApplication::ClearErrors(); }

    const TSmoothCanvas& Surface() const {
        return *static_cast<const TSmoothCanvas*>(Chart->Canvas());
    }

    QWidget Window;
    TChart* Chart = new TChart(&Window);
};

TEST_F(ChartHandlerErrors, AFailedPaintEndsItsPaintersAndIsReportedOnce) {
    Chart->OnBeforeDrawSeries = [] { throw std::runtime_error("no room to draw"); };
    bool paintingDuringReport = true;
    TestApplication::WhileReporting = [&] {
        paintingDuringReport = Chart->paintingActive() || Surface().Drawing();
    };
    const int draws = Chart->DrawCount();
    Chart->Repaint();
    EXPECT_EQ(TestApplication::ReportedErrors, QStringList{"no room to draw"});
    EXPECT_EQ(TestApplication::EscapedErrors, 0);
    EXPECT_FALSE(paintingDuringReport);
    EXPECT_FALSE(Surface().Drawing());
    EXPECT_TRUE(Surface().Dirty()) << "the half-drawn image is not shown again as it is";
    EXPECT_EQ(Chart->DrawCount(), draws);

    Chart->OnBeforeDrawSeries = nullptr;
    Chart->Repaint();
    EXPECT_EQ(Chart->DrawCount(), draws + 1);
    EXPECT_FALSE(Surface().Dirty());
    EXPECT_EQ(TestApplication::ReportedErrors.size(), 1);
}

TEST_F(ChartHandlerErrors, AFailedDrawOffTheWindowGoesBackToTheCaller) {
    Window.hide();
    Chart->OnBeforeDrawSeries = [] { throw std::runtime_error("no room to draw"); };
    EXPECT_THROW(Chart->Repaint(), std::runtime_error);
    EXPECT_FALSE(Surface().Drawing());
    EXPECT_TRUE(Surface().Dirty());
    EXPECT_TRUE(TestApplication::ReportedErrors.isEmpty());
}

TEST_F(ChartHandlerErrors, AFailingMoveHandlerIsReportedForEachMove) {
    int moves = 0;
    Chart->OnMouseMove = [&](TChart*, TShiftState, int, int) {
        ++moves;
        throw std::runtime_error("lost the point");
    };
    Mouse mouse;
    mouse.Move(Chart, {10, 10});
    mouse.Move(Chart, {20, 10});
    EXPECT_EQ(moves, 2);
    EXPECT_EQ(TestApplication::ReportedErrors, QStringList(2, "lost the point"));
    EXPECT_EQ(TestApplication::EscapedErrors, 0);
}

} // namespace
