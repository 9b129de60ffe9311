#pragma once

// Stamps: drawing operations painted once as ready pictures and then only copied. The chart
// draws the same grid lines, ticks, markers and labels over and over, mostly at the same
// positions inside a device pixel: each is painted once onto a transparent picture of device
// pixels, cropped to its ink, and stamped onto the image from then on.

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>

#include <cstddef>
#include <functional>
#include <map>
#include <utility>
#include <vector>

class QPainter;

// A ready picture of one drawing operation. Offset is where the picture's top-left pixel goes
// relative to the device pixel that holds the operation's anchor point: the same operation at
// the same position inside its device pixel gives the same picture. A stamp is made for one
// device pixel ratio.
struct TStamp {
    QImage Image;
    QPoint Offset;
    // A picture made of a few rectangles of one colour each (a stroke along an axis: its rows
    // or columns of equal coverage) is blended rectangle by rectangle, each pixel as the copy of
    // the picture would blend it.
    struct TFill {
        QRect Area;
        QRgb Color = 0;
    };
    std::vector<TFill> Fills;
};

// Stamps by what they show; all are dropped at once when they grow past a budget.
template <class Key> class TStampCache {
public:
    const TStamp* Find(const Key& key) const {
        const auto it = FStamps.find(key);
        return it == FStamps.end() ? nullptr : &it->second;
    }
    const TStamp& Add(const Key& key, TStamp stamp) {
        const qsizetype pixels = stamp.Image.width() * stamp.Image.height();
        if (FStamps.size() >= MaxStamps || FPixels + pixels > MaxPixels)
            Clear();
        FPixels += pixels;
        return FStamps.insert_or_assign(key, std::move(stamp)).first->second;
    }
    std::size_t Size() const { return FStamps.size(); }
    void Clear() {
        FStamps.clear();
        FPixels = 0;
    }

private:
    static constexpr std::size_t MaxStamps = 2048;
    static constexpr qsizetype MaxPixels = qsizetype{1} << 20;
    std::map<Key, TStamp> FStamps;
    qsizetype FPixels = 0;
};

// Stamps are made of strokes and texts up to this long and of ellipses, pens and fonts up to
// this size, anywhere not too far from the image for whole pixel coordinates.
constexpr double MaxStampedLength = 4096;
constexpr int MaxStampSize = 128;
bool NearTheImage(const QPointF& point);

// Where a point of the image lies in device pixels: the pixel that holds it, and where in that
// pixel it lies.
struct TDevicePlace {
    QPoint Pixel;
    QPointF Phase;
};
TDevicePlace PlaceOf(const QPointF& point, double ratio);

// Paints onto a transparent picture covering `area` (logical pixels around the anchor point)
// and crops it to its ink; `paint` draws relative to the point it is given, in logical pixels,
// and the anchor point lands at `phase` inside its device pixel.
using TStampPainting = std::function<void(QPainter&, const QPointF&)>;
TStamp MakeStamp(const QRectF& area, const QPointF& phase, double ratio, bool smooth,
                 bool smoothText, const TStampPainting& paint);

// The image a draw paints on, as stamps are put onto it: its painter, its pixels (the image's
// own while the painter paints them) and its device pixel ratio.
struct TStampTarget {
    QPainter* Painter = nullptr;
    QImage* Image = nullptr;
    uchar* Pixels = nullptr;
    double Ratio = 1;
};

// Copies a stamp pixel for pixel onto the image's device pixels, its anchor in `devicePixel`.
void PutStamp(const TStampTarget& target, const TStamp& stamp, const QPoint& devicePixel);
