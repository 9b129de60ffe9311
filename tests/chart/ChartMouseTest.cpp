// How the chart hands the mouse to the editor's two handlers: which presses and moves reach
// them, with which button, shift state and position, the mouse capture of a left drag, the
// keyboard focus a press takes (only after the editor has seen the press), the wheel and the
// keyboard, and the pointing hand. Input goes in through the window system's entry points, so
// that Qt's implicit grab, focus on press and double-click detection behave as with a real
// mouse.

#include "chart/Chart.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QWheelEvent>
#include <QWindow>

#include <exception>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

// The toolkit's own entry points for window-system input, as its test library uses them.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key,
                                    Qt::KeyboardModifiers mods, const QString& text, bool autorep,
                                    ushort count);

namespace {

// Like the application's event loop, catches an error that escapes a handler and goes on.
class TestApplication : public QApplication {
public:
    TestApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception&) {
            ++CaughtErrors;
            return false;
        }
    }

    static inline int CaughtErrors = 0;
};

bool WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 2000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    return WaitUntil([&] {
        return QApplication::activeWindow() == &window && window.windowHandle()->isExposed();
    });
}

struct TDown {
    TMouseButton Button;
    TShiftState Shift;
    int X;
    int Y;
    bool operator==(const TDown&) const = default;
};

struct TMove {
    TShiftState Shift;
    int X;
    int Y;
    bool operator==(const TMove&) const = default;
};

void PrintTo(const TDown& down, std::ostream* os) {
    *os << "down(button " << down.Button << ", shift 0x" << std::hex << down.Shift << std::dec
        << ", " << down.X << ", " << down.Y << ")";
}

void PrintTo(const TMove& move, std::ostream* os) {
    *os << "move(shift 0x" << std::hex << move.Shift << std::dec << ", " << move.X << ", " << move.Y
        << ")";
}

// Writes what reaches a widget into a shared log.
class TEventLog : public QObject {
public:
    TEventLog(QWidget* widget, std::string name, std::vector<std::string>& log)
        : FName(std::move(name)), FLog(log) {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::FocusIn:
            FLog.push_back(FName + " focus in");
            break;
        case QEvent::FocusOut:
            FLog.push_back(FName + " focus out " +
                           std::to_string(static_cast<QFocusEvent*>(event)->reason()));
            break;
        case QEvent::KeyPress:
            FLog.push_back(FName + " key " + std::to_string(static_cast<QKeyEvent*>(event)->key()));
            break;
        case QEvent::Wheel:
            FLog.push_back(FName + " wheel");
            break;
        default:
            break;
        }
        return false;
    }

private:
    std::string FName;
    std::vector<std::string>& FLog;
};

const std::string EditFocusOutByMouse = "edit focus out " + std::to_string(Qt::MouseFocusReason);

// A window with the chart (400 x 250 at 100, 50) and a line edit beside it that has the focus;
// the chart's handlers record every call. Positions are given relative to the chart.
class ChartMouse : public ::testing::Test {
protected:
    ChartMouse() {
        Window.resize(600, 400);
        Chart = new TChart(&Window);
        Chart->setGeometry(100, 50, 400, 250);
        Edit = new QLineEdit(&Window);
        Edit->setGeometry(10, 10, 80, 24);
        Chart->OnMouseDown = [this](TChart* sender, TMouseButton button, TShiftState shift, int x,
                                    int y) {
            EXPECT_EQ(sender, Chart);
            Downs.push_back({button, shift, x, y});
            FocusAtDown.push_back(QApplication::focusWidget());
            Log.push_back("down");
        };
        Chart->OnMouseMove = [this](TChart* sender, TShiftState shift, int x, int y) {
            EXPECT_EQ(sender, Chart);
            Moves.push_back({shift, x, y});
            Log.push_back("move");
        };
        // Far enough from the last test's presses that no first press is a double click.
        Timestamp += 100000;
    }

