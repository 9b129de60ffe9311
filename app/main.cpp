#include "editor/Application.h"
#include "editor/Fonts.h"
#include "editor/Unit1.h"

#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <QPixmap>
#include <future>

namespace {

// The pictures of the desktop entry's icon, at the sizes it ships. Each is read as the PNG it
// is: a reader left to recognise the format first loads every image plugin to ask it.
QList<QImage> ReadDesktopEntryIcon() {
    QList<QImage> pictures;
    for (const int size : {48, 128, 256}) {
        QImageReader reader(QString(":/icons/varnotel-%1.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        pictures << reader.read();
    }
    return pictures;
}

QIcon IconOf(const QList<QImage>& pictures) {
    QIcon icon;
    for (const QImage& picture : pictures)
        icon.addPixmap(QPixmap::fromImage(picture));
    return icon;
}

} // namespace

int main(int argc, char** argv) {
    TFontConfigurationLoad fontConfiguration;
    // The platform services outlive the application object, which reports errors through their
    // message box up to its end. They create no widget before they are used.
    TQtPlatform platform;
    TApplication app(argc, argv);
    // How the desktop knows the editor: its version, its desktop entry, and the entry's icon. The
    // icon's pictures are decoded on a thread of their own while the window is built; the window
    // hands them to the window manager when it is shown.
    std::future<QList<QImage>> iconPictures = std::async(std::launch::async, ReadDesktopEntryIcon);
    TApplication::setApplicationVersion(VARNOTEL_VERSION);
    TApplication::setDesktopFileName(VARNOTEL_APP_ID);
    fontConfiguration.Wait();
    RegisterTahoma();
    app.SetMessageBox(platform.Services().MessageBox);
    TForm1 window(platform.Services());
    Form1 = &window;
    TApplication::setWindowIcon(IconOf(iconPictures.get()));
    window.show();
    return app.exec();
}
