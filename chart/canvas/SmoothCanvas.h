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

#include <QGlyphRun>
#include <QImage>
#include <QList>
#include <QPen>
#include <QRawFont>
#include <QRectF>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
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
    void AbandonDraw() override;
    bool ReDrawBitmap(TImageDestination* destination) override;

    // The backdrop's operations are collected instead of painted; at its end the surface either
    // shows the picture it kept of the same operations or paints them and keeps their picture.
    // Only a backdrop that paints the whole image opaque somewhere is kept: its picture does not
    // depend on what the image showed before.
    void BeginBackdrop() override;
    void EndBackdrop() override;
    // How many draws showed a kept backdrop instead of painting one.
    int BackdropReuses() const { return FBackdropReuses; }

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
    int FontBuilds() const { return FFontBuilds; }
    // How many drawn shapes and texts are kept as ready pictures.
    std::size_t CachedPictures() const {
        return FStrokes.Size() + FEllipses.Size() + FTexts.Size();
    }

    // What a label is drawn with: one glyph run for each face that serves its characters.
    QList<QGlyphRun> GlyphRuns(const std::string& text);

protected:
    void DoChangedPen() override { FPenStale = true; }
    void DoChangedFont() override;

private:
    struct TFontKey {
        std::string Name;
        double Size = 0;
        int Style = 0;
        auto operator<=>(const TFontKey&) const = default;
    };

    // A face that serves a font's texts: at the drawing size, and at one pixel per font unit,
    // where advances and line metrics are exact integers to scale from. The first face of a
    // font is the one it names; others stand in for characters it has no glyph for.
    struct TFace {
        QRawFont Drawing;
        QRawFont Unit;
    };

    // The face and the character drawn for a character of a text.
    struct TStandIn {
        std::size_t Face = 0;
        char32_t Character = 0;
    };

    // The glyphs of one text, in runs of one face each, where each glyph starts, and the
    // advance width of the text without its trailing blanks.
    struct TTextRun {
        struct TPiece {
            std::size_t Face = 0;
            QList<quint32> Glyphs;
            QList<QPointF> Positions;
        };
        std::vector<TPiece> Pieces;
        double TrimmedWidth = 0;
    };

    // A drawing operation painted once onto a transparent picture of device pixels and cropped
    // to its ink. Offset is where the picture's top-left pixel goes relative to the device
    // pixel that holds the operation's anchor point: the same operation at the same position
    // inside its device pixel gives the same picture, so the chart's many repeated grid lines,
    // ticks, markers and labels are painted once and then only copied. The pictures are made
    // for one device pixel ratio.
    struct TSprite {
        QImage Image;
        QPoint Offset;
        // A picture made of a few rectangles of one colour each (a stroke along an axis: its
        // rows or columns of equal coverage) is blended rectangle by rectangle, each pixel as
        // the copy of the picture would blend it.
        struct TFill {
            QRect Area;
            QRgb Color = 0;
        };
        std::vector<TFill> Fills;
    };

    // Pictures by what they show; all are dropped at once when they grow past a budget.
    template <class Key> class TSpriteCache {
    public:
        const TSprite* Find(const Key& key) const {
            const auto it = FSprites.find(key);
            return it == FSprites.end() ? nullptr : &it->second;
        }
        const TSprite& Add(const Key& key, TSprite sprite) {
            const qsizetype pixels = sprite.Image.width() * sprite.Image.height();
            if (FSprites.size() >= MaxSprites || FPixels + pixels > MaxPixels) {
                FSprites.clear();
                FPixels = 0;
            }
            FPixels += pixels;
            return FSprites.insert_or_assign(key, std::move(sprite)).first->second;
        }
        std::size_t Size() const { return FSprites.size(); }
        void Clear() {
            FSprites.clear();
            FPixels = 0;
        }

    private:
        static constexpr std::size_t MaxSprites = 2048;
        static constexpr qsizetype MaxPixels = qsizetype{1} << 20;
        std::map<Key, TSprite> FSprites;
        qsizetype FPixels = 0;
    };

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

    // One painting operation of a backdrop, with the surface state it paints with (the pen for
    // strokes and outlines, the brush for fills, font, anchor and background for text).
    struct TBackdropOp {
        enum TKind { Line, Polyline, FillRect, Rectangle, Ellipse, TextOut };
        TKind Kind = Line;
        int A = 0;
        int B = 0;
        int C = 0;
        int D = 0;
        std::vector<TPoint> Points;
        std::string Text;
        TChartPen Pen;
        TChartBrush Brush;
        TChartFont Font;
        int TextAlign = TA_LEFT;
        TCanvasBackMode BackMode = cbmNone;
        bool operator==(const TBackdropOp&) const = default;
        static bool UsesPen(TKind kind) { return kind != FillRect && kind != TextOut; }
        static bool UsesBrush(TKind kind) { return kind != Line && kind != Polyline; }
        static bool UsesText(TKind kind) { return kind == TextOut; }
    };

    // The picture of the last backdrop that was kept, what painted it, and the painter state
    // it left, which the series then draw with.
    struct TKeptBackdrop {
        std::vector<TBackdropOp> Ops;
        QImage Image;
        double Ratio = 0;
        std::uint8_t Transparency = 255;
        std::optional<bool> StartAntialias;
        std::optional<bool> Antialias;
        std::optional<QRgb> PlainColor;
    };

    bool Collecting() const { return FCollecting; }
    TBackdropOp& Collect(TBackdropOp::TKind kind, int a = 0, int b = 0, int c = 0, int d = 0);
    // Paints the collected operations now and stops collecting for the rest of the draw.
    void PaintCollected();
    void Replay(const std::vector<TBackdropOp>& ops);
    bool PaintsTheWholeImage(const TBackdropOp& op) const;
    bool Keepable(const std::vector<TBackdropOp>& ops) const;
    bool MatchesKept(const std::vector<TBackdropOp>& ops) const;
    void ShowKept();
    void Keep();
    // While the image holds the kept backdrop, the device pixels drawn over it since: the part
    // to copy back for the next draw that shows it. Boxes are in logical pixels and widened by
    // the reach of the pen and the smoothing.
    void NoteDrawn(const QRectF& box);
    // A slanted line as the boxes of its short pieces, not as the box of the whole line.
    void NoteDrawnLine(const QPointF& from, const QPointF& to);
    void NoteDrawnAll();

    // Stroking.
    bool PenDraws() const { return FPen.Visible && FPen.Style != psClear; }
    void PreparePen();
    void SetSmoothing(bool on);
    // Whether the prepared pen is a smooth solid pen of one pixel, which the painter draws
    // one straight piece at a time with no joins: such outlines can be drawn piece by piece.
    bool ThinSolidPen() const;
    void StrokeSegment(const QPointF& from, const QPointF& to, Qt::PenCapStyle cap);
    void StrokeWithRoundEnds(const QPointF& from, const QPointF& to);
    void StrokePieces(const std::vector<TPoint>& points, bool closed);
    // Where a point of the image lies in device pixels: the pixel that holds it, and where in
    // that pixel it lies.
    struct TDevicePlace {
        QPoint Pixel;
        QPointF Phase;
    };
    TDevicePlace PlaceOf(const QPointF& point) const;
    void Blit(const TSprite& sprite, const QPoint& devicePixel);
    void BlendFills(const TSprite& sprite, const QPoint& devicePixel);
    // Paints onto a transparent picture covering `area` (logical pixels around the anchor
    // point) and crops it to its ink; `paint` draws relative to the point it is given, in
    // logical pixels, and the anchor point lands at `phase` inside its device pixel.
    TSprite Render(const QRectF& area, const QPointF& phase, bool smooth, bool smoothText,
                   const std::function<void(QPainter&, const QPointF&)>& paint) const;

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
    const TTextRun& Run(const std::string& text);
    TTextRun MeasureRun(const std::string& text);
    static TFace MakeFace(const QRawFont& raw, double emPixels);
    TStandIn StandInFor(char32_t character);
    std::optional<std::size_t> FallbackFace(char32_t character);
    QList<QGlyphRun> GlyphRuns(const TTextRun& run) const;
    QPointF AlignedAnchor(int x, int y, const std::string& text);
    void DrawText(const QPointF& anchor, const std::string& text);

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

    QPen FGPPen;
    bool FPenStale = true;
    int FPenBuilds = 0;
    std::optional<bool> ICachedAntialias;

    // What the surface knows of one font: its faces, its own first; for each character that its
    // own face has no glyph for, the face and the character drawn in its place (the same
    // character from another face, or an equivalent one); its measured texts.
    struct TFontFaces {
        std::vector<TFace> Faces;
        std::map<char32_t, TStandIn> StandIns;
        std::unordered_map<std::string, TTextRun> Runs;
    };
    std::map<TFontKey, TFontFaces> FFonts;
    TFontFaces* FFontFaces = nullptr;
    double FAscent = 0;
    double FLineHeight = 0;
    std::optional<TFontKey> IOldFont;
    int FFontBuilds = 0;
    std::size_t FRunCount = 0;

    bool FCollecting = false;
    std::vector<TBackdropOp> FCollected;
    std::optional<bool> FCollectedAntialias;
    TKeptBackdrop FKept;
    // The image shows the kept backdrop except within FDrawnOver (device pixels).
    bool FShowsKept = false;
    std::vector<QRect> FDrawnOver;
    int FBackdropReuses = 0;

    TSpriteCache<TStrokeKey> FStrokes;
    TSpriteCache<TEllipseKey> FEllipses;
    TSpriteCache<TTextKey> FTexts;
};
