#include "editor/Fonts.h"

#include <QFontDatabase>
#include <fontconfig/fontconfig.h>

namespace {
const char* const TahomaFiles[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                   "/usr/share/wine/fonts/tahomabd.ttf"};
}

void RegisterTahoma() {
    if (QFontDatabase::hasFamily("Tahoma"))
        return;
    for (const char* file : TahomaFiles)
        QFontDatabase::addApplicationFont(QString::fromLatin1(file));
}

QString TahomaFamily() {
    return QStringLiteral("Tahoma");
}

// FcInit loads the default configuration and makes it fontconfig's current one, which Qt's font
// database then takes as it finds it.
TFontConfigurationLoad::TFontConfigurationLoad() : FThread([] { FcInit(); }) {}

void TFontConfigurationLoad::Wait() {
    if (FThread.joinable())
        FThread.join();
}
