#include "editor/Application.h"
#include "editor/Fonts.h"
#include "editor/Unit1.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    RegisterTahoma();
    TQtPlatform platform;
    app.SetMessageBox(platform.Services().MessageBox);
    TForm1 window(platform.Services());
    Form1 = &window;
    window.show();
    return app.exec();
}