    void SetUp() override {
        ASSERT_TRUE(ShowActive(Window));
        Edit->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), Edit);
    }

    // Lets go of any button still held, where the pointer is, so that the next window starts
    // without an implicit grab. A test's own handlers may refer to its locals: gone by now.
    void TearDown() override {
        Chart->OnMouseDown = nullptr;
        Chart->OnMouseMove = nullptr;
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            if (Buttons & button)
                Release(Pointer, button);
    }

    void Press(QPoint pos, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
        Buttons |= button;
        Send(pos, button, QEvent::MouseButtonPress, mods);
    }
    void Release(QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
        Buttons &= ~Qt::MouseButtons(button);
        Send(pos, button, QEvent::MouseButtonRelease);
    }
    void Move(QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        Send(pos, Qt::NoButton, QEvent::MouseMove, mods);
    }
    void Click(QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
        Press(pos, button);
        Release(pos, button);
    }
    void Type(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
        QWindow* window = Window.windowHandle();
        qt_handleKeyEvent(window, QEvent::KeyPress, key, mods, text, false, 1);
        qt_handleKeyEvent(window, QEvent::KeyRelease, key, mods, text, false, 1);
    }
    // The window system hands a wheel turn to the window under the pointer, which passes it
    // to the widget there.
    void Wheel(QPoint pos, int angle) {
        const QPoint local = Chart->mapTo(&Window, pos);
        QWheelEvent event(local, Window.mapToGlobal(local), QPoint(), QPoint(0, angle),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Window.windowHandle(), &event);
    }

    // A real mouse moves to where it is pressed (Qt reports that move before the press, and
    // drops a move to where the pointer already is); tests start from there with nothing
    // recorded.
    void Hover(QPoint pos) {
        Move(pos);
        Clear();
    }

    void Clear() {
        Downs.clear();
        Moves.clear();
        FocusAtDown.clear();
        Log.clear();
    }

    QWidget Window;
    TChart* Chart;
    QLineEdit* Edit;
    std::vector<TDown> Downs;
    std::vector<TMove> Moves;
    std::vector<QWidget*> FocusAtDown;
    std::vector<std::string> Log;

private:
    void Send(QPoint pos, Qt::MouseButton button, QEvent::Type type,
              Qt::KeyboardModifiers mods = Qt::NoModifier) {
        Pointer = pos;
        const QPoint local = Chart->mapTo(&Window, pos);
        Timestamp += 10;
        qt_handleMouseEvent(Window.windowHandle(), local, Window.mapToGlobal(local), Buttons,
                            button, type, mods, Timestamp);
    }

    Qt::MouseButtons Buttons;
    QPoint Pointer;
    static inline int Timestamp = 0;
};

using ChartMoves = ChartMouse;

TEST_F(ChartMoves, MovesOverTheChartArriveWithTheirPositionWithOrWithoutAButton) {
    Move({0, 0});
    Move({399, 249});
    Move({400, 120}); // one past the right edge: over the window, not the chart
    Move({200, 250});
    EXPECT_EQ(Moves, (std::vector<TMove>{{0, 0, 0}, {0, 399, 249}}));
    EXPECT_TRUE(Downs.empty());
}

TEST_F(ChartMoves, ModifierKeysAndHeldButtonsMakeTheShiftState) {
    Hover({40, 30});
    Press({40, 30}, Qt::MiddleButton, Qt::ShiftModifier | Qt::ControlModifier);
    Move({41, 30}, Qt::AltModifier);
    Press({41, 30}, Qt::RightButton, Qt::ControlModifier);
    Move({42, 31});
    EXPECT_EQ(Downs, (std::vector<TDown>{{mbMiddle, ssShift | ssCtrl | ssMiddle, 40, 30},
                                         {mbRight, ssCtrl | ssMiddle | ssRight, 41, 30}}));
    EXPECT_EQ(Moves,
              (std::vector<TMove>{{ssAlt | ssMiddle, 41, 30}, {ssMiddle | ssRight, 42, 31}}));
}

