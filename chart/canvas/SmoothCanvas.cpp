#include "chart/canvas/SmoothCanvas.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <QTextLayout>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Status codes reported when no painter can be opened on the image.
constexpr int StatusGenericError = 1;
constexpr int StatusOutOfMemory = 3;

constexpr double ImageDpi = 96;
constexpr int DotsPerMeter = 3780; // 96 dots per inch
constexpr double MinFontPoints = 0.1;
// Beyond any screen's ratio; keeps a wrong ratio from asking for an image of gigabytes.
constexpr double MaxDevicePixelRatio = 8;

int Round(double v) {
    return static_cast<int>(std::nearbyint(v));
}

// The high byte of a colour lowers its opacity; the rest is 0x00BBGGRR.
QColor ToQColor(TColor color, std::uint8_t transparency) {
    const int alpha = std::max(0, static_cast<int>(transparency) - static_cast<int>(color >> 24));
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF), alpha);
}

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

// Paints with the brushes of one fill, bottom first: none for a clear brush, the hatch's
// background under its lines for a hatched one.
template <class Fill>
void PaintFill(const TChartBrush& brush, std::uint8_t transparency, Fill fill) {
    if (brush.Style == bsClear)
        return;
    const QColor color = ToQColor(brush.Color, transparency);
    if (brush.Style == bsSolid) {
        fill(QBrush(color));
        return;
    }
    fill(QBrush(ToQColor(brush.BackColor, transparency)));
    fill(QBrush(color, HatchStyle(brush.Style)));
}

// The smallest rectangle holding every pixel that is not fully transparent.
QRect InkBounds(const QImage& image) {
    int left = image.width();
    int right = -1;
    int top = image.height();
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < left ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The picture as rectangles of one colour, or nothing when it takes more than a few: each row's
// runs of equal pixels, and each run continued by the same run in the rows below it.
std::vector<QRect> UniformAreas(const QImage& image, std::vector<QRgb>& colors) {
    constexpr std::size_t MaxAreas = 24;
    std::vector<QRect> areas;
    colors.clear();
    // The areas that end in the row above, by where they start in it.
    std::vector<std::size_t> open;
    std::vector<std::size_t> next;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        next.clear();
        for (int x = 0; x < image.width();) {
            const QRgb color = row[x];
            int end = x + 1;
            while (end < image.width() && row[end] == color)
                ++end;
            if (color != 0) {
                const auto continued = std::find_if(open.begin(), open.end(), [&](std::size_t a) {
                    return areas[a].left() == x && areas[a].right() == end - 1 &&
                           colors[a] == color;
                });
                if (continued != open.end()) {
                    areas[*continued].setBottom(y);
                    next.push_back(*continued);
                } else {
                    if (areas.size() == MaxAreas)
                        return {};
                    areas.push_back(QRect(x, y, end - x, 1));
                    colors.push_back(color);
                    next.push_back(areas.size() - 1);
                }
            }
            x = end;
        }
        open.swap(next);
    }
    return areas;
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

// Measured texts kept before all are measured anew.
constexpr std::size_t MaxTextRuns = 4096;

// Pictures are kept of strokes and texts up to this long and of ellipses, pens and fonts up to
// this size, anywhere not too far from the image for whole pixel coordinates.
constexpr double MaxSpriteStroke = 4096;
constexpr std::int64_t MaxSpriteSize = 128;
constexpr double MaxSpriteCoordinate = 1 << 30;

bool NearTheImage(const QPointF& p) {
    return std::abs(p.x()) <= MaxSpriteCoordinate && std::abs(p.y()) <= MaxSpriteCoordinate;
}

QFont LabelFont(const QString& family, int style, double emPixels) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setBold((style & fsBold) != 0);
    font.setItalic((style & fsItalic) != 0);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPixelSize(std::max(1, Round(emPixels)));
    return font;
}

