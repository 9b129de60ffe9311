// The set-up command that both Quick start commands build with: what each mode asks CMake for,
// and two set-ups in one build folder at once.

#include "StandIns.h"
#include "support/Process.h"

#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <ostream>
#include <unistd.h>

namespace {

// Each set-up asks CMake for its own configuration: the editor alone looks for no test package,
// the full build configures the tests with the benchmarks' peer, and the sanitizer build the
// tests under clang in a folder of its own.
struct TSetup {
    const char* Name;
    QStringList Options;
    QStringList Configures; // parts of the configure call
    QStringList Never;      // what it must not ask for
};

void PrintTo(const TSetup& s, std::ostream* os) {
    *os << s.Name;
}

class SetupCommand : public ::testing::TestWithParam<TSetup> {};

TEST_P(SetupCommand, ConfiguresWhatItsModeBuilds) {
    const TSetup& s = GetParam();
    TStandIns machine;
    machine.AptGet();
    if (geteuid() != 0)
        machine.SudoAllows();
    machine.Fake("cmake", "exit 0");
    QProcessEnvironment env = machine.Env(QProcessEnvironment::systemEnvironment());
    const QString build = machine.FilePath("build");
    env.insert("VARNOTEL_BUILD_DIR", build);
    const TRun run =
        RunProgram("/bin/bash", QStringList{VARNOTEL_SOURCE_DIR "/scripts/setup.sh"} + s.Options,
                   env, {}, 60000);
    ASSERT_TRUE(run.Finished);
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const QStringList configures = machine.Calls().filter(QRegularExpression("^cmake -S "));
    ASSERT_EQ(configures.size(), 1) << machine.Calls().join('\n').toStdString();
    const QString call = QString(configures.first()).replace(build, "BUILD");
    for (const QString& part : s.Configures)
        EXPECT_TRUE(call.contains(part))
            << "missing: " << part.toStdString() << "\nin: " << call.toStdString();
    for (const QString& part : s.Never)
        EXPECT_FALSE(call.contains(part)) << part.toStdString() << " in: " << call.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SetupCommand,
    ::testing::Values(TSetup{"Editor",
                             {"editor", "headless"},
                             {"-B BUILD ", "-DVARNOTEL_TESTS=OFF"},
                             {"-DVARNOTEL_TESTS=ON", "PEER"}},
                      TSetup{"All",
                             {"all"},
                             {"-B BUILD ", "-DVARNOTEL_TESTS=ON", "-DVARNOTEL_BENCH_PEER=ON"},
                             {"-DVARNOTEL_TESTS=OFF", "SANITIZE"}},
                      TSetup{"Sanitize",
                             {"sanitize"},
                             {"-B BUILD-sanitize ", "-DVARNOTEL_TESTS=ON", "-DVARNOTEL_SANITIZE=ON",
                              "-DVARNOTEL_FUZZ=ON"},
                             {"-DVARNOTEL_TESTS=OFF"}}),
    [](const ::testing::TestParamInfo<TSetup>& info) { return info.param.Name; });

// Two set-ups in one build folder at once (two terminals, a double click): the second says that
// it waits, and calls CMake only once the first is done with the folder.
TEST(SetupCommandTwice, TheSecondWaitsForTheFirstToBeDoneWithTheFolder) {
    TStandIns machine;
    machine.AptGet();
    if (geteuid() != 0)
        machine.SudoAllows();
    // The first one's CMake keeps the folder until the test lets it go.
    const QString calls = machine.FilePath("calls"), go = machine.FilePath("go");
    machine.Fake("cmake", QString("echo begin >>'%1'\nuntil [ -e '%2' ]; do sleep 0.05; done\n"
                                  "echo end >>'%1'")
                              .arg(calls, go));
    QProcessEnvironment env = machine.Env(QProcessEnvironment::systemEnvironment());
    env.insert("VARNOTEL_BUILD_DIR", machine.FilePath("build"));
    QProcess first, second;
    for (QProcess* p : {&first, &second}) {
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
    }
    first.start("/bin/bash", {VARNOTEL_SOURCE_DIR "/scripts/setup.sh", "editor"});
    for (int i = 0; i < 400 && !machine.Calls().contains("begin"); ++i)
        QThread::msleep(50);
    second.start("/bin/bash", {VARNOTEL_SOURCE_DIR "/scripts/setup.sh", "editor"});
    QString said;
    while (!said.contains("waiting") && second.waitForReadyRead(20000))
        said += QString::fromLocal8Bit(second.readAll());
    QFile(go).open(QIODevice::WriteOnly);
    ASSERT_TRUE(first.waitForFinished(30000) && second.waitForFinished(30000));
    EXPECT_EQ(said.toStdString(), "Another build or test run is using " +
                                      machine.FilePath("build").toStdString() +
                                      ": waiting until it ends.\n");
    // Each configures and builds, and no call of CMake overlaps another.
    EXPECT_EQ(machine.Calls().filter(QRegularExpression("^(begin|end)$")).join(' ').toStdString(),
              "begin end begin end begin end begin end");
}

} // namespace