// Touch and pen input reach the chart as mouse events marked with the device they came from.
TEST_F(ChartMoves, TouchAndPenInputAreMarkedInTheShiftState) {
    const QPointingDevice touch("touch", 9001, QInputDevice::DeviceType::TouchScreen,
                                QPointingDevice::PointerType::Finger,
                                QInputDevice::Capability::Position, 1, 0);
    const QPointingDevice pen("pen", 9002, QInputDevice::DeviceType::Stylus,
                              QPointingDevice::PointerType::Pen, QInputDevice::Capability::Position,
                              1, 1);
    for (const QPointingDevice* device : {&touch, &pen}) {
        QMouseEvent event(QEvent::MouseMove, QPointF(12, 34), Chart->mapToGlobal(QPointF(12, 34)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier, device);
        QApplication::sendEvent(Chart, &event);
    }
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssTouch, 12, 34}, {ssPen, 12, 34}}));
}

using ChartCapture = ChartMouse;

TEST_F(ChartCapture, LeftDragOutOfTheChartKeepsDeliveringMovesWithTheirPositionAndLeft) {
    Hover({50, 100});
    Press({50, 100});
    Move({10, 100});
    Move({-30, 101});
    Move({-150, -60}); // outside the window as well
    Move({450, 300});
    EXPECT_EQ(Downs, (std::vector<TDown>{{mbLeft, ssLeft, 50, 100}}));
    EXPECT_EQ(Moves,
              (std::vector<TMove>{
                  {ssLeft, 10, 100}, {ssLeft, -30, 101}, {ssLeft, -150, -60}, {ssLeft, 450, 300}}));
}

TEST_F(ChartCapture, RightAndMiddlePressesDoNotCapture) {
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        Hover({50, 100});
        const TShiftState held = button == Qt::RightButton ? ssRight : ssMiddle;
        Press({50, 100}, button);
        Move({-30, 100});
        Move({50, 300});
        Move({60, 100});
        Release({60, 100}, button);
        ASSERT_EQ(Downs.size(), 1u);
        EXPECT_EQ(Downs[0].Button, button == Qt::RightButton ? mbRight : mbMiddle);
        EXPECT_EQ(Downs[0].Shift, held);
        EXPECT_EQ(Moves, (std::vector<TMove>{{held, 60, 100}}));
    }
}

TEST_F(ChartCapture, LeftReleaseEndsTheCapture) {
    Hover({50, 100});
    Click({50, 100});
    Press({50, 100}, Qt::RightButton);
    Move({-30, 100});
    EXPECT_TRUE(Moves.empty());
}

TEST_F(ChartCapture, RightClickDuringALeftDragEndsTheCaptureButNotTheDrag) {
    Hover({50, 100});
    Press({50, 100});
    Move({-20, 100});
    Press({-20, 100}, Qt::RightButton); // still captured: the press outside is the chart's
    Release({-20, 100}, Qt::RightButton);
    Move({-40, 100});
    Press({-40, 100}, Qt::RightButton); // a press that belongs to whatever is under the pointer
    Release({-40, 100}, Qt::RightButton);
    Move({70, 110});
    EXPECT_EQ(Downs, (std::vector<TDown>{{mbLeft, ssLeft, 50, 100},
                                         {mbRight, ssLeft | ssRight, -20, 100}}));
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssLeft, -20, 100}, {ssLeft, 70, 110}}));
}

TEST_F(ChartCapture, DoubleClickDeliversTwoPressesAndTheSecondStillCaptures) {
    Hover({80, 90});
    Click({80, 90});
    Press({80, 90});
    Move({-5, 90});
    EXPECT_EQ(Downs,
              (std::vector<TDown>{{mbLeft, ssLeft, 80, 90}, {mbLeft, ssLeft | ssDouble, 80, 90}}));
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssLeft, -5, 90}}));
}

TEST_F(ChartCapture, RightDoubleClickIsMarkedToo) {
    Hover({80, 90});
    Click({80, 90}, Qt::RightButton);
    Click({80, 90}, Qt::RightButton);
    EXPECT_EQ(Downs, (std::vector<TDown>{{mbRight, ssRight, 80, 90},
                                         {mbRight, ssRight | ssDouble, 80, 90}}));
}

