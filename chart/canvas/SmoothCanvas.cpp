#include "chart/canvas/SmoothCanvas.h"

#include "chart/canvas/PainterStyle.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Status codes reported when no painter can be opened on the image.
constexpr int StatusGenericError = 1;
constexpr int StatusOutOfMemory = 3;

constexpr int DotsPerMeter = 3780; // 96 dots per inch
// Beyond any screen's ratio; keeps a wrong ratio from asking for an image of gigabytes.
constexpr double MaxDevicePixelRatio = 8;

int Round(double v) {
    return static_cast<int>(std::nearbyint(v));
}

// A straight piece of an outline has a direction along an axis and a length.
bool AlongAnAxis(const TPoint& a, const TPoint& b) {
    return (a.X == b.X) != (a.Y == b.Y);
}

// Outlines whose every piece runs along an axis and turns by a right angle at every corner.
bool RightAngled(const std::vector<TPoint>& points) {
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        if (!AlongAnAxis(points[i], points[i + 1]))
            return false;
        if (i > 0 && (points[i - 1].X == points[i].X) == (points[i].X == points[i + 1].X))
            return false;
    }
    return true;
}

// A filled ellipse: its fill inside, and with a pen its outline on box. Painted the same way
// on the image and into a stamp, so that a stamped marker is the marker painted in place.
void PaintEllipseOn(QPainter& painter, const QRectF& box, const QRectF& inside,
                    const TChartBrush& brush, std::uint8_t transparency, const QPen* outline) {
    QPainterPath path;
    path.addEllipse(inside);
    PaintFill(brush, transparency, [&](const QBrush& fill) { painter.fillPath(path, fill); });
    if (!outline)
        return;
    painter.setPen(*outline);
    painter.drawEllipse(box);
}

void DrawGlyphRuns(QPainter& painter, const QPointF& origin, const QList<QGlyphRun>& runs,
                   const QColor& color) {
    painter.setPen(QPen(color));
    for (const QGlyphRun& glyphs : runs)
        painter.drawGlyphRun(origin, glyphs);
}

} // namespace

TSmoothCanvas::TSmoothCanvas() = default;

TSmoothCanvas::~TSmoothCanvas() = default;

bool TSmoothCanvas::Paints(const TDrawCall& call, double reach) {
    if (!FPainter)
        return false;
    if (FBackdrop.Collecting()) {
        FBackdrop.Collect(call, *this);
        return false;
    }
    const std::optional<QRgb> plain = PlainColorAfter(call);
    if (plain && plain == FPlainColor)
        return false;
    FBackdrop.NoteDrawn(call, reach);
    if (UsesPen(call.Kind) && PenDraws())
        PreparePen();
    FPlainColor = plain;
    return true;
}

// The panel paints the whole image in its colour twice, first as the parent's background and
// then as its own face: the second time changes nothing and is left out.
std::optional<QRgb> TSmoothCanvas::PlainColorAfter(const TDrawCall& call) const {
    const bool fillOnly =
        call.Kind == TDrawKind::FillRect || (call.Kind == TDrawKind::Rectangle && !PenDraws());
    if (!fillOnly || FPainter->hasClipping() ||
        !FillsTheWholeImage(call, FPen, FBrush, FTransparency, FBitmap.deviceIndependentSize()))
        return std::nullopt;
    return ToQColor(FBrush.Color, FTransparency).rgba();
}

void TSmoothCanvas::LineTo(int x, int y) {
    Line(FX, FY, x, y);
}

void TSmoothCanvas::Line(int x0, int y0, int x1, int y1) {
    FX = x1;
    FY = y1;
    if (!PenDraws() ||
        !Paints(TDrawCall{TDrawKind::Line, {x0, y0}, {x1, y1}, {}, {}}, PenReach(FPen.Width)))
        return;
    StrokeSegment(QPointF(x0, y0), QPointF(x1, y1), FGPPen.capStyle());
}

void TSmoothCanvas::Polyline(const std::vector<TPoint>& points) {
    if (!PenDraws() || points.size() < 2 ||
        !Paints(TDrawCall{TDrawKind::Polyline, {}, {}, points, {}}, PenReach(FPen.Width)))
        return;
    if (ThinSolidPen() && RightAngled(points)) {
        StrokePieces(points, false);
        return;
    }
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const TPoint& p : points)
        polygon.append(QPointF(p.X, p.Y));
    FPainter->drawPolyline(polygon);
}

