#include "chart/Chart.h"
#include "support/QtInput.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QWheelEvent>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

using namespace qtinput;

namespace {

using TDown = std::tuple<TMouseButton, TShiftState, int, int>;
using TMove = std::tuple<TShiftState, int, int>;

// Writes the focus losses and keys that reach a widget into a shared log.
struct TEventLog : QObject {
    TEventLog(QWidget* widget, std::string name, std::vector<std::string>& log)
        : Name(std::move(name)), Log(log) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusOut)
            Log.push_back(Name + " focus out " +
                          std::to_string(static_cast<QFocusEvent*>(event)->reason()));
        else if (event->type() == QEvent::KeyPress)
            Log.push_back(Name + " key");
        return false;
    }
    std::string Name;
    std::vector<std::string>& Log;
};

// A window with the chart (400 x 250 at 100, 50) and a line edit beside it that has the focus;
// the chart's handlers record every call. Positions are relative to the chart.
class ChartMouse : public ::testing::Test {
protected:
    ChartMouse() {
        Window.resize(600, 400);
        Chart->setGeometry(100, 50, 400, 250);
        Edit->setGeometry(10, 10, 80, 24);
        Chart->OnMouseDown = [this](TChart* sender, TMouseButton button, TShiftState shift, int x,
                                    int y) {
            EXPECT_EQ(sender, Chart);
            Downs.emplace_back(button, shift, x, y);
            Log.push_back("down");
        };
        Chart->OnMouseMove = [this](TChart* sender, TShiftState shift, int x, int y) {
            EXPECT_EQ(sender, Chart);
            Moves.emplace_back(shift, x, y);
        };
    }

    void SetUp() override {
        ASSERT_TRUE(ShowActive(Window));
        Edit->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), Edit);
    }

    // A real mouse moves to where it is pressed (Qt reports that move before the press, and
    // drops a move to where the pointer already is); tests start from there, nothing recorded.
    void Hover(QPoint pos) {
        M.Move(Chart, pos);
        Downs.clear();
        Moves.clear();
        Log.clear();
    }

    QWidget Window;
    TChart* Chart = new TChart(&Window);
    QLineEdit* Edit = new QLineEdit(&Window);
    std::vector<TDown> Downs;
    std::vector<TMove> Moves;
    std::vector<std::string> Log;
    Mouse M;
};

TEST_F(ChartMouse, MovesOverTheChartArriveWithTheirPositionAndShiftState) {
    M.Move(Chart, {0, 0});
    M.Move(Chart, {399, 249});
    M.Move(Chart, {400, 120}); // one past the right edge: over the window, not the chart
    M.Move(Chart, {200, 250});
    M.Move(Chart, {40, 30});
    M.Press(Chart, {40, 30}, Qt::MiddleButton, Qt::ShiftModifier | Qt::ControlModifier);
    M.Move(Chart, {41, 30}, Qt::AltModifier);
    M.Press(Chart, {41, 30}, Qt::RightButton, Qt::ControlModifier);
    M.Move(Chart, {42, 31});
    EXPECT_EQ(Downs, (std::vector<TDown>{{mbMiddle, ssShift | ssCtrl | ssMiddle, 40, 30},
                                         {mbRight, ssCtrl | ssMiddle | ssRight, 41, 30}}));
    EXPECT_EQ(Moves, (std::vector<TMove>{{0, 0, 0},
                                         {0, 399, 249},
                                         {0, 40, 30},
                                         {ssAlt | ssMiddle, 41, 30},
                                         {ssMiddle | ssRight, 42, 31}}));
}

// Touch and pen input reach the chart as mouse events marked with the device they came from.
TEST_F(ChartMouse, TouchAndPenInputAreMarkedInTheShiftState) {
    for (const auto type :
         {QInputDevice::DeviceType::TouchScreen, QInputDevice::DeviceType::Stylus}) {
        const QPointingDevice device("device", 9000 + int(type), type,
                                     QPointingDevice::PointerType::Generic,
                                     QInputDevice::Capability::Position, 1, 0);
        QMouseEvent event(QEvent::MouseMove, QPointF(12, 34), Chart->mapToGlobal(QPointF(12, 34)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier, &device);
        QApplication::sendEvent(Chart, &event);
    }
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssTouch, 12, 34}, {ssPen, 12, 34}}));
}

TEST_F(ChartMouse, ALeftDragIsCapturedUntilAnyButtonIsReleased) {
    Hover({50, 100});
    M.Press(Chart, {50, 100});
    M.Move(Chart, {-30, 101});
    M.Move(Chart, {-150, -60}); // outside the window as well
    M.Move(Chart, {-20, 100});
    M.Click(Chart, {-20, 100}, Qt::RightButton); // still captured: this press is the chart's
    M.Move(Chart, {-40, 100});
    M.Click(Chart, {-40, 100}, Qt::RightButton); // whatever is under the pointer gets this one
    M.Move(Chart, {70, 110});
    M.Release(Chart, {70, 110});
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        M.Press(Chart, {70, 110}, button);
        M.Move(Chart, {-30, 100});
        M.Move(Chart, {70, 110});
        M.Release(Chart, {70, 110}, button);
    }
    EXPECT_EQ(Downs, (std::vector<TDown>{{mbLeft, ssLeft, 50, 100},
                                         {mbRight, ssLeft | ssRight, -20, 100},
                                         {mbRight, ssRight, 70, 110},
                                         {mbMiddle, ssMiddle, 70, 110}}));
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssLeft, -30, 101},
                                         {ssLeft, -150, -60},
                                         {ssLeft, -20, 100},
                                         {ssLeft, 70, 110},
                                         {ssRight, 70, 110},
                                         {ssMiddle, 70, 110}}));
}