// A modal box that opens during a drag takes the release away from the chart.
TEST_F(ChartCapture, ACaptureWhoseReleaseWentElsewhereIsOverAtTheNextPress) {
    Hover({50, 100});
    Press({50, 100});
    QWidget box;
    box.setWindowModality(Qt::ApplicationModal);
    box.resize(100, 50);
    box.show();
    Release({50, 100});
    box.hide();
    ASSERT_TRUE(ShowActive(Window));
    Hover({50, 100});
    Press({50, 100}, Qt::RightButton);
    Move({-30, 100});
    Move({40, 100});
    EXPECT_EQ(Downs, (std::vector<TDown>{{mbRight, ssRight, 50, 100}}));
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssRight, 40, 100}}));
}

TEST_F(ChartCapture, AFailingPressHandlerStillLeavesTheDragWithTheChart) {
    Chart->OnMouseDown = [](TChart*, TMouseButton, TShiftState, int, int) {
        throw std::runtime_error("no point here");
    };
    Hover({50, 100});
    const int caught = TestApplication::CaughtErrors;
    Press({50, 100});
    EXPECT_EQ(TestApplication::CaughtErrors, caught + 1);
    Move({-30, 100});
    EXPECT_EQ(Moves, (std::vector<TMove>{{ssLeft, -30, 100}}));
}

using ChartFocus = ChartMouse;

TEST_F(ChartFocus, PressReachesTheEditorBeforeTheFocusMoves) {
    Hover({50, 100});
    TEventLog editLog(Edit, "edit", Log);
    Press({50, 100});
    EXPECT_EQ(Log, (std::vector<std::string>{"down", EditFocusOutByMouse}));
    EXPECT_EQ(FocusAtDown, (std::vector<QWidget*>{Edit}));
    EXPECT_EQ(QApplication::focusWidget(), Chart);
}

TEST_F(ChartFocus, RightAndMiddlePressesTakeTheFocusToo) {
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        Edit->setFocus(Qt::OtherFocusReason);
        Hover({50, 100});
        TEventLog editLog(Edit, "edit", Log);
        Click({50, 100}, button);
        EXPECT_EQ(Log, (std::vector<std::string>{"down", EditFocusOutByMouse}));
        EXPECT_EQ(QApplication::focusWidget(), Chart);
    }
}

TEST_F(ChartFocus, FocusedChartKeepsItWithoutFocusEvents) {
    Click({50, 100});
    Hover({60, 100});
    TEventLog chartLog(Chart, "chart", Log);
    Click({60, 100});
    EXPECT_EQ(QApplication::focusWidget(), Chart);
    EXPECT_EQ(Log, (std::vector<std::string>{"down"}));
}

TEST_F(ChartFocus, NoFocusWhenTheChartIsNoTabStopOrItsParentHoldsIt) {
    Chart->setFocusPolicy(Qt::NoFocus);
    Click({50, 100});
    EXPECT_EQ(QApplication::focusWidget(), Edit);

    Chart->setFocusPolicy(Qt::TabFocus);
    Window.setFocusPolicy(Qt::TabFocus);
    Window.setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), &Window);
    Click({50, 100});
    EXPECT_EQ(QApplication::focusWidget(), &Window);
    EXPECT_EQ(Downs.size(), 2u);
}

TEST_F(ChartFocus, HandlerThatHidesTheChartKeepsTheFocusWhereItWas) {
    Chart->OnMouseDown = [this](TChart*, TMouseButton, TShiftState, int, int) { Chart->hide(); };
    Click({50, 100});
    EXPECT_EQ(QApplication::focusWidget(), Edit);
}

using ChartKeysAndWheel = ChartMouse;

