#include "support/Process.h"

#include <QFile>
#include <QFont>
#include <QImage>
#include <QProcess>
#include <QRawFont>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

struct TSnapshot {
    int ExitCode = -1;
    QString Output; // standard output and error
};

// Offscreen, in English, at the given device pixel ratio.
QProcessEnvironment PictureEnvironment(double ratio = 1) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_SCREEN_SCALE_FACTORS", "QT_ENABLE_HIGHDPI_SCALING", "LC_NUMERIC"})
        env.remove(name);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("LC_ALL", "en_US.UTF-8");
    env.insert("QT_SCALE_FACTOR", QString::number(ratio));
    return env;
}

TSnapshot Snapshot(const QStringList& args, const QProcessEnvironment& env = PictureEnvironment()) {
    const TRun run = RunProgram(VARNOTEL_SNAPSHOT, args, env, {}, 60000);
    return {run.ExitCode, run.Out + run.Err};
}

bool WriteCurveFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QImage Rgb(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

bool HasMarkerAt(const QImage& image, int x, int y) {
    const QRgb c = image.pixel(x, y);
    return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 90;
}

int MarkerPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += HasMarkerAt(image, x, y);
    return count;
}

TEST(SnapshotTool, PicturesTheWindowOrTheChartOfACurveFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString window = dir.filePath("window.png");
    const QString chart = dir.filePath("chart.png");
    ASSERT_EQ(Snapshot({"-", window}).ExitCode, 0);
    ASSERT_EQ(Snapshot({"--chart", "-", chart}).ExitCode, 0);
    const QImage windowImage(window);
    const QImage chartImage(chart);
    EXPECT_EQ(windowImage.size(), QSize(1175, 548));
    EXPECT_EQ(chartImage.size(), QSize(972, 450));
    // The window's picture holds the chart's picture at the chart's place.
    EXPECT_EQ(windowImage.copy(195, 42, 972, 450).convertToFormat(QImage::Format_RGB32),
              chartImage.convertToFormat(QImage::Format_RGB32));
    EXPECT_GT(MarkerPixels(chartImage), 15 * 40);
}

// The face the axis labels are drawn with ("Arial", as fontconfig resolves it) and its revision,
// as "liberation-sans-2.10": its glyphs are what changes the pictures' pixels from one machine
// to another (Debian 12 ships revision 1.07 and Debian 13 revision 2.10, which a Debian 12
// machine with fonts-liberation2 uses too), so each revision keeps its own reference pictures.
QString LabelFace() {
    const QRawFont face = QRawFont::fromFont(QFont("Arial"));
    const QByteArray head = face.fontTable("head");
    if (head.size() < 8)
        return "an unknown face";
    const quint32 revision = qFromBigEndian<quint32>(head.constData() + 4);
    return QString("%1-%2")
        .arg(face.familyName().toLower().replace(' ', '-'))
        .arg(revision / 65536.0, 0, 'f', 2);
}

// At one device pixel per pixel the window and the chart keep the pixels they have always had
// with this face, recorded before the pictures learnt other ratios.
TEST(SnapshotTool, AtRatioOneThePicturesKeepTheirPixels) {
    const QString references = VARNOTEL_SOURCE_DIR "/tests/data/" + LabelFace();
    if (!QFile::exists(references))
        GTEST_SKIP() << "no reference pictures for the labels' face here ("
                     << LabelFace().toStdString() << ") in tests/data";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString moved = dir.filePath("moved.ini");
    ASSERT_TRUE(WriteCurveFile(moved, "[ADV]\n1=3\n2=50\n3=0\n[RPM]\n1=500\n13=20000\n7=9900\n"));
    const struct {
        QStringList Args;
        const char* Reference;
    } cases[] = {{{"-"}, "window-ratio1.png"},
                 {{"--chart", "-"}, "chart-ratio1.png"},
                 {{"--chart", moved}, "chart-moved-ratio1.png"}};
    for (const auto& c : cases) {
        const QString out = dir.filePath(c.Reference);
        ASSERT_EQ(Snapshot(c.Args + QStringList{out}).ExitCode, 0) << c.Reference;
        const QImage reference(references + "/" + c.Reference);
        ASSERT_FALSE(reference.isNull()) << c.Reference;
        EXPECT_TRUE(Rgb(QImage(out)) == Rgb(reference)) << c.Reference;
    }
}

