#include "editor/Fonts.h"

#include <QFontDatabase>

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
