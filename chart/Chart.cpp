#include "chart/Chart.h"

#include "chart/ChartAccessible.h"
#include "chart/canvas/SmoothCanvas.h"
#include "platform/ErrorReport.h"
#include "platform/MouseLoss.h"

#include <QApplication>
#include <QCursor>
#include <QInputDevice>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QWheelEvent>
#include <optional>

namespace {

// System colour numbers the chart resolves from the platform's palette.
constexpr int SysWindow = 5;
constexpr int SysWindowText = 8;
constexpr int SysHighlight = 13;
constexpr int SysHighlightText = 14;
constexpr int SysButtonFace = 15;
constexpr int SysButtonShadow = 16;
constexpr int SysButtonText = 18;
constexpr int SysButtonHighlight = 20;

TColor FromQColor(const QColor& c) {
    return static_cast<TColor>(c.red()) | static_cast<TColor>(c.green()) << 8 |
           static_cast<TColor>(c.blue()) << 16;
}

// Buttons beyond the three (back, forward and the like) are not the chart's.
std::optional<TMouseButton> ChartButton(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return mbLeft;
    case Qt::RightButton:
        return mbRight;
    case Qt::MiddleButton:
        return mbMiddle;
    default:
        return std::nullopt;
    }
}

TShiftState InputDeviceShift(const QInputDevice* device) {
    if (!device)
        return 0;
    switch (device->type()) {
    case QInputDevice::DeviceType::TouchScreen:
        return ssTouch;
    case QInputDevice::DeviceType::Stylus:
    case QInputDevice::DeviceType::Airbrush:
        return ssPen;
    default:
        return 0;
    }
}

// Modifier keys and the buttons held at the time of the event, a press's own button included.
TShiftState ShiftState(const QMouseEvent& event) {
    TShiftState shift = 0;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (modifiers & Qt::AltModifier)
        shift |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    const Qt::MouseButtons buttons = event.buttons();
    if (buttons & Qt::LeftButton)
        shift |= ssLeft;
    if (buttons & Qt::RightButton)
        shift |= ssRight;
    if (buttons & Qt::MiddleButton)
        shift |= ssMiddle;
    return shift | InputDeviceShift(event.device());
}

bool IsArrowKey(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

} // namespace

const std::vector<TColor>& ChartPalette(int index) {
    static const std::vector<TColor> palette13{0xA36644, 0x359CF3, 0x144CF1, 0xA8974E,
                                               0x6B402B, 0x637B1D, 0x0E08B3, 0x5DC0F2,
                                               0x9EB75D, 0x707070, 0x8DEAF3, 0xB4B4B4};
    static const std::vector<TColor> none;
    return index == 13 ? palette13 : none;
}

TCustomChart::TCustomChart(std::unique_ptr<TChartCanvas> canvas)
    : TCustomAxisPanel(std::move(canvas)) {
    SetAutoRepaint(true);
}

void TCustomChart::SetColorPaletteIndex(int index) {
    FColorPaletteIndex = index;
    Invalidate();
}

TColor TCustomChart::GetBackColor() const {
    if (FWalls.Back.Visible && !FWalls.Back.Transparent)
        return FWalls.Back.Color;
    return Color();
}

void TCustomChart::SeriesAdded(TChartSeries* series) {
    if (series->SeriesColor() != clDefault)
        return;
    const std::vector<TColor>& palette = ChartPalette(FColorPaletteIndex);
    if (!palette.empty())
        series->SetSeriesColor(
            palette[static_cast<std::size_t>(SeriesCount() - 1) % palette.size()]);
}

void TCustomChart::DrawWalls() {
    if (FWalls.Back.Visible)
        DrawBackWall();
}

// Flat, the back wall is the frame around the chart rectangle, drawn before axes and series.
void TCustomChart::DrawBackWall() {
    const TChartWall& wall = FWalls.Back;
    TChartCanvas& canvas = *Canvas();
    canvas.AssignVisiblePen(wall.Pen);
    if (wall.Transparent)
        canvas.AssignBrush(TChartBrush{wall.Color, bsClear}, wall.Color);
    else
        canvas.AssignBrush(TChartBrush{}, PanelColor(wall.Color));

    const TRect& r = ChartRect();
    const int top = r.Top + wall.Start * ChartHeight() / 100;
    const int bottomEdge = r.Bottom + CalcWallSize(BottomAxis());
    const int bottom = bottomEdge - (100 - wall.End) * (bottomEdge - top) / 100;
    canvas.Rectangle(r.Left, top, r.Right + 1, wall.End == 100 ? bottom + 1 : bottom);
}