// At any ratio the pictures have the screen's device pixels; at 2 a grid line of the chart
// fills two whole device rows in its own colour, where at 1 it halves two rows.
TEST(SnapshotTool, AtEveryRatioThePicturesHaveTheDevicePixels) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const double ratio : {1.0, 1.25, 1.5, 2.0, 3.0}) {
        const QString window = dir.filePath(QString("window-%1.png").arg(ratio));
        const QString chart = dir.filePath(QString("chart-%1.png").arg(ratio));
        ASSERT_EQ(Snapshot({"-", window}, PictureEnvironment(ratio)).ExitCode, 0);
        ASSERT_EQ(Snapshot({"--chart", "-", chart}, PictureEnvironment(ratio)).ExitCode, 0);
        const QImage windowImage(window);
        const QImage chartImage(chart);
        EXPECT_NEAR(windowImage.width(), 1175 * ratio, 1) << ratio;
        EXPECT_NEAR(windowImage.height(), 548 * ratio, 1) << ratio;
        EXPECT_NEAR(chartImage.width(), 972 * ratio, 1) << ratio;
        EXPECT_NEAR(chartImage.height(), 450 * ratio, 1) << ratio;
        EXPECT_GT(MarkerPixels(chartImage), 15 * 40 * ratio * ratio * 0.8) << ratio;
    }
    // The grid line of 5 degrees lies on y = 260 (logical), across the chart.
    const QImage one(dir.filePath("chart-1.png"));
    const QImage two(dir.filePath("chart-2.png"));
    const QRgb background = two.pixel(600, 517);
    const QRgb grid = two.pixel(600, 519);
    for (int x = 400; x < 800; x += 7) {
        EXPECT_EQ(two.pixel(x, 518), background) << x;
        EXPECT_EQ(two.pixel(x, 519), grid) << x;
        EXPECT_EQ(two.pixel(x, 520), grid) << x;
        EXPECT_EQ(two.pixel(x, 521), background) << x;
    }
    EXPECT_LT(qGray(grid), qGray(one.pixel(300, 259)));
    EXPECT_LT(qGray(grid), qGray(one.pixel(300, 260)));
    EXPECT_LT(qGray(one.pixel(300, 260)), qGray(background));
}

TEST(SnapshotTool, LoadsTheCurveFileAsTheLoadButtonDoes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString curve = dir.filePath("high.ini");
    QByteArray text = "[ADV]\n";
    for (int k = 1; k <= 13; ++k)
        text += QByteArray::number(k) + "=50\n";
    ASSERT_TRUE(WriteCurveFile(curve, text));

    const QString initial = dir.filePath("initial.png");
    const QString high = dir.filePath("high.png");
    ASSERT_EQ(Snapshot({"--chart", "-", initial}).ExitCode, 0);
    ASSERT_EQ(Snapshot({"--chart", curve, high}).ExitCode, 0);
    EXPECT_NE(QImage(initial), QImage(high));
}

TEST(SnapshotTool, RefusesMissingFilesAndBadArguments) {
    QTemporaryDir dir;
    const TSnapshot missing = Snapshot({dir.filePath("none.ini"), dir.filePath("out.png")});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(missing.Output.contains("none.ini"));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.png")));
    EXPECT_EQ(Snapshot({"only-one-argument"}).ExitCode, 2);
    EXPECT_EQ(Snapshot({"-", dir.filePath("no-such-dir/out.png")}).ExitCode, 1);
}

TEST(SnapshotTool, AnswersHelpAndVersionAndRefusesUnknownOptions) {
    const TSnapshot version = Snapshot({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_TRUE(version.Output.contains("varnotel-snapshot " VARNOTEL_VERSION "\n"))
        << version.Output.toStdString();
    const TSnapshot help = Snapshot({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    for (const char* part : {"--chart", "CURVE.ini|-", "OUTPUT.png", "--version"})
        EXPECT_TRUE(help.Output.contains(part)) << part;

    QTemporaryDir dir;
    const QString out = dir.filePath("out.png");
    for (const QStringList& wrong :
         {QStringList{"--bogus", "-", out}, QStringList{"-", out, "stray"}, QStringList{}}) {
        const TSnapshot run = Snapshot(wrong);
        EXPECT_EQ(run.ExitCode, 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(run.Output.contains("usage: varnotel-snapshot")) << run.Output.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

} // namespace
