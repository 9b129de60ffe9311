#pragma once

// The panel a chart draws on: the margins around the chart rectangle, the bevels and border,
// the drawing surface with its off-screen image, and the entry points of a paint. What the
// panel needs from its window (client size, repaint requests, system colours, the pointer) it
// asks through virtual hooks, which the widget shell answers; on their own the hooks describe a
// chart drawn off-window, which is what headless code and tests see.

#include "chart/canvas/ChartCanvas.h"

#include <memory>

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TPanelMarginUnits { muPercent, muPixels };

// A drop shadow; a negative size puts it to the left of (or above) its owner.
struct TChartShadow {
    bool Visible = true;
    TColor Color = clSilver;
    int HorizSize = 0;
    int VertSize = 0;
};

// The button face where no platform supplies one: the light grey of a dialog.
constexpr TColor DefaultButtonFaceRGB = 0x00F0F0F0;
// The dark half of a raised or lowered bevel.
constexpr TColor BevelDarkColor = 0x00A0A0A0;

// Windows' rule for intersecting rectangles: an intersection without positive width and
// height is empty.
bool IntersectRect(TRect& result, const TRect& a, const TRect& b);

class TCustomChartPanel {
public:
    explicit TCustomChartPanel(std::unique_ptr<TChartCanvas> canvas);
    virtual ~TCustomChartPanel();
    TCustomChartPanel(const TCustomChartPanel&) = delete;
    TCustomChartPanel& operator=(const TCustomChartPanel&) = delete;

    // Marks the off-screen image stale and asks the window for a paint; nothing while
    // AutoRepaint is off.
    virtual void Invalidate();
    // Invalidate, then the pending paint at once: the full draw has finished on return.
    void Repaint();
    // The window's paint request: copies a fresh image, or draws anew when it is stale.
    virtual void Paint(TImageDestination* destination);
    // One full draw of the client rectangle rect, copied to destination (none: image only).
    virtual void Draw(TImageDestination* destination, const TRect& rect);
    // Number of full draws so far.
    int DrawCount() const { return FDrawCount; }

    bool AutoRepaint() const { return FAutoRepaint; }
    void SetAutoRepaint(bool value) { FAutoRepaint = value; }

    // Client area.
    virtual int ClientWidth() const { return FClientWidth; }
    virtual int ClientHeight() const { return FClientHeight; }
    virtual void SetClientSize(int width, int height);
    TRect ClientRect() const { return TRect{0, 0, ClientWidth(), ClientHeight()}; }

    // Appearance.
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    TChartPen& Border() { return FBorder; }
    const TChartPen& Border() const { return FBorder; }
    int BorderRound() const { return FBorderRound; }
    void SetBorderRound(int value);
    TChartShadow& Shadow() { return FShadow; }
    const TChartShadow& Shadow() const { return FShadow; }
    bool BufferedDisplay() const { return FBufferedDisplay; }
    void SetBufferedDisplay(bool value) { FBufferedDisplay = value; }

    // Margins between the panel's edge and the chart rectangle, in MarginUnits.
    int MarginLeft() const { return FMarginLeft; }
    void SetMarginLeft(int value);
    int MarginTop() const { return FMarginTop; }
    void SetMarginTop(int value);
    int MarginRight() const { return FMarginRight; }
    void SetMarginRight(int value);
    int MarginBottom() const { return FMarginBottom; }
    void SetMarginBottom(int value);
    TPanelMarginUnits MarginUnits() const { return FMarginUnits; }
    void SetMarginUnits(TPanelMarginUnits value);

    // Width of everything framing the panel: border, bevels and border pen.
    int BorderSize() const;

    // Geometry of the last full draw, kept until the next one.
    const TRect& ChartBounds() const { return FChartBounds; }
    const TRect& ChartRect() const { return FChartRect; }
    int ChartWidth() const { return FChartWidth; }
    int ChartHeight() const { return FChartHeight; }
    int ChartXCenter() const { return FChartXCenter; }
    int ChartYCenter() const { return FChartYCenter; }