TChart::TChart(QWidget* parent) : QWidget(parent), TCustomChart(std::make_unique<TSmoothCanvas>()) {
    InstallChartAccessibility();
    SetAutoRepaint(false);
    // The full draw covers every pixel, so the window is never erased first and nothing
    // behind the chart is painted before it. Qt then takes the chart's pixels in the window's
    // buffer as kept whenever something around it repaints; where the window system hands
    // the window a new, empty buffer, the chart follows its window's request for a new frame
    // (WatchWindow).
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // A tab stop that Qt must not focus on a click: Qt would move the focus before the press
    // reaches the editor, and a spin box losing it would clamp before the grab is decided.
    // The chart takes the focus itself once the editor has seen the press.
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setCursor(FOriginalCursor);
    resize(400, 250);
    SetAutoRepaint(true);
}

TChart::~TChart() = default;

void TChart::SetClientSize(int width, int height) {
    resize(width, height);
}

TPoint TChart::CursorClientPos() const {
    const QPoint global = CursorScreenPos ? CursorScreenPos() : QCursor::pos();
    const QPoint local = mapFromGlobal(global);
    return TPoint{local.x(), local.y()};
}

TNumberSeparators TChart::AxisNumberSeparators() const {
    const QLocale locale;
    return TNumberSeparators{locale.groupSeparator().toStdString(),
                             locale.decimalPoint().toStdString()};
}

bool TChart::event(QEvent* event) {
    // Polished once, just before it is first shown: the layout has set its cursor by then.
    if (event->type() == QEvent::Polish)
        FOriginalCursor = cursor();
    // Shown, or moved into another window: its native window exists by the time it shows.
    if (event->type() == QEvent::Show || event->type() == QEvent::ParentChange)
        WatchWindow();
    if (LosesMouse(*event))
        SetCaptured(false);
    return QWidget::event(event);
}

// Qt's Wayland client gives a window a new, empty buffer when the frame around it changes (the
// compositor hands the frame to the client or takes it back) and then asks the window for a
// new frame. Qt Widgets answers that request by repainting the window, but leaves out the
// children that paint all their pixels themselves, as if the buffer still held them: the
// chart would show what lies behind the window until its next draw. So the chart repaints
// with every such request; its image is kept, and the paint only copies it.
void TChart::WatchWindow() {
    QWindow* native = window()->windowHandle();
    if (native == FWatchedWindow)
        return;
    if (FWatchedWindow)
        FWatchedWindow->removeEventFilter(this);
    FWatchedWindow = native;
    if (native)
        native->installEventFilter(this);
}

// A draw that fails has ended its painters before the error is reported.
void TChart::paintEvent(QPaintEvent* /*event*/) {
    FollowDevicePixelRatio();
    HandleErrors(
        [this] {
            QPainter painter(this);
            TPainterDestination destination(&painter);
            Paint(&destination);
        },
        [this] { FPaintFailed = true; });
}

// The image is drawn at the ratio of the screen that shows the chart; on another screen the
// next paint draws it anew.
void TChart::FollowDevicePixelRatio() {
    if (auto* surface = dynamic_cast<TSmoothCanvas*>(Canvas()))
        surface->SetDevicePixelRatio(devicePixelRatio());
}

void TChart::resizeEvent(QResizeEvent* /*event*/) {
    Invalidate();
}

void TChart::mousePressEvent(QMouseEvent* event) {
    HandleErrors([&] { Press(event, 0); });
}

// Qt delivers the second press of a double click as a double-click event instead of a press.
void TChart::mouseDoubleClickEvent(QMouseEvent* event) {
    HandleErrors([&] { Press(event, ssDouble); });
}

