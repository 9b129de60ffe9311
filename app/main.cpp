#include "editor/Application.h"
#include "editor/Fonts.h"
#include "editor/Unit1.h"

#include <QIcon>
#include <QImageReader>
#include <QPixmap>

namespace {

// The desktop entry's icon, at the sizes it ships. Each picture is read as the PNG it is: a
// reader left to recognise the format first loads every image plugin to ask it.
QIcon DesktopEntryIcon() {
    QIcon icon;
    for (const int size : {48, 128, 256}) {
        QImageReader reader(QString(":/icons/varnotel-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    return icon;
}

} // namespace

int main(int argc, char** argv) {
    // The platform services outlive the application object, which reports errors through their
    // message box up to its end. They create no widget before they are used.
    TQtPlatform platform;
    TApplication app(argc, argv);
    // How the desktop knows the editor: its version, its desktop entry, and the entry's icon.
    TApplication::setApplicationVersion(VARNOTEL_VERSION);
    TApplication::setDesktopFileName(VARNOTEL_APP_ID);
    TApplication::setWindowIcon(DesktopEntryIcon());
    RegisterTahoma();
    app.SetMessageBox(platform.Services().MessageBox);
    TForm1 window(platform.Services());
    Form1 = &window;
    window.show();
    return app.exec();
}
