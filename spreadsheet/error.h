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

}  // namespace spreadsheet
