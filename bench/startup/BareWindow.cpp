// The editor's peers at start-up: a window of the editor's size that shows itself and nothing
// else, on the same Qt. Built with VARNOTEL_WINDOW_FONTS, it first loads the faces that the
// editor's texts are drawn in, as the editor loads them, and still shows nothing: what any window
// with these texts waits for before its first frame, whatever else it does.

#include <QApplication>
#include <QWidget>

#ifdef VARNOTEL_WINDOW_FONTS
#include "chart/canvas/LabelText.h"
#include "editor/Fonts.h"

#include <QFont>
#include <QFontMetrics>

namespace {

void LoadTheEditorsFaces() {
    // Tahoma, registered where the system has none, at the sizes of the boxes, buttons and
    // column labels, and of the link.
    RegisterTahoma();
    for (const int pixels : {13, 16}) {
        QFont font(TahomaFamily());
        font.setPixelSize(pixels);
        QFontMetrics(font).height();
    }
    // The application's own face, which the link's rich text starts from.
    QFontMetrics(QApplication::font()).height();
    // The chart's label face, in the chart's own font, chosen by the chart's own labels.
    TLabelText labels;
    labels.Select(TChartFont{});
}

} // namespace
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
#ifdef VARNOTEL_WINDOW_FONTS
    LoadTheEditorsFaces();
#endif
    QWidget window;
    window.setWindowTitle("Bare window");
    window.resize(1175, 548);
    window.show();
    return app.exec();
}
