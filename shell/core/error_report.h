#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <stdexcept>
#include <utility>

namespace shell {

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

// One failed statement: what went wrong, where, and at which line.
struct ErrorReport {
    QString description;
    QString location;
    int line = 0;

    // The report's text: description, CR LF, location, "at line N", two bare CRs, the e-mail request.
    QString text() const;
};

// Where reports go. The windows show them in a modal box; without windows (the benchmark, the command
// line) the default writes the text to standard error.
using ErrorReporter = std::function<void(const ErrorReport&)>;
void setErrorReporter(ErrorReporter reporter);
void reportError(const ErrorReport& report);

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
        try {
            std::forward<Body>(body)();
            return true;
        } catch (const std::exception& error) {
            report(line, describe(error));
        } catch (...) {
            report(line, QStringLiteral("Unknown error"));
        }
        return false;
    }

private:
    void report(int line, const QString& description) const noexcept;

    QString location_;
};

}  // namespace shell
