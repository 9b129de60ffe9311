#include "e2e/ChartMarkers.h"
#include "e2e/XSession.h"

#include <QSettings>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using e2e::ChartOrigin;
using e2e::MarkerCentres;

constexpr QPoint SaveButton{1089 + 37, 11 + 12};

int SavedValue(const QString& file, const QString& section, int key) {
    QSettings ini(file, QSettings::IniFormat);
    return ini.value(QString("%1/%2").arg(section).arg(key), -1).toInt();
}

TEST(DragPoint, DraggedOntoItsNeighbourPushesItAndSaves) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    XSession x;
    QString reason;
    ASSERT_TRUE(x.Start(dir.path(), &reason)) << reason.toStdString();

    const std::vector<QPointF> markers = MarkerCentres(x.Screenshot(dir.filePath("before.png")));
    ASSERT_EQ(markers.size(), 15u);
    // The first lead-in marker sits on the chart rectangle's left edge and is cut there, so
    // the axes are measured between whole markers: points 1 and 13 for the speed, points 1
    // and 3 for the advance.
    const QPoint point1 = markers[2].toPoint();   // (1000, 10)
    const QPoint point3 = markers[4].toPoint();   // (3000, 12)
    const QPoint point4 = markers[5].toPoint();   // (4000, 10)
    const QPoint point13 = markers[14].toPoint(); // (13000, 8)
    ASSERT_EQ(point4.y(), point1.y());

    const double rpmPerPixel = 12000.0 / (point13.x() - point1.x());
    const double degreesPerPixel = 2.0 / (point1.y() - point3.y());
    auto rpmAt = [&](int column) { return 1000 + (column - point1.x()) * rpmPerPixel; };
    auto degreesAt = [&](int row) { return 10 + (point1.y() - row) * degreesPerPixel; };

    // A target a little right of point 4, away from the snapping boundaries.
    int column = point4.x() + 25;
    while (std::fmod(rpmAt(column), 100.0) < 25 || std::fmod(rpmAt(column), 100.0) > 75)
        ++column;
    int row = point4.y() - 40; // below 12 degrees, so the advance axis keeps its range
    while (std::fmod(degreesAt(row), 1.0) < 0.25 || std::fmod(degreesAt(row), 1.0) > 0.75)
        ++row;
    const int expectedRpm = static_cast<int>(std::trunc(rpmAt(column) / 100)) * 100;
    const int expectedAdvance = static_cast<int>(std::trunc(degreesAt(row)));
    ASSERT_GT(expectedRpm, 4000);

    x.MoveTo(ChartOrigin + point3);
    x.ButtonDown();
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) {
        const QPoint target =
            ChartOrigin + point3 + (QPoint(column, row) - point3) * static_cast<double>(i) / steps;
        x.MoveTo(target);
    }
    x.ButtonUp();
    x.Click(SaveButton);

    const QString ini = dir.filePath("quendrix_timing.ini");
    for (int i = 0; i < 100 && !QFile::exists(ini); ++i)
        QThread::msleep(50);
    QThread::msleep(300);
    ASSERT_TRUE(QFile::exists(ini));
    EXPECT_EQ(SavedValue(ini, "RPM", 3), expectedRpm);
    EXPECT_EQ(SavedValue(ini, "ADV", 3), expectedAdvance);
    EXPECT_EQ(SavedValue(ini, "RPM", 4), expectedRpm + 100);
    EXPECT_EQ(SavedValue(ini, "RPM", 2), 2000);
    EXPECT_EQ(SavedValue(ini, "RPM", 5), std::max(5000, expectedRpm + 200));
    EXPECT_EQ(SavedValue(ini, "ADV", 4), 12);

    // The picture follows: point 3's marker now stands right of where point 4 stood.
    const std::vector<QPointF> after = MarkerCentres(x.Screenshot(dir.filePath("after.png")));
    ASSERT_EQ(after.size(), 15u);
    EXPECT_GT(after[4].x(), point4.x());
}

} // namespace
