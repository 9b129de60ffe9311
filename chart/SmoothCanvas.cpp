#include "chart/SmoothCanvas.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

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

// The brushes one fill paints with, bottom first: none for a clear brush, the hatch's
// background under its lines for a hatched one.
std::vector<QBrush> FillBrushes(const TChartBrush& brush, std::uint8_t transparency) {
    if (brush.Style == bsClear)
        return {};
    const QColor color = ToQColor(brush.Color, transparency);
    if (brush.Style == bsSolid)
        return {QBrush(color)};
    return {QBrush(ToQColor(brush.BackColor, transparency)),
            QBrush(color, HatchStyle(brush.Style))};
}

QString WithoutTrailingBlanks(const std::string& text) {
    QString s = QString::fromStdString(text);
    while (!s.isEmpty() && s.back().isSpace())
        s.chop(1);
    return s;
}

QRawFont RawFont(const QString& family, int style, double emPixels) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setBold((style & fsBold) != 0);
    font.setItalic((style & fsItalic) != 0);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPixelSize(std::max(1, Round(emPixels)));
    return QRawFont::fromFont(font);
}

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
    PreparePen();
    FPainter->drawLine(QPointF(x0, y0), QPointF(x1, y1));
}

void TSmoothCanvas::Polyline(const std::vector<TPoint>& points) {
    if (!FPainter || !PenDraws() || points.size() < 2)
        return;
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const TPoint& p : points)
        polygon.append(QPointF(p.X, p.Y));
    PreparePen();
    FPainter->drawPolyline(polygon);
}

void TSmoothCanvas::FillRect(int left, int top, int right, int bottom) {
    if (!FPainter || right <= left || bottom <= top)
        return;
    FillBox(QRectF(left, top, right - left, bottom - top));
}

void TSmoothCanvas::Rectangle(int x0, int y0, int x1, int y1) {
    if (!FPainter)
        return;
    const QRectF box(QPointF(std::min(x0, x1), std::min(y0, y1)),
                     QPointF(std::max(x0, x1), std::max(y0, y1)));
    const bool outline = PenDraws();
    // The stroke's smoothing applies to the fill as well, so the pen is prepared first.
    if (outline)
        PreparePen();
    FillBox(FillBoxInside(box));
    if (outline)
        FPainter->drawRect(box);
}

void TSmoothCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    if (!FPainter)
        return;
    const QRectF box = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized();
    const bool outline = PenDraws();
    if (outline)
        PreparePen();
    QPainterPath path;
    path.addEllipse(FillBoxInside(box));
    FillPath(path);
    if (outline)
        FPainter->drawEllipse(box);
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

void TSmoothCanvas::FillPath(const QPainterPath& path) {
    for (const QBrush& brush : FillBrushes(FBrush, FTransparency))
        FPainter->fillPath(path, brush);
}

void TSmoothCanvas::FillBox(const QRectF& box) {
    for (const QBrush& brush : FillBrushes(FBrush, FTransparency))
        FPainter->fillRect(box, brush);
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
    const TFontKey key{FFont.Name, FFont.Size, FFont.Style};
    if (IOldFont == key)
        return;
    const double em = EmPixels();
    QRawFont raw = RawFont(QString::fromStdString(FFont.Name), FFont.Style, em);
    if (!raw.isValid())
        raw = RawFont(QStringLiteral("Sans Serif"), FFont.Style, em);
    FUnitFont = raw;
    FGPFont = raw;
    if (raw.isValid()) {
        FUnitFont.setPixelSize(raw.unitsPerEm());
        FGPFont.setPixelSize(em);
    }
    IOldFont = key;
    ++FFontBuilds;
}

double TSmoothCanvas::LineHeight() {
    PrepareFont();
    if (!FUnitFont.isValid())
        return 0;
    const double units = FUnitFont.ascent() + FUnitFont.descent() + FUnitFont.leading();
    return units * EmPixels() / FUnitFont.unitsPerEm();
}

