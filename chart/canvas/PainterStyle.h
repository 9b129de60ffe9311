#pragma once

// The chart's colours, pens and brushes as the painter's.

#include "chart/canvas/ChartCanvas.h"

#include <QBrush>
#include <QColor>
#include <QPen>
#include <QRectF>

#include <algorithm>
#include <cstdint>

// The high byte of a colour lowers its opacity below the surface's transparency; the rest is
// 0x00BBGGRR.
inline int Opacity(TColor color, std::uint8_t transparency) {
    return std::max(0, static_cast<int>(transparency) - static_cast<int>(color >> 24));
}

inline QColor ToQColor(TColor color, std::uint8_t transparency) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF), Opacity(color, transparency));
}

// Whether a chart pen leaves ink at all.
inline bool PenDraws(const TChartPen& pen) {
    return pen.Visible && pen.Style != psClear;
}

// A thick outline is centred on the box's edges; the fill stops where the outline's inner half
// begins so that a translucent outline does not show the fill through it.
inline QRectF InsideOutline(const QRectF& box, const TChartPen& pen) {
    if (!PenDraws(pen) || pen.Width <= 1)
        return box;
    const double half = pen.Width / 2.0;
    return box.adjusted(half, half, -half, -half);
}

// The box between two opposite corners, as given.
inline QRectF BoxBetween(const TPoint& a, const TPoint& b) {
    return QRectF(QPointF(a.X, a.Y), QPointF(b.X, b.Y)).normalized();
}

// The painter's pen for a chart pen: colour, width in pixels, dashes, ends and joins.
QPen PainterPen(const TChartPen& pen, std::uint8_t transparency);

// How far the ink of a stroke with a pen of this width reaches beyond its path, in pixels: a
// miter reaches up to twice the pen's width beyond its corner (the painter's miter limit), a
// cap half of it beyond an end, and the smoothing a pixel more. A hairline (width 0) reaches
// as far as a pen of width 1.
inline int PenReach(int width) {
    return 2 * std::max(1, width) + 2;
}

// How far a fill reaches beyond its box: the smoothing of its edges.
constexpr int FillReach = 1;

Qt::BrushStyle HatchStyle(TBrushStyle style);

// Paints with the brushes of one fill, bottom first: none for a clear brush, the hatch's
// background under its lines for a hatched one.
template <class Fill>
void PaintFill(const TChartBrush& brush, std::uint8_t transparency, Fill fill) {
    if (brush.Style == bsClear)
        return;
    const QColor color = ToQColor(brush.Color, transparency);
    if (brush.Style == bsSolid) {
        fill(QBrush(color));
        return;
    }
    fill(QBrush(ToQColor(brush.BackColor, transparency)));
    fill(QBrush(color, HatchStyle(brush.Style)));
}
