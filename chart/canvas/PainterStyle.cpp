#include "chart/canvas/PainterStyle.h"

namespace {

Qt::PenStyle DashStyle(const TChartPen& pen) {
    if (pen.SmallDots)
        return Qt::DotLine;
    switch (pen.Style) {
    case psDash:
        return Qt::DashLine;
    case psDot:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}

Qt::PenCapStyle CapStyle(TPenEndStyle style) {
    switch (style) {
    case esSquare:
        return Qt::SquareCap;
    case esFlat:
        return Qt::FlatCap;
    default:
        return Qt::RoundCap;
    }
}

Qt::PenJoinStyle JoinStyle(TPenJoinStyle style) {
    switch (style) {
    case jsBevel:
        return Qt::BevelJoin;
    case jsMitter:
        return Qt::MiterJoin;
    default:
        return Qt::RoundJoin;
    }
}

} // namespace

QPen PainterPen(const TChartPen& pen, std::uint8_t transparency) {
    QPen painterPen(ToQColor(pen.Color, transparency));
    painterPen.setWidthF(std::max(0, pen.Width));
    painterPen.setStyle(DashStyle(pen));
    painterPen.setCapStyle(CapStyle(pen.EndStyle));
    painterPen.setJoinStyle(JoinStyle(pen.JoinStyle));
    return painterPen;
}

Qt::BrushStyle HatchStyle(TBrushStyle style) {
    switch (style) {
    case bsHorizontal:
        return Qt::HorPattern;
    case bsVertical:
        return Qt::VerPattern;
    case bsFDiagonal:
        return Qt::FDiagPattern;
    case bsBDiagonal:
        return Qt::BDiagPattern;
    case bsCross:
        return Qt::CrossPattern;
    case bsDiagCross:
        return Qt::DiagCrossPattern;
    default:
        return Qt::SolidPattern;
    }
}
