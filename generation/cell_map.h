#pragma once

#include <QDate>
#include <QString>
#include <variant>
#include <vector>

#include "generation/application.h"
#include "generation/statement.h"

namespace generation {

// One write of the statement into worksheet 1 of the template: 1-based row and column, the value as the
// main window holds it, and the line of the run that does it.
struct CellWrite {
    int line = 0;
    int row = 0;
    int column = 0;
    std::variant<QString, QDate> value;
};

// The 36 writes in the run's order: the date to A3, the name to A2, asset line i to row 6 + i and
// liability line i to row 20 + i (description in column A, amount text in column B). Every line is
// written, empty or not.
std::vector<CellWrite> statementCells(const StatementRecord& statement);

// Puts one write into the sheet: a text as typed entry, a date as a date.
void writeCell(const Worksheet& sheet, const CellWrite& write);

}  // namespace generation
