#include "platform/MessageBox.h"

#include <QMessageBox>

void QtMessageBox::Show(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner);
    box.exec();
}
