#include "chart/canvas/ChartCanvas.h"

void TChartCanvas::SetPen(const TChartPen& pen) {
    FPen = pen;
    DoChangedPen();
}

void TChartCanvas::SetBrush(const TChartBrush& brush) {
    FBrush = brush;
    DoChangedBrush();
}

void TChartCanvas::SetFont(const TChartFont& font) {
    FFont = font;
    DoChangedFont();
}

void TChartCanvas::AssignVisiblePenColor(const TChartPen& pen, TColor color) {
    TChartPen p = FPen;
    if (pen.Visible) {
        p = pen;
        p.Color = color;
    } else {
        p.Style = psClear;
    }
    SetPen(p);
}

void TChartCanvas::AssignBrush(const TChartBrush& brush, TColor color, TColor backColor) {
    TChartBrush b = brush;
    if (b.Style != bsClear)
        b.Color = color;
    b.BackColor = backColor;
    SetBrush(b);
    if (b.Color == clNone || b.Style == bsClear) {
        SetBackMode(cbmTransparent);
    } else if (b.Style != bsSolid) {
        SetBackMode(cbmOpaque);
        SetBackColor(b.BackColor);
    }
}

void TChartCanvas::ResetState() {
    SetPen(TChartPen{});
    SetBrush(TChartBrush{clWhite, bsSolid, clDefault});
    SetFont(TChartFont{});
    SetBackColor(clWhite);
    SetBackMode(cbmTransparent);
    SetTextAlign(TA_LEFT);
}

void TChartCanvas::RestoreState(const TState& state) {
    if (!(FPen == state.Pen))
        SetPen(state.Pen);
    if (!(FBrush == state.Brush))
        SetBrush(state.Brush);
    if (!(FFont == state.Font))
        SetFont(state.Font);
    SetTextAlign(state.TextAlign);
    SetBackMode(state.BackMode);
    SetBackColor(state.BackColor);
    FX = state.Position.X;
    FY = state.Position.Y;
}
