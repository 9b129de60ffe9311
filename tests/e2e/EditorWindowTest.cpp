#include "e2e/XSession.h"

#include <QSettings>

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

TEST_F(EditorWindow, TypedSpeedPushesTheNeighbourAndSaves) {
    X.Click(RpmBox(1));
    X.Keys({"ctrl+a"});
    X.Type("2500");
    X.Keys({"Tab"});
    X.Click(SaveButton);
    ASSERT_TRUE(WaitForFile(IniPath()));
    QThread::msleep(300);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 1), 2500);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 2), 2600);
    EXPECT_EQ(SavedValue(IniPath(), "RPM", 3), 3000);
    // The advance boxes are saved as they show, not as the chart started.
    EXPECT_EQ(SavedValue(IniPath(), "ADV", 4), 12);
    EXPECT_EQ(SavedValue(IniPath(), "ADV", 6), 8);
    EXPECT_TRUE(X.EditorRunning());
}

} // namespace
