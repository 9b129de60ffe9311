#include "e2e/XSession.h"

#include <QSettings>

namespace {

// RPM1's up arrow, 15 x 10 pixels at (55, 2) inside the box at (16, 76).
constexpr QRect Rpm1UpArrow{16 + 55, 76 + 2, 15, 10};
constexpr QPoint SaveButton{1089 + 37, 11 + 12};
constexpr QPoint Away{600, 530};
// A held arrow steps first after 400 ms, then every 100 ms.
constexpr int InitialPause = 400;
constexpr int RepeatPeriod = 100;

// The editor's windows on the screen: the main window and the message boxes it shows, all
// titled after the application.
QStringList VisibleWindows(XSession& x) {
    const auto [code, out] = x.Xdotool({"search", "--onlyvisible", "--name", "^Varnotel$"});
    return code == 0 ? out.split('\n', Qt::SkipEmptyParts) : QStringList{};
}

// The message box on the screen, if one is: a visible window of the editor's other than the
// main window. Waits up to the given time for one to appear.
QString MessageBox(XSession& x, int waitMs) {
    QElapsedTimer waited;
    waited.start();
    do {
        for (const QString& window : VisibleWindows(x))
            if (window.trimmed() != x.Window())
                return window.trimmed();
        QThread::msleep(20);
    } while (waited.elapsed() < waitMs);
    return {};
}

// Closes the message boxes with Return, one after the other as each appears, and tells how
// many there were. Each Return waits until its box has gone, so that none reaches the main
// window, where it would press the focused button again.
int CloseMessageBoxes(XSession& x) {
    int closed = 0;
    for (QString box = MessageBox(x, 3000); !box.isEmpty(); box = MessageBox(x, 1500)) {
        x.Keys({"Return"});
        for (int i = 0; i < 250 && VisibleWindows(x).contains(box); ++i)
            QThread::msleep(20);
        ++closed;
    }
    return closed;
}

// Saves with the button and reads RPM1 back from the file, which is removed afterwards.
int SavedRpm1(XSession& x, const QString& ini) {
    x.Click(SaveButton);
    for (int i = 0; i < 100 && !QFile::exists(ini); ++i)
        QThread::msleep(50);
    QThread::msleep(300);
    const int value = QSettings(ini, QSettings::IniFormat).value("RPM/1", -1).toInt();
    QFile::remove(ini);
    return value;
}

// The arrow is held while the keyboard presses "Save" and a curve file that cannot be written
// opens its message boxes; the release goes to a window that takes no input then. The hold
// ends when the first box opens: no steps while the boxes are up, none after they are closed,
// and the arrow is raised again.
TEST(HeldArrow, StopsWhenAMessageBoxTakesTheMouse) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ini = dir.filePath("quendrix_timing.ini");
    ASSERT_TRUE(QDir(dir.path()).mkdir("quendrix_timing.ini")) << "a file that cannot be written";
    XSession x;
    QString reason;
    ASSERT_TRUE(x.Start(dir.path(), &reason)) << reason.toStdString();
    ASSERT_EQ(VisibleWindows(x).size(), 1);

    x.MoveTo(Away);
    const QImage raised = x.Screenshot(dir.filePath("before.png")).copy(Rpm1UpArrow);
    x.MoveTo(Rpm1UpArrow.center());
    QElapsedTimer held;
    held.start();
    x.ButtonDown();
    QThread::msleep(800); // a few steps, also on a busy machine
    x.Keys({"shift+Tab", "space"});
    while (VisibleWindows(x).size() < 2 && held.elapsed() < 20000)
        QThread::msleep(20);
    const qint64 heldUntilTheBox = held.elapsed();
    ASSERT_EQ(VisibleWindows(x).size(), 2) << "a message box opened";
    x.ButtonUp();
    QThread::msleep(1500);

    // One box for each of the 26 writes; each one opens as the one before it closes.
    EXPECT_EQ(CloseMessageBoxes(x), 26);
    ASSERT_EQ(VisibleWindows(x).size(), 1) << "every box closed";
    ASSERT_TRUE(QDir(dir.path()).rmdir("quendrix_timing.ini"));

    // Steps came at 400 ms after the press and every 100 ms after that, until the box opened.
    const int stepsHeld = static_cast<int>((heldUntilTheBox - InitialPause) / RepeatPeriod) + 1;
    const int first = SavedRpm1(x, ini);
    EXPECT_GT(first, 1000) << "the arrow repeated while it was held";
    EXPECT_LE(first, 1000 + 100 * (stepsHeld + 1)) << "held for " << heldUntilTheBox << " ms";
    QThread::msleep(1500);
    EXPECT_EQ(SavedRpm1(x, ini), first) << "no steps once the boxes are closed";

    x.MoveTo(Away);
    EXPECT_TRUE(x.Screenshot(dir.filePath("after.png")).copy(Rpm1UpArrow) == raised)
        << "the arrow is drawn raised";
    EXPECT_TRUE(x.EditorRunning());
}

} // namespace
