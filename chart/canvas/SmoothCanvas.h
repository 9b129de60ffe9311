#pragma once

// The anti-aliased drawing surface: a QPainter on an off-screen QImage at 96 dots per logical
// inch. Integer coordinates go to the painter unchanged, so pixel (i, j) is the unit square from
// (i, j) to (i + 1, j + 1): fills of integer boxes are crisp and 1-pixel strokes on integer
// paths straddle two pixel rows or columns.
//
// On a screen with a device pixel ratio r the image has r × r device pixels for each of those
// logical pixels and everything is still drawn in logical coordinates, so the rules above hold
// in logical pixels and the picture is as sharp as the screen allows.

#include "chart/canvas/ChartCanvas.h"
#include "chart/canvas/KeptBackdrop.h"
#include "chart/canvas/LabelText.h"
#include "chart/canvas/Stamps.h"

#include <QGlyphRun>
#include <QImage>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QRectF>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPainter;

// The window side of a finished image: a painter that is active on the chart control.
class TPainterDestination : public TImageDestination {
public:
    explicit TPainterDestination(QPainter* painter) : FPainter(painter) {}
    QPainter* Painter() const { return FPainter; }

private:
    QPainter* FPainter;
};

class TSmoothCanvas : public TChartCanvas3D {
public:
    TSmoothCanvas();
    ~TSmoothCanvas() override;
    TSmoothCanvas(const TSmoothCanvas&) = delete;
    TSmoothCanvas& operator=(const TSmoothCanvas&) = delete;

    using TChartCanvas::ClipRectangle;
    using TChartCanvas::FillRect;
    using TChartCanvas::Rectangle;

    void LineTo(int x, int y) override;
    void Line(int x0, int y0, int x1, int y1) override;
    void Polyline(const std::vector<TPoint>& points) override;
    void FillRect(int left, int top, int right, int bottom) override;
    void Rectangle(int x0, int y0, int x1, int y1) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;

    void TextOut(int x, int y, const std::string& text) override;
    TFloatSize TextSize(const std::string& text) override;
    int TextWidth(const std::string& text) override;
    int TextHeight(const std::string& text) override;
    // The advance width of the text without the layout's side padding; right and centred text
    // is aligned with it.
    double TypographicWidth(const std::string& text);
    // A layout height h counts as Round(h + 0.5) pixels, ties to even.
    static int RoundTextHeight(double layoutHeight);

    void ClipRectangle(int left, int top, int right, int bottom) override;
    void UnClipRectangle() override;

    // Prepares the image for one full draw; throws std::runtime_error with the decimal status
    // code when no painter can be opened on it.
    TRect InitWindow(const TRect& rect) override;
    // Ends the draw and copies the image to the destination's painter at the rectangle's
    // top-left corner. A null destination only ends the draw.
    void ShowImage(TImageDestination* destination, const TRect& rect) override;
    void AbandonDraw() override;
    bool ReDrawBitmap(TImageDestination* destination) override;

    // The backdrop's operations are collected instead of painted; at its end the surface either
    // shows the picture it kept of the same operations or paints them and keeps their picture.
    void BeginBackdrop() override;
    void EndBackdrop() override;
    // How many draws showed a kept backdrop instead of painting one.
    int BackdropReuses() const { return FBackdrop.Reuses(); }

    const QImage& Image() const { return FBitmap; }

    // Device pixels per logical pixel of the next draw. A new ratio makes the image stale.
    double DevicePixelRatio() const { return FNextRatio; }
    void SetDevicePixelRatio(double ratio);
    bool Drawing() const { return FPainter != nullptr; }

    // Global opacity applied to every colour (255: opaque).
    std::uint8_t Transparency() const { return FTransparency; }
    void SetTransparency(std::uint8_t value) { FTransparency = value; }

    // How often the painter's pen and font were built from the surface state.
    int PenBuilds() const { return FPenBuilds; }
    int FontBuilds() const { return FLabels.FontBuilds(); }
    // How many drawn shapes and texts are kept as ready pictures.
    std::size_t CachedPictures() const {
        return FStrokeStamps.Size() + FEllipseStamps.Size() + FTextStamps.Size();
    }

    // What a label is drawn with: one glyph run for each face that serves its characters.
    QList<QGlyphRun> GlyphRuns(const std::string& text);

protected:
    void DoChangedPen() override { FPenStale = true; }
    void DoChangedFont() override;

private:
    // A straight stroke: its pen, its extent, and where its start lies inside its device pixel
    // (at ratio 1 a multiple of half a pixel).
    struct TStrokeKey {
        double StartX = 0;
        double StartY = 0;
        double Dx = 0;
        double Dy = 0;
        QRgb Color = 0;
        int Width = 0;
        int Style = 0;
        int Cap = 0;
        int Join = 0;
        auto operator<=>(const TStrokeKey&) const = default;
    };