TEST_F(ChartKeysAndWheel, WheelOverTheChartChangesNothingAndScrollsNothingBehindIt) {
    TEventLog chartLog(Chart, "chart", Log);
    Wheel({50, 100}, 120);
    Wheel({50, 100}, -240);
    EXPECT_EQ(Log, (std::vector<std::string>{"chart wheel", "chart wheel"}));
    EXPECT_TRUE(Downs.empty());
    EXPECT_TRUE(Moves.empty());
    EXPECT_EQ(QApplication::focusWidget(), Edit);

    // Qt hands a wheel turn the chart leaves unaccepted on to the widgets behind it.
    QWheelEvent turn(QPointF(50, 100), Chart->mapToGlobal(QPointF(50, 100)), QPoint(),
                     QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    turn.ignore();
    QApplication::sendEvent(Chart, &turn);
    EXPECT_TRUE(turn.isAccepted());
}

TEST_F(ChartKeysAndWheel, ArrowKeysStayWithTheFocusedChart) {
    Chart->setFocus(Qt::OtherFocusReason);
    TEventLog windowLog(&Window, "window", Log);
    for (int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down}) {
        Type(key);
        Type(key, Qt::ShiftModifier);
    }
    EXPECT_EQ(QApplication::focusWidget(), Chart);
    EXPECT_TRUE(Log.empty());
    EXPECT_TRUE(Downs.empty());
    EXPECT_TRUE(Moves.empty());
}

// Keys the chart has no use for are left to the window, like any other control's.
TEST_F(ChartKeysAndWheel, OtherKeysPassToTheWindow) {
    Chart->setFocus(Qt::OtherFocusReason);
    TEventLog windowLog(&Window, "window", Log);
    Type(Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(Log, (std::vector<std::string>{"window key " + std::to_string(Qt::Key_A)}));
    EXPECT_EQ(QApplication::focusWidget(), Chart);
}

TEST_F(ChartKeysAndWheel, TabAndBacktabMoveTheFocusOn) {
    Chart->setFocus(Qt::OtherFocusReason);
    Type(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Edit);
    Type(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), Chart);
}

using ChartCursor = ChartMouse;

TEST_F(ChartCursor, ThePointingHandComesBackAfterEveryMove) {
    Hover({40, 90});
    EXPECT_EQ(Chart->cursor().shape(), Qt::PointingHandCursor);
    std::vector<Qt::CursorShape> seenInHandler;
    Chart->OnMouseMove = [&](TChart*, TShiftState, int, int) {
        seenInHandler.push_back(Chart->cursor().shape());
        Chart->setCursor(Qt::CrossCursor);
    };
    Move({50, 100});
    EXPECT_EQ(Chart->cursor().shape(), Qt::PointingHandCursor);
    Press({50, 100});
    Move({-30, 100});
    EXPECT_EQ(Chart->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(seenInHandler,
              (std::vector<Qt::CursorShape>{Qt::PointingHandCursor, Qt::PointingHandCursor}));
}

TEST_F(ChartCursor, LeavingTheChartBringsThePointingHandBack) {
    Chart->OnMouseDown = [this](TChart*, TMouseButton, TShiftState, int, int) {
        Chart->setCursor(Qt::WaitCursor);
    };
    Hover({50, 100});
    Click({50, 100}, Qt::RightButton);
    ASSERT_EQ(Chart->cursor().shape(), Qt::WaitCursor);
    Move({-50, -30}); // over the line edit
    EXPECT_EQ(Chart->cursor().shape(), Qt::PointingHandCursor);
}

// The shape the layout gives the chart before it is shown is the one that comes back.
TEST(ChartCursorFromLayout, TheLayoutsCursorIsTheOneRestored) {
    QWidget window;
    window.resize(300, 200);
    auto* chart = new TChart(&window);
    chart->setGeometry(0, 0, 300, 200);
    chart->setCursor(Qt::SizeAllCursor);
    chart->OnMouseMove = [&](TChart*, TShiftState, int, int) { chart->unsetCursor(); };
    ASSERT_TRUE(ShowActive(window));
    qt_handleMouseEvent(window.windowHandle(), QPointF(10, 10), window.mapToGlobal(QPointF(10, 10)),
                        Qt::NoButton, Qt::NoButton, QEvent::MouseMove, Qt::NoModifier, 1);
    EXPECT_EQ(chart->cursor().shape(), Qt::SizeAllCursor);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
