#include "editor/Application.h"

#include "editor/Unit1.h"
#include "platform/MessageBox.h"

#include <QScopedValueRollback>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentError();
    }
    return false;
}

void TApplication::ReportError(const QString& message) {
    // An error raised while the box itself is up is dropped rather than stacking boxes.
    if (FReporting)
        return;
    const QScopedValueRollback reporting(FReporting, true);
    QtMessageBox platformBox;
    IMessageBox* box = FMessageBox ? FMessageBox : &platformBox;
    box->Show(activeWindow(), ApplicationTitle(), message);
}