TEST_F(ChartMouse, ADoubleClickDeliversTwoPressesAndTheSecondStillCaptures) {
    Hover({80, 90});
    M.Click(Chart, {80, 90}, Qt::RightButton);
    M.Click(Chart, {80, 90}, Qt::RightButton);
    M.Pause();
    M.Click(Chart, {80, 90});
    M.Press(Chart, {80, 90});
    M.Move(Chart, {-5, 90});
    EXPECT_EQ(Downs, (std::vector<TDown>{{mbRight, ssRight, 80, 90},
                                         {mbRight, ssRight | ssDouble, 80, 90},
                                         {mbLeft, ssLeft, 80, 90},
                                         {mbLeft, ssLeft | ssDouble, 80, 90}}));
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssLeft, -5, 90}}));
}

// An error in the editor's handler, or a modal box that takes the release, during a drag.
TEST_F(ChartMouse, TheCaptureOutlivesAFailingHandlerButNotAReleaseElsewhere) {
    Chart->OnMouseDown = [](TChart*, TMouseButton, TShiftState, int, int) {
        throw std::runtime_error("no point here");
    };
    Hover({50, 100});
    TestApplication::ClearErrors();
    M.Press(Chart, {50, 100});
    EXPECT_EQ(TestApplication::ReportedErrors, QStringList{"no point here"});
    EXPECT_EQ(TestApplication::EscapedErrors, 0);
    EXPECT_EQ(QApplication::focusWidget(), Edit) << "the failed press went no further";
    M.Move(Chart, {-30, 100});
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssLeft, -30, 100}}));
    QWidget box;
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    M.Release(Chart, {-30, 100});
    box.hide();
    ASSERT_TRUE(ShowActive(Window));
    Chart->OnMouseDown = nullptr;
    Hover({50, 100});
    M.Press(Chart, {50, 100}, Qt::RightButton);
    M.Move(Chart, {-30, 100});
    EXPECT_TRUE(Moves.empty());
}

// What a test can take the mouse with during a drag: a modal box, another window, another
// widget of the window, a popup, and a mouse.
struct TCaptureScene {
    QWidget Modal{};
    QWidget Elsewhere{};
    QLineEdit& Other;
    QMenu Popup{};
    Mouse& M;
};

// A way for the mouse to go elsewhere during a left drag without a release reaching the
// chart, and the way it comes back.
struct TCaptureLoss {
    const char* Name;
    std::function<void(TChart&, TCaptureScene&)> Take;
    std::function<void(TChart&, TCaptureScene&)> Give;
};

void PrintTo(const TCaptureLoss& loss, std::ostream* os) {
    *os << loss.Name;
}

class ChartLosesTheMouse : public ChartMouse, public ::testing::WithParamInterface<TCaptureLoss> {};

// Whatever took the mouse ended the capture as a release would: with the left button still
// down, a move that Qt hands the chart from outside it is no longer the editor's, while moves
// over the chart still are.
TEST_P(ChartLosesTheMouse, AndTheCaptureEndsAsAtARelease) {
    TCaptureScene scene{.Other = *Edit, .M = M};
    Hover({50, 100});
    M.Press(Chart, {50, 100});
    M.Move(Chart, {-30, 100});
    ASSERT_EQ(Moves, (std::vector<TMove>{{ssLeft, -30, 100}}));
    GetParam().Take(*Chart, scene);
    GetParam().Give(*Chart, scene);
    ASSERT_TRUE(ShowActive(Window));
    Moves.clear();
    for (const QPoint pos : {QPoint(-40, 100), QPoint(60, 100), QPoint(450, 100)}) {
        QMouseEvent move(QEvent::MouseMove, pos, Chart->mapToGlobal(pos), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Chart, &move);
    }
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssLeft, 60, 100}}));
}

