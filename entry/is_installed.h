#pragma once

#include <QString>

namespace entry {

// The message shown when no spreadsheet application instance can be created.
QString excelMissingMessage();

// Returns when an "Excel.Application" instance can be created (it is dropped at once); otherwise shows
// excelMissingMessage() and ends the program.
void RequireExcel();

}  // namespace entry
