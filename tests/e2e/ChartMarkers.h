#pragma once

// The chart on a picture of the main window: where it lies in the window, the centres of its
// yellow marker discs, and its grid at twice the density.

#include <QImage>
#include <QPointF>
#include <QRect>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace e2e {

inline constexpr QPoint ChartOrigin{195, 42};
inline constexpr QRect ChartArea{195, 42, 972, 450};
inline bool IsMarkerYellow(QRgb c) {
    return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 90;
}

// Centres of the yellow marker discs on a picture of the window, left to right, in chart
// pixels. A disc is centred on the corner point between four pixels, so the centre of its
// pixels lies half a pixel up and left of the point itself.
inline std::vector<QPointF> MarkerCentres(const QImage& window) {
    // A picture that failed, or one of less than the window, has no chart to look at.
    if (!window.rect().contains(ChartArea)) {
        ADD_FAILURE() << "a picture of " << window.width() << " x " << window.height()
                      << " pixels does not hold the chart";
        return {};
    }
    std::vector<std::vector<QPoint>> blobs;
    std::vector<std::vector<int>> label(window.width(), std::vector<int>(window.height(), -1));
    for (int x = ChartArea.left(); x <= ChartArea.right(); ++x) {
        for (int y = ChartArea.top(); y <= ChartArea.bottom(); ++y) {
            if (label[x][y] >= 0 || !IsMarkerYellow(window.pixel(x, y)))
                continue;
            std::vector<QPoint> blob;
            std::vector<QPoint> open{{x, y}};
            label[x][y] = static_cast<int>(blobs.size());
            while (!open.empty()) {
                const QPoint p = open.back();
                open.pop_back();
                blob.push_back(p);
                for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint q = p + d;
                    if (ChartArea.contains(q) && label[q.x()][q.y()] < 0 &&
                        IsMarkerYellow(window.pixel(q))) {
                        label[q.x()][q.y()] = label[x][y];
                        open.push_back(q);
                    }
                }
            }
            blobs.push_back(blob);
        }
    }
    std::vector<QPointF> centres;
    for (const auto& blob : blobs) {
        if (blob.size() < 8)
            continue;
        QPointF sum;
        for (const QPoint& p : blob)
            sum += QPointF(p);
        centres.push_back(sum / static_cast<double>(blob.size()) - QPointF(ChartOrigin) +
                          QPointF(0.5, 0.5));
    }
    std::sort(centres.begin(), centres.end(),
              [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    return centres;
}

// At two device pixels per pixel the chart is drawn at that density, not stretched: its grid
// line of 5 degrees (y = 260 of the chart, whose top left corner is at `chart` on the picture)
// fills two whole device rows in its own colour, between rows of the background.
inline void ExpectGridAtTwiceTheDensity(const QImage& shot, QPoint chart) {
    const QRgb background = shot.pixel(chart + QPoint(600, 517));
    const QRgb grid = shot.pixel(chart + QPoint(600, 519));
    EXPECT_LT(qGray(grid), qGray(background));
    for (int x = 400; x < 800; x += 7) {
        EXPECT_EQ(shot.pixel(chart + QPoint(x, 518)), background) << x;
        EXPECT_EQ(shot.pixel(chart + QPoint(x, 519)), grid) << x;
        EXPECT_EQ(shot.pixel(chart + QPoint(x, 520)), grid) << x;
        EXPECT_EQ(shot.pixel(chart + QPoint(x, 521)), background) << x;
    }
}

} // namespace e2e