// A face's line box in font units: its ascender, its descender and the gap it asks for between
// lines, as its horizontal header records them. Qt's own figures depend on its version: newer
// ones take the Windows clipping heights and drop the line gap, which would make a label line
// of Liberation Sans a pixel lower and move the axes. A face without that header keeps Qt's.
struct TLineMetrics {
    double Ascent = 0;
    double Descent = 0;
    double Gap = 0;
};

TLineMetrics LineMetrics(const QRawFont& unit) {
    const QByteArray hhea = unit.fontTable("hhea");
    const auto field = [&](int offset) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(hhea.constData() + offset);
        return static_cast<std::int16_t>((bytes[0] << 8) | bytes[1]);
    };
    if (hhea.size() >= 10 && field(4) > 0) {
        const double ascender = field(4);
        const double descender = -static_cast<double>(field(6));
        const double gap = std::max<double>(0, field(8));
        return {ascender, descender, gap};
    }
    return {unit.ascent(), unit.descent(), unit.leading()};
}

// Characters that separate digit groups or decimals in some locale, and what may be drawn in
// their place, nearest first, when no installed face has a glyph for them.
const std::map<char32_t, std::vector<char32_t>> SeparatorEquivalents{
    {U'\u202F', {U'\u2009', U' '}}, // narrow no-break space (French)
    {U'\u00A0', {U' '}},            // no-break space
    {U'\u2007', {U' '}},            // figure space
    {U'\u2009', {U' '}},            // thin space
    {U'\u200A', {U' '}},            // hair space
    {U'\u2019', {U'\''}},           // right single quotation mark (Swiss German)
    {U'\u066C', {U','}},            // Arabic thousands separator
    {U'\u066B', {U','}},            // Arabic decimal separator
};

} // namespace

TSmoothCanvas::TSmoothCanvas() = default;

TSmoothCanvas::~TSmoothCanvas() = default;

void TSmoothCanvas::LineTo(int x, int y) {
    Line(FX, FY, x, y);
}

void TSmoothCanvas::Line(int x0, int y0, int x1, int y1) {
    FX = x1;
    FY = y1;
    if (!FPainter || !PenDraws())
        return;
    if (Collecting()) {
        Collect(TBackdropOp::Line, x0, y0, x1, y1);
        return;
    }
    NoteDrawnLine(QPointF(x0, y0), QPointF(x1, y1));
    PreparePen();
    StrokeSegment(QPointF(x0, y0), QPointF(x1, y1), FGPPen.capStyle());
}

void TSmoothCanvas::Polyline(const std::vector<TPoint>& points) {
    if (!FPainter || !PenDraws() || points.size() < 2)
        return;
    if (Collecting()) {
        Collect(TBackdropOp::Polyline).Points = points;
        return;
    }
    if (FShowsKept) {
        const auto [minX, maxX] =
            std::minmax_element(points.begin(), points.end(),
                                [](const TPoint& a, const TPoint& b) { return a.X < b.X; });
        const auto [minY, maxY] =
            std::minmax_element(points.begin(), points.end(),
                                [](const TPoint& a, const TPoint& b) { return a.Y < b.Y; });
        NoteDrawn(QRectF(QPointF(minX->X, minY->Y), QPointF(maxX->X, maxY->Y)));
    }
    PreparePen();
    if (ThinSolidPen() && RightAngled(points)) {
        StrokePieces(points, false);
        return;
    }
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const TPoint& p : points)
        polygon.append(QPointF(p.X, p.Y));
    FPlainColor.reset();
    FPainter->drawPolyline(polygon);
}

void TSmoothCanvas::FillRect(int left, int top, int right, int bottom) {
    if (!FPainter || right <= left || bottom <= top)
        return;
    if (Collecting()) {
        Collect(TBackdropOp::FillRect, left, top, right, bottom);
        return;
    }
    NoteDrawn(QRectF(QPointF(left, top), QPointF(right, bottom)));
    FillBox(QRectF(left, top, right - left, bottom - top));
}

