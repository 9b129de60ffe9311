#pragma once

// The anti-aliased drawing surface: a QPainter on an off-screen QImage at 96 dots per inch.
// Integer coordinates go to the painter unchanged, so pixel (i, j) is the unit square from
// (i, j) to (i + 1, j + 1): fills of integer boxes are crisp and 1-pixel strokes on integer
// paths straddle two pixel rows or columns.

#include "chart/ChartCanvas.h"

#include <QImage>
#include <QList>
#include <QPen>
#include <QRawFont>
#include <QRectF>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPainter;
class QPainterPath;
class QString;

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
    bool ReDrawBitmap(TImageDestination* destination) override;

    const QImage& Image() const { return FBitmap; }
    bool Drawing() const { return FPainter != nullptr; }

    // Global opacity applied to every colour (255: opaque).
    std::uint8_t Transparency() const { return FTransparency; }
    void SetTransparency(std::uint8_t value) { FTransparency = value; }

    // How often the painter's pen and font were built from the surface state.
    int PenBuilds() const { return FPenBuilds; }
    int FontBuilds() const { return FFontBuilds; }

protected:
    void DoChangedPen() override { FPenStale = true; }
    void DoChangedFont() override;

private:
    struct TFontKey {
        std::string Name;
        double Size = 0;
        int Style = 0;
        bool operator==(const TFontKey&) const = default;
    };

    // Stroking.
    bool PenDraws() const { return FPen.Visible && FPen.Style != psClear; }
    void PreparePen();
    void SetSmoothing(bool on);

    // Filling.
    void FillPath(const QPainterPath& path);
    void FillBox(const QRectF& box);
    QRectF FillBoxInside(const QRectF& box) const;

    // Text.
    void PrepareFont();
    void ApplyTextQuality();
    double EmPixels() const;
    double Padding() const { return EmPixels() / 6; }
    double LineHeight();
    std::vector<double> Advances(const QString& text, QList<quint32>& glyphs);
    double AdvanceWidth(const QString& text);
    QPointF AlignedAnchor(int x, int y, const std::string& text);
    void DrawText(const QPointF& anchor, const QString& text);

    void CopyTo(TImageDestination* destination, int x, int y) const;
    void EndDraw();

    QImage FBitmap;
    std::unique_ptr<QPainter> FPainter;
    std::vector<std::optional<QRectF>> IOldClipRect;
    std::uint8_t FTransparency = 255;

    QPen FGPPen;
    bool FPenStale = true;
    int FPenBuilds = 0;
    std::optional<bool> ICachedAntialias;

    // The font at its drawing size, and the same face at one pixel per font unit, whose
    // advances and line metrics are exact integers to scale from.
    QRawFont FGPFont;
    QRawFont FUnitFont;
    std::optional<TFontKey> IOldFont;
    int FFontBuilds = 0;
};
