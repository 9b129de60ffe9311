#pragma once

// What a screen reader gets from the widgets: their accessible interfaces, read back as an
// assistive technology reads them, and the events Qt sends it.

#include <QAccessible>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <ostream>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <vector>

inline void PrintTo(const QVariant& value, std::ostream* os) {
    *os << value.typeName() << " " << value.toString().toStdString();
}

namespace a11y {

inline QAccessibleInterface* Of(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

struct TEvent {
    QAccessible::Event Type;
    QPointer<QObject> Object;
    QVariant Value;
};

// Qt sends accessibility events only while its platform reports that an assistive technology
// is listening, which the offscreen platform never does by itself. While a recorder lives, the
// platform says one is, and every event goes to the recorder instead of the platform.
class TRecorder {
public:
    TRecorder() {
        Events().clear();
        Platform()->setActive(true);
        QAccessible::installUpdateHandler(&Record);
    }
    ~TRecorder() {
        QAccessible::installUpdateHandler(nullptr);
        Platform()->setActive(false);
        Events().clear();
    }
    TRecorder(const TRecorder&) = delete;
    TRecorder& operator=(const TRecorder&) = delete;

    void Clear() { Events().clear(); }
    // The events of one type about one object, in the order they came.
    std::vector<TEvent> Of(const QObject* object, QAccessible::Event type) const {
        std::vector<TEvent> found;
        for (const TEvent& e : Events())
            if (e.Object == object && e.Type == type)
                found.push_back(e);
        return found;
    }
    std::vector<QVariant> ValuesOf(const QObject* object) const {
        std::vector<QVariant> values;
        for (const TEvent& e : Of(object, QAccessible::ValueChanged))
            values.push_back(e.Value);
        return values;
    }

private:
    static QPlatformAccessibility* Platform() {
        return QGuiApplicationPrivate::platformIntegration()->accessibility();
    }
    static std::vector<TEvent>& Events() {
        static std::vector<TEvent> events;
        return events;
    }
    static void Record(QAccessibleEvent* event) {
        QVariant value;
        if (event->type() == QAccessible::ValueChanged)
            value = static_cast<QAccessibleValueChangeEvent*>(event)->value();
        Events().push_back({event->type(), event->object(), value});
    }
};

} // namespace a11y
