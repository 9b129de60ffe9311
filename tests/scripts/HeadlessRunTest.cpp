// The run script on a machine with no display, as a newcomer meets it: it returns by itself with
// a screenshot, says what went wrong, and leaves nothing running.

#include "ScriptRun.h"
#include "StandIns.h"

#include <QImage>
#include <QRegularExpression>

namespace {

class HeadlessRun : public ScriptRun {
protected:
    // What the run script needs to take Build for its build folder, with nothing to build and
    // no display.
    QProcessEnvironment Headless() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert("VARNOTEL_SKIP_BUILD", "1");
        env.insert("VARNOTEL_BUILD_DIR", Build.path());
        return env;
    }
};

TEST_F(HeadlessRun, ReturnsWithAScreenshotOfTheWindowAndLeavesNothingRunning) {
    ASSERT_TRUE(QFile::link(VARNOTEL_EXE, Build.filePath("varnotel")));
    const TRun run = Run(Scripts + "run.sh", {}, Headless());
    ASSERT_TRUE(run.Finished) << "the run script did not return";
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QString shot = QDir(Build.path()).canonicalPath() + "/varnotel-screenshot.png";
    EXPECT_TRUE(run.Out.contains(shot)) << run.Out.toStdString();
    const QImage picture(shot);
    EXPECT_EQ(picture.size(), QSize(1175, 548));
    // Painted, not a blank window: the chart's yellow markers are on it.
    int yellow = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            yellow += qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 90;
        }
    EXPECT_GT(yellow, 15 * 40);
    ExpectNothingLeftRunning();
}

TEST_F(HeadlessRun, AnEditorThatDiesIsReportedWithItsStatusAndOutput) {
    FakeEditor("echo 'cannot connect to the display' >&2\nexit 3");
    const TRun run = Run(Scripts + "run.sh", {}, Headless());
    ASSERT_TRUE(run.Finished);
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_TRUE(run.Err.contains("exited with status 3 before its window appeared"))
        << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("cannot connect to the display")) << run.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Build.filePath("varnotel-screenshot.png")));
    ExpectNothingLeftRunning();
}

// A display number that no X server serves: no lock, no socket file and no abstract socket.
QString UnservedDisplay() {
    QFile unix("/proc/net/unix");
    unix.open(QIODevice::ReadOnly);
    const QString sockets = QString::fromLocal8Bit(unix.readAll());
    for (int n = 93;; ++n) {
        const QString socket = "/tmp/.X11-unix/X" + QString::number(n);
        if (!QFile::exists(QString("/tmp/.X%1-lock").arg(n)) && !QFile::exists(socket) &&
            !sockets.contains(QRegularExpression("@" + socket + "\\b")))
            return ":" + QString::number(n);
    }
}

TEST_F(HeadlessRun, ADisplayThatDoesNotAnswerIsSaidInOneLineAndTheEditorRunsUnderXvfb) {
    // The whole command as a newcomer runs it, with every package missing to a package step that
    // installs nothing, and a build that builds nothing: the real editor is already there.
    TStandIns machine;
    machine.AptGet();
    machine.SudoAllows();
    machine.Fake("cmake", "exit 0");
    ASSERT_TRUE(QFile::link(VARNOTEL_EXE, Build.filePath("varnotel")));
    QProcessEnvironment env = machine.Env(QProcessEnvironment::systemEnvironment());
    env.remove("QT_QPA_PLATFORM");
    env.insert("VARNOTEL_BUILD_DIR", Build.path());
    const QString display = UnservedDisplay();
    env.insert("DISPLAY", display);

    const TRun run = Run(Scripts + "run.sh", {}, env);
    ASSERT_TRUE(run.Finished) << "the run script did not return";
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    // The tool that tells whether the display answers comes with the run command itself.
    const QStringList installs = machine.Changes();
    EXPECT_FALSE(installs.filter(QRegularExpression("^apt-get install .* x11-utils\\b")).isEmpty())
        << installs.join('\n').toStdString();
    EXPECT_EQ(run.Out.count("The display " + display + " does not answer"), 1)
        << run.Out.toStdString();
    EXPECT_TRUE(QFile::exists(Build.filePath("varnotel-screenshot.png"))) << run.Err.toStdString();
    EXPECT_FALSE(run.Err.contains("could not connect to display")) << run.Err.toStdString();
    ExpectNothingLeftRunning();
}

} // namespace
