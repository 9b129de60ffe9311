// The backdrop of a draw (panel, frame, grid, axes, labels) is collected operation by operation
// and painted only when it differs from the one whose picture the surface kept: a drag step or
// an edit that leaves the axes alone then paints the series alone on top of the kept picture.

#include "chart/canvas/SmoothCanvas.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

void TSmoothCanvas::BeginBackdrop() {
    // A clip in force would make the picture depend on it.
    if (!FPainter || FCollecting || !IOldClipRect.empty() || FPainter->hasClipping())
        return;
    FCollecting = true;
    FCollected.clear();
    // Fills are smoothed as the last stroke left the painter.
    FCollectedAntialias = ICachedAntialias;
}

TSmoothCanvas::TBackdropOp& TSmoothCanvas::Collect(TBackdropOp::TKind kind, int a, int b, int c,
                                                   int d) {
    TBackdropOp& op = FCollected.emplace_back();
    op.Kind = kind;
    op.A = a;
    op.B = b;
    op.C = c;
    op.D = d;
    if (TBackdropOp::UsesPen(kind))
        op.Pen = FPen;
    if (TBackdropOp::UsesBrush(kind))
        op.Brush = FBrush;
    if (TBackdropOp::UsesText(kind)) {
        op.Font = FFont;
        op.TextAlign = FTextAlign;
        op.BackMode = FBackMode;
    }
    return op;
}

void TSmoothCanvas::EndBackdrop() {
    if (!FCollecting)
        return;
    FCollecting = false;
    if (!Keepable(FCollected)) {
        Replay(FCollected);
        FCollected.clear();
        return;
    }
    if (MatchesKept(FCollected)) {
        ShowKept();
        FCollected.clear();
        return;
    }
    Replay(FCollected);
    Keep();
}

void TSmoothCanvas::PaintCollected() {
    if (!FCollecting)
        return;
    FCollecting = false;
    Replay(FCollected);
    FCollected.clear();
}

// Each operation is painted with the state it was called in; afterwards the surface has the
// state the chart left it in.
void TSmoothCanvas::Replay(const std::vector<TBackdropOp>& ops) {
    FShowsKept = false;
    const TChartPen pen = FPen;
    const TChartBrush brush = FBrush;
    const TChartFont font = FFont;
    const int textAlign = FTextAlign;
    const TCanvasBackMode backMode = FBackMode;
    const int x = FX;
    const int y = FY;
    for (const TBackdropOp& op : ops) {
        if (TBackdropOp::UsesPen(op.Kind) && !(FPen == op.Pen))
            SetPen(op.Pen);
        if (TBackdropOp::UsesBrush(op.Kind) && !(FBrush == op.Brush))
            SetBrush(op.Brush);
        if (TBackdropOp::UsesText(op.Kind)) {
            if (!(FFont == op.Font))
                SetFont(op.Font);
            FTextAlign = op.TextAlign;
            FBackMode = op.BackMode;
        }
        switch (op.Kind) {
        case TBackdropOp::Line:
            Line(op.A, op.B, op.C, op.D);
            break;
        case TBackdropOp::Polyline:
            Polyline(op.Points);
            break;
        case TBackdropOp::FillRect:
            FillRect(op.A, op.B, op.C, op.D);
            break;
        case TBackdropOp::Rectangle:
            Rectangle(op.A, op.B, op.C, op.D);
            break;
        case TBackdropOp::Ellipse:
            Ellipse(op.A, op.B, op.C, op.D);
            break;
        case TBackdropOp::TextOut:
            TextOut(op.A, op.B, op.Text);
            break;
        }
    }
    if (!(FPen == pen))
        SetPen(pen);
    if (!(FBrush == brush))
        SetBrush(brush);
    if (!(FFont == font))
        SetFont(font);
    FTextAlign = textAlign;
    FBackMode = backMode;
    FX = x;
    FY = y;
}

// An opaque fill of the whole image, unclipped: nothing painted before it shows.
bool TSmoothCanvas::PaintsTheWholeImage(const TBackdropOp& op) const {
    if (op.Kind != TBackdropOp::FillRect && op.Kind != TBackdropOp::Rectangle)
        return false;
    // The high byte of a colour lowers its opacity.
    const int alpha = static_cast<int>(FTransparency) - static_cast<int>(op.Brush.Color >> 24);
    if (op.Brush.Style != bsSolid || alpha < 255)
        return false;
    QRectF box = QRectF(QPointF(op.A, op.B), QPointF(op.C, op.D)).normalized();
    // A thick outline's fill stops inside it.
    if (op.Kind == TBackdropOp::Rectangle && op.Pen.Visible && op.Pen.Style != psClear &&
        op.Pen.Width > 1) {
        const double half = op.Pen.Width / 2.0;
        box.adjust(half, half, -half, -half);
    }
    return box.contains(QRectF(QPointF(), FBitmap.deviceIndependentSize()));
}

