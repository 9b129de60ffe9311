#include "editor/Fonts.h"
#include "editor/Unit1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    RegisterTahoma();
    TQtPlatform platform;
    TForm1 window(platform.Services());
    Form1 = &window;
    window.show();
    return app.exec();
}
