#include "editor/Application.h"
#include "editor/Fonts.h"
#include "editor/Unit1.h"

#include <QIcon>

int main(int argc, char** argv) {
    // The platform services outlive the application object, which reports errors through their
    // message box up to its end. They create no widget before they are used.
    TQtPlatform platform;
    TApplication app(argc, argv);
    // How the desktop knows the editor: its version, its desktop entry, and the entry's icon.
    TApplication::setApplicationVersion(VARNOTEL_VERSION);
    TApplication::setDesktopFileName(VARNOTEL_APP_ID);
    QIcon icon;
    for (const int size : {48, 128, 256})
        icon.addFile(QString(":/icons/varnotel-%1.png").arg(size));
    TApplication::setWindowIcon(icon);
    RegisterTahoma();
    app.SetMessageBox(platform.Services().MessageBox);
    TForm1 window(platform.Services());
    Form1 = &window;
    window.show();
    return app.exec();
}