void TSmoothCanvas::FillRect(int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top ||
        !Paints(TDrawCall{TDrawKind::FillRect, {left, top}, {right, bottom}, {}, {}}, FillReach))
        return;
    FillBox(QRectF(left, top, right - left, bottom - top));
}

void TSmoothCanvas::Rectangle(int x0, int y0, int x1, int y1) {
    const bool outline = PenDraws();
    if (!Paints(TDrawCall{TDrawKind::Rectangle, {x0, y0}, {x1, y1}, {}, {}},
                outline ? PenReach(FPen.Width) : FillReach))
        return;
    // The stroke's smoothing applies to the fill as well: the pen is prepared by now.
    const QRectF box = BoxBetween({x0, y0}, {x1, y1});
    FillBox(FillBoxInside(box));
    if (!outline)
        return;
    const int l = std::min(x0, x1);
    const int t = std::min(y0, y1);
    const int r = std::max(x0, x1);
    const int b = std::max(y0, y1);
    if (ThinSolidPen() && l < r && t < b)
        StrokePieces({{l, t}, {r, t}, {r, b}, {l, b}, {l, t}}, true);
    else
        FPainter->drawRect(box);
}

void TSmoothCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    const bool outline = PenDraws();
    if (!Paints(TDrawCall{TDrawKind::Ellipse, {x1, y1}, {x2, y2}, {}, {}},
                outline ? PenReach(FPen.Width) : FillReach))
        return;
    const QRectF box = BoxBetween({x1, y1}, {x2, y2});
    if (StampableEllipse(box))
        StampEllipse(box, outline);
    else
        PaintEllipse(box, outline);
}

// A hatch is laid out from the image's corner, so a hatched ellipse is not a picture that can
// be moved.
bool TSmoothCanvas::StampableEllipse(const QRectF& box) const {
    const bool hatched = FBrush.Style != bsSolid && FBrush.Style != bsClear;
    const int margin = PenReach(FPen.Width);
    return !hatched && !box.isEmpty() && box.width() + 2 * margin <= MaxStampSize &&
           box.height() + 2 * margin <= MaxStampSize && NearTheImage(box.topLeft());
}

void TSmoothCanvas::PaintEllipse(const QRectF& box, bool outline) {
    PaintEllipseOn(*FPainter, box, FillBoxInside(box), FBrush, FTransparency,
                   outline ? &FGPPen : nullptr);
}

void TSmoothCanvas::StampEllipse(const QRectF& box, bool outline) {
    const bool smooth = FPainter->testRenderHint(QPainter::Antialiasing);
    const int w = static_cast<int>(box.width());
    const int h = static_cast<int>(box.height());
    const TDevicePlace place = PlaceOf(box.topLeft(), FRatio);
    const TEllipseKey key{place.Phase.x(),
                          place.Phase.y(),
                          w,
                          h,
                          FBrush.Style == bsSolid,
                          ToQColor(FBrush.Color, FTransparency).rgba(),
                          outline,
                          outline ? FGPPen.color().rgba() : 0,
                          outline ? FPen.Width : 0,
                          outline ? static_cast<int>(FGPPen.style()) : 0,
                          outline ? static_cast<int>(FGPPen.capStyle()) : 0,
                          smooth};
    const TStamp* stamp = FEllipseStamps.Find(key);
    if (!stamp) {
        const double m = PenReach(FPen.Width);
        const QRectF area(-m, -m, w + 2 * m, h + 2 * m);
        const QRectF inside = FillBoxInside(QRectF(0, 0, w, h));
        const auto paint = [&](QPainter& painter, const QPointF& origin) {
            PaintEllipseOn(painter, QRectF(origin, QSizeF(w, h)), inside.translated(origin), FBrush,
                           FTransparency, outline ? &FGPPen : nullptr);
        };
        stamp =
            &FEllipseStamps.Add(key, MakeStamp(area, place.Phase, FRatio, smooth, false, paint));
    }
    PutStamp(StampTarget(), *stamp, place.Pixel);
}

void TSmoothCanvas::PreparePen() {
    if (FPenStale) {
        FGPPen = PainterPen(FPen, FTransparency);
        FPenStale = false;
        ++FPenBuilds;
    }
    // A hairline pen (width 0) draws aliased, every wider pen smoothly.
    SetSmoothing(FPen.Width >= 1);
    FPainter->setPen(FGPPen);
}

void TSmoothCanvas::SetSmoothing(bool on) {
    if (ICachedAntialias == on)
        return;
    FPainter->setRenderHint(QPainter::Antialiasing, on);
    ICachedAntialias = on;
}

