#include "editor/EditorFixture.h"

#include <cmath>

namespace {

class Dragging : public EditorFixture {
protected:
    TChart* Chart() const { return Form->Chart1; }
    QPoint PointPixel(int index) const {
        return {Form->Series1->CalcXPos(index), Form->Series1->CalcYPos(index)};
    }
    void Press(QPoint p, TMouseButton button = mbLeft) {
        Form->Chart1MouseDown(Chart(), button, button == mbLeft ? ssLeft : ssRight, p.x(), p.y());
    }
    // Puts the pointer on a chart pixel; the event's own coordinates are not what counts.
    void PointerAt(QPoint p) { Platform.PointerQuery.Pos = Chart()->mapToGlobal(p); }
    void MoveWithLeft() { Form->Chart1MouseMove(Chart(), ssLeft, -1, -1); }

    // The chart pixel whose value lies nearest to a wanted one, with the axes of the last draw.
    template <class TToValue> static int Nearest(double wanted, TToValue toValue) {
        int best = -3000;
        for (int p = -3000; p < 3000; ++p) {
            if (std::fabs(toValue(p) - wanted) < std::fabs(toValue(best) - wanted))
                best = p;
        }
        return best;
    }
    void DragTo(double x, double y) {
        const TLineSeries* series = Form->Series1;
        const int column = Nearest(x, [series](int p) { return series->XScreenToValue(p); });
        const int row = Nearest(y, [series](int p) { return series->YScreenToValue(p); });
        PointerAt({column, row});
        MoveWithLeft();
    }
};

TEST_F(Dragging, PressGrabsWithinFivePixels) {
    const QPoint p = PointPixel(4);
    Press(p + QPoint(3, 4));
    EXPECT_EQ(MovingPointIndex, 4);
    Press(p + QPoint(4, 4));
    EXPECT_EQ(MovingPointIndex, -1);
    Press(p + QPoint(-5, 0));
    EXPECT_EQ(MovingPointIndex, 4);
    Press(p + QPoint(-5, -1));
    EXPECT_EQ(MovingPointIndex, -1);
}

TEST_F(Dragging, LeadInPointsCannotBeGrabbed) {
    Press(PointPixel(0));
    EXPECT_EQ(MovingPointIndex, -1);
    Press(PointPixel(1));
    EXPECT_EQ(MovingPointIndex, -1);
}

TEST_F(Dragging, OnlyTheLeftButtonChangesTheGrab) {
    Press(PointPixel(6));
    ASSERT_EQ(MovingPointIndex, 6);
    Press(PointPixel(8), mbRight);
    Form->Chart1MouseDown(Chart(), mbMiddle, ssMiddle, PointPixel(9).x(), PointPixel(9).y());
    EXPECT_EQ(MovingPointIndex, 6);

    // Moving with only the right button held moves nothing.
    const double before = CurveX(5);
    PointerAt(PointPixel(10));
    Form->Chart1MouseMove(Chart(), ssRight, 0, 0);
    EXPECT_EQ(CurveX(5), before);
}

TEST_F(Dragging, PressOnEmptyAreaReleasesTheGrab) {
    Press(PointPixel(6));
    Press({400, 20});
    EXPECT_EQ(MovingPointIndex, -1);
    const std::vector<double> before = CurveXs();
    PointerAt({600, 300});
    MoveWithLeft();
    EXPECT_EQ(CurveXs(), before);
}

TEST_F(Dragging, SnapsDownAndPushesTheNeighbour) {
    Press(PointPixel(4));
    ASSERT_EQ(MovingPointIndex, 4);
    DragTo(1550, 30.7);
    EXPECT_EQ(CurveX(3), 1500);
    EXPECT_EQ(CurveY(3), 30);
    EXPECT_EQ(Adv(3)->Text(), "30");
    EXPECT_EQ(Rpm(3)->Text(), "1500");
    EXPECT_EQ(Rpm(2)->Value(), 1400);
    EXPECT_EQ(CurveX(2), 1400);
    EXPECT_EQ(Rpm(1)->Value(), 1000);
}

TEST_F(Dragging, ClampsToTheLowerLimits) {
    Press(PointPixel(2));
    ASSERT_EQ(MovingPointIndex, 2);
    DragTo(450, -0.5);
    EXPECT_EQ(CurveX(1), 500);
    EXPECT_EQ(CurveY(1), 0);
    EXPECT_EQ(Rpm(1)->Text(), "500");
    EXPECT_EQ(Adv(1)->Text(), "0");
}

TEST_F(Dragging, PushedNeighbourStaysWhenThePointComesBack) {
    Press(PointPixel(4));
    DragTo(4550, 12.5);
    EXPECT_EQ(CurveX(3), 4500);
    EXPECT_EQ(Rpm(4)->Value(), 4600);
    EXPECT_EQ(Rpm(5)->Value(), 5000);
    DragTo(4050, 12.5);
    EXPECT_EQ(CurveX(3), 4000);
    EXPECT_EQ(Rpm(4)->Value(), 4600);
}

TEST_F(Dragging, FarOutsideTheChartTheLimitsHold) {
    Press(PointPixel(8));
    ASSERT_EQ(MovingPointIndex, 8);
    // The point is written at 500 and the pushes it starts stack the points below it there.
    PointerAt({-5000, 5000});
    MoveWithLeft();
    EXPECT_EQ(CurveY(7), 0);
    for (int k = 1; k <= 7; ++k)
        EXPECT_EQ(Rpm(k)->Value(), 400 + 100 * k) << k;
    EXPECT_EQ(Rpm(8)->Value(), 8000);

    PointerAt({50000, -50000});
    MoveWithLeft();
    EXPECT_EQ(CurveY(7), 50);
    EXPECT_EQ(Adv(7)->Value(), 50);
    for (int k = 7; k <= 13; ++k)
        EXPECT_EQ(Rpm(k)->Value(), 18700 + 100 * k) << k;
}

TEST_F(Dragging, EveryMoveRepaintsAndTheGrabOutlivesTheRelease) {
    Press(PointPixel(4));
    const int draws = Chart()->DrawCount();
    DragTo(3050, 12.5);
    // The drag's own repaint; the boxes already show the point, so no rule runs.
    EXPECT_EQ(Chart()->DrawCount(), draws + 1);
    EXPECT_EQ(MovingPointIndex, 4);
    EXPECT_EQ(CurveX(3), 3000);
    EXPECT_EQ(CurveY(3), 12);
}

TEST_F(Dragging, TheNewRangeMapsTheNextMove) {
    Press(PointPixel(14));
    PointerAt({50000, PointPixel(14).y()});
    MoveWithLeft();
    ASSERT_EQ(CurveX(13), 20000);
    // After the repaint the bottom axis spans the new largest speed: the point sits six
    // pixels inside the span's end again.
    const int x = PointPixel(14).x();
    EXPECT_NEAR(Form->Series1->XScreenToValue(x), 20000, 30);
    EXPECT_LT(PointPixel(5).x(), x);
}

} // namespace
