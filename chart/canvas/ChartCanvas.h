#pragma once

// Pens, brushes, fonts and the abstract drawing surface the chart paints through.
// Nothing here knows about Qt: the chart's computing code draws only through TChartCanvas.

#include <cstdint>
#include <string>
#include <vector>

using TColor = std::uint32_t;

// RGB colours are 0x00BBGGRR (red in the low byte); 0xFF0000nn is system colour nn.
constexpr TColor clBlack = 0x00000000;
constexpr TColor clRed = 0x000000FF;
constexpr TColor clYellow = 0x0000FFFF;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clSilver = 0x00C0C0C0;
constexpr TColor clGray = 0x00808080;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBtnFace = 0xFF00000F;
constexpr TColor clWindowText = 0xFF000008;

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

struct TFloatSize {
    double Width = 0;
    double Height = 0;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenEndStyle { esRound, esSquare, esFlat };
enum TPenJoinStyle { jsRound, jsBevel, jsMitter };
enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};
enum TCanvasBackMode { cbmNone, cbmTransparent, cbmOpaque };
enum TFontQuality { fqBest, fqNormal, fqDefault, fqClearType };

// Font style bits.
constexpr int fsBold = 1;
constexpr int fsItalic = 2;
constexpr int fsUnderline = 4;
constexpr int fsStrikeOut = 8;

// Text anchor flags.
constexpr int TA_LEFT = 0;
constexpr int TA_RIGHT = 2;
constexpr int TA_CENTER = 6;
constexpr int TA_TOP = 0;
constexpr int TA_BOTTOM = 8;
constexpr int TA_BASELINE = 24;

struct TChartPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    bool Visible = true;
    TPenEndStyle EndStyle = esRound;
    TPenJoinStyle JoinStyle = jsRound;
    bool SmallDots = false;
    bool operator==(const TChartPen&) const = default;
};

struct TChartBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    TColor BackColor = clDefault;
    bool operator==(const TChartBrush&) const = default;
};

struct TChartFont {
    std::string Name = "Arial";
    double Size = 8; // points
    int Style = 0;   // fsBold | fsItalic | ...
    TColor Color = clBlack;
    TFontQuality Quality = fqDefault;
    bool operator==(const TChartFont&) const = default;
};

// Where a finished off-screen image is copied to. The Qt surface defines its own kind
// (a painter on the control); the chart's computing code only passes it along.
class TImageDestination {
public:
    virtual ~TImageDestination() = default;
};

// The drawing surface: pen, brush, font and text state, and the operations the chart's axes,
// panel and series call.
class TChartCanvas {
public:
    virtual ~TChartCanvas() = default;

    // State.
    const TChartPen& Pen() const { return FPen; }
    const TChartBrush& Brush() const { return FBrush; }
    const TChartFont& Font() const { return FFont; }
    int TextAlign() const { return FTextAlign; }
    TCanvasBackMode BackMode() const { return FBackMode; }
    TColor BackColor() const { return FBackColor; }

    void SetPen(const TChartPen& pen);
    void SetBrush(const TChartBrush& brush);
    void SetFont(const TChartFont& font);

    // A visible pen becomes the surface pen with the given colour; a hidden one clears it.
    void AssignVisiblePenColor(const TChartPen& pen, TColor color);
    void AssignVisiblePen(const TChartPen& pen) { AssignVisiblePenColor(pen, pen.Color); }
    void AssignBrush(const TChartBrush& brush, TColor color, TColor backColor);
    void AssignBrush(const TChartBrush& brush, TColor color) {
        AssignBrush(brush, color, brush.BackColor);
    }
    void AssignFont(const TChartFont& font) { SetFont(font); }
    virtual void SetTextAlign(int flags) { FTextAlign = flags; }
    virtual void SetBackMode(TCanvasBackMode mode) { FBackMode = mode; }
    virtual void SetBackColor(TColor color) { FBackColor = color; }
    void ResetState();

    // What the operations paint with, and where the next LineTo starts: what a surface that
    // paints operations of its own in between saves first and puts back after.
    struct TState {
        TChartPen Pen;
        TChartBrush Brush;
        TChartFont Font;
        int TextAlign = TA_LEFT;
        TCanvasBackMode BackMode = cbmNone;
        TColor BackColor = clWhite;
        TPoint Position;
    };
    TState State() const {
        return TState{FPen, FBrush, FFont, FTextAlign, FBackMode, FBackColor, TPoint{FX, FY}};
    }
    // Sets only what differs, so that a surface rebuilds nothing it cached from the rest.
    void RestoreState(const TState& state);

