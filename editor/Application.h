#pragma once

#include "platform/ErrorReport.h"

#include <QApplication>

class IMessageBox;

// The application object. An error that escapes an event handler is shown to the user in a
// message box, and the event loop goes on dispatching events. Handlers catch their own errors
// and report them here (the object registers itself as the report for its lifetime); notify
// catches whatever still gets through.
class TApplication : public QApplication, public IErrorReport {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // Where errors are reported; the platform's message box until set.
    void SetMessageBox(IMessageBox* messageBox) { FMessageBox = messageBox; }
    IMessageBox* MessageBox() const { return FMessageBox; }

    bool notify(QObject* receiver, QEvent* event) override;
    void ReportError(const QString& message) override;

private:
    IMessageBox* FMessageBox = nullptr;
    bool FReporting = false;
    TErrorReportRegistration FRegistration{*this};
};
