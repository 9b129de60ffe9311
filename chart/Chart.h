#pragma once

#include "chart/Series.h"

#include <QWidget>
#include <functional>
#include <memory>
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

class TChart;
using TMouseDownEvent =
    std::function<void(TChart* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TChart* sender, TShiftState shift, int x, int y)>;

// The chart control: a child window that draws its series on an off-screen image.
class TChart : public QWidget {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    // The chart owns its series.
    TLineSeries* AddSeries(std::unique_ptr<TLineSeries> series);
    int SeriesCount() const { return static_cast<int>(FSeries.size()); }

    // Marks the picture stale and redraws it before returning.
    void Repaint();
    void Invalidate();
    // Number of full draws so far.
    int DrawCount() const { return FDrawCount; }

    TMouseDownEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    // Current pointer position on the screen (the pointer query).
    std::function<QPoint()> CursorScreenPos;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void FullDraw();

    std::vector<std::unique_ptr<TLineSeries>> FSeries;
    bool FDirty = true;
    int FDrawCount = 0;
};
