#pragma once

// The chart: walls, titles, legend and colour palette on top of the axis panel, and TChart,
// the control that puts it in a window.

#include "chart/Series.h"
#include "platform/MouseLoss.h"

#include <QCursor>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TShiftState = unsigned;
constexpr TShiftState ssShift = 1u << 0;
constexpr TShiftState ssAlt = 1u << 1;
constexpr TShiftState ssCtrl = 1u << 2;
constexpr TShiftState ssLeft = 1u << 3;
constexpr TShiftState ssRight = 1u << 4;
constexpr TShiftState ssMiddle = 1u << 5;
constexpr TShiftState ssDouble = 1u << 6;
constexpr TShiftState ssTouch = 1u << 7;
constexpr TShiftState ssPen = 1u << 8;

// A wall of the chart's box. In a flat chart only the back wall shows: the frame of the chart
// rectangle.
struct TChartWall {
    bool Visible = true;
    bool Transparent = false;
    TColor Color = clSilver;
    TChartPen Pen;
    // Part of the wall drawn, in percent of its extent.
    int Start = 0;
    int End = 100;
};

// The back wall is see-through: only its black outline shows.
struct TChartWalls {
    TChartWalls() { Back.Transparent = true; }
    TChartWall Back;
};

struct TChartLegend {
    bool Visible = true;
};

// The colours handed to series without a colour of their own, by palette index.
const std::vector<TColor>& ChartPalette(int index);

class TCustomChart : public TCustomAxisPanel {
public:
    explicit TCustomChart(std::unique_ptr<TChartCanvas> canvas);

    TChartWalls& Walls() { return FWalls; }
    TChartWall& BackWall() { return FWalls.Back; }
    TChartLegend& Legend() { return FLegend; }
    const TChartLegend& Legend() const { return FLegend; }

    int ColorPaletteIndex() const { return FColorPaletteIndex; }
    void SetColorPaletteIndex(int index);

    // Colour behind the chart rectangle.
    virtual TColor GetBackColor() const;

protected:
    void DrawWalls() override;
    void SeriesAdded(TChartSeries* series) override;

private:
    void DrawBackWall();

    TChartWalls FWalls;
    TChartLegend FLegend;
    int FColorPaletteIndex = 13;
};

class TChart;
using TMouseDownEvent =
    std::function<void(TChart* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TChart* sender, TShiftState shift, int x, int y)>;

// The chart control: a child window that draws the chart on an anti-aliased off-screen image
// and copies that image to the screen. Mouse presses and moves go to the editor's handlers
// first; only then does the chart take the keyboard focus and restore its pointer shape.
class TChart : public QWidget, public TCustomChart {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
    void SetClientSize(int width, int height) override;

    TPoint CursorClientPos() const override;
    TNumberSeparators AxisNumberSeparators() const override;

    TMouseDownEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    // Current pointer position on the screen (the pointer query); unset: the platform's.
    std::function<QPoint()> CursorScreenPos;
    // The description a screen reader reads, built from the data each time it is asked for;
    // unset: the widget's accessibleDescription. Screen readers hear of a change at the end of
    // the draw that shows it.
    std::function<QString()> AccessibleDescriptionText;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void DoOnAfterDraw() override;

    void InvalidateWindow() override;
    void UpdateWindow() override;
    TColor SystemColorRGB(int index) const override;

private:
    void WatchWindow();
    void FollowDevicePixelRatio();
    void SetCaptured(bool captured);
    void ReleasedElsewhere(Qt::MouseButton button);
    void Press(QMouseEvent* event, TShiftState extraShift);
    bool Reaches(QPoint pos) const;
    bool TakesFocusOnPress() const;
    void RestoreCursor();
    void AnnounceDescription();

    // From a left press to the first release of any button, every move belongs to the chart,
    // wherever the pointer is.
    bool FCaptured = false;
    TReleaseWatch FReleaseWatch{this,
                                [this](Qt::MouseButton button) { ReleasedElsewhere(button); }};
    // The window's last paint failed: its error has been reported.
    bool FPaintFailed = false;
    // The pointer shape the layout gave the chart; it shows over the whole chart at all times.
    QCursor FOriginalCursor{Qt::PointingHandCursor};
    // The description assistive technology was last told about.
    QString FAnnouncedDescription;
    // The native window the chart is shown in, whose requests for a new frame it follows.
    QPointer<QWindow> FWatchedWindow;
};
