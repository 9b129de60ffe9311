#include "chart/Chart.h"

#include "chart/SmoothCanvas.h"

#include <QApplication>
#include <QCursor>
#include <QLocale>
#include <QPainter>
#include <QPalette>

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
    if (View3DWalls() && FWalls.Back.Visible)
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
    SetAutoRepaint(false);
    // The full draw covers every pixel, so the window is never erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
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

void TChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    TPainterDestination destination(&painter);
    Paint(&destination);
}

void TChart::resizeEvent(QResizeEvent* /*event*/) {
    Invalidate();
}

void TChart::InvalidateWindow() {
    update();
}

// The draw has finished when this returns: on screen through the window's own paint while
// the control is shown, into the off-screen image alone while it is not.
void TChart::UpdateWindow() {
    if (isVisible() && updatesEnabled())
        repaint();
    if (Canvas()->Dirty())
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