bool TSmoothCanvas::Keepable(const std::vector<TBackdropOp>& ops) const {
    for (const TBackdropOp& op : ops)
        if (PaintsTheWholeImage(op))
            return true;
    return false;
}

bool TSmoothCanvas::MatchesKept(const std::vector<TBackdropOp>& ops) const {
    return !FKept.Image.isNull() && FKept.Ratio == FRatio && FKept.Transparency == FTransparency &&
           FKept.Image.size() == FBitmap.size() && FKept.StartAntialias == FCollectedAntialias &&
           FKept.Ops == ops;
}

void TSmoothCanvas::ShowKept() {
    if (FShowsKept) {
        uchar* to = FImagePixels;
        const uchar* from = FKept.Image.constBits();
        const qsizetype line = FBitmap.bytesPerLine();
        constexpr qsizetype pixel = 4;
        for (const QRect& r : FDrawnOver)
            for (int y = r.top(); y <= r.bottom(); ++y)
                std::memcpy(to + y * line + r.left() * pixel, from + y * line + r.left() * pixel,
                            static_cast<std::size_t>(r.width() * pixel));
    } else {
        std::memcpy(FImagePixels, FKept.Image.constBits(),
                    static_cast<std::size_t>(FBitmap.sizeInBytes()));
    }
    FShowsKept = true;
    FDrawnOver.clear();
    if (FKept.Antialias)
        SetSmoothing(*FKept.Antialias);
    FPlainColor = FKept.PlainColor;
    FPenStale = true;
    ++FBackdropReuses;
}

void TSmoothCanvas::Keep() {
    if (FKept.Image.size() == FBitmap.size() && FKept.Image.format() == FBitmap.format())
        std::memcpy(FKept.Image.bits(), FBitmap.constBits(),
                    static_cast<std::size_t>(FBitmap.sizeInBytes()));
    else
        FKept.Image = FBitmap.copy();
    FKept.Ops.swap(FCollected);
    FCollected.clear();
    FKept.Ratio = FRatio;
    FKept.Transparency = FTransparency;
    FKept.StartAntialias = FCollectedAntialias;
    FKept.Antialias = ICachedAntialias;
    FKept.PlainColor = FPlainColor;
    FShowsKept = true;
    FDrawnOver.clear();
}

void TSmoothCanvas::NoteDrawn(const QRectF& box) {
    if (!FShowsKept)
        return;
    // A miter reaches up to twice the pen's width beyond its corner (the painter's miter limit),
    // a cap half of it beyond an end; a pixel more for the smoothing.
    const double reach = 2 * std::max(1, FPen.Width) + 2;
    const QRectF device = box.adjusted(-reach, -reach, reach, reach);
    auto low = [&](double v) { return static_cast<int>(std::floor(std::max(-1e9, v * FRatio))); };
    auto high = [&](double v) { return static_cast<int>(std::ceil(std::min(1e9, v * FRatio))); };
    const QRect drawn = QRect(QPoint(low(device.left()), low(device.top())),
                              QPoint(high(device.right()), high(device.bottom())))
                            .intersected(FBitmap.rect());
    if (drawn.isEmpty())
        return;
    // Many small boxes are copied back as the one box around them.
    constexpr std::size_t MaxBoxes = 1024;
    if (FDrawnOver.size() >= MaxBoxes) {
        QRect all = drawn;
        for (const QRect& r : FDrawnOver)
            all = all.united(r);
        FDrawnOver.assign(1, all);
        return;
    }
    FDrawnOver.push_back(drawn);
}

namespace {

// Lines longer than this are noted as one box.
constexpr double MaxTrackedLength = 4096;

} // namespace

void TSmoothCanvas::NoteDrawnLine(const QPointF& from, const QPointF& to) {
    if (!FShowsKept)
        return;
    constexpr double Piece = 16;
    const QPointF extent = to - from;
    const double length = std::max(std::abs(extent.x()), std::abs(extent.y()));
    // Far outside the image a line is cut there anyway: one box.
    const int pieces =
        length > MaxTrackedLength ? 1 : std::max(1, static_cast<int>(std::ceil(length / Piece)));
    for (int i = 0; i < pieces; ++i)
        NoteDrawn(
            QRectF(from + extent * (double(i) / pieces), from + extent * (double(i + 1) / pieces))
                .normalized());
}

// Drawing whose reach is not worked out (text) makes the next draw copy the whole picture back.
void TSmoothCanvas::NoteDrawnAll() {
    FShowsKept = false;
    FDrawnOver.clear();
}
