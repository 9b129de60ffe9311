#include "chart/canvas/KeptBackdrop.h"

#include "chart/canvas/PainterStyle.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Lines longer than this are noted as one box.
constexpr double MaxTrackedLength = 4096;
// A slanted line is noted in pieces of this length.
constexpr double TrackedPiece = 16;
// Many small boxes are copied back as the one box around them.
constexpr std::size_t MaxDrawnBoxes = 1024;

} // namespace

bool FillsTheWholeImage(const TDrawCall& call, const TChartPen& pen, const TChartBrush& brush,
                        std::uint8_t transparency, const QSizeF& image) {
    if (call.Kind != TDrawKind::FillRect && call.Kind != TDrawKind::Rectangle)
        return false;
    if (brush.Style != bsSolid || Opacity(brush.Color, transparency) < 255)
        return false;
    const QRectF box = BoxBetween(call.From, call.To);
    // A thick outline's fill stops inside it.
    const QRectF filled = call.Kind == TDrawKind::Rectangle ? InsideOutline(box, pen) : box;
    return filled.contains(QRectF(QPointF(), image));
}

void TKeptBackdrop::Begin(std::optional<bool> smoothing) {
    FCollecting = true;
    FCollected.clear();
    FCollectedSmoothing = smoothing;
}

void TKeptBackdrop::Collect(const TDrawCall& call, const TChartCanvas& canvas) {
    TBackdropOp& op = FCollected.emplace_back(call.Kind, call.From, call.To);
    if (!call.Points.empty())
        op.Points.assign(call.Points.begin(), call.Points.end());
    if (!call.Text.empty())
        op.Text = call.Text;
    if (UsesPen(call.Kind))
        op.Pen = canvas.Pen();
    if (UsesBrush(call.Kind))
        op.Brush = canvas.Brush();
    if (UsesText(call.Kind))
        op.TextState = TTextState{canvas.Font(), canvas.TextAlign(), canvas.BackMode()};
}

TBackdropSetting TKeptBackdrop::Setting(double ratio, std::uint8_t transparency,
                                        const QImage& image) const {
    return TBackdropSetting{ratio, transparency, image.size(), FCollectedSmoothing};
}

bool TKeptBackdrop::CollectedKeepable(const TBackdropSetting& setting) const {
    const QSizeF logical = QSizeF(setting.ImageSize) / setting.Ratio;
    return std::any_of(FCollected.begin(), FCollected.end(), [&](const TBackdropOp& op) {
        return FillsTheWholeImage(op.Call(), op.Pen, op.Brush, setting.Transparency, logical);
    });
}

bool TKeptBackdrop::CollectedMatchesKept(const TBackdropSetting& setting) const {
    return !FKeptImage.isNull() && FKeptSetting == setting && FKeptOps == FCollected;
}

// The two lists of operations swap, so that the next backdrop is collected into the storage
// of the one kept before.
void TKeptBackdrop::KeepCollected(const TBackdropSetting& setting, const QImage& image,
                                  const TPainterState& after) {
    if (FKeptImage.size() == image.size() && FKeptImage.format() == image.format())
        std::memcpy(FKeptImage.bits(), image.constBits(),
                    static_cast<std::size_t>(image.sizeInBytes()));
    else
        FKeptImage = image.copy();
    FKeptOps.swap(FCollected);
    DropCollected();
    FKeptSetting = setting;
    FKeptAfter = after;
    StartShowing(setting);
}

const TPainterState& TKeptBackdrop::ShowKept(uchar* pixels, const QImage& image) {
    const uchar* kept = FKeptImage.constBits();
    if (FShowsKept) {
        const qsizetype line = image.bytesPerLine();
        constexpr qsizetype pixel = 4;
        for (const QRect& r : FDrawnOver)
            for (int y = r.top(); y <= r.bottom(); ++y)
                std::memcpy(pixels + y * line + r.left() * pixel,
                            kept + y * line + r.left() * pixel,
                            static_cast<std::size_t>(r.width() * pixel));
    } else {
        std::memcpy(pixels, kept, static_cast<std::size_t>(image.sizeInBytes()));
    }
    StartShowing(FKeptSetting);
    ++FReuses;
    return FKeptAfter;
}

void TKeptBackdrop::StartShowing(const TBackdropSetting& setting) {
    FShowsKept = true;
    FDrawnOver.clear();
    FShownRatio = setting.Ratio;
    FShownBounds = QRect(QPoint(), setting.ImageSize);
}

void TKeptBackdrop::NoteDrawnBy(const TDrawCall& call, double reach) {
    switch (call.Kind) {
    case TDrawKind::Line:
        NoteDrawnLine(QPointF(call.From.X, call.From.Y), QPointF(call.To.X, call.To.Y), reach);
        return;
    case TDrawKind::Polyline: {
        if (call.Points.empty())
            return;
        const auto [minX, maxX] =
            std::minmax_element(call.Points.begin(), call.Points.end(),
                                [](const TPoint& a, const TPoint& b) { return a.X < b.X; });
        const auto [minY, maxY] =
            std::minmax_element(call.Points.begin(), call.Points.end(),
                                [](const TPoint& a, const TPoint& b) { return a.Y < b.Y; });
        NoteDrawnBox(QRectF(QPointF(minX->X, minY->Y), QPointF(maxX->X, maxY->Y)), reach);
        return;
    }
    case TDrawKind::FillRect:
    case TDrawKind::Rectangle:
    case TDrawKind::Ellipse:
        NoteDrawnBox(BoxBetween(call.From, call.To), reach);
        return;
    case TDrawKind::TextOut:
        // Where the glyphs of a text reach is not worked out: the next draw that shows the
        // kept picture copies it whole.
        Forget();
        return;
    }
}

void TKeptBackdrop::NoteDrawnBox(const QRectF& box, double reach) {
    const QRectF device = box.adjusted(-reach, -reach, reach, reach);
    auto low = [&](double v) {
        return static_cast<int>(std::floor(std::max(-1e9, v * FShownRatio)));
    };
    auto high = [&](double v) {
        return static_cast<int>(std::ceil(std::min(1e9, v * FShownRatio)));
    };
    const int left = std::max(low(device.left()), FShownBounds.left());
    const int top = std::max(low(device.top()), FShownBounds.top());
    const int right = std::min(high(device.right()), FShownBounds.right());
    const int bottom = std::min(high(device.bottom()), FShownBounds.bottom());
    if (right < left || bottom < top)
        return;
    const QRect drawn(QPoint(left, top), QPoint(right, bottom));
    if (FDrawnOver.size() >= MaxDrawnBoxes) {
        QRect all = drawn;
        for (const QRect& r : FDrawnOver)
            all = all.united(r);
        FDrawnOver.assign(1, all);
        return;
    }
    FDrawnOver.push_back(drawn);
}

void TKeptBackdrop::NoteDrawnLine(const QPointF& from, const QPointF& to, double reach) {
    const QPointF extent = to - from;
    const double length = std::max(std::abs(extent.x()), std::abs(extent.y()));
    // Far outside the image a line is cut there anyway: one box.
    const int pieces = length > MaxTrackedLength
                           ? 1
                           : std::max(1, static_cast<int>(std::ceil(length / TrackedPiece)));
    for (int i = 0; i < pieces; ++i)
        NoteDrawnBox(
            QRectF(from + extent * (double(i) / pieces), from + extent * (double(i + 1) / pieces))
                .normalized(),
            reach);
}