bool TSmoothCanvas::ThinSolidPen() const {
    return FPen.Width == 1 && FGPPen.style() == Qt::SolidLine;
}

QPen TSmoothCanvas::PenWithCap(Qt::PenCapStyle cap) const {
    QPen pen = FGPPen;
    if (pen.capStyle() != cap)
        pen.setCapStyle(cap);
    return pen;
}

// A stroke between two points on the half-pixel grid. Smooth horizontal and vertical strokes
// (grid lines, ticks, axis lines, frames) are stamped; the painter's clip applies to a stamp as
// it would to the stroke. Slanted strokes, which the series draws anew whenever a point moves,
// go to the painter.
void TSmoothCanvas::StrokeSegment(const QPointF& from, const QPointF& to, Qt::PenCapStyle cap) {
    if (StampableStroke(from, to)) {
        StampStroke(from, to, cap);
        return;
    }
    if (FRatio != 1 && cap == Qt::RoundCap && FPen.Width >= 1 && FGPPen.style() == Qt::SolidLine &&
        FGPPen.color().alpha() == 255) {
        StrokeWithRoundEnds(from, to);
        return;
    }
    FPainter->setPen(PenWithCap(cap));
    FPainter->drawLine(from, to);
}

bool TSmoothCanvas::StampableStroke(const QPointF& from, const QPointF& to) const {
    const double dx = std::abs(to.x() - from.x());
    const double dy = std::abs(to.y() - from.y());
    return FPen.Width >= 1 && (dx == 0 || dy == 0) && std::max(dx, dy) <= MaxStampedLength &&
           FPen.Width <= MaxStampSize && NearTheImage(from);
}

void TSmoothCanvas::StampStroke(const QPointF& from, const QPointF& to, Qt::PenCapStyle cap) {
    const TDevicePlace place = PlaceOf(from, FRatio);
    const QPointF extent = to - from;
    const TStrokeKey key{place.Phase.x(),
                         place.Phase.y(),
                         extent.x(),
                         extent.y(),
                         FGPPen.color().rgba(),
                         FPen.Width,
                         static_cast<int>(FGPPen.style()),
                         static_cast<int>(cap),
                         static_cast<int>(FGPPen.joinStyle())};
    const TStamp* stamp = FStrokeStamps.Find(key);
    if (!stamp) {
        const double margin = PenReach(FPen.Width);
        const QRectF area(
            QPointF(std::min(0.0, extent.x()) - margin, std::min(0.0, extent.y()) - margin),
            QPointF(std::max(0.0, extent.x()) + margin, std::max(0.0, extent.y()) + margin));
        const QPen pen = PenWithCap(cap);
        const auto paint = [&](QPainter& painter, const QPointF& origin) {
            painter.setPen(pen);
            painter.drawLine(origin, origin + extent);
        };
        stamp = &FStrokeStamps.Add(key, MakeStamp(area, place.Phase, FRatio, true, false, paint));
    }
    PutStamp(StampTarget(), *stamp, place.Pixel);
}

// On a screen of more than one device pixel per pixel a smooth pen is wider than a device pixel,
// and the painter strokes round ends as a general outline, several times slower than a line with
// flat ends (the series' slanted segments on every drag step). A flat-ended line with a disc of
// the pen's width on each end covers the same shape; where the disc overlaps the line's end the
// smoothed edge pixels are blended twice, which an opaque pen makes all but invisible.
void TSmoothCanvas::StrokeWithRoundEnds(const QPointF& from, const QPointF& to) {
    FPainter->setPen(PenWithCap(Qt::FlatCap));
    FPainter->drawLine(from, to);
    const double radius = FPen.Width / 2.0;
    FPainter->setPen(Qt::NoPen);
    FPainter->setBrush(FGPPen.color());
    FPainter->drawEllipse(from, radius, radius);
    FPainter->drawEllipse(to, radius, radius);
    FPainter->setBrush(Qt::NoBrush);
    FPainter->setPen(FGPPen);
}

