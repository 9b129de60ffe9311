// Varnotel as an installed desktop application: what the install target puts where, what the
// desktop's validators say of it, and the Debian package made from it.

#include "editor/Unit1.h"
#include "support/Process.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString AppId = VARNOTEL_APP_ID;
const QString Version = VARNOTEL_VERSION;

// Every file below root, relative to it, sorted.
QStringList FilesBelow(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

QStringList InstalledFiles() {
    const QString share = "usr/share/";
    const QString icons = share + "icons/hicolor/";
    QStringList files{"usr/bin/varnotel",
                      "usr/bin/varnotel-snapshot",
                      share + "applications/" + AppId + ".desktop",
                      share + "doc/varnotel/changelog.gz",
                      share + "doc/varnotel/copyright",
                      icons + "128x128/apps/" + AppId + ".png",
                      icons + "256x256/apps/" + AppId + ".png",
                      icons + "48x48/apps/" + AppId + ".png",
                      icons + "scalable/apps/" + AppId + ".svg",
                      share + "man/man1/varnotel-snapshot.1.gz",
                      share + "man/man1/varnotel.1.gz",
                      share + "metainfo/" + AppId + ".metainfo.xml"};
    files.sort();
    return files;
}

// One installation into a private DESTDIR, shared by the tests of what it holds.
class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Root = new QTemporaryDir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", Root->path());
        Install = new TRun(
            RunProgram(CMAKE_COMMAND, {"--install", VARNOTEL_BUILD_DIR, "--prefix", "/usr"}, env));
    }
    static void TearDownTestSuite() {
        delete Install;
        delete Root;
    }
    void SetUp() override { ASSERT_EQ(Install->ExitCode, 0) << Install->Err.toStdString(); }
    static QString Path(const QString& file) { return Root->filePath(file); }

    static inline QTemporaryDir* Root = nullptr;
    static inline TRun* Install = nullptr;
};

TEST_F(Installed, PutsEachFileWhereTheDesktopLooksForIt) {
    EXPECT_EQ(FilesBelow(Root->path()), InstalledFiles());
    for (const QString& file : InstalledFiles()) {
        const QFileInfo info(Path(file));
        const bool program = file.startsWith("usr/bin/");
        EXPECT_EQ(info.isExecutable(), program) << file.toStdString();
        EXPECT_TRUE(info.permissions() & QFileDevice::ReadOther) << file.toStdString();
    }
}

TEST_F(Installed, PassesTheDesktopEntryAndAppStreamValidators) {
    const TRun entry =
        RunProgram("desktop-file-validate", {Path("usr/share/applications/" + AppId + ".desktop")});
    EXPECT_EQ(entry.ExitCode, 0) << entry.Out.toStdString() << entry.Err.toStdString();
    EXPECT_EQ(entry.Out + entry.Err, QString()) << "no warnings either";
    const TRun metainfo =
        RunProgram("appstreamcli", {"validate", "--no-net", "--pedantic",
                                    Path("usr/share/metainfo/" + AppId + ".metainfo.xml")});
    EXPECT_EQ(metainfo.ExitCode, 0) << metainfo.Out.toStdString() << metainfo.Err.toStdString();
}