void TSmoothCanvas::Rectangle(int x0, int y0, int x1, int y1) {
    if (!FPainter)
        return;
    if (Collecting()) {
        Collect(TBackdropOp::Rectangle, x0, y0, x1, y1);
        return;
    }
    NoteDrawn(QRectF(QPointF(x0, y0), QPointF(x1, y1)).normalized());
    const QRectF box(QPointF(std::min(x0, x1), std::min(y0, y1)),
                     QPointF(std::max(x0, x1), std::max(y0, y1)));
    const bool outline = PenDraws();
    // The stroke's smoothing applies to the fill as well, so the pen is prepared first.
    if (outline)
        PreparePen();
    FillBox(FillBoxInside(box));
    if (!outline)
        return;
    const int l = std::min(x0, x1);
    const int t = std::min(y0, y1);
    const int r = std::max(x0, x1);
    const int b = std::max(y0, y1);
    if (ThinSolidPen() && l < r && t < b) {
        StrokePieces({{l, t}, {r, t}, {r, b}, {l, b}, {l, t}}, true);
    } else {
        FPlainColor.reset();
        FPainter->drawRect(box);
    }
}

void TSmoothCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    if (!FPainter)
        return;
    if (Collecting()) {
        Collect(TBackdropOp::Ellipse, x1, y1, x2, y2);
        return;
    }
    NoteDrawn(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
    const QRectF box = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized();
    const bool outline = PenDraws();
    if (outline)
        PreparePen();
    const bool hatched = FBrush.Style != bsSolid && FBrush.Style != bsClear;
    const std::int64_t width = std::abs(std::int64_t{x2} - x1);
    const std::int64_t height = std::abs(std::int64_t{y2} - y1);
    const std::int64_t margin = 2 * std::int64_t{std::max(0, FPen.Width)} + 2;
    // A hatch is laid out from the image's corner, so a hatched ellipse is not a picture that
    // can be moved.
    if (hatched || width == 0 || height == 0 || width + 2 * margin > MaxSpriteSize ||
        height + 2 * margin > MaxSpriteSize || !NearTheImage(box.topLeft())) {
        QPainterPath path;
        path.addEllipse(FillBoxInside(box));
        FillPath(path);
        if (outline)
            FPainter->drawEllipse(box);
        return;
    }
    const bool smooth = FPainter->testRenderHint(QPainter::Antialiasing);
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    const TDevicePlace place = PlaceOf(box.topLeft());
    TEllipseKey key{place.Phase.x(),
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
    const TSprite* sprite = FEllipses.Find(key);
    if (!sprite) {
        const double m = static_cast<double>(margin);
        const QRectF area(-m, -m, w + 2 * m, h + 2 * m);
        const QRectF inside = FillBoxInside(QRectF(0, 0, w, h));
        sprite = &FEllipses.Add(
            key,
            Render(area, place.Phase, smooth, false, [&](QPainter& painter, const QPointF& origin) {
                QPainterPath path;
                path.addEllipse(inside.translated(origin));
                PaintFill(FBrush, FTransparency,
                          [&](const QBrush& brush) { painter.fillPath(path, brush); });
                if (!outline)
                    return;
                painter.setPen(FGPPen);
                painter.drawEllipse(QRectF(origin, QSizeF(w, h)));
            }));
    }
    Blit(*sprite, place.Pixel);
}

void TSmoothCanvas::PreparePen() {
    if (FPenStale) {
        FGPPen = QPen(ToQColor(FPen.Color, FTransparency));
        FGPPen.setWidthF(std::max(0, FPen.Width));
        FGPPen.setStyle(DashStyle(FPen));
        FGPPen.setCapStyle(CapStyle(FPen.EndStyle));
        FGPPen.setJoinStyle(JoinStyle(FPen.JoinStyle));
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

// A stroke between two points on the half-pixel grid. Smooth horizontal and vertical strokes
// (grid lines, ticks, axis lines, frames) are painted once as a picture and copied from then
// on; the painter's clip applies to the copy as it would to the stroke. Slanted strokes, which
// the series draws anew whenever a point moves, go to the painter.
void TSmoothCanvas::StrokeSegment(const QPointF& from, const QPointF& to, Qt::PenCapStyle cap) {
    auto pen = [&] {
        QPen p = FGPPen;
        if (p.capStyle() != cap)
            p.setCapStyle(cap);
        return p;
    };
    const double dx = std::abs(to.x() - from.x());
    const double dy = std::abs(to.y() - from.y());
    if (FPen.Width < 1 || (dx != 0 && dy != 0) || std::max(dx, dy) > MaxSpriteStroke ||
        FPen.Width > MaxSpriteSize || !NearTheImage(from)) {
        FPlainColor.reset();
        if (FRatio != 1 && cap == Qt::RoundCap && FPen.Width >= 1 &&
            FGPPen.style() == Qt::SolidLine && FGPPen.color().alpha() == 255) {
            StrokeWithRoundEnds(from, to);
            return;
        }
        FPainter->setPen(pen());
        FPainter->drawLine(from, to);
        return;
    }
    const TDevicePlace place = PlaceOf(from);
    const QPointF extent = to - from;
    const double margin = 2 * FPen.Width + 2;
    const QRectF area(
        QPointF(std::min(0.0, extent.x()) - margin, std::min(0.0, extent.y()) - margin),
        QPointF(std::max(0.0, extent.x()) + margin, std::max(0.0, extent.y()) + margin));
    const TStrokeKey key{place.Phase.x(),
                         place.Phase.y(),
                         extent.x(),
                         extent.y(),
                         FGPPen.color().rgba(),
                         FPen.Width,
                         static_cast<int>(FGPPen.style()),
                         static_cast<int>(cap),
                         static_cast<int>(FGPPen.joinStyle())};
    const TSprite* sprite = FStrokes.Find(key);
    if (!sprite) {
        sprite = &FStrokes.Add(key, Render(area, place.Phase, true, false,
                                           [&](QPainter& painter, const QPointF& origin) {
                                               painter.setPen(pen());
                                               painter.drawLine(origin, origin + extent);
                                           }));
    }
    Blit(*sprite, place.Pixel);
}

// On a screen of more than one device pixel per pixel a smooth pen is wider than a device pixel,
// and the painter strokes round ends as a general outline, several times slower than a line with
// flat ends (the series' slanted segments on every drag step). A flat-ended line with a disc of
// the pen's width on each end covers the same shape; where the disc overlaps the line's end the
// smoothed edge pixels are blended twice, which an opaque pen makes all but invisible.
void TSmoothCanvas::StrokeWithRoundEnds(const QPointF& from, const QPointF& to) {
    QPen flat = FGPPen;
    flat.setCapStyle(Qt::FlatCap);
    FPainter->setPen(flat);
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

TSmoothCanvas::TDevicePlace TSmoothCanvas::PlaceOf(const QPointF& point) const {
    const QPointF device = point * FRatio;
    const QPoint pixel(static_cast<int>(std::floor(device.x())),
                       static_cast<int>(std::floor(device.y())));
    return TDevicePlace{pixel, device - pixel};
}

// A picture is copied pixel for pixel onto the image's device pixels.
void TSmoothCanvas::Blit(const TSprite& sprite, const QPoint& devicePixel) {
    if (sprite.Image.isNull())
        return;
    FPlainColor.reset();
    // At a whole ratio a copy lands pixel for pixel, so it can be blended by hand where no clip
    // cuts it.
    if (!sprite.Fills.empty() && !FPainter->hasClipping() && FRatio == std::floor(FRatio)) {
        BlendFills(sprite, devicePixel);
        return;
    }
    if (FRatio == 1) {
        FPainter->drawImage(devicePixel + sprite.Offset, sprite.Image);
        return;
    }
    FPainter->setWorldTransform(QTransform::fromScale(1 / FRatio, 1 / FRatio));
    FPainter->drawImage(devicePixel + sprite.Offset, sprite.Image);
    FPainter->setWorldTransform(QTransform());
}

// Source over, on premultiplied pixels, rounded as the painter rounds when it copies a picture.
void TSmoothCanvas::BlendFills(const TSprite& sprite, const QPoint& devicePixel) {
    const QRect image = FBitmap.rect();
    uchar* bits = FImagePixels;
    const qsizetype line = FBitmap.bytesPerLine();
    for (const TSprite::TFill& fill : sprite.Fills) {
        const QRect area = fill.Area.translated(devicePixel + sprite.Offset).intersected(image);
        if (area.isEmpty())
            continue;
        const QRgb color = fill.Color;
        const std::uint32_t remaining = 255 - qAlpha(color);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(bits + y * line) + area.left();
            const int width = area.width();
            if (remaining == 0) {
                std::fill(row, row + width, color);
                continue;
            }
            for (int x = 0; x < width; ++x) {
                const std::uint32_t d = row[x];
                std::uint32_t rb = (d & 0xFF00FF) * remaining;
                rb = ((rb + ((rb >> 8) & 0xFF00FF) + 0x800080) >> 8) & 0xFF00FF;
                std::uint32_t ag = ((d >> 8) & 0xFF00FF) * remaining;
                ag = (ag + ((ag >> 8) & 0xFF00FF) + 0x800080) & 0xFF00FF00;
                row[x] = color + (rb | ag);
            }
        }
    }
}

TSmoothCanvas::TSprite
TSmoothCanvas::Render(const QRectF& area, const QPointF& phase, bool smooth, bool smoothText,
                      const std::function<void(QPainter&, const QPointF&)>& paint) const {
    auto low = [&](double p, double v) { return static_cast<int>(std::floor(p + v * FRatio)); };
    auto high = [&](double p, double v) { return static_cast<int>(std::ceil(p + v * FRatio)); };
    const QRect device(QPoint(low(phase.x(), area.left()), low(phase.y(), area.top())),
                       QPoint(high(phase.x(), area.right()), high(phase.y(), area.bottom())));
    QImage image(device.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, smooth);
        painter.setRenderHint(QPainter::TextAntialiasing, smoothText);
        const QPointF anchor = phase - QPointF(device.topLeft());
        if (FRatio == 1) {
            paint(painter, anchor);
        } else {
            painter.translate(anchor);
            painter.scale(FRatio, FRatio);
            paint(painter, QPointF());
        }
    }
    const QRect ink = InkBounds(image);
    if (ink.isEmpty())
        return TSprite{};
    TSprite sprite{image.copy(ink), device.topLeft() + ink.topLeft(), {}};
    std::vector<QRgb> colors;
    const std::vector<QRect> areas = UniformAreas(sprite.Image, colors);
    for (std::size_t i = 0; i < areas.size(); ++i)
        sprite.Fills.push_back(TSprite::TFill{areas[i], colors[i]});
    return sprite;
}

void TSmoothCanvas::FillPath(const QPainterPath& path) {
    FPlainColor.reset();
    PaintFill(FBrush, FTransparency, [&](const QBrush& brush) { FPainter->fillPath(path, brush); });
}

// The panel paints the whole image in its colour twice, first as the parent's background and
// then as its own face: painting the whole image in the one opaque colour it already has changes
// nothing and is left out.
void TSmoothCanvas::FillBox(const QRectF& box) {
    if (FBrush.Style == bsSolid && !FPainter->hasClipping() &&
        box.contains(QRectF(QPointF(), FBitmap.deviceIndependentSize()))) {
        const QColor color = ToQColor(FBrush.Color, FTransparency);
        if (color.alpha() == 255) {
            if (FPlainColor != color.rgba())
                FPainter->fillRect(box, color);
            FPlainColor = color.rgba();
            return;
        }
    }
    FPlainColor.reset();
    PaintFill(FBrush, FTransparency, [&](const QBrush& brush) { FPainter->fillRect(box, brush); });
}

// A thick outline is centred on the box's edges; the fill stops where the outline's inner half
// begins so that a translucent outline does not show the fill through it.
QRectF TSmoothCanvas::FillBoxInside(const QRectF& box) const {
    if (!PenDraws() || FPen.Width <= 1)
        return box;
    const double half = FPen.Width / 2.0;
    return box.adjusted(half, half, -half, -half);
}

void TSmoothCanvas::DoChangedFont() {
    if (FPainter)
        ApplyTextQuality();
}

void TSmoothCanvas::ApplyTextQuality() {
    FPainter->setRenderHint(QPainter::TextAntialiasing, FFont.Quality != fqNormal);
}

double TSmoothCanvas::EmPixels() const {
    return std::max(FFont.Size, MinFontPoints) * ImageDpi / 72;
}

void TSmoothCanvas::PrepareFont() {
    if (IOldFont && IOldFont->Name == FFont.Name && IOldFont->Size == FFont.Size &&
        IOldFont->Style == FFont.Style)
        return;
    const TFontKey key{FFont.Name, FFont.Size, FFont.Style};
    TFontFaces& font = FFonts[key];
    if (font.Faces.empty()) {
        const double em = EmPixels();
        QRawFont raw =
            QRawFont::fromFont(LabelFont(QString::fromStdString(FFont.Name), FFont.Style, em));
        if (!raw.isValid())
            raw = QRawFont::fromFont(LabelFont(QStringLiteral("Sans Serif"), FFont.Style, em));
        font.Faces.push_back(MakeFace(raw, em));
        ++FFontBuilds;
    }
    const QRawFont& unit = font.Faces.front().Unit;
    FAscent = 0;
    FLineHeight = 0;
    if (unit.isValid()) {
        const double em = EmPixels();
        const TLineMetrics line = LineMetrics(unit);
        FAscent = line.Ascent * em / unit.unitsPerEm();
        FLineHeight = (line.Ascent + line.Descent + line.Gap) * em / unit.unitsPerEm();
    }
    IOldFont = key;
    FFontFaces = &font;
}

TSmoothCanvas::TFace TSmoothCanvas::MakeFace(const QRawFont& raw, double emPixels) {
    TFace face{raw, raw};
    if (raw.isValid()) {
        face.Unit.setPixelSize(raw.unitsPerEm());
        face.Drawing.setPixelSize(emPixels);
    }
    return face;
}

double TSmoothCanvas::LineHeight() {
    PrepareFont();
    return FLineHeight;
}

// The chart measures the same few labels in the same font over and over: each text is laid
// out once per font.
const TSmoothCanvas::TTextRun& TSmoothCanvas::Run(const std::string& text) {
    PrepareFont();
    auto& runs = FFontFaces->Runs;
    const auto found = runs.find(text);
    if (found != runs.end())
        return found->second;
    if (FRunCount >= MaxTextRuns) {
        for (auto& [key, font] : FFonts)
            font.Runs.clear();
        FRunCount = 0;
    }
    ++FRunCount;
    TTextRun run = MeasureRun(text);
    return runs.emplace(text, std::move(run)).first->second;
}

// Advances are read from each face at one pixel per font unit, where they are whole numbers,
// and scaled to the font's size, so widths do not depend on how the renderer rounds glyphs.
// A text is measured with the glyphs it is drawn with, stand-ins included.
TSmoothCanvas::TTextRun TSmoothCanvas::MeasureRun(const std::string& text) {
    TTextRun run;
    if (!FFontFaces->Faces.front().Unit.isValid() || text.empty())
        return run;
    const double em = EmPixels();
    double pen = 0;
    double trimmed = 0;
    QString pieceText;
    std::size_t pieceFace = 0;
    auto flush = [&] {
        if (pieceText.isEmpty())
            return;
        const QRawFont& unit = FFontFaces->Faces[pieceFace].Unit;
        const double scale = em / unit.unitsPerEm();
        TTextRun::TPiece piece{pieceFace, unit.glyphIndexesForString(pieceText), {}};
        const QList<QPointF> advances = unit.advancesForGlyphIndexes(piece.Glyphs);
        const QList<uint> characters = pieceText.toUcs4();
        for (qsizetype i = 0; i < advances.size(); ++i) {
            piece.Positions.append(QPointF(pen, 0));
            pen += advances[i].x() * scale;
            if (i >= characters.size() || !QChar::isSpace(characters[i]))
                trimmed = pen;
        }
        run.Pieces.push_back(std::move(piece));
        pieceText.clear();
    };
    for (const uint character : QString::fromStdString(text).toUcs4()) {
        const TStandIn standIn = StandInFor(character);
        if (standIn.Face != pieceFace)
            flush();
        pieceFace = standIn.Face;
        const char32_t drawn = standIn.Character;
        pieceText.append(QString::fromUcs4(&drawn, 1));
    }
    flush();
    run.TrimmedWidth = trimmed;
    return run;
}

// The font's own face serves what it has glyphs for; for anything else another installed face
// that has the character, or else an equivalent character, is looked for once.
TSmoothCanvas::TStandIn TSmoothCanvas::StandInFor(char32_t character) {
    const QRawFont& own = FFontFaces->Faces.front().Unit;
    if (own.supportsCharacter(character))
        return TStandIn{0, character};
    auto& standIns = FFontFaces->StandIns;
    const auto known = standIns.find(character);
    if (known != standIns.end())
        return known->second;
    std::vector<char32_t> candidates{character};
    const auto equivalents = SeparatorEquivalents.find(character);
    if (equivalents != SeparatorEquivalents.end())
        candidates.insert(candidates.end(), equivalents->second.begin(), equivalents->second.end());
    TStandIn found{0, character};
    for (const char32_t candidate : candidates) {
        if (own.supportsCharacter(candidate)) {
            found = TStandIn{0, candidate};
            break;
        }
        if (const std::optional<std::size_t> face = FallbackFace(candidate)) {
            found = TStandIn{*face, candidate};
            break;
        }
    }
    standIns.emplace(character, found);
    return found;
}

// The face the platform's font matching picks for a character that the font's own face lacks.
std::optional<std::size_t> TSmoothCanvas::FallbackFace(char32_t character) {
    const double em = EmPixels();
    QTextLayout layout(QString::fromUcs4(&character, 1),
                       LabelFont(QString::fromStdString(FFont.Name), FFont.Style, em));
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& glyphs : layout.glyphRuns()) {
        const QRawFont raw = glyphs.rawFont();
        if (!raw.isValid() || !raw.supportsCharacter(character))
            continue;
        std::vector<TFace>& faces = FFontFaces->Faces;
        for (std::size_t i = 1; i < faces.size(); ++i) {
            if (faces[i].Unit.familyName() == raw.familyName() &&
                faces[i].Unit.styleName() == raw.styleName())
                return i;
        }
        faces.push_back(MakeFace(raw, em));
        return faces.size() - 1;
    }
    return std::nullopt;
}

QList<QGlyphRun> TSmoothCanvas::GlyphRuns(const std::string& text) {
    return GlyphRuns(Run(text));
}

QList<QGlyphRun> TSmoothCanvas::GlyphRuns(const TTextRun& run) const {
    QList<QGlyphRun> runs;
    for (const TTextRun::TPiece& piece : run.Pieces) {
        QGlyphRun glyphs;
        glyphs.setRawFont(FFontFaces->Faces[piece.Face].Drawing);
        glyphs.setGlyphIndexes(piece.Glyphs);
        glyphs.setPositions(piece.Positions);
        glyphs.setUnderline((FFont.Style & fsUnderline) != 0);
        glyphs.setStrikeOut((FFont.Style & fsStrikeOut) != 0);
        runs.append(glyphs);
    }
    return runs;
}

// Trailing blanks are not measured, so a text of blanks alone is as wide as the layout's
// side padding.
TFloatSize TSmoothCanvas::TextSize(const std::string& text) {
    if (text.empty())
        return TFloatSize{};
    const double width = Run(text).TrimmedWidth;
    return TFloatSize{width + 2 * Padding(), LineHeight()};
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
    return Run(text).TrimmedWidth;
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

void TSmoothCanvas::TextOut(int x, int y, const std::string& text) {
    if (Collecting()) {
        Collect(TBackdropOp::TextOut, x, y).Text = text;
        TakeFontBrush();
        return;
    }
    if (FPainter)
        NoteDrawnAll();
    const QPointF anchor = AlignedAnchor(x, y, text);
    if (FBackMode != cbmTransparent) {
        const TFloatSize size = TextSize(text);
        FillRect(Round(anchor.x()), Round(anchor.y()), Round(anchor.x() + size.Width),
                 Round(anchor.y() + size.Height));
    }
    TakeFontBrush();
    if (FPainter)
        DrawText(anchor, text);
}

// The layout box's top-left corner is the anchor; the glyphs start after the box's left
// padding, on a baseline one ascent below the top. A label is painted once as a picture for
// each position of its origin inside a device pixel, and copied from then on.
void TSmoothCanvas::DrawText(const QPointF& anchor, const std::string& text) {
    const TTextRun& run = Run(text);
    if (run.Pieces.empty() || !FFontFaces->Faces.front().Drawing.isValid())
        return;
    const QPointF origin(anchor.x() + Padding(), anchor.y() + FAscent);
    const QColor color = ToQColor(FFont.Color, FTransparency);
    const double em = std::ceil(EmPixels());
    if (em > MaxSpriteSize || run.TrimmedWidth > MaxSpriteStroke || !NearTheImage(origin)) {
        FPlainColor.reset();
        FPainter->setPen(QPen(color));
        for (const QGlyphRun& glyphs : GlyphRuns(run))
            FPainter->drawGlyphRun(origin, glyphs);
        return;
    }
    const TDevicePlace place = PlaceOf(origin);
    const TTextKey key{*IOldFont,
                       color.rgba(),
                       FPainter->testRenderHint(QPainter::Antialiasing),
                       FPainter->testRenderHint(QPainter::TextAntialiasing),
                       place.Phase.x(),
                       place.Phase.y(),
                       text};
    const TSprite* sprite = FTexts.Find(key);
    if (!sprite) {
        const double m = em + 2;
        const QRectF area(QPointF(-m, -2 * m), QPointF(std::ceil(run.TrimmedWidth) + m, m));
        const QList<QGlyphRun> runs = GlyphRuns(run);
        sprite = &FTexts.Add(key, Render(area, place.Phase, key.Smooth, key.SmoothText,
                                         [&](QPainter& painter, const QPointF& at) {
                                             painter.setPen(QPen(color));
                                             for (const QGlyphRun& glyphs : runs)
                                                 painter.drawGlyphRun(at, glyphs);
                                         }));
    }
    Blit(*sprite, place.Pixel);
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
        FStrokes.Clear();
        FEllipses.Clear();
        FTexts.Clear();
    }
    // A control of no size still gets a one-pixel image, so that the draw can go on. At a
    // fractional ratio the image covers the control's last, partly covered device pixels too.
    auto device = [&](int logical) {
        return std::max(1, static_cast<int>(std::ceil(std::max(1, logical) * FRatio - 1e-9)));
    };
    const QSize size(device(rect.Width()), device(rect.Height()));
    if (FBitmap.size() != size || FBitmap.devicePixelRatio() != FRatio) {
        FShowsKept = false;
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
    FShowsKept = false;
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
    FCollecting = false;
    FCollected.clear();
    FPainter.reset();
    ICachedAntialias.reset();
}
