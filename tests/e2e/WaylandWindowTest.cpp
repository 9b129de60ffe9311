// The real editor as a native Wayland client, under a headless compositor with no X server:
// its window, typing, a drag, the chart under every kind of frame, and a scaled output.

#include "e2e/ChartMarkers.h"
#include "e2e/WaylandSession.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cmath>

namespace {

using e2e::ChartArea;
using e2e::ChartOrigin;
using e2e::MarkerCentres;

constexpr QSize ClientSize{1175, 548};
constexpr QPoint SaveButton{1089 + 37, 11 + 12};

constexpr QPoint RpmBox(int k) {
    return {16 + 30, 76 + 32 * (k - 1) + 13};
}

int SavedValue(const QString& file, const QString& section, int key) {
    QSettings ini(file, QSettings::IniFormat);
    return ini.value(QString("%1/%2").arg(section).arg(key), -1).toInt();
}

bool WaitForFile(const QString& path) {
    for (int i = 0; i < 100 && !QFile::exists(path); ++i)
        QThread::msleep(50);
    QThread::msleep(300);
    return QFile::exists(path);
}

class WaylandWindow : public ::testing::Test {
protected:
    // A case goes on only once its session is up: ASSERT_TRUE(Start()). Its one failure otherwise
    // is the session's own account, and nothing of the case runs against a session not there.
    [[nodiscard]] ::testing::AssertionResult Start(int scale = 1) {
        if (!Dir.isValid())
            return ::testing::AssertionFailure()
                   << "no working folder: " << Dir.errorString().toStdString();
        QString reason;
        if (!Session.Start(Dir.path(), &reason, scale))
            return ::testing::AssertionFailure() << reason.toStdString();
        return ::testing::AssertionSuccess();
    }
    QString IniPath() const { return Dir.filePath("quendrix_timing.ini"); }
    // The client area's origin on the layout, under the compositor's own frame.
    QPoint Client() { return Session.Surface().topLeft(); }

    QTemporaryDir Dir;
    WaylandSession Session;
};

TEST_F(WaylandWindow, OpensAsANativeClientAtItsFixedSize) {
    ASSERT_TRUE(Start());
    const QJsonObject window = Session.Window();
    EXPECT_EQ(window["shell"].toString(), "xdg_shell");
    EXPECT_EQ(window["app_id"].toString(), "com.example.varnotel");
    EXPECT_EQ(window["name"].toString(), "Varnotel");
    EXPECT_EQ(Session.Surface().size(), ClientSize);
    // The compositor cannot make it larger or smaller.
    for (const char* size : {"800 400", "1250 700"}) {
        Session.Command(QString("[con_mark=varnotel] resize set ") + size);
        EXPECT_EQ(Session.SurfaceSize(), ClientSize) << size;
    }
    EXPECT_TRUE(Session.EditorRunning());
}

TEST_F(WaylandWindow, TypedSpeedPushesTheNeighbourAndSaves) {
    ASSERT_TRUE(Start());
    Session.Click(Client() + RpmBox(1));
    Session.Keys({"ctrl+a"});
    Session.Type("2500");
    Session.Keys({"Tab"});
    Session.Click(Client() + SaveButton);
    ASSERT_TRUE(WaitForFile(IniPath()));
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 1), 2500);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 2), 2600);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 3), 3000);
    EXPECT_TRUE(Session.EditorRunning());
}

// The last point, dragged past the window's right edge, goes on following the pointer up to
// the top speed, and its advance follows the pointer's height.
TEST_F(WaylandWindow, PointDraggedPastTheWindowsEdgeFollowsThePointer) {
    ASSERT_TRUE(Start());
    const QPoint client = Client();
    const std::vector<QPointF> markers =
        MarkerCentres(Session.Picture(QRect(client, ClientSize), Dir.filePath("before.png")));
    ASSERT_EQ(markers.size(), 15u);
    const QPoint point1 = markers[2].toPoint();   // (1000, 10)
    const QPoint point3 = markers[4].toPoint();   // (3000, 12)
    const QPoint point13 = markers[14].toPoint(); // (13000, 8)
    const double degreesPerPixel = 2.0 / (point1.y() - point3.y());
    auto degreesAt = [&](int row) { return 8 + (point13.y() - row) * degreesPerPixel; };
    int row = point13.y() - 1; // clear of the boundary between two whole degrees
    while (std::fmod(degreesAt(row), 1.0) < 0.25 || std::fmod(degreesAt(row), 1.0) > 0.75)
        --row;
    const int expectedAdvance = static_cast<int>(std::trunc(degreesAt(row)));

    const QPoint start = client + ChartOrigin + point13;
    // As far right as the output goes, well past the window.
    const QPoint end(Session.Layout().width() - 1, client.y() + ChartOrigin.y() + row);
    ASSERT_GT(end.x(), client.x() + ClientSize.width() + 20);
    Session.MoveTo(start);
    Session.ButtonDown();
    const int steps = 8;
    for (int i = 1; i <= steps; ++i)
        Session.MoveTo(start + (end - start) * static_cast<double>(i) / steps);
    Session.ButtonUp();
    Session.Click(client + SaveButton);

    ASSERT_TRUE(WaitForFile(IniPath()));
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 13), 20000);
    EXPECT_EQ(SavedValue(IniPath(), "ADV", 13), expectedAdvance);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 12), 12000);
}

// The compositor hands the frame to the client (Qt draws it around the client area) and takes
// it back: after every change the chart shows as it did at the start.
TEST_F(WaylandWindow, ChartIsDrawnAfterEveryChangeOfFrame) {
    ASSERT_TRUE(Start());
    const QImage chart =
        Session.Picture(ChartArea.translated(Client()), Dir.filePath("chart-normal.png"));
    int step = 0;
    for (const QString border : {"csd", "normal", "none", "csd", "pixel 4"}) {
        SCOPED_TRACE(border.toStdString());
        Session.Command("[con_mark=varnotel] border " + border);
        // The client takes a moment to draw its new frame: look again until the chart shows
        // as at the start, for three seconds at most.
        QImage now;
        QRect surface;
        for (int look = 0; look < 20 && now != chart; ++look) {
            if (look > 0)
                WaylandSession::Settle();
            surface = Session.Surface();
            QPoint client = surface.topLeft();
            if (border == "csd") {
                // Qt's frame lies inside the surface: as wide on the left, right and bottom,
                // and higher on top, where the title bar is.
                const int side = (surface.width() - ClientSize.width()) / 2;
                client += QPoint(side, surface.height() - ClientSize.height() - side);
            }
            now = Session.Picture(ChartArea.translated(client),
                                  Dir.filePath(QString("chart-%1.png").arg(++step)));
        }
        if (border == "csd")
            EXPECT_GT(surface.width(), ClientSize.width()) << "no frame of Qt's own";
        else
            EXPECT_EQ(surface.size(), ClientSize);
        EXPECT_EQ(now, chart);
    }
    EXPECT_TRUE(Session.EditorRunning());
}

// At an output scale of 2 the window keeps its size in logical pixels and is drawn at the
// output's own resolution: a grid line of the chart fills two whole device rows in its colour.
TEST_F(WaylandWindow, AtScaleTwoIsDrawnAtTheOutputsResolution) {
    ASSERT_TRUE(Start(2));
    const QRect surface = Session.Surface();
    EXPECT_EQ(surface.size(), ClientSize);
    const QImage shot = Session.Picture(surface, Dir.filePath("window.png"));
    ASSERT_EQ(shot.size(), ClientSize * 2);
    e2e::ExpectGridAtTwiceTheDensity(shot, ChartOrigin * 2);
}

} // namespace