// Advances are read from the face at one pixel per font unit, where they are whole numbers,
// and scaled to the font's size, so widths do not depend on how the renderer rounds glyphs.
std::vector<double> TSmoothCanvas::Advances(const QString& text, QList<quint32>& glyphs) {
    PrepareFont();
    std::vector<double> advances;
    if (!FUnitFont.isValid() || text.isEmpty())
        return advances;
    glyphs = FUnitFont.glyphIndexesForString(text);
    const double scale = EmPixels() / FUnitFont.unitsPerEm();
    for (const QPointF& a : FUnitFont.advancesForGlyphIndexes(glyphs))
        advances.push_back(a.x() * scale);
    return advances;
}

double TSmoothCanvas::AdvanceWidth(const QString& text) {
    QList<quint32> glyphs;
    const std::vector<double> advances = Advances(text, glyphs);
    double width = 0;
    for (double a : advances)
        width += a;
    return width;
}

// Trailing blanks are not measured, so a text of blanks alone is as wide as the layout's
// side padding.
TFloatSize TSmoothCanvas::TextSize(const std::string& text) {
    if (text.empty())
        return TFloatSize{};
    return TFloatSize{AdvanceWidth(WithoutTrailingBlanks(text)) + 2 * Padding(), LineHeight()};
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
    return AdvanceWidth(WithoutTrailingBlanks(text));
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
    const QPointF anchor = AlignedAnchor(x, y, text);
    if (FBackMode != cbmTransparent) {
        const TFloatSize size = TextSize(text);
        FillRect(Round(anchor.x()), Round(anchor.y()), Round(anchor.x() + size.Width),
                 Round(anchor.y() + size.Height));
    }
    TakeFontBrush();
    if (FPainter)
        DrawText(anchor, QString::fromStdString(text));
}

// The layout box's top-left corner is the anchor; the glyphs start after the box's left
// padding, on a baseline one ascent below the top.
void TSmoothCanvas::DrawText(const QPointF& anchor, const QString& text) {
    QList<quint32> glyphs;
    const std::vector<double> advances = Advances(text, glyphs);
    if (advances.empty() || !FGPFont.isValid())
        return;
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    double pen = 0;
    for (double a : advances) {
        positions.append(QPointF(pen, 0));
        pen += a;
    }
    QGlyphRun run;
    run.setRawFont(FGPFont);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    run.setUnderline((FFont.Style & fsUnderline) != 0);
    run.setStrikeOut((FFont.Style & fsStrikeOut) != 0);
    const double ascent = FUnitFont.ascent() * EmPixels() / FUnitFont.unitsPerEm();
    FPainter->setPen(QPen(ToQColor(FFont.Color, FTransparency)));
    FPainter->drawGlyphRun(QPointF(anchor.x() + Padding(), anchor.y() + ascent), run);
}

// The clip is widened by one pixel row above and below the rectangle, not at the sides.
void TSmoothCanvas::ClipRectangle(int left, int top, int right, int bottom) {
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

TRect TSmoothCanvas::InitWindow(const TRect& rect) {
    EndDraw();
    // A control of no size still gets a one-pixel image, so that the draw can go on.
    const QSize size(std::max(1, rect.Width()), std::max(1, rect.Height()));
    if (FBitmap.size() != size) {
        FBitmap = QImage(size, QImage::Format_ARGB32_Premultiplied);
        if (FBitmap.isNull())
            throw std::runtime_error(std::to_string(StatusOutOfMemory));
        FBitmap.setDotsPerMeterX(DotsPerMeter);
        FBitmap.setDotsPerMeterY(DotsPerMeter);
        FBitmap.fill(Qt::white);
    }
    FX = 0;
    FY = 0;
    SetBackMode(cbmOpaque);
    IOldClipRect.clear();

    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&FBitmap))
        throw std::runtime_error(std::to_string(StatusGenericError));
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setRenderHint(QPainter::TextAntialiasing, true);
    painter->setBrush(Qt::NoBrush);
    FPainter = std::move(painter);
    ICachedAntialias = true;
    return TRect{0, 0, rect.Width(), rect.Height()};
}

void TSmoothCanvas::ShowImage(TImageDestination* destination, const TRect& rect) {
    EndDraw();
    CopyTo(destination, rect.Left, rect.Top);
    FDirty = false;
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
    FPainter.reset();
    ICachedAntialias.reset();
}
