#include "chart/ChartPanel.h"

#include <algorithm>
#include <utility>

namespace {

// System colours are 0xFF0000nn; the platform's table has entries 0 to 30.
constexpr TColor SystemColorFlag = 0xFF000000;
constexpr TColor LastSystemColor = 0xFF00001E;

// Stand-ins for the platform's system colour table off-window: the light dialog scheme.
TColor FallbackSystemColor(int index) {
    switch (index) {
    case 5:  // window
    case 14: // highlighted text
    case 20: // 3-D highlight
        return clWhite;
    case 8:  // window text
    case 18: // button text
        return clBlack;
    case 16: // button shadow
        return BevelDarkColor;
    case 13: // highlight
        return 0x00D77800;
    default:
        return DefaultButtonFaceRGB;
    }
}

// Switches repainting off for a scope and restores what it found, also when a draw is
// abandoned half-way.
class TAutoRepaintOff {
public:
    explicit TAutoRepaintOff(bool& autoRepaint) : FAutoRepaint(autoRepaint), FOld(autoRepaint) {
        FAutoRepaint = false;
    }
    ~TAutoRepaintOff() { FAutoRepaint = FOld; }
    TAutoRepaintOff(const TAutoRepaintOff&) = delete;
    TAutoRepaintOff& operator=(const TAutoRepaintOff&) = delete;

private:
    bool& FAutoRepaint;
    bool FOld;
};

} // namespace

bool IntersectRect(TRect& result, const TRect& a, const TRect& b) {
    result = TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                   std::min(a.Bottom, b.Bottom)};
    if (result.Right > result.Left && result.Bottom > result.Top)
        return true;
    result = TRect{};
    return false;
}

TCustomChartPanel::TCustomChartPanel(std::unique_ptr<TChartCanvas> canvas)
    : FCanvas(std::move(canvas)) {}

TCustomChartPanel::~TCustomChartPanel() = default;

void TCustomChartPanel::Invalidate() {
    if (!FAutoRepaint)
        return;
    FCanvas->Invalidate();
    InvalidateWindow();
}

void TCustomChartPanel::Repaint() {
    Invalidate();
    UpdateWindow();
}

void TCustomChartPanel::Paint(TImageDestination* destination) {
    // Re-exposing the window costs one copy: nothing is recomputed while the image is fresh.
    if (!FCanvas->Dirty() && FCanvas->ReDrawBitmap(destination))
        return;
    Draw(destination, ClientRect());
}

void TCustomChartPanel::Draw(TImageDestination* destination, const TRect& rect) {
    FChartBounds = FCanvas->InitWindow(rect);
    FChartRect = MarginsRect(FChartBounds);
    ReCalcWidthHeight();

    // Nothing that runs inside the draw may ask for another one.
    {
        const TAutoRepaintOff off(FAutoRepaint);
        try {
            InternalDraw(FChartBounds);
        } catch (...) {
            FCanvas->AbandonDraw();
            throw;
        }
    }

    FCanvas->ShowImage(destination, rect);
    ++FDrawCount;
}

void TCustomChartPanel::SetClientSize(int width, int height) {
    FClientWidth = width;
    FClientHeight = height;
    Invalidate();
}

int TCustomChartPanel::BorderSize() const {
    int size = FBorderWidth;
    if (FBevelInner != bvNone)
        size += FBevelWidth;
    if (FBevelOuter != bvNone)
        size += FBevelWidth;
    if (FBorder.Visible)
        size += FBorder.Width;
    return size;
}

int TCustomChartPanel::MarginPixels(int value, int size) const {
    if (FMarginUnits == muPixels)
        return value;
    return static_cast<int>(static_cast<long long>(value) * size / 100);
}

TRect TCustomChartPanel::MarginsRect(const TRect& bounds) const {
    const int border = BorderSize();
    const int width = bounds.Right - bounds.Left;
    const int height = bounds.Bottom - bounds.Top;
    TRect r{bounds.Left + border + MarginPixels(FMarginLeft, width),
            bounds.Top + border + MarginPixels(FMarginTop, height),
            bounds.Right - border - MarginPixels(FMarginRight, width),
            bounds.Bottom - border - MarginPixels(FMarginBottom, height)};
    if (FShadow.Visible) {
        if (FShadow.HorizSize < 0)
            r.Left -= FShadow.HorizSize;
        else
            r.Right -= FShadow.HorizSize;
        if (FShadow.VertSize < 0)
            r.Top -= FShadow.VertSize;
        else
            r.Bottom -= FShadow.VertSize;
    }
    return r;
}

void TCustomChartPanel::ReCalcWidthHeight() {
    TRect& r = FChartRect;
    r.Left = std::max(r.Left, FChartBounds.Left);
    r.Top = std::max(r.Top, FChartBounds.Top);
    if (r.Right < r.Left)
        r.Right = r.Left + 1;
    if (r.Bottom < r.Top)
        r.Bottom = r.Top + 1;
    FChartWidth = r.Right - r.Left;
    FChartHeight = r.Bottom - r.Top;
    FChartXCenter = (r.Left + r.Right) / 2;
    FChartYCenter = (r.Top + r.Bottom) / 2;
}