void TChart::Press(QMouseEvent* event, TShiftState extraShift) {
    const std::optional<TMouseButton> button = ChartButton(event->button());
    if (!button) {
        event->ignore();
        return;
    }
    // With no other button down, a capture still marked here ended with a release that went
    // to another window (a modal box opened during a drag, say).
    if (event->buttons() == event->button())
        SetCaptured(false);
    const QPoint pos = event->position().toPoint();
    if (!Reaches(pos))
        return;
    // Captured before the editor sees the press, so that a handler that fails still leaves
    // the drag's moves with the chart.
    if (*button == mbLeft)
        SetCaptured(true);
    if (OnMouseDown)
        OnMouseDown(this, *button, ShiftState(*event) | extraShift, pos.x(), pos.y());
    if (TakesFocusOnPress())
        setFocus(Qt::MouseFocusReason);
}

void TChart::mouseMoveEvent(QMouseEvent* event) {
    HandleErrors([&] {
        const QPoint pos = event->position().toPoint();
        if (!Reaches(pos))
            return;
        if (OnMouseMove)
            OnMouseMove(this, ShiftState(*event), pos.x(), pos.y());
        RestoreCursor();
    });
}

void TChart::mouseReleaseEvent(QMouseEvent* event) {
    if (!ChartButton(event->button())) {
        event->ignore();
        return;
    }
    SetCaptured(false);
}

// While the chart holds the mouse, a release that another widget gets (a popup or another
// grab took the pointer) ends the capture as one reaching the chart would.
void TChart::SetCaptured(bool captured) {
    FCaptured = captured;
    FReleaseWatch.SetArmed(captured);
}

void TChart::ReleasedElsewhere(Qt::MouseButton button) {
    if (ChartButton(button))
        SetCaptured(false);
}

bool TChart::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FWatchedWindow && event->type() == QEvent::UpdateRequest && isVisible())
        update();
    return false;
}

// The wheel neither scrolls nor zooms the chart, and it must not scroll anything behind it.
void TChart::wheelEvent(QWheelEvent* event) {
    event->accept();
}

// The arrow keys stay with the chart, which does nothing with them, so that they never move
// the focus. Tab and backtab have been dealt with before these are called.
void TChart::keyPressEvent(QKeyEvent* event) {
    if (IsArrowKey(event->key()))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void TChart::keyReleaseEvent(QKeyEvent* event) {
    if (IsArrowKey(event->key()))
        event->accept();
    else
        QWidget::keyReleaseEvent(event);
}

void TChart::leaveEvent(QEvent* event) {
    RestoreCursor();
    QWidget::leaveEvent(event);
}

// Qt keeps routing the pointer to the widget pressed first until every button is up, also
// where another window would have had it: after a right press (which does not capture), or
// once a release has ended the capture while the left button stays down. Those events are
// not the chart's unless they happen over it.
bool TChart::Reaches(QPoint pos) const {
    return FCaptured || rect().contains(pos);
}

// A press gives the chart the focus unless its parent window holds it itself.
bool TChart::TakesFocusOnPress() const {
    const QWidget* parent = parentWidget();
    return isEnabled() && isVisible() && (focusPolicy() & Qt::TabFocus) && !hasFocus() && parent &&
           !parent->hasFocus();
}

void TChart::RestoreCursor() {
    if (cursor() != FOriginalCursor)
        setCursor(FOriginalCursor);
}

void TChart::InvalidateWindow() {
    update();
}

// The draw has finished when this returns: on screen through the window's own paint while
// the control is shown, into the off-screen image alone while it is not.
void TChart::UpdateWindow() {
    FollowDevicePixelRatio();
    FPaintFailed = false;
    if (isVisible() && updatesEnabled())
        repaint();
    // A paint that failed has been reported; drawing again here would only fail once more.
    if (Canvas()->Dirty() && !FPaintFailed)
        Paint(nullptr);
}

TColor TChart::SystemColorRGB(int index) const {
    const QPalette palette = QApplication::palette();
    switch (index) {
    case SysButtonFace:
        return FromQColor(palette.button().color());
    case SysWindow:
        return FromQColor(palette.base().color());
    case SysWindowText:
        return FromQColor(palette.windowText().color());
    case SysHighlight:
        return FromQColor(palette.highlight().color());
    case SysHighlightText:
        return FromQColor(palette.highlightedText().color());
    case SysButtonShadow:
        return FromQColor(palette.dark().color());
    case SysButtonText:
        return FromQColor(palette.buttonText().color());
    case SysButtonHighlight:
        return FromQColor(palette.light().color());
    default:
        return TCustomChart::SystemColorRGB(index);
    }
}
