#include "platform/ErrorReport.h"

#include <QDebug>
#include <atomic>
#include <exception>

namespace {

std::atomic<IErrorReport*> RegisteredReport{nullptr};

QString CurrentErrorMessage() {
    try {
        throw;
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace

TErrorReportRegistration::TErrorReportRegistration(IErrorReport& report) noexcept
    : FPrevious(RegisteredReport.exchange(&report)) {}

TErrorReportRegistration::~TErrorReportRegistration() {
    RegisteredReport.store(FPrevious);
}

void ReportCurrentError() noexcept {
    try {
        const QString message = CurrentErrorMessage();
        if (IErrorReport* report = RegisteredReport.load())
            report->ReportError(message);
        else
            qWarning().noquote() << message;
    } catch (...) {
        // A report that fails in turn has nowhere left to go.
    }
}
