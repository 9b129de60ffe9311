#pragma once

// Input for widget tests through the window system's entry points, as Qt's own test library
// sends it: focus on press, implicit grab, shortcut override and double-click detection behave
// as with a real mouse and keyboard, and every event is delivered before the call returns.

#include "platform/ErrorReport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <exception>
#include <functional>

Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key,
                                    Qt::KeyboardModifiers mods, const QString& text, bool autorep,
                                    ushort count);

namespace qtinput {

// Qt's offscreen platform with the test screens: the first has one device pixel per pixel,
// the others the ratios of high-density screens. Kept when the caller chose a platform.
inline void UseOffscreenScreens() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" VARNOTEL_TEST_SCREENS);
}

// Headless unless a platform is chosen. Like the application object, it takes the reports of
// errors that handlers caught, and catches an error that escapes an event handler anyway; it
// counts both and goes on.
class TestApplication : public QApplication, public IErrorReport {
public:
    TestApplication(int& argc, char** argv) : QApplication(Headless(argc), argv) {}
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception&) {
            ++EscapedErrors;
            return false;
        }
    }
    void ReportError(const QString& message) override {
        ReportedErrors << message;
        if (WhileReporting)
            WhileReporting();
    }
    static void ClearErrors() {
        ReportedErrors.clear();
        EscapedErrors = 0;
        WhileReporting = nullptr;
    }
    static inline QStringList ReportedErrors;
    static inline int EscapedErrors = 0;
    // What happens while the application would show its box, such as a modal event loop.
    static inline std::function<void()> WhileReporting;

private:
    TErrorReportRegistration FRegistration{*this};

    static int& Headless(int& argc) {
        UseOffscreenScreens();
        return argc;
    }
};

// The test screen with the given device pixel ratio, or null.
inline QScreen* ScreenWithRatio(double ratio) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->devicePixelRatio() == ratio)
            return screen;
    return nullptr;
}

// Shows the widget's window on the screen and lets the platform's notices arrive.
inline void ShowOn(QWidget& widget, QScreen* screen) {
    QWidget* window = widget.window();
    window->move(screen->geometry().topLeft() + QPoint(10, 10));
    window->show();
    window->windowHandle()->setScreen(screen);
    QCoreApplication::processEvents();
}

inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 2000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() <= timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return condition();
}

// Runs the event loop for a while, to show that something does not happen.
inline void Wait(int ms) {
    WaitUntil([] { return false; }, ms);
}

// Makes a shown top-level window the active one at once, as the offscreen platform does for no
// window by itself. Qt 6.5 and later keep the direct way for that but deprecate it.
inline void Activate(QWidget& window) {
    window.activateWindow();
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(&window);
    QT_WARNING_POP
}

// Shows a top-level window and makes it the active one, so that focus changes are real.
inline bool ShowActive(QWidget& window) {
    window.show();
    Activate(window);
    return WaitUntil([&] {
        return QApplication::activeWindow() == &window && window.windowHandle()->isExposed();
    });
}

// A mouse, with positions relative to the widget given. A new mouse comes long enough after the
// last press that its first press is no double click; it lets go of held buttons at the end.
class Mouse {
public:
    Mouse() { Pause(); }
    ~Mouse() {
        for (const Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            if (FLast && (FButtons & b))
                Release(FLast, FPointer, b);
    }
    void Press(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
        FButtons |= b;
        Send(w, pos, b, QEvent::MouseButtonPress, mods);
    }
    void Release(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
        FButtons &= ~Qt::MouseButtons(b);
        Send(w, pos, b, QEvent::MouseButtonRelease);
    }
    void Move(QWidget* w, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        Send(w, pos, Qt::NoButton, QEvent::MouseMove, mods);
    }
    void Click(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
        Press(w, pos, b);
        Release(w, pos, b);
    }
    void Pause() { Timestamp += 10000; }

private:
    void Send(QWidget* w, QPoint pos, Qt::MouseButton b, QEvent::Type type,
              Qt::KeyboardModifiers mods = Qt::NoModifier) {
        FLast = w;
        FPointer = pos;
        QWidget* window = w->window();
        const QPoint local = w->mapTo(window, pos);
        qt_handleMouseEvent(window->windowHandle(), local, window->mapToGlobal(local), FButtons, b,
                            type, mods, Timestamp += 10);
    }

    Qt::MouseButtons FButtons;
    QPointer<QWidget> FLast;
    QPoint FPointer;
    static inline int Timestamp = 0;
};

// A key pressed and released on the given window, with the text it types.
inline void Type(QWidget* window, int key, const QString& text = {},
                 Qt::KeyboardModifiers mods = Qt::NoModifier, bool autoRepeat = false) {
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease})
        qt_handleKeyEvent(window->windowHandle(), type, key, mods, text, autoRepeat, 1);
}

inline void TypeText(QWidget* window, const QString& text) {
    for (const QChar c : text)
        Type(window, c.toUpper().unicode(), c);
}

} // namespace qtinput
