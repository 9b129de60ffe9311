#include "e2e/ChartMarkers.h"
#include "e2e/XSession.h"

#include <QColorSpace>
#include <QRgb>
#include <QSettings>
#include <vector>

namespace {

// Reads a key of the saved curve file with Qt's own INI reader, independently of the editor.
int SavedValue(const QString& file, const QString& section, int key) {
    QSettings ini(file, QSettings::IniFormat);
    return ini.value(QString("%1/%2").arg(section).arg(key), -1).toInt();
}

bool WaitForFile(const QString& path) {
    for (int i = 0; i < 100; ++i) {
        if (QFile::exists(path))
            return true;
        QThread::msleep(50);
    }
    return false;
}

constexpr QPoint RpmBox(int k) {
    return {16 + 30, 76 + 32 * (k - 1) + 13};
}
constexpr QPoint LoadButton{1008 + 37, 11 + 12};
constexpr QPoint SaveButton{1089 + 37, 11 + 12};

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        QString reason;
        ASSERT_TRUE(X.Start(Dir.path(), &reason)) << reason.toStdString();
    }
    QString IniPath() const { return Dir.filePath("quendrix_timing.ini"); }

    QTemporaryDir Dir;
    XSession X;
};

TEST_F(EditorWindow, OpensAtItsFixedSize) {
    EXPECT_EQ(X.WindowGeometry().size(), QSize(1175, 548));
    EXPECT_TRUE(X.EditorRunning());
}

// How the user presses "Save" and "Load": with the mouse, or with the keyboard alone on the
// focused button (Space as on every desktop; Return and keypad Enter as on the desktop the
// window's buttons come from).
class PressedButton : public EditorWindow, public ::testing::WithParamInterface<const char*> {
protected:
    bool ByMouse() const { return QString(GetParam()) == "click"; }
    // Presses the button that has the focus, or clicks the one at that place.
    void Press(QPoint button) {
        if (ByMouse())
            X.Click(button);
        else
            X.Keys({GetParam()});
    }
};

TEST_P(PressedButton, TypedSpeedPushesTheNeighbourAndSavesAndLoads) {
    X.Click(RpmBox(1));
    X.Keys({"ctrl+a"});
    X.Type("2500");
    X.Keys({"Tab"});
    // Back from ADV1 over RPM1 to "Save", the control before the boxes.
    X.Keys({"shift+Tab", "shift+Tab"});
    Press(SaveButton);
    ASSERT_TRUE(WaitForFile(IniPath()));
    QThread::msleep(300);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 1), 2500);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 2), 2600);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 3), 3000);
    // The advance boxes are saved as they show, not as the chart started.
    EXPECT_EQ(SavedValue(IniPath(), "ADV", 4), 12);
    EXPECT_EQ(SavedValue(IniPath(), "ADV", 6), 8);

    // "Load" (the control before "Save") clamps an advance of 99 to 50, which the next save
    // writes; had nothing loaded, the box's 10 would be written.
    {
        QSettings ini(IniPath(), QSettings::IniFormat);
        ini.setValue("ADV/1", 99);
    }
    X.Keys({"shift+Tab"});
    Press(LoadButton);
    X.Keys({"Tab"});
    Press(SaveButton);
    QThread::msleep(300);
    EXPECT_EQ(SavedValue(IniPath(), "ADV", 1), 50);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 1), 2500);
    EXPECT_TRUE(X.EditorRunning());
}

INSTANTIATE_TEST_SUITE_P(ByMouseOrKey, PressedButton,
                         ::testing::Values("click", "space", "Return", "KP_Enter"));

// The window's icon, as the window manager reads it, is the desktop entry's icon at 48 pixels.
TEST_F(EditorWindow, ShowsTheIconOfItsDesktopEntry) {
    const auto [code, out] = X.Tool("xprop", {"-id", X.Window(), "-notype", "32c", "_NET_WM_ICON"});
    ASSERT_EQ(code, 0);
    // Icons one after another: width, height, then the ARGB pixels row by row.
    const QStringList values = out.section('=', 1).split(',');
    std::vector<uint> icon48;
    for (qsizetype at = 0; at + 2 <= values.size();) {
        const int width = values[at].trimmed().toInt();
        const int height = values[at + 1].trimmed().toInt();
        if (width <= 0 || height <= 0)
            break;
        if (width == 48 && height == 48 && at + 2 + 48 * 48 <= values.size())
            for (int i = 0; i < 48 * 48; ++i)
                icon48.push_back(values[at + 2 + i].trimmed().toUInt());
        at += 2 + qsizetype(width) * height;
    }
    ASSERT_EQ(icon48.size(), 48u * 48u) << out.left(200).toStdString();
    const QImage entryIcon = QImage(VARNOTEL_SOURCE_DIR "/packaging/icons/varnotel-48.png")
                                 .convertToFormat(QImage::Format_ARGB32);
    // Qt hands the window manager the icon after a round trip through premultiplied alpha, whose
    // rounding of faint pixels depends on the processor's vector unit: compare the colours as
    // they are composited, premultiplied.
    int differing = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 48; ++x)
            differing += qPremultiply(icon48[y * 48 + x]) != qPremultiply(entryIcon.pixel(x, y));
    EXPECT_EQ(differing, 0);
}

// With two device pixels per pixel the real window has twice its size in device pixels and its
// chart is drawn at that density: a grid line fills two whole device rows in its own colour.
TEST(EditorWindowAtRatioTwo, IsDrawnAtTheScreensDensity) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    XSession x;
    QString reason;
    ASSERT_TRUE(x.Start(dir.path(), &reason, {{"QT_SCALE_FACTOR", "2"}}, "2560x1440"))
        << reason.toStdString();
    EXPECT_EQ(x.WindowGeometry().size(), QSize(2 * 1175, 2 * 548));
    const QImage shot = x.Screenshot(dir.filePath("window.png"));
    ASSERT_EQ(shot.size(), QSize(2 * 1175, 2 * 548));
    e2e::ExpectGridAtTwiceTheDensity(shot, e2e::ChartOrigin * 2);
}

// The pixels alone: a screenshot of the X display carries a colour space that the snapshot
// tool's file does not.
QImage Pixels(const QImage& image) {
    QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    rgb.setColorSpace(QColorSpace());
    return rgb;
}

// What the real window shows once it is up is what the snapshot tool draws of the initial
// curve, pixel for pixel: nothing that start-up does early or on another thread changes the
// picture.
TEST(EditorWindowPicture, IsTheSnapshotOfTheInitialCurve) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::map<QString, QString> english{{"LC_ALL", "en_US.UTF-8"}, {"QT_SCALE_FACTOR", "1"}};
    XSession x;
    QString reason;
    ASSERT_TRUE(x.Start(dir.path(), &reason, english)) << reason.toStdString();
    const QImage shown = x.Screenshot(dir.filePath("window.png"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : english)
        env.insert(name, value);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const QString snapshot = dir.filePath("snapshot.png");
    ASSERT_EQ(RunProgram(VARNOTEL_SNAPSHOT, {"-", snapshot}, env, {}, 60000).ExitCode, 0);
    ASSERT_EQ(shown.size(), QSize(1175, 548));
    EXPECT_TRUE(Pixels(shown) == Pixels(QImage(snapshot)));
}

} // namespace
