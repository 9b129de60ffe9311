// Writes a PNG picture of the editor's main window (or of its chart alone) for a curve file,
// without a display, so that a curve can be shared as a picture.
//
//   varnotel-snapshot [--chart] CURVE.ini|- OUTPUT.png
//   varnotel-snapshot --help | --version
//
// The curve file is loaded exactly as the editor's "Load" button loads it. Without a curve
// file argument ("-"), the window is shown with its initial curve. A wrong command line is
// exit status 2, a file that cannot be read or written 1.

#include "editor/Fonts.h"
#include "editor/Unit1.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {

class TStderrMessageBox : public IMessageBox {
public:
    void Show(QWidget*, const QString& title, const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
};

class TNoUrlOpener : public IUrlOpener {
public:
    void Open(const QString&) override {}
};

class TNoPointer : public IPointerQuery {
public:
    QPoint ScreenPos() const override { return {-100000, -100000}; }
};

class TSilentBeep : public IBeep {
public:
    void Beep() override {}
};

const char* const UsageLine = "usage: varnotel-snapshot [--chart] CURVE.ini|- OUTPUT.png\n";

int WrongCommandLine(const QString& error) {
    std::fprintf(stderr, "varnotel-snapshot: %s\n%s", qPrintable(error), UsageLine);
    return 2;
}

// Loads the curve through the window's own "Load", from a private copy named as the editor
// expects it in its working directory.
bool LoadCurve(TForm1& form, const QString& curveFile) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    const QString copy = dir.filePath(QFileInfo(QString::fromLatin1(CurveFileName)).fileName());
    if (!QFile::copy(curveFile, copy))
        return false;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    form.B_LoadIniFileClick(form.B_LoadIniFile);
    QDir::setCurrent(previous);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Writes a PNG picture of Varnotel's main window, or of its chart alone, for a curve file.\n"
        "The curve file is loaded as the editor's \"Load\" button loads it.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption chart("chart", "Picture the chart alone, not the whole window.");
    parser.addOption(chart);
    parser.addPositionalArgument("curve", "The curve file, or - for the initial curve.",
                                 "CURVE.ini|-");
    parser.addPositionalArgument("output", "The PNG file to write.", "OUTPUT.png");
    if (!parser.parse(QApplication::arguments()))
        return WrongCommandLine(parser.errorText());
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("varnotel-snapshot %s\n", VARNOTEL_VERSION);
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2)
        return WrongCommandLine(
            QString("expected a curve file and a picture file, got %1 argument(s)")
                .arg(args.size()));
    const bool chartOnly = parser.isSet(chart);
    RegisterTahoma();
    const QString curveFile = args[0];
    const QString output = args[1];

    TStderrMessageBox messageBox;
    TNoUrlOpener urlOpener;
    TNoPointer pointer;
    TSilentBeep beep;
    TForm1 form({&messageBox, &urlOpener, &pointer, &beep});
    form.show();
    QApplication::processEvents();

    if (curveFile != "-") {
        if (!QFileInfo(curveFile).isFile()) {
            std::fprintf(stderr, "varnotel-snapshot: no such curve file: %s\n",
                         qPrintable(curveFile));
            return 1;
        }
        if (!LoadCurve(form, curveFile)) {
            std::fprintf(stderr, "varnotel-snapshot: cannot read %s\n", qPrintable(curveFile));
            return 1;
        }
    }
    form.Chart1->Repaint();
    QApplication::processEvents();

    const QPixmap picture = chartOnly ? form.Chart1->grab() : form.grab();
    if (!picture.save(output, "PNG")) {
        std::fprintf(stderr, "varnotel-snapshot: cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s\n", qPrintable(output));
    return 0;
}
