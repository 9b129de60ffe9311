#pragma once

#include <QApplication>

class IMessageBox;

// The application object. An error that escapes an event handler is caught here: the user sees
// its message in a message box and the event loop goes on dispatching events.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // Where escaped errors are reported; the platform's message box until set.
    void SetMessageBox(IMessageBox* messageBox) { FMessageBox = messageBox; }
    IMessageBox* MessageBox() const { return FMessageBox; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void ReportError(const QString& message);

    IMessageBox* FMessageBox = nullptr;
    bool FReporting = false;
};
