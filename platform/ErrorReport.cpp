#include "platform/ErrorReport.h"

#include <QCoreApplication>
#include <QDebug>
#include <exception>

namespace {

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

void ReportCurrentError() noexcept {
    try {
        const QString message = CurrentErrorMessage();
        if (auto* report = dynamic_cast<IErrorReport*>(QCoreApplication::instance()))
            report->ReportError(message);
        else
            qWarning().noquote() << message;
    } catch (...) {
        // A report that fails in turn has nowhere left to go.
    }
}