    // A filled and outlined ellipse in a box of whole pixels.
    struct TEllipseKey {
        double PhaseX = 0;
        double PhaseY = 0;
        int Width = 0;
        int Height = 0;
        bool Filled = false;
        QRgb FillColor = 0;
        bool Outlined = false;
        QRgb PenColor = 0;
        int PenWidth = 0;
        int PenStyle = 0;
        int Cap = 0;
        bool Smooth = false;
        auto operator<=>(const TEllipseKey&) const = default;
    };

    // A line of text: its font, colour and smoothing, where its origin lies inside its device
    // pixel, and the text.
    struct TTextKey {
        TFontKey Font;
        QRgb Color = 0;
        bool Smooth = false;
        bool SmoothText = false;
        double OriginX = 0;
        double OriginY = 0;
        std::string Text;
        auto operator<=>(const TTextKey&) const = default;
    };

    // Every primitive starts with this call: the operation it is called with, and how far (in
    // pixels) its ink may reach beyond the operation's box. It is false when nothing is to be
    // painted now: no draw is in progress, the backdrop collected the operation to paint it
    // later, or the image already is what a fill of the whole of it would make it. When it is
    // true, the kept backdrop knows what the primitive paints over, the pen is prepared if the
    // operation strokes, and the image is known to be one plain colour only after a fill that
    // makes it so.
    bool Paints(const TDrawCall& call, double reach);
    // The one opaque colour a fill of the whole image leaves it in, if the call is one.
    std::optional<QRgb> PlainColorAfter(const TDrawCall& call) const;
    // Paints the collected operations now and stops collecting for the rest of the draw.
    void PaintCollected();
    // Paints operations of a backdrop, each with the state it was collected with; afterwards the
    // surface has the state the chart left it in.
    void Replay(const std::vector<TBackdropOp>& ops);
    void TakeStateOf(const TBackdropOp& op);
    void Paint(const TBackdropOp& op);
    void ShowKept();

    // Stroking.
    bool PenDraws() const;
    void PreparePen();
    void SetSmoothing(bool on);
    // Whether the prepared pen is a smooth solid pen of one pixel, which the painter draws
    // one straight piece at a time with no joins: such outlines can be drawn piece by piece.
    bool ThinSolidPen() const;
    void StrokeSegment(const QPointF& from, const QPointF& to, Qt::PenCapStyle cap);
    bool StampableStroke(const QPointF& from, const QPointF& to) const;
    void StampStroke(const QPointF& from, const QPointF& to, Qt::PenCapStyle cap);
    void StrokeWithRoundEnds(const QPointF& from, const QPointF& to);
    void StrokePieces(const std::vector<TPoint>& points, bool closed);
    QPen PenWithCap(Qt::PenCapStyle cap) const;

    // Ellipses.
    bool StampableEllipse(const QRectF& box) const;
    void StampEllipse(const QRectF& box, bool outline);
    void PaintEllipse(const QRectF& box, bool outline);

    // Filling.
    void FillBox(const QRectF& box);
    QRectF FillBoxInside(const QRectF& box) const;

    // Text.
    TLabelText& Labels();
    void ApplyTextQuality();
    QPointF AlignedAnchor(int x, int y, const std::string& text);
    void FillTextBox(const QPointF& anchor, const std::string& text);
    void DrawText(const QPointF& anchor, const std::string& text);

    TStampTarget StampTarget() {
        return TStampTarget{FPainter.get(), &FBitmap, FImagePixels, FRatio};
    }
    void CopyTo(TImageDestination* destination, int x, int y) const;
    void EndDraw();

    QImage FBitmap;
    // The ratio of the draw in progress or of the last one, and that of the next draw.
    double FRatio = 1;
    double FNextRatio = 1;
    std::unique_ptr<QPainter> FPainter;
    // The image's pixels while the painter paints them, for what the surface blends itself.
    uchar* FImagePixels = nullptr;
    std::vector<std::optional<QRectF>> IOldClipRect;
    std::uint8_t FTransparency = 255;
    // The one opaque colour of every pixel of the image, as long as that is known.
    std::optional<QRgb> FPlainColor;

    // The painter's pen for the surface pen, and the smoothing last set on the painter.
    QPen FGPPen;
    bool FPenStale = true;
    int FPenBuilds = 0;
    std::optional<bool> ICachedAntialias;

    TLabelText FLabels;
    TKeptBackdrop FBackdrop;
    TStampCache<TStrokeKey> FStrokeStamps;
    TStampCache<TEllipseKey> FEllipseStamps;
    TStampCache<TTextKey> FTextStamps;
};