    TChartCanvas* Canvas() const { return FCanvas.get(); }

    // The RGB value a colour paints with: clNone paints black, a system colour the platform's
    // current value, anything else itself.
    TColor PanelColor(TColor color) const;

    // Where the pointer is now, in client coordinates (the platform's pointer query).
    virtual TPoint CursorClientPos() const { return TPoint{}; }

protected:
    // Everything inside the drawing bounds of one full draw.
    virtual void InternalDraw(const TRect& userRect) = 0;
    virtual void DrawPanelBevels(TRect rect);

    // The chart rectangle as the margins leave it inside bounds, before any normalising.
    TRect MarginsRect(const TRect& bounds) const;
    void SetChartRect(const TRect& rect) { FChartRect = rect; }
    // Keeps the chart rectangle inside the drawing bounds and at least one pixel wide and high
    // where its edges cross, then derives its size and centre.
    void ReCalcWidthHeight();

    // The window side.
    virtual void InvalidateWindow() {}
    // Processes the pending paint now; off-window that is a paint without a destination.
    virtual void UpdateWindow() { Paint(nullptr); }
    // RGB of system colour number index.
    virtual TColor SystemColorRGB(int index) const;
    // Colour of the window the panel sits in: the main window's button face.
    virtual TColor ParentWindowColor() const { return clBtnFace; }

private:
    void DrawBevel(TRect& r, TBevelCut cut);
    void DrawFrame(TRect& r, int width, TColor topLeft, TColor bottomRight);
    int MarginPixels(int value, int size) const;
    void SetAndInvalidate(int& field, int value);

    std::unique_ptr<TChartCanvas> FCanvas;
    bool FAutoRepaint = false;
    int FDrawCount = 0;
    int FClientWidth = 400;
    int FClientHeight = 250;

    TColor FColor = clBtnFace;
    bool FParentColor = false;
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TChartPen FBorder{clBlack, 1, psSolid, false};
    int FBorderRound = 0;
    TChartShadow FShadow;
    bool FBufferedDisplay = true;
    int FMarginLeft = 3;
    int FMarginTop = 4;
    int FMarginRight = 3;
    int FMarginBottom = 4;
    TPanelMarginUnits FMarginUnits = muPercent;

    TRect FChartBounds;
    TRect FChartRect;
    int FChartWidth = 0;
    int FChartHeight = 0;
    int FChartXCenter = 0;
    int FChartYCenter = 0;
};

enum TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };
enum TPanningMouseWheel { pmwNone, pmwNormal, pmwInverted };

// Rectangle zoom by dragging; the chart's own mouse handling consults it.
struct TChartZoom {
    bool Allow = true;
};

struct TChartPanning {
    TPanningMouseWheel MouseWheel = pmwNormal;
};

struct TChartHover {
    bool Visible = true;
};

// The panel with its extras: the panel fill, zoom and panning settings.
class TCustomChartPanelExtended : public TCustomChartPanel {
public:
    using TCustomChartPanel::TCustomChartPanel;

    TChartZoom& Zoom() { return FZoom; }
    const TChartZoom& Zoom() const { return FZoom; }
    TChartPanning& Panning() { return FPanning; }
    const TChartPanning& Panning() const { return FPanning; }
    TChartHover& Hover() { return FHover; }
    const TChartHover& Hover() const { return FHover; }
    TPanningMode AllowPanning() const { return FAllowPanning; }
    void SetAllowPanning(TPanningMode value) { FAllowPanning = value; }

protected:
    // Background over rect: the parent's colour, the panel's own fill, then the bevels.
    virtual void PanelPaint(const TRect& rect);
    virtual void FillPanelRect(const TRect& rect);

private:
    TChartZoom FZoom;
    TChartPanning FPanning;
    TChartHover FHover;
    TPanningMode FAllowPanning = pmBoth;
};