// The painter draws a smooth one-pixel solid outline one straight piece after the other, with
// nothing at the corners, and extends the open ends by half a pixel for round and square caps:
// the same outline drawn piece by piece, each with flat ends, gives the same pixels.
void TSmoothCanvas::StrokePieces(const std::vector<TPoint>& points, bool closed) {
    const bool capped = !closed && FGPPen.capStyle() != Qt::FlatCap;
    const std::size_t last = points.size() - 2;
    for (std::size_t i = 0; i <= last; ++i) {
        QPointF from(points[i].X, points[i].Y);
        QPointF to(points[i + 1].X, points[i + 1].Y);
        const QPointF step =
            (to - from) / std::max(std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
        if (capped && i == 0)
            from -= step / 2;
        if (capped && i == last)
            to += step / 2;
        StrokeSegment(from, to, Qt::FlatCap);
    }
}

// A whole-image fill in one opaque colour is the panel's face, painted in that colour as such.
void TSmoothCanvas::FillBox(const QRectF& box) {
    if (FPlainColor) {
        FPainter->fillRect(box, QColor::fromRgba(*FPlainColor));
        return;
    }
    PaintFill(FBrush, FTransparency, [&](const QBrush& brush) { FPainter->fillRect(box, brush); });
}

bool TSmoothCanvas::PenDraws() const {
    return ::PenDraws(FPen);
}

QRectF TSmoothCanvas::FillBoxInside(const QRectF& box) const {
    return InsideOutline(box, FPen);
}

void TSmoothCanvas::DoChangedFont() {
    if (FPainter)
        ApplyTextQuality();
}

void TSmoothCanvas::ApplyTextQuality() {
    FPainter->setRenderHint(QPainter::TextAntialiasing, FFont.Quality != fqNormal);
}

TLabelText& TSmoothCanvas::Labels() {
    FLabels.Select(FFont);
    return FLabels;
}

QList<QGlyphRun> TSmoothCanvas::GlyphRuns(const std::string& text) {
    TLabelText& labels = Labels();
    return labels.GlyphRuns(labels.Run(text));
}

// Trailing blanks are not measured, so a text of blanks alone is as wide as the layout's
// side padding.
TFloatSize TSmoothCanvas::TextSize(const std::string& text) {
    if (text.empty())
        return TFloatSize{};
    TLabelText& labels = Labels();
    return TFloatSize{labels.Run(text).TrimmedWidth + 2 * labels.Padding(), labels.LineHeight()};
}

int TSmoothCanvas::TextWidth(const std::string& text) {
    return Round(TextSize(text).Width);
}

int TSmoothCanvas::TextHeight(const std::string& text) {
    return RoundTextHeight(TextSize(text).Height);
}

int TSmoothCanvas::RoundTextHeight(double layoutHeight) {
    return Round(layoutHeight + 0.5);
}

double TSmoothCanvas::TypographicWidth(const std::string& text) {
    return Labels().Run(text).TrimmedWidth;
}

QPointF TSmoothCanvas::AlignedAnchor(int x, int y, const std::string& text) {
    switch (FTextAlign) {
    case TA_RIGHT:
        return QPointF(x - Round(TypographicWidth(text)), y);
    case TA_CENTER:
        return QPointF(x - Round(TypographicWidth(text)) / 2.0, y);
    case TA_CENTER | TA_BOTTOM: {
        const TFloatSize size = TextSize(text);
        return QPointF(x - size.Width / 2, y - size.Height);
    }
    default:
        return QPointF(x, y);
    }
}

// After the text, the brush is the font's, whether the text was painted now or not.
void TSmoothCanvas::TextOut(int x, int y, const std::string& text) {
    if (!Paints(TDrawCall{TDrawKind::TextOut, {x, y}, {}, {}, text}, 0)) {
        TakeFontBrush();
        return;
    }
    const QPointF anchor = AlignedAnchor(x, y, text);
    if (FBackMode != cbmTransparent)
        FillTextBox(anchor, text);
    TakeFontBrush();
    DrawText(anchor, text);
}

// A text's background: its layout box, in whole pixels, with the current brush.
void TSmoothCanvas::FillTextBox(const QPointF& anchor, const std::string& text) {
    const TFloatSize size = TextSize(text);
    FillRect(Round(anchor.x()), Round(anchor.y()), Round(anchor.x() + size.Width),
             Round(anchor.y() + size.Height));
}

// The layout box's top-left corner is the anchor; the glyphs start after the box's left
// padding, on a baseline one ascent below the top. A label is stamped: it is painted once for
// each position of its origin inside a device pixel.
void TSmoothCanvas::DrawText(const QPointF& anchor, const std::string& text) {
    TLabelText& labels = Labels();
    const TTextRun& run = labels.Run(text);
    if (run.Pieces.empty() || !labels.Drawable())
        return;
    const QPointF origin(anchor.x() + labels.Padding(), anchor.y() + labels.Ascent());
    const QColor color = ToQColor(FFont.Color, FTransparency);
    const double em = std::ceil(labels.EmPixels());
    if (em > MaxStampSize || run.TrimmedWidth > MaxStampedLength || !NearTheImage(origin)) {
        DrawGlyphRuns(*FPainter, origin, labels.GlyphRuns(run), color);
        return;
    }
    const TDevicePlace place = PlaceOf(origin, FRatio);
    const TTextKey key{labels.Font(),
                       color.rgba(),
                       FPainter->testRenderHint(QPainter::Antialiasing),
                       FPainter->testRenderHint(QPainter::TextAntialiasing),
                       place.Phase.x(),
                       place.Phase.y(),
                       text};
    const TStamp* stamp = FTextStamps.Find(key);
    if (!stamp) {
        const double m = em + 2;
        const QRectF area(QPointF(-m, -2 * m), QPointF(std::ceil(run.TrimmedWidth) + m, m));
        const QList<QGlyphRun> runs = labels.GlyphRuns(run);
        const auto paint = [&](QPainter& painter, const QPointF& at) {
            DrawGlyphRuns(painter, at, runs, color);
        };
        stamp = &FTextStamps.Add(
            key, MakeStamp(area, place.Phase, FRatio, key.Smooth, key.SmoothText, paint));
    }
    PutStamp(StampTarget(), *stamp, place.Pixel);
}

// The clip is widened by one pixel row above and below the rectangle, not at the sides.
void TSmoothCanvas::ClipRectangle(int left, int top, int right, int bottom) {
    // A clip inside the backdrop acts on what is painted before and after it: the operations
    // so far are painted now and the rest of the draw goes straight to the image.
    PaintCollected();
    if (!FPainter) {
        IOldClipRect.emplace_back();
        return;
    }
    const bool clipped = FPainter->hasClipping();
    IOldClipRect.push_back(clipped ? std::optional<QRectF>(FPainter->clipBoundingRect())
                                   : std::nullopt);
    const QRect area(left, top - 1, std::max(0, right - left), std::max(0, bottom - top + 2));
    FPainter->setClipRect(area, clipped ? Qt::IntersectClip : Qt::ReplaceClip);
}

void TSmoothCanvas::UnClipRectangle() {
    PaintCollected();
    std::optional<QRectF> saved;
    if (!IOldClipRect.empty()) {
        saved = IOldClipRect.back();
        IOldClipRect.pop_back();
    }
    if (!FPainter)
        return;
    if (saved)
        FPainter->setClipRect(*saved, Qt::ReplaceClip);
    else
        FPainter->setClipping(false);
}

void TSmoothCanvas::BeginBackdrop() {
    // A clip in force would make the picture depend on it.
    if (!FPainter || FBackdrop.Collecting() || !IOldClipRect.empty() || FPainter->hasClipping())
        return;
    FBackdrop.Begin(ICachedAntialias);
}

void TSmoothCanvas::EndBackdrop() {
    if (!FBackdrop.Collecting())
        return;
    FBackdrop.StopCollecting();
    const TBackdropSetting setting = FBackdrop.Setting(FRatio, FTransparency, FBitmap);
    if (!FBackdrop.CollectedKeepable(setting)) {
        Replay(FBackdrop.Collected());
        FBackdrop.DropCollected();
        return;
    }
    if (FBackdrop.CollectedMatchesKept(setting)) {
        ShowKept();
        FBackdrop.DropCollected();
        return;
    }
    Replay(FBackdrop.Collected());
    FBackdrop.KeepCollected(setting, FBitmap, TPainterState{ICachedAntialias, FPlainColor});
}

void TSmoothCanvas::PaintCollected() {
    if (!FBackdrop.Collecting())
        return;
    FBackdrop.StopCollecting();
    Replay(FBackdrop.Collected());
    FBackdrop.DropCollected();
}

void TSmoothCanvas::Replay(const std::vector<TBackdropOp>& ops) {
    FBackdrop.Forget();
    const TState chartState = State();
    for (const TBackdropOp& op : ops) {
        TakeStateOf(op);
        Paint(op);
    }
    RestoreState(chartState);
}

void TSmoothCanvas::TakeStateOf(const TBackdropOp& op) {
    if (UsesPen(op.Kind) && !(FPen == op.Pen))
        SetPen(op.Pen);
    if (UsesBrush(op.Kind) && !(FBrush == op.Brush))
        SetBrush(op.Brush);
    if (op.TextState) {
        if (!(FFont == op.TextState->Font))
            SetFont(op.TextState->Font);
        SetTextAlign(op.TextState->TextAlign);
        SetBackMode(op.TextState->BackMode);
    }
}

void TSmoothCanvas::Paint(const TBackdropOp& op) {
    switch (op.Kind) {
    case TDrawKind::Line:
        Line(op.From.X, op.From.Y, op.To.X, op.To.Y);
        break;
    case TDrawKind::Polyline:
        Polyline(op.Points);
        break;
    case TDrawKind::FillRect:
        FillRect(op.From.X, op.From.Y, op.To.X, op.To.Y);
        break;
    case TDrawKind::Rectangle:
        Rectangle(op.From.X, op.From.Y, op.To.X, op.To.Y);
        break;
    case TDrawKind::Ellipse:
        Ellipse(op.From.X, op.From.Y, op.To.X, op.To.Y);
        break;
    case TDrawKind::TextOut:
        TextOut(op.From.X, op.From.Y, op.Text);
        break;
    }
}

// The painter is left as the backdrop left it when it was painted, and the pen is built anew.
void TSmoothCanvas::ShowKept() {
    const TPainterState& after = FBackdrop.ShowKept(FImagePixels, FBitmap);
    if (after.Smoothing)
        SetSmoothing(*after.Smoothing);
    FPlainColor = after.PlainColor;
    FPenStale = true;
}

void TSmoothCanvas::SetDevicePixelRatio(double ratio) {
    if (!std::isfinite(ratio) || ratio <= 0)
        ratio = 1;
    ratio = std::min(ratio, MaxDevicePixelRatio);
    if (ratio == FNextRatio)
        return;
    FNextRatio = ratio;
    Invalidate();
}

TRect TSmoothCanvas::InitWindow(const TRect& rect) {
    EndDraw();
    if (FRatio != FNextRatio) {
        FRatio = FNextRatio;
        FStrokeStamps.Clear();
        FEllipseStamps.Clear();
        FTextStamps.Clear();
    }
    // A control of no size still gets a one-pixel image, so that the draw can go on. At a
    // fractional ratio the image covers the control's last, partly covered device pixels too.
    auto device = [&](int logical) {
        return std::max(1, static_cast<int>(std::ceil(std::max(1, logical) * FRatio - 1e-9)));
    };
    const QSize size(device(rect.Width()), device(rect.Height()));
    if (FBitmap.size() != size || FBitmap.devicePixelRatio() != FRatio) {
        FBackdrop.Forget();
        FBitmap = QImage(size, QImage::Format_ARGB32_Premultiplied);
        if (FBitmap.isNull())
            throw std::runtime_error(std::to_string(StatusOutOfMemory));
        FBitmap.setDotsPerMeterX(DotsPerMeter);
        FBitmap.setDotsPerMeterY(DotsPerMeter);
        FBitmap.setDevicePixelRatio(FRatio);
        FBitmap.fill(Qt::white);
    }
    FX = 0;
    FY = 0;
    SetBackMode(cbmOpaque);
    IOldClipRect.clear();
    FPlainColor.reset();

    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&FBitmap))
        throw std::runtime_error(std::to_string(StatusGenericError));
    // The pixels the painter paints on: the image is its own after begin.
    FImagePixels = FBitmap.bits();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setRenderHint(QPainter::TextAntialiasing, true);
    painter->setBrush(Qt::NoBrush);
    FPainter = std::move(painter);
    ICachedAntialias = true;
    return TRect{0, 0, rect.Width(), rect.Height()};
}

void TSmoothCanvas::ShowImage(TImageDestination* destination, const TRect& rect) {
    EndBackdrop();
    EndDraw();
    CopyTo(destination, rect.Left, rect.Top);
    FDirty = false;
}

void TSmoothCanvas::AbandonDraw() {
    FBackdrop.Forget();
    EndDraw();
    FDirty = true;
}

bool TSmoothCanvas::ReDrawBitmap(TImageDestination* destination) {
    if (FDirty)
        return false;
    CopyTo(destination, 0, 0);
    return true;
}

void TSmoothCanvas::CopyTo(TImageDestination* destination, int x, int y) const {
    const auto* target = dynamic_cast<TPainterDestination*>(destination);
    if (!target || !target->Painter() || FBitmap.isNull())
        return;
    QPainter* painter = target->Painter();
    painter->save();
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->drawImage(QPoint(x, y), FBitmap);
    painter->restore();
}

void TSmoothCanvas::EndDraw() {
    FImagePixels = nullptr;
    FBackdrop.DropCollected();
    FPainter.reset();
    ICachedAntialias.reset();
}