INSTANTIATE_TEST_SUITE_P(
    Situations, ChartLosesTheMouse,
    ::testing::Values(
        TCaptureLoss{"ModalBoxOpens",
                     [](TChart&, TCaptureScene& s) {
                         s.Modal.setWindowModality(Qt::ApplicationModal);
                         s.Modal.show();
                     },
                     [](TChart&, TCaptureScene& s) { s.Modal.hide(); }},
        TCaptureLoss{"WindowLosesActivation",
                     [](TChart&, TCaptureScene& s) { ASSERT_TRUE(ShowActive(s.Elsewhere)); },
                     [](TChart&, TCaptureScene&) {}},
        // The right click that would end the capture goes to the widget that took the mouse.
        TCaptureLoss{"AnotherWidgetGrabsTheMouse",
                     [](TChart&, TCaptureScene& s) {
                         s.Other.grabMouse();
                         s.M.Click(&s.Other, {5, 5}, Qt::RightButton);
                     },
                     [](TChart&, TCaptureScene& s) { s.Other.releaseMouse(); }},
        TCaptureLoss{"APopupOpens",
                     [](TChart& chart, TCaptureScene& s) {
                         s.Popup.addAction("Item");
                         s.Popup.popup(chart.mapToGlobal(QPoint(200, 100)));
                         s.M.Click(&s.Popup, {5, 5}, Qt::RightButton);
                     },
                     [](TChart&, TCaptureScene& s) { s.Popup.close(); }},
        TCaptureLoss{"TheChartIsHidden", [](TChart& chart, TCaptureScene&) { chart.hide(); },
                     [](TChart& chart, TCaptureScene&) { chart.show(); }},
        TCaptureLoss{"TheChartIsDisabled",
                     [](TChart& chart, TCaptureScene&) { chart.setEnabled(false); },
                     [](TChart& chart, TCaptureScene&) { chart.setEnabled(true); }}),
    [](const ::testing::TestParamInfo<TCaptureLoss>& info) {
        return std::string(info.param.Name);
    });

TEST_F(ChartMouse, EveryPressReachesTheEditorBeforeTheChartTakesTheFocus) {
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        Edit->setFocus(Qt::OtherFocusReason);
        Hover({50, 100});
        TEventLog editLog(Edit, "edit", Log);
        M.Click(Chart, {50, 100}, button);
        const std::string focusOut = "edit focus out " + std::to_string(Qt::MouseFocusReason);
        EXPECT_EQ(Log, (std::vector<std::string>{"down", focusOut})) << button;
        EXPECT_EQ(QApplication::focusWidget(), Chart);
    }
}

TEST_F(ChartMouse, NoFocusForAChartThatIsNoTabStopOrWhoseParentHoldsIt) {
    Chart->setFocusPolicy(Qt::NoFocus);
    M.Click(Chart, {50, 100});
    EXPECT_EQ(QApplication::focusWidget(), Edit);
    Chart->setFocusPolicy(Qt::TabFocus);
    Window.setFocusPolicy(Qt::TabFocus);
    Window.setFocus(Qt::OtherFocusReason);
    M.Pause();
    M.Click(Chart, {50, 100});
    EXPECT_EQ(QApplication::focusWidget(), &Window);
    EXPECT_EQ(Downs.size(), 2u) << "the editor saw the presses all the same";
}

TEST_F(ChartMouse, TheWheelChangesNothingAndScrollsNothingBehindTheChart) {
    for (const int angle : {120, -240}) {
        QWheelEvent turn(QPointF(50, 100), Chart->mapToGlobal(QPointF(50, 100)), {},
                         QPoint(0, angle), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        turn.ignore(); // Qt would hand a turn left unaccepted on to the widgets behind
        QApplication::sendEvent(Chart, &turn);
        EXPECT_TRUE(turn.isAccepted());
    }
    EXPECT_TRUE(Downs.empty() && Moves.empty());
    EXPECT_EQ(QApplication::focusWidget(), Edit);
}

TEST_F(ChartMouse, ArrowKeysStayWithTheFocusedChartAndOtherKeysPassOn) {
    Chart->setFocus(Qt::OtherFocusReason);
    TEventLog windowLog(&Window, "window", Log);
    for (const int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down}) {
        Type(&Window, key);
        Type(&Window, key, {}, Qt::ShiftModifier);
    }
    EXPECT_EQ(QApplication::focusWidget(), Chart);
    Type(&Window, Qt::Key_A, "a");
    EXPECT_EQ(Log, (std::vector<std::string>{"window key"}));
    Type(&Window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Edit);
    Type(&Window, Qt::Key_Backtab, {}, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), Chart);
    EXPECT_TRUE(Downs.empty() && Moves.empty());
}

TEST_F(ChartMouse, ThePointingHandComesBackAfterEveryMoveAndOnLeaving) {
    std::vector<Qt::CursorShape> seen;
    Chart->OnMouseMove = [&](TChart*, TShiftState, int, int) {
        seen.push_back(Chart->cursor().shape());
        Chart->setCursor(Qt::CrossCursor);
    };
    Chart->OnMouseDown = [this](TChart*, TMouseButton, TShiftState, int, int) {
        Chart->setCursor(Qt::WaitCursor);
    };
    M.Move(Chart, {40, 90});
    M.Move(Chart, {50, 100});
    EXPECT_EQ(seen, (std::vector<Qt::CursorShape>(2, Qt::PointingHandCursor)));
    EXPECT_EQ(Chart->cursor().shape(), Qt::PointingHandCursor);
    M.Click(Chart, {50, 100}, Qt::RightButton);
    ASSERT_EQ(Chart->cursor().shape(), Qt::WaitCursor);
    M.Move(Chart, {-50, -30}); // over the line edit
    EXPECT_EQ(Chart->cursor().shape(), Qt::PointingHandCursor);
}

} // namespace
