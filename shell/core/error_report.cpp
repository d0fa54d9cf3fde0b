#include "shell/core/error_report.h"

#include <cstdio>

#include "shell/core/product.h"

namespace shell {

namespace {
ErrorReporter& currentReporter() {
    static ErrorReporter reporter;
    return reporter;
}
}  // namespace

QString describe(const std::exception& error) {
    if (const auto* runtime = dynamic_cast<const RuntimeError*>(&error))
        return runtime->description();
    return QString::fromUtf8(error.what());
}

QString locationText(const QString& objectName, const QString& procedureName) {
    return QStringLiteral("in Tallowmere2021/08/31.") + objectName + QLatin1Char('.') + procedureName +
           QLatin1Char(' ');
}

QString ErrorReport::text() const {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + product::kSupportAddress;
}

void setErrorReporter(ErrorReporter reporter) {
    currentReporter() = std::move(reporter);
}

void reportError(const ErrorReport& report) {
    if (currentReporter()) {
        currentReporter()(report);
        return;
    }
    QString shown = report.text();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fprintf(stderr, "%s\n", qPrintable(shown));
}

void Procedure::report(int line, const QString& description) const noexcept {
    try {
        reportError({description, location_, line});
    } catch (...) {
        // A report that cannot be shown must not take the procedure down with it.
    }
}

}  // namespace shell
