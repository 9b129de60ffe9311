#include "platform/MouseLoss.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>

bool LosesMouse(const QEvent& event) {
    switch (event.type()) {
    case QEvent::WindowBlocked:
    case QEvent::WindowDeactivate:
    case QEvent::UngrabMouse:
    case QEvent::Hide:
    case QEvent::EnabledChange:
        return true;
    default:
        return false;
    }
}

TReleaseWatch::TReleaseWatch(QObject* holder, std::function<void(Qt::MouseButton)> onRelease)
    : QObject(holder), FHolder(holder), FOnRelease(std::move(onRelease)) {}

void TReleaseWatch::SetArmed(bool armed) {
    if (armed == FArmed)
        return;
    FArmed = armed;
    if (armed)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
}

bool TReleaseWatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched != FHolder &&
        watched->isWidgetType() && event->spontaneous())
        FOnRelease(static_cast<QMouseEvent*>(event)->button());
    return false;
}
