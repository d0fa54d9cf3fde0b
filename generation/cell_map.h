#pragma once

#include <QDate>
#include <QLatin1String>
#include <QString>
#include <array>
#include <variant>
#include <vector>

#include "generation/application.h"
#include "shell/core/statement.h"

namespace generation {

// Where the statement template keeps the statement, in 1-based rows and columns as the run addresses
// cells: the template is built from these (resources/template_builder.cpp), the run writes into them, and
// what reads a generated workbook back finds the statement there.
inline constexpr int kLabelColumn = 1;   // A: the name, the date, the lines' descriptions, the totals' labels
inline constexpr int kAmountColumn = 2;  // B: the lines' amounts and the totals
inline constexpr int kNameRow = 2;
inline constexpr int kDateRow = 3;
inline constexpr int kFirstAssetRow = 6;
inline constexpr int kTotalAssetsRow = kFirstAssetRow + shell::kAssetLines;
inline constexpr int kFirstLiabilityRow = 20;
inline constexpr int kTotalLiabilitiesRow = kFirstLiabilityRow + shell::kLiabilityLines;
inline constexpr int kNetWorthRow = 28;

// The template's formulas: each total's row, and the label it has there.
struct TemplateTotal {
    int row;
    QLatin1String label;
};
inline constexpr std::array<TemplateTotal, 3> kTemplateTotals{{
    {kTotalAssetsRow, QLatin1String("Total Assets")},
    {kTotalLiabilitiesRow, QLatin1String("Total Liabilities")},
    {kNetWorthRow, QLatin1String("Net Worth")},
}};

// One write of the statement into worksheet 1 of the template: 1-based row and column, the value as the
// main window holds it, and the line of the run that does it.
struct CellWrite {
    int line = 0;
    int row = 0;
    int column = 0;
    std::variant<QString, QDate> value;
};

// The 36 writes in the run's order: the date to A3, the name to A2, asset line i to row 6 + i and
// liability line i to row 20 + i (description in column A, amount text in column B), at the rows and
// columns above. Every line is written, empty or not.
std::vector<CellWrite> statementCells(const shell::StatementRecord& statement);

// Puts one write into the sheet: a text as typed entry, a date as a date.
void writeCell(const Worksheet& sheet, const CellWrite& write);

}  // namespace generation
