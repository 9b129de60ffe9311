#pragma once

#include <QPushButton>

// A push button of the main window. Besides a click and Space, Return and keypad Enter press it
// while it has the focus, as they do on the desktop the window's buttons come from: once per
// press, at the press, never again while the key is held.
class TButton : public QPushButton {
    Q_OBJECT
public:
    TButton(const QString& caption, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};
