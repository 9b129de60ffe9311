#pragma once

// The kept backdrop. The backdrop of a draw (panel, frame, grid, axes, labels) is collected
// operation by operation and painted only when it differs from the one whose picture was kept:
// a drag step or an edit that leaves the axes alone then paints the series alone on top of the
// kept picture, after copying back the pixels that the last draw painted over it.

#include "chart/canvas/ChartCanvas.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class TDrawKind { Line, Polyline, FillRect, Rectangle, Ellipse, TextOut };

// A drawing operation as a primitive of the surface is called: what it draws, not what with.
struct TDrawCall {
    TDrawKind Kind = TDrawKind::Line;
    // Line: its two ends; FillRect, Rectangle, Ellipse: two opposite corners of the box, as
    // given; TextOut: the anchor (From).
    TPoint From;
    TPoint To;
    std::span<const TPoint> Points; // Polyline
    std::string_view Text;          // TextOut
};

// Which parts of the surface state an operation paints with: the pen for strokes and outlines
// (and where a thick outline stops a fill), the brush for fills, font, anchor and background for
// text.
constexpr bool UsesPen(TDrawKind kind) {
    return kind != TDrawKind::FillRect && kind != TDrawKind::TextOut;
}
constexpr bool UsesBrush(TDrawKind kind) {
    return kind != TDrawKind::Line && kind != TDrawKind::Polyline;
}
constexpr bool UsesText(TDrawKind kind) {
    return kind == TDrawKind::TextOut;
}

// What a text paints with besides its brush: its font, its anchor and its background.
struct TTextState {
    TChartFont Font;
    int TextAlign = TA_LEFT;
    TCanvasBackMode BackMode = cbmNone;
    bool operator==(const TTextState&) const = default;
};

// One painting operation of a backdrop, with the part of the surface state it paints with (the
// rest stays at its defaults, so that two operations compare equal when they paint alike).
struct TBackdropOp {
    // Made field by field rather than zeroed whole first: a backdrop collects hundreds.
    TBackdropOp(TDrawKind kind, TPoint from, TPoint to) : Kind(kind), From(from), To(to) {}

    TDrawKind Kind = TDrawKind::Line;
    TPoint From;
    TPoint To;
    std::vector<TPoint> Points;
    std::string Text;
    TChartPen Pen;
    TChartBrush Brush;
    // Only texts have one: most of a backdrop's operations are lines.
    std::optional<TTextState> TextState;
    bool operator==(const TBackdropOp&) const = default;

    TDrawCall Call() const { return TDrawCall{Kind, From, To, Points, Text}; }
};

// Whether a fill of the box between two corners, with this brush and an outline of this pen,
// paints every pixel of an image of this logical size opaque.
bool FillsTheWholeImage(const TDrawCall& call, const TChartPen& pen, const TChartBrush& brush,
                        std::uint8_t transparency, const QSizeF& image);

// What a kept picture was painted at: a picture is shown again only at the same ratio, opacity
// and image size, from the same smoothing of fills (fills are smoothed as the last stroke before
// them left the painter).
struct TBackdropSetting {
    double Ratio = 0;
    std::uint8_t Transparency = 255;
    QSize ImageSize;
    std::optional<bool> StartSmoothing;
    bool operator==(const TBackdropSetting&) const = default;
};

// The painter state a backdrop leaves behind, which the series then draw with: the smoothing of
// the last stroke, and the one opaque colour of the whole image if it is one.
struct TPainterState {
    std::optional<bool> Smoothing;
    std::optional<QRgb> PlainColor;
};

class TKeptBackdrop {
public:
    // Collecting the operations of one backdrop, from the painter's smoothing at its start.
    void Begin(std::optional<bool> smoothing);
    bool Collecting() const { return FCollecting; }
    void Collect(const TDrawCall& call, const TChartCanvas& canvas);
    // Stops collecting; what was collected stays until it is kept or dropped.
    void StopCollecting() { FCollecting = false; }
    const std::vector<TBackdropOp>& Collected() const { return FCollected; }
    void DropCollected() {
        FCollecting = false;
        FCollected.clear();
    }
    // The setting of the collected backdrop: its start smoothing and the draw's ratio, opacity
    // and image size.
    TBackdropSetting Setting(double ratio, std::uint8_t transparency, const QImage& image) const;

    // Only a backdrop that paints the whole image opaque somewhere is kept: its picture does not
    // depend on what the image showed before.
    bool CollectedKeepable(const TBackdropSetting& setting) const;
    bool CollectedMatchesKept(const TBackdropSetting& setting) const;
    // The image now holds the picture of the collected operations: a copy of it is kept with
    // them, to be shown by the next draws that collect the same.
    void KeepCollected(const TBackdropSetting& setting, const QImage& image,
                       const TPainterState& after);
    // Puts the kept picture into the image (only the pixels drawn over it since, when it shows
    // it already), and tells the painter state it left.
    const TPainterState& ShowKept(uchar* pixels, const QImage& image);
    // How many draws showed the kept picture instead of painting a backdrop.
    int Reuses() const { return FReuses; }

    // While the image shows the kept picture, the device pixels that a primitive paints over it:
    // the box of the call widened by the reach of its ink (logical pixels).
    void NoteDrawn(const TDrawCall& call, double reach) {
        if (FShowsKept)
            NoteDrawnBy(call, reach);
    }
    // The image no longer shows the kept picture: the next draw that shows it copies it whole.
    void Forget() {
        FShowsKept = false;
        FDrawnOver.clear();
    }

private:
    void NoteDrawnBy(const TDrawCall& call, double reach);
    void NoteDrawnBox(const QRectF& box, double reach);
    // A slanted line as the boxes of its short pieces, not as the box of the whole line.
    void NoteDrawnLine(const QPointF& from, const QPointF& to, double reach);
    void StartShowing(const TBackdropSetting& setting);

    bool FCollecting = false;
    std::vector<TBackdropOp> FCollected;
    std::optional<bool> FCollectedSmoothing;

    // The kept picture, what painted it and the painter state it left.
    std::vector<TBackdropOp> FKeptOps;
    QImage FKeptImage;
    TBackdropSetting FKeptSetting;
    TPainterState FKeptAfter;

    // The image shows the kept picture except within FDrawnOver (device pixels), at this ratio.
    bool FShowsKept = false;
    std::vector<QRect> FDrawnOver;
    double FShownRatio = 1;
    QRect FShownBounds;
    int FReuses = 0;
};
