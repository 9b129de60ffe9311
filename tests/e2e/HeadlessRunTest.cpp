// The run script on a machine with no display, the X session helper behind it, and the package
// step, as a newcomer meets them: they return by themselves, say what went wrong, and leave
// nothing running.

#include "StandIns.h"
#include "support/Process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const QString Scripts = VARNOTEL_SOURCE_DIR "/scripts/";

// Runs a script with a mark in its environment that every process it starts inherits, so that
// whatever it leaves running can be found afterwards.
class ScriptRun : public ::testing::Test {
protected:
    TRun Run(const QString& program, const QStringList& args,
             QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
             const std::function<void(QProcess&)>& during = {}, int finishMs = 180000) {
        env.insert("VARNOTEL_TEST_MARK", Mark);
        return RunProgram(program, args, env, during, finishMs);
    }

    void ExpectNothingLeftRunning() const {
        const QStringList left = LeftRunning();
        EXPECT_TRUE(left.isEmpty()) << "left running:\n" << left.join('\n').toStdString();
    }

    // The command lines of the living processes that carry this test's mark.
    QStringList LeftRunning() const {
        QStringList left;
        const QByteArray mark = "VARNOTEL_TEST_MARK=" + Mark.toUtf8();
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
            QFile environ("/proc/" + pid + "/environ");
            if (!pid.toInt() || !environ.open(QIODevice::ReadOnly))
                continue;
            if (!environ.readAll().split('\0').contains(mark))
                continue;
            QFile cmdline("/proc/" + pid + "/cmdline");
            cmdline.open(QIODevice::ReadOnly);
            left << pid + ": " + QString::fromLocal8Bit(cmdline.readAll().replace('\0', ' '));
        }
        return left;
    }

    // An executable script in the build folder standing in for the editor.
    void FakeEditor(const QString& body) {
        QFile file(Build.filePath("varnotel"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body.toUtf8() + "\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }

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

    QTemporaryDir Build;
    const QString Mark = QUuid::createUuid().toString(QUuid::WithoutBraces);
};

using HeadlessRun = ScriptRun;

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

using XSessionHelper = ScriptRun;

TEST_F(XSessionHelper, AWindowThatNeverAppearsEndsTheEditorAndWhatItStarted) {
    // The stand-in starts a process of its own, which must end with it.
    FakeEditor("sleep 600 &\nsleep 600");
    const TRun run =
        Run(Scripts + "xsession.sh", {"--timeout", "2", "--screenshot", Build.filePath("shot.png"),
                                      Build.filePath("varnotel")});
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains("window did not appear within 2 s")) << run.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Build.filePath("shot.png")));
    ExpectNothingLeftRunning();
}

// Its Wayland counterpart ends the compositor as well, and says what the compositor said.
TEST_F(XSessionHelper, AWaylandWindowThatNeverAppearsEndsTheEditorAndTheCompositor) {
    FakeEditor("echo 'no window today'\nsleep 600 &\nsleep 600");
    const TRun run = Run(Scripts + "waylandsession.sh",
                         {"--timeout", "3", "--serve", Build.filePath("varnotel")});
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.contains("window did not appear within 3 s")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("no window today")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("the compositor's messages")) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
    ExpectNothingLeftRunning();
}

// A Wayland case whose compositor cannot start fails with the session's account alone: nothing of
// the case runs against a session that is not there, to die on an empty picture of it.
TEST_F(XSessionHelper, WaylandCasesWhoseCompositorCannotStartFailWithItsMessageAlone) {
    if (QString(VARNOTEL_WAYLAND_INPUT).isEmpty())
        GTEST_SKIP() << "built without the Wayland input client";
    TStandIns machine;
    machine.Fake("sway", "echo '[ERROR] [wlr] Failed to allocate buffer' >&2\nexit 1");
    const TRun run =
        Run(QCoreApplication::applicationFilePath(), {"--gtest_filter=WaylandWindow.*"},
            machine.Env(QProcessEnvironment::systemEnvironment()), {}, 120000);
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(run.ExitCode, 1) << run.Out.toStdString() << run.Err.toStdString();
    // One failure a case, each with what the session said.
    const qsizetype cases = run.Out.count("[ RUN      ] WaylandWindow.");
    EXPECT_GT(cases, 0) << run.Out.toStdString();
    EXPECT_EQ(run.Out.count(": Failure\n"), cases) << run.Out.toStdString();
    EXPECT_EQ(run.Out.count("the compositor exited with status 1 before it took a socket"), cases)
        << run.Out.toStdString();
    ExpectNothingLeftRunning();
}

TEST_F(XSessionHelper, AnInterruptEndsEverythingItStarted) {
    const QString started = Build.filePath("started");
    FakeEditor("touch '" + started + "'\nsleep 600 &\nsleep 600");
    // Left alone, the helper would wait ten minutes for the window.
    const TRun run = Run(
        Scripts + "xsession.sh",
        {"--timeout", "600", "--screenshot", Build.filePath("shot.png"),
         Build.filePath("varnotel")},
        QProcessEnvironment::systemEnvironment(),
        [&](QProcess& p) {
            for (int i = 0; i < 600 && !QFile::exists(started); ++i)
                p.waitForFinished(100);
            ::kill(static_cast<pid_t>(p.processId()), SIGINT);
        },
        60000);
    ASSERT_TRUE(QFile::exists(started));
    ASSERT_TRUE(run.Finished) << "the interrupt did not end the session";
    EXPECT_NE(run.ExitCode, 0);
    ExpectNothingLeftRunning();
}

TEST_F(XSessionHelper, ServesTheEditorUntilItsInputCloses) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    QString report;
    const TRun run = Run(Scripts + "xsession.sh", {"--serve", VARNOTEL_EXE}, env, [&](QProcess& p) {
        while (!report.contains("window ") && p.waitForReadyRead(120000))
            report += QString::fromLocal8Bit(p.readAllStandardOutput());
        // The editor is up on the display reported; closing the input ends the session.
        p.closeWriteChannel();
    });
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(report.contains(QRegularExpression("^display :\\d+\\npid \\d+\\nwindow \\d+\\n")))
        << report.toStdString();
    ExpectNothingLeftRunning();
}

} // namespace
