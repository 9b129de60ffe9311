// The test command's closing line, which is how a newcomer and CI read the whole run: one count
// of both builds' tests, with the skipped and failed ones named above it, whatever failed first.

#include "support/Process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

namespace {

// A stand-in for scripts/setup.sh: for each build it configures a small CTest project whose tests
// pass, fail or skip as their names say (GoogleTest's way of skipping, with a reason), those
// whose names end in "e2e" with that label, or fails like a broken build. $ALL and $SANITIZE
// list the tests, or say "broken".
const char* const StandInSetup = R"sh(#!/bin/bash
cd "$(dirname "$0")/.."
case $1 in
all) dir=build tests=$ALL ;;
sanitize) dir=build-sanitize tests=$SANITIZE ;;
esac
[ "$tests" = broken ] && { echo "the stand-in build broke" >&2; exit 1; }
mkdir -p "source-$1"
{
    echo 'cmake_minimum_required(VERSION 3.20)'
    echo 'project(Stand NONE)'
    echo 'enable_testing()'
    for t in $tests; do
        case $t in
        pass*) echo "add_test(NAME $t COMMAND true)" ;;
        fail*) echo "add_test(NAME $t COMMAND false)" ;;
        skip*)
            echo "add_test(NAME $t COMMAND sh -c \"echo 'x.cpp:1: Skipped'; echo 'needs a $t';" \
                 "echo '[  SKIPPED ] $t'\")"
            echo "set_tests_properties($t PROPERTIES SKIP_REGULAR_EXPRESSION \"\\\\[  SKIPPED \\\\]\")"
            ;;
        esac
        case $t in
        *e2e) echo "set_tests_properties($t PROPERTIES LABELS e2e)" ;;
        esac
    done
} >"source-$1/CMakeLists.txt"
cmake -S "source-$1" -B "$dir" >/dev/null
)sh";

struct TCase {
    const char* Name;
    QString All, Sanitize;
    QString LastLine;
    bool Fails;
    QStringList Above; // lines somewhere above the last one
};

void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.Name;
}

class TestCommand : public ::testing::TestWithParam<TCase> {};

TEST_P(TestCommand, EndsWithOneSummaryOfBothBuilds) {
    const TCase& c = GetParam();
    QTemporaryDir checkout;
    QDir(checkout.path()).mkpath("scripts");
    for (const char* script : {"scripts/test.sh", "scripts/usage.sh", "scripts/build-lock.sh"})
        ASSERT_TRUE(
            QFile::copy(VARNOTEL_SOURCE_DIR "/" + QString(script), checkout.filePath(script)));
    QFile setup(checkout.filePath("scripts/setup.sh"));
    ASSERT_TRUE(setup.open(QIODevice::WriteOnly));
    setup.write(StandInSetup);
    setup.close();
    setup.setPermissions(setup.permissions() | QFileDevice::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("VARNOTEL_BUILD_DIR");
    env.insert("ALL", c.All);
    env.insert("SANITIZE", c.Sanitize);
    const TRun run =
        RunProgram("/bin/bash", {checkout.filePath("scripts/test.sh")}, env, {}, 120000);
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(run.ExitCode != 0, c.Fails) << run.Out.toStdString() << run.Err.toStdString();
    QStringList lines = run.Out.split('\n');
    ASSERT_TRUE(lines.size() >= 2 && lines.last().isEmpty()) << run.Out.toStdString();
    lines.removeLast();
    EXPECT_EQ(lines.last().toStdString(), c.LastLine.toStdString()) << run.Out.toStdString();
    lines.removeLast();
    for (const QString& above : c.Above)
        EXPECT_TRUE(lines.contains(above)) << "missing: " << above.toStdString() << "\nin:\n"
                                           << run.Out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Runs, TestCommand,
    ::testing::Values(TCase{"AllPass", "pass1 pass2", "pass3", "3 passed, 0 failed", false, {}},
                      TCase{"BothBuildsCountTogether",
                            "pass1 fail1 skip1 pass2",
                            "pass3 skip2 fail2",
                            "3 passed, 2 failed, 2 skipped",
                            true,
                            {"  skip1 (build): needs a skip1",
                             "  skip2 (build-sanitize): needs a skip2", "  fail1 (build): Failed",
                             "  fail2 (build-sanitize): Failed"}},
                      // A failure in the first build still lets the second run, and is counted.
                      TCase{"FirstBuildsTestsFail",
                            "fail1",
                            "pass1 pass2",
                            "2 passed, 1 failed",
                            true,
                            {"  fail1 (build): Failed"}},
                      // Newer CTest lists a test's labels after its status.
                      TCase{"LabelledTestsAreNamedAndCounted",
                            "pass1 faile2e skipe2e",
                            "pass2",
                            "2 passed, 1 failed, 1 skipped",
                            true,
                            {"  faile2e (build): Failed", "  skipe2e (build): needs a skipe2e"}},
                      TCase{"FirstBuildBroken",
                            "broken",
                            "pass1 skip1",
                            "1 passed, 1 failed, 1 skipped",
                            true,
                            {"  scripts/setup.sh all failed: the tests of build did not run"}}),
    [](const ::testing::TestParamInfo<TCase>& info) { return info.param.Name; });

} // namespace
