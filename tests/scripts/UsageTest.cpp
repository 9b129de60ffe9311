// Every script's usage, as a user meets it from the scripts' own folder: asked for, it is printed
// whole; after a wrong argument it is printed on standard error with status 2, and nothing is
// installed or built.

#include "StandIns.h"
#include "support/Process.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <ostream>

namespace {

struct TUsage {
    const char* Script;
    QStringList Help;  // what asks for the usage, if anything does
    QStringList Wrong; // what it refuses
    int Calls;         // the ways to call it that the usage names, a line each
    QString Last;      // the usage's last line
};

void PrintTo(const TUsage& u, std::ostream* os) {
    *os << u.Script;
}

class ScriptUsage : public ::testing::TestWithParam<TUsage> {};

TEST_P(ScriptUsage, IsPrintedWholeAndNothingElseHappens) {
    const TUsage& u = GetParam();
    TStandIns machine;
    machine.AptGet();
    machine.Fake("cmake", "exit 0");
    QProcessEnvironment env = machine.Env(QProcessEnvironment::systemEnvironment());
    env.insert("VARNOTEL_BUILD_DIR", machine.FilePath("build"));
    auto run = [&](const QStringList& args) {
        return RunProgram("/bin/bash",
                          QStringList{"-c", "cd \"$0\" && exec bash \"./$1\" \"${@:2}\"",
                                      VARNOTEL_SOURCE_DIR "/scripts", u.Script} +
                              args,
                          env, {}, 60000);
    };

    const TRun wrong = run(u.Wrong);
    ASSERT_TRUE(wrong.Finished);
    EXPECT_EQ(wrong.ExitCode, 2) << wrong.Err.toStdString();
    EXPECT_EQ(wrong.Out.toStdString(), "");
    const QString usage = wrong.Err;
    const QString call = QString("  scripts/") + u.Script + " ";
    EXPECT_TRUE(usage.startsWith(call)) << usage.toStdString();
    EXPECT_EQ(
        usage.split('\n').filter(QRegularExpression("^" + QRegularExpression::escape(call))).size(),
        u.Calls)
        << usage.toStdString();
    EXPECT_TRUE(("\n" + usage).endsWith("\n" + u.Last + "\n")) << usage.toStdString();
    EXPECT_TRUE(machine.Calls().isEmpty()) << machine.Calls().join('\n').toStdString();
    EXPECT_FALSE(QFile::exists(machine.FilePath("build")));

    if (!u.Help.isEmpty()) {
        const TRun help = run(u.Help);
        EXPECT_EQ(help.ExitCode, 0);
        EXPECT_EQ(help.Out.toStdString(), usage.toStdString());
        EXPECT_EQ(help.Err.toStdString(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScriptUsage,
    ::testing::Values(
        TUsage{"run.sh", {"--help"}, {"--bogus"}, 2, "  scripts/run.sh --help   this text"},
        TUsage{"test.sh", {"-h"}, {"again"}, 2, "  scripts/test.sh --help   this text"},
        TUsage{"setup.sh",
               {"--help"},
               {"editor", "bogus"},
               3,
               "in the same build folder, with every package they need installed first."},
        TUsage{"fuzz.sh", {}, {"soon"}, 1, "  scripts/fuzz.sh SECONDS [TARGET...]"},
        TUsage{"xsession.sh",
               {},
               {"--serve"},
               2,
               "      has it print the program's output and Xvfb's messages so far."},
        TUsage{"waylandsession.sh",
               {},
               {"--scale", "0", "--serve", "varnotel"},
               1,
               "      its input has it print the program's output and the compositor's messages "
               "so far."}),
    [](const ::testing::TestParamInfo<TUsage>& info) {
        return QString(info.param.Script).section('.', 0, 0).toStdString();
    });

} // namespace
