#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QWidget>
#include <QWindow>
#include <exception>
#include <functional>

// The toolkit's own entry points for window-system input, as its test library uses them:
// events go through the same path as a real mouse and keyboard (focus on press, implicit
// grab, shortcut override, double-click detection) and are delivered before the call returns.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key,
                                    Qt::KeyboardModifiers mods, const QString& text, bool autorep,
                                    ushort count);

namespace spintest {

// The application object of these tests. Like the application's event loop, it catches an
// error that escapes an event handler and goes on; the tests read what it caught.
class TestApplication : public QApplication {
public:
    TestApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception&) {
            ++CaughtErrors;
            return false;
        }
    }

    static inline int CaughtErrors = 0;
};

inline void Wait(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 2000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Shows a top-level window and makes it the active one, so that focus changes are real.
inline bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    return WaitUntil([&] {
        return QApplication::activeWindow() == &window && window.windowHandle()->isExposed();
    });
}

// "Tahoma" as the boxes use it: installed, or the face Debian's fonts-wine ships.
inline bool EnsureTahoma() {
    if (QFontDatabase::families().contains("Tahoma"))
        return true;
    QFontDatabase::addApplicationFont("/usr/share/wine/fonts/tahoma.ttf");
    return QFontDatabase::families().contains("Tahoma");
}

inline QFont Tahoma13() {
    QFont font("Tahoma");
    font.setPixelSize(13);
    return font;
}

// A mouse driven through the window system, one button state for the whole test programme.
class Mouse {
public:
    void Press(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
        FButtons |= button;
        Send(widget, pos, button, QEvent::MouseButtonPress);
    }
    void Release(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
        FButtons &= ~Qt::MouseButtons(button);
        Send(widget, pos, button, QEvent::MouseButtonRelease);
    }
    void Move(QWidget* widget, QPoint pos) { Send(widget, pos, Qt::NoButton, QEvent::MouseMove); }
    void Click(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
        Press(widget, pos, button);
        Release(widget, pos, button);
    }
    // Leaves enough time since the last press that the next one is not a double click.
    void Pause() { FTimestamp += 10000; }

private:
    void Send(QWidget* widget, QPoint pos, Qt::MouseButton button, QEvent::Type type) {
        QWidget* window = widget->window();
        const QPoint local = widget->mapTo(window, pos);
        FTimestamp += 10;
        qt_handleMouseEvent(window->windowHandle(), local, window->mapToGlobal(local), FButtons,
                            button, type, Qt::NoModifier, FTimestamp);
    }

    Qt::MouseButtons FButtons;
    int FTimestamp = 100000;
};

// A key pressed and released on the active window, with the text the keyboard would type.
inline void Type(QWidget* window, int key, const QString& text = {},
                 Qt::KeyboardModifiers mods = Qt::NoModifier, bool autoRepeat = false) {
    qt_handleKeyEvent(window->windowHandle(), QEvent::KeyPress, key, mods, text, autoRepeat, 1);
    qt_handleKeyEvent(window->windowHandle(), QEvent::KeyRelease, key, mods, text, autoRepeat, 1);
}

inline void TypeText(QWidget* window, const QString& text) {
    for (const QChar c : text)
        Type(window, c.toUpper().unicode(), c);
}

} // namespace spintest