TEST_F(Installed, DesktopEntryStartsTheInstalledEditorWithItsIcon) {
    QSettings entry(Path("usr/share/applications/" + AppId + ".desktop"), QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    EXPECT_EQ(entry.value("Exec").toString(), "varnotel");
    EXPECT_TRUE(QFileInfo(Path("usr/bin/varnotel")).isExecutable());
    EXPECT_EQ(entry.value("Terminal").toString(), "false");
    // The window's class is the name of the program it runs, which the desktop matches it by.
    EXPECT_EQ(entry.value("StartupWMClass").toString(), "varnotel");
    EXPECT_EQ(entry.value("Icon").toString(), AppId);
    for (const QString& size : QStringList{"48", "128", "256"}) {
        const QImage icon(
            Path("usr/share/icons/hicolor/" + size + "x" + size + "/apps/" + AppId + ".png"));
        EXPECT_EQ(icon.size(), QSize(size.toInt(), size.toInt())) << size.toStdString();
    }
}

TEST_F(Installed, MetainfoNamesTheEntryTheReleaseAndTheEditorsOwnHomepage) {
    QFile file(Path("usr/share/metainfo/" + AppId + ".metainfo.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(xml.contains("<id>" + AppId + "</id>"));
    EXPECT_TRUE(xml.contains("<launchable type=\"desktop-id\">" + AppId + ".desktop</launchable>"));
    EXPECT_TRUE(xml.contains("<release version=\"" + Version + "\""));
    EXPECT_TRUE(
        xml.contains("<url type=\"homepage\">" + QString::fromLatin1(PublisherAddress) + "</url>"));
}

TEST_F(Installed, ProgramsAndManualPagesAnswerWithTheVersion) {
    const TRun version = RunProgram(Path("usr/bin/varnotel-snapshot"), {"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out, "varnotel-snapshot " + Version + "\n");
    for (const QString& page : QStringList{"varnotel", "varnotel-snapshot"}) {
        const TRun text = RunProgram("gzip", {"-dc", Path("usr/share/man/man1/" + page + ".1.gz")});
        EXPECT_EQ(text.ExitCode, 0);
        EXPECT_TRUE(text.Out.startsWith(".TH " + page.toUpper() + " 1 ")) << page.toStdString();
        EXPECT_TRUE(text.Out.contains("\"Varnotel " + Version + "\"")) << page.toStdString();
    }
}

// The PNG sizes are renderings of the SVG: a changed drawing needs packaging/icons/render.sh.
TEST(Icon, PngSizesAreRenderingsOfTheDrawing) {
    QTemporaryDir dir;
    for (const int size : {48, 128, 256}) {
        const QString rendered = dir.filePath(QString("%1.png").arg(size));
        ASSERT_EQ(RunProgram("rsvg-convert",
                             {"-w", QString::number(size), "-h", QString::number(size),
                              VARNOTEL_SOURCE_DIR "/packaging/icons/varnotel.svg", "-o", rendered})
                      .ExitCode,
                  0);
        const QImage fresh = QImage(rendered).convertToFormat(QImage::Format_ARGB32);
        const QImage kept =
            QImage(QString(VARNOTEL_SOURCE_DIR "/packaging/icons/varnotel-%1.png").arg(size))
                .convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(kept.size(), fresh.size()) << size;
        int worst = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QRgb a = kept.pixel(x, y);
                const QRgb b = fresh.pixel(x, y);
                worst =
                    std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
            }
        // Another version of the renderer may shade an edge pixel a little differently.
        EXPECT_LE(worst, 8) << size;
    }
}

// The package that cpack -G DEB makes from the build folder.
class DebianPackage : public ::testing::Test {
protected:
    // CTest makes the package once for all of these tests and says where; run on their own,
    // they make it themselves, into a private folder.
    static void SetUpTestSuite() {
        Folder = qEnvironmentVariable("VARNOTEL_TEST_PACKAGE_DIR");
        if (!Folder.isEmpty()) {
            Pack = new TRun{true, 0, {}, {}};
            return;
        }
        Own = new QTemporaryDir;
        Folder = Own->path();
        Pack = new TRun(
            RunProgram(CPACK_COMMAND, {"-G", "DEB", "--config",
                                       VARNOTEL_BUILD_DIR "/CPackConfig.cmake", "-B", Folder}));
    }
    static void TearDownTestSuite() {
        delete Pack;
        delete Own;
    }
    void SetUp() override {
        ASSERT_EQ(Pack->ExitCode, 0) << Pack->Out.toStdString() << Pack->Err.toStdString();
    }
    static QString Deb() { return Folder + "/varnotel_" + Version + "_amd64.deb"; }
    static QString Field(const QString& name) {
        return RunProgram("dpkg-deb", {"--field", Deb(), name}).Out.trimmed();
    }

    static inline QString Folder;
    static inline QTemporaryDir* Own = nullptr;
    static inline TRun* Pack = nullptr;
};

TEST_F(DebianPackage, IsNamedAndDescribedFromTheProject) {
    ASSERT_TRUE(QFile::exists(Deb()));
    EXPECT_EQ(Field("Package"), "varnotel");
    EXPECT_EQ(Field("Version"), Version);
    EXPECT_EQ(Field("Architecture"), "amd64");
    EXPECT_EQ(Field("Section"), "science");
    EXPECT_EQ(Field("Homepage"), QString::fromLatin1(PublisherAddress));
    EXPECT_TRUE(Field("Maintainer").contains('@'));
    const QStringList description = Field("Description").split('\n');
    ASSERT_GT(description.size(), 3);
    for (const QString& line : description)
        EXPECT_LE(line.size(), 80) << line.toStdString();
}

TEST_F(DebianPackage, DependsOnTheFontsAndOnTheLibrariesItLinks) {
    const QStringList depends = Field("Depends").split(", ");
    auto dependsOn = [&](const QString& package) {
        return std::any_of(depends.begin(), depends.end(), [&](const QString& d) {
            return d == package || d.startsWith(package + " ");
        });
    };
    for (const QString& package :
         QStringList{"fonts-wine", "fonts-liberation", "libqt6widgets6", "libqt6gui6", "libc6"})
        EXPECT_TRUE(dependsOn(package))
            << package.toStdString() << " in " << Field("Depends").toStdString();
}

// Installed with it by default, so that the editor is a native client of a Wayland desktop.
TEST_F(DebianPackage, RecommendsQtsWaylandPlugin) {
    EXPECT_EQ(Field("Recommends"), "qt6-wayland");
}

TEST_F(DebianPackage, HoldsWhatTheInstallTargetInstalls) {
    QStringList contents;
    for (const QString& line : RunProgram("dpkg-deb", {"--contents", Deb()}).Out.split('\n')) {
        if (line.isEmpty() || line.startsWith('d'))
            continue;
        contents << line.section(' ', -1).mid(2); // "./usr/bin/varnotel" -> "usr/bin/varnotel"
    }
    contents.sort();
    EXPECT_EQ(contents, InstalledFiles());
}

TEST_F(DebianPackage, LintianFindsNoError) {
    const TRun lintian = RunProgram("lintian", {"--no-tag-display-limit", Deb()});
    QStringList errors;
    for (const QString& line : (lintian.Out + lintian.Err).split('\n'))
        if (line.startsWith("E: "))
            errors << line;
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_NE(lintian.ExitCode, -1) << lintian.Err.toStdString();
}

} // namespace