    // Geometry.
    virtual void MoveTo(int x, int y) {
        FX = x;
        FY = y;
    }
    virtual void LineTo(int x, int y) = 0;
    virtual void Line(int x0, int y0, int x1, int y1) = 0;
    // Lines at a depth z, for a chart seen in three dimensions (see TChartCanvas3D).
    virtual void HorizLine3D(int left, int right, int y, int z) = 0;
    virtual void VertLine3D(int x, int top, int bottom, int z) = 0;
    virtual void LineWithZ(int x0, int y0, int x1, int y1, int z) = 0;
    virtual void Polyline(const std::vector<TPoint>& points) = 0;
    virtual void FillRect(int left, int top, int right, int bottom) = 0;
    void FillRect(const TRect& r) { FillRect(r.Left, r.Top, r.Right, r.Bottom); }
    virtual void Rectangle(int x0, int y0, int x1, int y1) = 0;
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;

    // Text. TextOut draws at an anchor adjusted by TextAlign. Afterwards the brush is the font's
    // own solid brush in the font colour: a fill that follows must set its brush again.
    virtual void TextOut(int x, int y, const std::string& text) = 0;
    virtual TFloatSize TextSize(const std::string& text) = 0;
    virtual int TextWidth(const std::string& text) = 0;
    virtual int TextHeight(const std::string& text) = 0;
    int FontHeight() { return TextHeight("W"); }

    // Clipping: a stack of saved clip rectangles.
    virtual void ClipRectangle(int left, int top, int right, int bottom) = 0;
    void ClipRectangle(const TRect& r) { ClipRectangle(r.Left, r.Top, r.Right, r.Bottom); }
    virtual void UnClipRectangle() = 0;
    // Clips to a box between two depths (see TChartCanvas3D).
    virtual void ClipCube(const TRect& r, int minZ, int maxZ) = 0;

    // Frame of one full draw.
    virtual TRect InitWindow(const TRect& rect) = 0;
    virtual void ShowImage(TImageDestination* destination, const TRect& rect) = 0;
    // Ends a draw that failed half-way; the image stays stale, so the next paint draws anew.
    virtual void AbandonDraw() = 0;
    // Bracket the part of a full draw that lies behind the series: panel, frame, grid, axes and
    // labels. A surface may keep the picture of that part and, when the next draw paints the
    // very same operations with the very same state, show the kept picture instead of painting
    // them again. What is drawn, and in which order, does not change; only how it is painted.
    virtual void BeginBackdrop() {}
    virtual void EndBackdrop() {}
    virtual bool ReDrawBitmap(TImageDestination* destination) = 0;
    virtual void Invalidate() = 0;
    virtual bool Dirty() const = 0;

protected:
    // Text is painted with the font's brush, which stays the surface brush after the text.
    void TakeFontBrush() { SetBrush(TChartBrush{FFont.Color, bsSolid, clDefault}); }

    // Hooks for surfaces that cache renderer objects built from the state.
    virtual void DoChangedPen() {}
    virtual void DoChangedBrush() {}
    virtual void DoChangedFont() {}

    int FX = 0;
    int FY = 0;
    TChartPen FPen;
    TChartBrush FBrush;
    TChartFont FFont;
    int FTextAlign = TA_LEFT;
    TCanvasBackMode FBackMode = cbmNone;
    TColor FBackColor = clWhite;
};

// The surface of a chart that draws into an off-screen image, as seen from the chart's
// projection. It holds the two things every such surface shares, whatever paints its pixels:
// - whether the image still shows the chart as it is (fresh) or must be drawn anew (stale); a
//   new image is stale;
// - the projection of a point at a depth onto the image. The chart is flat, so the projection
//   drops the depth: a line at a depth is the line between the same two points, a clip box
//   between two depths is its clip rectangle. The chart's own drawing uses only the clip box
//   (for the series); the lines at a depth are there for what draws through this interface.
class TChartCanvas3D : public TChartCanvas {
public:
    void HorizLine3D(int left, int right, int y, int /*z*/) override { Line(left, y, right, y); }
    void VertLine3D(int x, int top, int bottom, int /*z*/) override { Line(x, top, x, bottom); }
    void LineWithZ(int x0, int y0, int x1, int y1, int /*z*/) override { Line(x0, y0, x1, y1); }
    // A clip box (l, t, r, b) becomes the clip rectangle (l + 1, t + 1, r, b - 1).
    void ClipCube(const TRect& r, int /*minZ*/, int /*maxZ*/) override {
        ClipRectangle(r.Left + 1, r.Top + 1, r.Right, r.Bottom - 1);
    }

    void Invalidate() override { FDirty = true; }
    bool Dirty() const override { return FDirty; }

protected:
    bool FDirty = true;
};
