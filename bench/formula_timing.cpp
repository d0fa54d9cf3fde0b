// Recalculating a sheet of a thousand formulas of the kinds statement templates hold: totals,
// conditional sums, lookups, rounding, text and loan formulas over the statement's amounts.

#include <QStringList>
#include <algorithm>

#include "bench/stage_timer.h"
#include "spreadsheet/formula.h"

namespace bench {

namespace {

spreadsheet::Workbook thousandFormulas() {
    using namespace spreadsheet;
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Personal Finance Statement"));
    for (int row = 5; row <= 24; ++row)
        sheet.cellForWriting({row, 1}).value = 100.0 * row + 0.25;
    for (int row = 1; row <= 7; ++row) {
        sheet.cellForWriting({row, 5}).value = double((row - 1) * 1000);
        sheet.cellForWriting({row, 6}).value = QStringLiteral("Band %1").arg(row);
    }
    const QStringList kinds = {
        "=SUM(B6:B16)-SUM(B20:B25)",
        "=SUMIF(B6:B25,\">1000\")",
        "=SUMPRODUCT((B6:B16>500)*B6:B16)",
        "=VLOOKUP(B%1,F2:G8,2)",
        "=ROUND(AVERAGE(B6:B16),2)",
        "=IF(B%1>1000,\"high\",\"low\")&\" \"&TEXT(B%1,\"#,##0.00\")",
        "=PMT(0.05/12,360,B%1*100)",
        "=COUNTIF(B6:B25,\"<>0\")+MAX(B6:B25)",
        "=D%2+B%1",
        "=INDEX(B6:B25,MATCH(MAX(B6:B16),B6:B16,0))",
    };
    for (int i = 0; i < 1000; ++i) {
        const int input = 6 + i % 20;
        QString text = kinds[i % kinds.size()];
        text.replace(QLatin1String("%1"), QString::number(input))
            .replace(QLatin1String("%2"), QString::number(std::max(1, i)));
        sheet.cellForWriting({i, 3}).formula = compileFormula(text);
    }
    return workbook;
}

}  // namespace

Stage timeThousandFormulas(int rounds) {
    Stage stage{QStringLiteral("recalculate 1000 formulas"), {}};
    const spreadsheet::Workbook original = thousandFormulas();
    for (int round = 0; round < rounds; ++round) {
        spreadsheet::Workbook workbook = original;
        stage.lap([&] { spreadsheet::recalculate(workbook); });
    }
    return stage;
}

}  // namespace bench
