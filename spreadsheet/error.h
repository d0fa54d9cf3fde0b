#pragma once

#include <QString>
#include <stdexcept>

namespace spreadsheet {

// Any failure of the engine: a file that cannot be read or written, a malformed workbook, a bad argument.
// The message is meant for the person who sees it.
class SpreadsheetError : public std::runtime_error {
public:
    explicit SpreadsheetError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// A write that the workbook refuses as a spreadsheet would: a locked cell on a protected sheet, or a part
// of an array formula or data table. The message is the spreadsheet's own.
class RefusedChangeError : public SpreadsheetError {
public:
    using SpreadsheetError::SpreadsheetError;
};

}  // namespace spreadsheet
