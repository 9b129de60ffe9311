// The package step of the Quick start commands, on machines that already hold packages of their
// own: what it decides to install, what it refuses, and what it tells a user who cannot install.

#include "StandIns.h"
#include "support/Process.h"

#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <ostream>
#include <unistd.h>

namespace {

enum class TWho {
    MayInstall, // root, or a user whom sudo lets in
    SudoRefuses,
    NoSudo,
};

struct TCase {
    const char* Name;
    QStringList Installed; // "NAME ARCHITECTURE STATUS", NATIVE for the machine's own
    QStringList Asked;
    TWho Who;
    QString Conflicts; // shell case patterns for the stand-in apt-get
    bool Fails;
    QString Installs;         // the packages of the one install, or none
    QStringList Says;         // parts of what it prints, in any order
    bool OneLine = false;     // everything it prints is one line
    bool ListsLocked = false; // another package manager holds the package lists a while
};

// What a case is called in the test's name and in its failures.
void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.Name;
}

QString NativeArchitecture() {
    QProcess dpkg;
    dpkg.start("dpkg", {"--print-architecture"});
    dpkg.waitForFinished();
    return QString::fromLocal8Bit(dpkg.readAllStandardOutput()).trimmed();
}

class PackageStep : public ::testing::TestWithParam<TCase> {};

TEST_P(PackageStep, DecidesWhatToInstallAndSaysWhatItCannot) {
    const TCase& c = GetParam();
    const QString arch = NativeArchitecture();
    TStandIns machine;
    QStringList installed;
    for (QString entry : c.Installed)
        installed << entry.replace("NATIVE", arch);
    machine.Installed(installed);
    for (const char* tool :
         {"dpkg", "dpkg-query", "env", "mktemp", "rm", "cat", "grep", "sed", "head", "sleep", "wc"})
        machine.Real(tool, QString("/usr/bin/") + tool);
    machine.AptGet(c.Conflicts, c.ListsLocked);
    if (c.Who == TWho::MayInstall && geteuid() != 0)
        machine.SudoAllows();
    if (c.Who == TWho::SudoRefuses)
        machine.SudoRefuses();
    // A copy that any user can read, wherever the checkout is.
    ASSERT_TRUE(
        QFile::copy(VARNOTEL_SOURCE_DIR "/scripts/packages.sh", machine.FilePath("packages.sh")));
    QFile::setPermissions(machine.FilePath("packages.sh"),
                          QFileDevice::ReadOwner | QFileDevice::ReadOther);

    // Root runs the refused and the missing sudo as the ordinary user nobody.
    QString program = "/bin/bash";
    QStringList args = QStringList{machine.FilePath("packages.sh")} + c.Asked;
    if (c.Who != TWho::MayInstall && geteuid() == 0) {
        args = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args;
        program = "/usr/bin/setpriv";
    }
    const TRun run = RunProgram(program, args, machine.Env(QProcessEnvironment(), true), {}, 60000);
    ASSERT_TRUE(run.Finished);
    const QString said = run.Err + run.Out;

    EXPECT_EQ(run.ExitCode != 0, c.Fails) << said.toStdString();
    for (const QString& part : c.Says)
        EXPECT_TRUE(said.contains(part)) << "missing: " << part.toStdString() << "\nin:\n"
                                         << said.toStdString();
    if (c.OneLine) {
        EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
        // The command it gives names the missing packages and nothing else.
        EXPECT_TRUE(said.endsWith(c.Says.last() + '\n')) << said.toStdString();
    }
    if (c.Says.isEmpty()) {
        EXPECT_EQ(said.toStdString(), "");
    }
    // A held lock is waited for, said once, and never taken for an archive out of reach.
    EXPECT_EQ(said.count("Another package manager is running"), c.ListsLocked ? 1 : 0)
        << said.toStdString();
    EXPECT_FALSE(said.contains("Debian's archive")) << said.toStdString();

    const QStringList changes = machine.Changes();
    if (c.Installs.isEmpty()) {
        EXPECT_TRUE(changes.isEmpty()) << changes.join('\n').toStdString();
    } else {
        // Nothing is removed and nothing else comes along with what is needed.
        EXPECT_EQ(changes, QStringList{"apt-get install -y -qq --no-remove "
                                       "--no-install-recommends " +
                                       c.Installs});
    }
    if (c.Who != TWho::MayInstall) {
        EXPECT_TRUE(machine.Calls().filter("apt-get").isEmpty())
            << machine.Calls().join('\n').toStdString();
    }
}

const QString Conflict = "imagemagick) removes=graphicsmagick-imagemagick-compat ;;";

INSTANTIATE_TEST_SUITE_P(
    Machines, PackageStep,
    ::testing::Values(
        TCase{
            "MultiArchBothInstalled",
            {"libgl-dev NATIVE installed", "libgl-dev i386 installed", "fonts-wine all installed"},
            {"libgl-dev", "fonts-wine"},
            TWho::MayInstall,
            {},
            false,
            {},
            {}},
        TCase{"OnlyTheForeignArchitectureInstalled",
              {"libgl-dev i386 installed"},
              {"libgl-dev"},
              TWho::MayInstall,
              {},
              false,
              "libgl-dev",
              {"Installing the missing Debian packages", "libgl-dev"}},
        TCase{"ConflictWithAnInstalledPackage",
              {"graphicsmagick-imagemagick-compat all installed"},
              {"xdotool", "imagemagick"},
              TWho::MayInstall,
              Conflict,
              true,
              {},
              {"imagemagick conflicts with the installed graphicsmagick-imagemagick-compat",
               "nothing was changed", "apt-get remove graphicsmagick-imagemagick-compat)"}},
        TCase{
            "SudoPresentButRefused",
            {"bash NATIVE installed"},
            {"bash", "xvfb", "xdotool"},
            TWho::SudoRefuses,
            {},
            true,
            {},
            {"xvfb xdotool", "as root with: apt-get install --no-install-recommends xvfb xdotool"},
            true},
        TCase{"NoSudo",
              {"bash NATIVE installed"},
              {"bash", "varnotel-no-such-package"},
              TWho::NoSudo,
              {},
              true,
              {},
              {"as root with: apt-get install --no-install-recommends varnotel-no-such-package"},
              true},
        TCase{
            "PackageListsLockedByAnotherRun",
            {},
            {"xdotool"},
            TWho::MayInstall,
            {},
            false,
            "xdotool",
            {"Another package manager is running (apt-get, process 4242): waiting for it to end."},
            false,
            true},
        TCase{"NothingMissingWithoutSudo",
              {"bash NATIVE installed", "fonts-wine all installed"},
              {"bash", "fonts-wine"},
              TWho::NoSudo,
              {},
              false,
              {},
              {}}),
    [](const ::testing::TestParamInfo<TCase>& info) { return info.param.Name; });

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
