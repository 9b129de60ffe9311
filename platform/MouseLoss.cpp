#include "platform/MouseLoss.h"

#include <QEvent>
#include <QObject>

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

bool IsReleaseElsewhere(const QObject& holder, const QObject& watched, const QEvent& event) {
    return event.type() == QEvent::MouseButtonRelease && &watched != &holder &&
           watched.isWidgetType() && event.spontaneous();
}
