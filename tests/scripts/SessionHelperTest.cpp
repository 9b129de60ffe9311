// The session helpers behind the run script's headless path and the end-to-end tests
// (scripts/xsession.sh, scripts/waylandsession.sh): they end everything they started, whether the
// window appears or not, and say what went wrong.

#include "ScriptRun.h"
#include "StandIns.h"

#include <QRegularExpression>
#include <csignal>
#include <ostream>

namespace {

using SessionHelper = ScriptRun;

TEST_F(SessionHelper, AWindowThatNeverAppearsEndsTheEditorAndWhatItStarted) {
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
TEST_F(SessionHelper, AWaylandWindowThatNeverAppearsEndsTheEditorAndTheCompositor) {
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

// An end-to-end case whose display server cannot start fails with the session's account alone:
// nothing of the case runs against a session that is not there, to die on an empty picture of it.
struct TDeadServer {
    const char* Name;
    const char* Server; // the program that stands in for the display server, and fails
    const char* Cases;  // the end-to-end cases that need it
    const char* Says;   // the session's account, once in each case
};

void PrintTo(const TDeadServer& s, std::ostream* os) {
    *os << s.Name;
}

class DeadServer : public ScriptRun, public ::testing::WithParamInterface<TDeadServer> {};

TEST_P(DeadServer, EachCaseFailsOnceWithTheSessionsMessage) {
    const TDeadServer& s = GetParam();
    if (QString(s.Server) == "sway" && QString(VARNOTEL_WAYLAND_INPUT).isEmpty())
        GTEST_SKIP() << "built without the Wayland input client";
    TStandIns machine;
    machine.Fake(s.Server, "echo '[ERROR] cannot start today' >&2\nexit 1");
    const TRun run = Run(VARNOTEL_END_TO_END_TESTS, {QString("--gtest_filter=") + s.Cases},
                         machine.Env(QProcessEnvironment::systemEnvironment()), {}, 120000);
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(run.ExitCode, 1) << run.Out.toStdString() << run.Err.toStdString();
    const qsizetype cases = run.Out.count("[ RUN      ] ");
    EXPECT_GT(cases, 0) << run.Out.toStdString();
    EXPECT_EQ(run.Out.count(": Failure\n"), cases) << run.Out.toStdString();
    EXPECT_EQ(run.Out.count(s.Says), cases) << run.Out.toStdString();
    ExpectNothingLeftRunning();
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, DeadServer,
    ::testing::Values(TDeadServer{"Wayland", "sway", "WaylandWindow.*",
                                  "the compositor exited with status 1 before it took a socket"},
                      // Every case but those on Wayland and those of the snapshot tool, which
                      // needs no display.
                      TDeadServer{"X", "Xvfb", "-WaylandWindow.*:SnapshotTool.*",
                                  "Xvfb exited with status 1 before it took a display"}),
    [](const ::testing::TestParamInfo<TDeadServer>& info) { return info.param.Name; });

TEST_F(SessionHelper, AnInterruptEndsEverythingItStarted) {
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

TEST_F(SessionHelper, ServesTheEditorUntilItsInputCloses) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    QString report;
    const TRun run = Run(Scripts + "xsession.sh", {"--serve", VARNOTEL_EXE}, env, [&](QProcess& p) {
        while (!report.contains("window ") && p.waitForReadyRead(120000))
            report += QString::fromLocal8Bit(p.readAllStandardOutput());
        // The editor is up on the display reported; asked for a report, the session tells
        // what the editor and the X server said so far, and closing its input ends it.
        p.write("report\n");
        p.closeWriteChannel();
    });
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(report.contains(QRegularExpression("^display :\\d+\\npid \\d+\\nwindow \\d+\\n")))
        << report.toStdString();
    EXPECT_TRUE(run.Err.startsWith("xsession: the editor's output:\n")) << run.Err.toStdString();
    EXPECT_TRUE(run.Err.contains("\nxsession: Xvfb's messages:\n")) << run.Err.toStdString();
    ExpectNothingLeftRunning();
}

} // namespace
