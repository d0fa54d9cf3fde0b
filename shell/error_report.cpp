#include "shell/error_report.h"

#include "shell/message_boxes.h"

namespace shell {

QString describe(const std::exception& error) {
    if (const auto* runtime = dynamic_cast<const RuntimeError*>(&error))
        return runtime->description();
    return QString::fromUtf8(error.what());
}

QString locationText(const QString& objectName, const QString& procedureName) {
    return QStringLiteral("in Tallowmere2021/08/31.") + objectName + QLatin1Char('.') + procedureName +
           QLatin1Char(' ');
}

QString errorReportText(const QString& description, const QString& location, int line) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + kSupportAddress;
}

void showErrorReport(const QString& description, const QString& location, int line) {
    MessageBoxes::show({errorReportText(description, location, line), QStringLiteral("Application Error"),
                        MessageButtons::Ok, MessageIcon::Exclamation});
}

void Procedure::report(const QString& description) const noexcept {
    try {
        showErrorReport(description, location_, line_);
    } catch (...) {
        // A report that cannot be shown must not take the procedure down with it.
    }
}

}  // namespace shell
