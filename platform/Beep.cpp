#include "platform/Beep.h"

#include <QApplication>

void QtBeep::Beep() {
    QApplication::beep();
}
