// The package step of the Quick start commands, on machines that already hold packages of their
// own: what it decides to install, what it refuses, and what it tells a user who cannot install.

#include "StandIns.h"
#include "support/Process.h"

#include <QProcess>
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

} // namespace
