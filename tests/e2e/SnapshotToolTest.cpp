#include "support/Process.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TSnapshot {
    int ExitCode = -1;
    QString Output; // standard output and error
};

TSnapshot Snapshot(const QStringList& args) {
    const TRun run =
        RunProgram(VARNOTEL_SNAPSHOT, args, QProcessEnvironment::systemEnvironment(), {}, 60000);
    return {run.ExitCode, run.Out + run.Err};
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

TEST(SnapshotTool, LoadsTheCurveFileAsTheLoadButtonDoes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString curve = dir.filePath("high.ini");
    QFile file(curve);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray text = "[ADV]\n";
    for (int k = 1; k <= 13; ++k)
        text += QByteArray::number(k) + "=50\n";
    file.write(text);
    file.close();

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
