#pragma once

#include <QString>
#include <exception>
#include <stdexcept>
#include <utility>

namespace shell {

inline const QString kSupportAddress = QStringLiteral("support@brackenlow.com");

// A run-time failure with a description fit for the error report.
class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(const QString& description)
        : std::runtime_error(description.toStdString()), description_(description) {}
    const QString& description() const noexcept { return description_; }

private:
    QString description_;
};

// The description of any exception as the error report shows it.
QString describe(const std::exception& error);

// "in Tallowmere2021/08/31.<object>.<procedure> "
QString locationText(const QString& objectName, const QString& procedureName);

// The report's text: description, CR LF, location, "at line N", two bare CRs, the e-mail request.
QString errorReportText(const QString& description, const QString& location, int line);

// Shows the report ("Application Error", exclamation icon, OK only) and waits for the user.
void showErrorReport(const QString& description, const QString& location, int line);

// A procedure with numbered statements. Each statement runs through step(); a failure inside it, or in
// anything it calls, is reported with this procedure's location and the step's line, and the procedure
// goes on with its next step.
class Procedure {
public:
    Procedure(const QString& objectName, const QString& procedureName)
        : location_(locationText(objectName, procedureName)) {}

    // Returns true when the statement ran to its end.
    template <typename Body>
    bool step(int line, Body&& body) noexcept {
        line_ = line;
        try {
            std::forward<Body>(body)();
            return true;
        } catch (const std::exception& error) {
            report(describe(error));
        } catch (...) {
            report(QStringLiteral("Unknown error"));
        }
        return false;
    }

    const QString& location() const { return location_; }
    int lastLine() const { return line_; }

private:
    void report(const QString& description) const noexcept;

    QString location_;
    int line_ = 0;
};

}  // namespace shell
