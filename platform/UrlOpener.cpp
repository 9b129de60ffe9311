#include "platform/UrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

void QtUrlOpener::Open(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}
