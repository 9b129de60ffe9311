#include "editor/Button.h"

#include <QKeyEvent>

namespace {

// Return, or Enter on the keypad, with no modifier key held: the keys that press a focused
// button. The keypad's own flag is not a modifier the user holds.
bool IsEnter(const QKeyEvent* event) {
    const bool enterKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    return enterKey && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

TButton::TButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    // Never the window's default button: Enter presses the button that has the focus, and only
    // that one, and the button keeps its plain look.
    setAutoDefault(false);
}

void TButton::keyPressEvent(QKeyEvent* event) {
    if (!IsEnter(event)) {
        QPushButton::keyPressEvent(event);
        return;
    }
    // The key's repeats while it is held are taken and do nothing.
    event->accept();
    if (!event->isAutoRepeat())
        click();
}

void TButton::keyReleaseEvent(QKeyEvent* event) {
    if (IsEnter(event)) {
        event->accept();
        return;
    }
    QPushButton::keyReleaseEvent(event);
}
