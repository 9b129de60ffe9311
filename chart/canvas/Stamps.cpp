#include "chart/canvas/Stamps.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double MaxStampCoordinate = 1 << 30;

// The smallest rectangle holding every pixel that is not fully transparent. Each row is looked
// at from both ends only as far as its first and last inked pixel.
QRect InkBounds(const QImage& image) {
    const int width = image.width();
    const int height = image.height();
    int left = width;
    int right = -1;
    int top = height;
    int bottom = -1;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int first = 0;
        while (first < width && row[first] == 0)
            ++first;
        if (first == width)
            continue;
        int last = width - 1;
        while (row[last] == 0)
            --last;
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    return right < left ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The picture as rectangles of one colour, or nothing when it takes more than a few: each row's
// runs of equal pixels, and each run continued by the same run in the rows below it.
std::vector<TStamp::TFill> UniformAreas(const QImage& image) {
    constexpr std::size_t MaxAreas = 24;
    std::vector<TStamp::TFill> areas;
    // The areas that end in the row above, by where they start in it.
    std::vector<std::size_t> open;
    std::vector<std::size_t> next;
    const int width = image.width();
    const int height = image.height();
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        next.clear();
        for (int x = 0; x < width;) {
            const QRgb color = row[x];
            int end = x + 1;
            while (end < width && row[end] == color)
                ++end;
            if (color != 0) {
                const auto continued = std::find_if(open.begin(), open.end(), [&](std::size_t a) {
                    return areas[a].Area.left() == x && areas[a].Area.right() == end - 1 &&
                           areas[a].Color == color;
                });
                if (continued != open.end()) {
                    areas[*continued].Area.setBottom(y);
                    next.push_back(*continued);
                } else {
                    if (areas.size() == MaxAreas)
                        return {};
                    areas.push_back(TStamp::TFill{QRect(x, y, end - x, 1), color});
                    next.push_back(areas.size() - 1);
                }
            }
            x = end;
        }
        open.swap(next);
    }
    return areas;
}

// Source over, on premultiplied pixels, rounded as the painter rounds when it copies a picture.
void BlendFills(const TStampTarget& target, const TStamp& stamp, const QPoint& devicePixel) {
    const QRect image = target.Image->rect();
    uchar* bits = target.Pixels;
    const qsizetype line = target.Image->bytesPerLine();
    for (const TStamp::TFill& fill : stamp.Fills) {
        const QRect area = fill.Area.translated(devicePixel + stamp.Offset).intersected(image);
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

} // namespace

bool NearTheImage(const QPointF& point) {
    return std::abs(point.x()) <= MaxStampCoordinate && std::abs(point.y()) <= MaxStampCoordinate;
}

TDevicePlace PlaceOf(const QPointF& point, double ratio) {
    const QPointF device = point * ratio;
    const QPoint pixel(static_cast<int>(std::floor(device.x())),
                       static_cast<int>(std::floor(device.y())));
    return TDevicePlace{pixel, device - pixel};
}

TStamp MakeStamp(const QRectF& area, const QPointF& phase, double ratio, bool smooth,
                 bool smoothText, const TStampPainting& paint) {
    auto low = [&](double p, double v) { return static_cast<int>(std::floor(p + v * ratio)); };
    auto high = [&](double p, double v) { return static_cast<int>(std::ceil(p + v * ratio)); };
    const QRect device(QPoint(low(phase.x(), area.left()), low(phase.y(), area.top())),
                       QPoint(high(phase.x(), area.right()), high(phase.y(), area.bottom())));
    QImage image(device.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, smooth);
        painter.setRenderHint(QPainter::TextAntialiasing, smoothText);
        const QPointF anchor = phase - QPointF(device.topLeft());
        if (ratio == 1) {
            paint(painter, anchor);
        } else {
            painter.translate(anchor);
            painter.scale(ratio, ratio);
            paint(painter, QPointF());
        }
    }
    const QRect ink = InkBounds(image);
    if (ink.isEmpty())
        return TStamp{};
    TStamp stamp{image.copy(ink), device.topLeft() + ink.topLeft(), {}};
    stamp.Fills = UniformAreas(stamp.Image);
    return stamp;
}

void PutStamp(const TStampTarget& target, const TStamp& stamp, const QPoint& devicePixel) {
    if (stamp.Image.isNull())
        return;
    QPainter& painter = *target.Painter;
    // At a whole ratio a copy lands pixel for pixel, so it can be blended by hand where no clip
    // cuts it.
    if (!stamp.Fills.empty() && !painter.hasClipping() &&
        target.Ratio == std::floor(target.Ratio)) {
        BlendFills(target, stamp, devicePixel);
        return;
    }
    if (target.Ratio == 1) {
        painter.drawImage(devicePixel + stamp.Offset, stamp.Image);
        return;
    }
    painter.setWorldTransform(QTransform::fromScale(1 / target.Ratio, 1 / target.Ratio));
    painter.drawImage(devicePixel + stamp.Offset, stamp.Image);
    painter.setWorldTransform(QTransform());
}
