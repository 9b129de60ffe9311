#pragma once

#include <QString>

class QWidget;

// A modal box with a title, a text, no icon and a single "OK" button; returns when the user
// has closed it.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual void Show(QWidget* owner, const QString& title, const QString& text) = 0;
};

class QtMessageBox : public IMessageBox {
public:
    void Show(QWidget* owner, const QString& title, const QString& text) override;
};
