#pragma once

#include <QString>

// The application object's side of error handling: it shows the message of an error that a
// handler did not deal with itself, and the event loop goes on.
class IErrorReport {
public:
    virtual ~IErrorReport() = default;
    virtual void ReportError(const QString& message) = 0;
};

// Makes report the one that ReportCurrentError reaches, for as long as it lives; the one before
// it is reached again afterwards. The application object holds one for itself, so that the
// controls below it report to it without knowing it.
class TErrorReportRegistration {
public:
    explicit TErrorReportRegistration(IErrorReport& report) noexcept;
    ~TErrorReportRegistration();
    TErrorReportRegistration(const TErrorReportRegistration&) = delete;
    TErrorReportRegistration& operator=(const TErrorReportRegistration&) = delete;

private:
    IErrorReport* FPrevious;
};

// Reports the error being handled to the registered report, from inside a catch block. With
// none registered, the message goes to Qt's warning output.
void ReportCurrentError() noexcept;

// Runs a handler of ours where Qt calls it: a slot, an event handler, a timer's tick. An error
// it raises ends here, so that no exception unwinds through Qt's dispatch. Undo first puts
// right what must not outlast the failure (it must not fail itself); then the error is
// reported, which may open a modal box with an event loop of its own.
template <class Handler, class Undo> void HandleErrors(Handler&& handler, Undo&& undo) noexcept {
    try {
        handler();
    } catch (...) {
        undo();
        ReportCurrentError();
    }
}

template <class Handler> void HandleErrors(Handler&& handler) noexcept {
    HandleErrors(handler, [] {});
}