TColor TCustomChartPanel::PanelColor(TColor color) const {
    if (color == clNone)
        return clBlack;
    if (color >= SystemColorFlag && color <= LastSystemColor)
        return SystemColorRGB(static_cast<int>(color - SystemColorFlag));
    return color;
}

TColor TCustomChartPanel::SystemColorRGB(int index) const {
    return FallbackSystemColor(index);
}

void TCustomChartPanel::DrawPanelBevels(TRect rect) {
    if (FBevelOuter == bvNone && FBevelInner == bvNone && FBorderWidth == 0)
        return;
    TChartPen pen = FCanvas->Pen();
    pen.Style = psSolid;
    pen.Width = 1;
    pen.Visible = true;
    FCanvas->SetPen(pen);

    DrawBevel(rect, FBevelOuter);
    const TColor frame = PanelColor(FColor);
    DrawFrame(rect, FBorderWidth, frame, frame);
    DrawBevel(rect, FBevelInner);
}

void TCustomChartPanel::DrawBevel(TRect& r, TBevelCut cut) {
    if (cut == bvNone)
        return;
    const int width = std::min({(r.Bottom - r.Top) / 2, (r.Right - r.Left) / 2, FBevelWidth});
    const TColor topLeft = cut == bvLowered ? BevelDarkColor : clWhite;
    const TColor bottomRight = cut == bvRaised ? BevelDarkColor : clWhite;
    DrawFrame(r, width, topLeft, bottomRight);
}

// width rings of one pixel, each inside the previous one; r ends width pixels smaller on
// every side.
void TCustomChartPanel::DrawFrame(TRect& r, int width, TColor topLeft, TColor bottomRight) {
    TChartPen pen = FCanvas->Pen();
    --r.Right;
    --r.Bottom;
    for (int i = 0; i < width; ++i) {
        pen.Color = topLeft;
        FCanvas->SetPen(pen);
        FCanvas->Polyline({{r.Left, r.Bottom}, {r.Left, r.Top}, {r.Right, r.Top}});
        pen.Color = bottomRight;
        FCanvas->SetPen(pen);
        FCanvas->Polyline({{r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left - 1, r.Bottom}});
        ++r.Left;
        ++r.Top;
        --r.Right;
        --r.Bottom;
    }
    ++r.Right;
    ++r.Bottom;
}

void TCustomChartPanel::SetAndInvalidate(int& field, int value) {
    if (field == value)
        return;
    field = value;
    Invalidate();
}

void TCustomChartPanel::SetColor(TColor value) {
    if (FColor == value)
        return;
    FColor = value;
    FParentColor = false;
    Invalidate();
}

void TCustomChartPanel::SetParentColor(bool value) {
    FParentColor = value;
    Invalidate();
}

void TCustomChartPanel::SetBevelOuter(TBevelCut value) {
    FBevelOuter = value;
    Invalidate();
}

void TCustomChartPanel::SetBevelInner(TBevelCut value) {
    FBevelInner = value;
    Invalidate();
}

void TCustomChartPanel::SetBevelWidth(int value) {
    SetAndInvalidate(FBevelWidth, value);
}

void TCustomChartPanel::SetBorderWidth(int value) {
    SetAndInvalidate(FBorderWidth, value);
}

void TCustomChartPanel::SetBorderRound(int value) {
    SetAndInvalidate(FBorderRound, value);
}

void TCustomChartPanel::SetMarginLeft(int value) {
    SetAndInvalidate(FMarginLeft, value);
}

void TCustomChartPanel::SetMarginTop(int value) {
    SetAndInvalidate(FMarginTop, value);
}

void TCustomChartPanel::SetMarginRight(int value) {
    SetAndInvalidate(FMarginRight, value);
}

void TCustomChartPanel::SetMarginBottom(int value) {
    SetAndInvalidate(FMarginBottom, value);
}

void TCustomChartPanel::SetMarginUnits(TPanelMarginUnits value) {
    FMarginUnits = value;
    Invalidate();
}

void TCustomChartPanelExtended::PanelPaint(const TRect& rect) {
    TChartCanvas& canvas = *Canvas();
    if (Color() != clNone) {
        // The parent's colour first, so that nothing of an earlier picture shows through
        // where the panel's own fill leaves a gap.
        TChartPen noOutline = canvas.Pen();
        noOutline.Style = psClear;
        canvas.SetPen(noOutline);
        canvas.AssignBrush(TChartBrush{}, PanelColor(ParentWindowColor()));
        canvas.FillRect(rect);
    }
    FillPanelRect(rect);
    DrawPanelBevels(rect);
}

void TCustomChartPanelExtended::FillPanelRect(const TRect& rect) {
    const TColor color = ParentColor() ? ParentWindowColor() : Color();
    if (!Border().Visible && color == clNone)
        return;
    TChartCanvas& canvas = *Canvas();
    canvas.AssignVisiblePen(Border());
    canvas.AssignBrush(TChartBrush{}, PanelColor(color));
    TRect r = rect;
    if (Border().Visible) {
        const int w = Border().Width;
        r = TRect{r.Left + w, r.Top + w, r.Right - w, r.Bottom - w};
    }
    canvas.Rectangle(r.Left, r.Top, r.Right + 1, r.Bottom + 1);
}
