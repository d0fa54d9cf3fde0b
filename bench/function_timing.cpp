// Recalculating a sheet of a thousand formulas that call the analysis add-in's functions and the newer
// ones by name (loan dates, conditional sums over a ledger, cash flows, spread), as statement templates
// made by other programs hold them.

#include <QStringList>

#include "bench/stage_timer.h"
#include "spreadsheet/formula.h"

namespace bench {

namespace {

spreadsheet::Workbook thousandNewFunctionFormulas() {
    using namespace spreadsheet;
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Personal Finance Statement"));
    const QStringList categories = {"Food", "Rent", "Transport", "Fun"};
    // A ledger of 200 lines: date, category, amount.
    for (int row = 0; row < 200; ++row) {
        sheet.cellForWriting({row, 5}).value = 45292.0 + row * 3;
        sheet.cellForWriting({row, 6}).value = categories[row % categories.size()];
        sheet.cellForWriting({row, 7}).value = 10.0 + (row * 37) % 290 + 0.25;
    }
    const QStringList kinds = {
        "=EDATE(F%1,12)",
        "=EOMONTH(F%1,-1)",
        "=NETWORKDAYS(F%1,F%1+90)",
        "=WORKDAY(F%1,10)",
        "=YEARFRAC(F1,F%1,1)",
        "=SUMIFS(H1:H200,G1:G200,G%1,F1:F200,\">=\"&F%1)",
        "=COUNTIFS(G1:G200,G%1,H1:H200,\">100\")",
        "=IFERROR(AVERAGEIF(G1:G200,G%1,H1:H200),0)",
        "=MAXIFS(H1:H200,G1:G200,G%1)",
        "=CUMIPMT(0.045/12,300,250000,1,12,0)+H%1",
        "=XNPV(0.05,H1:H20,F1:F20)",
        "=IFS(H%1>200,\"high\",H%1>100,\"medium\",TRUE,\"low\")",
        "=TEXTJOIN(\", \",TRUE,G%1,TEXT(H%1,\"0.00\"))",
        "=STDEV.S(H1:H200)+MROUND(H%1,5)",
        "=DATEDIF(F1,F%1,\"md\")+DAYS360(F1,F%1)",
        "=WEEKNUM(F%1,2)+ISOWEEKNUM(F%1)",
    };
    for (int i = 0; i < 1000; ++i) {
        QString text = kinds[i % kinds.size()];
        text.replace(QLatin1String("%1"), QString::number(1 + i % 200));
        sheet.cellForWriting({i, 3}).formula = compileFormula(text, workbook, 0);
    }
    return workbook;
}

}  // namespace

Stage timeThousandNewFunctionFormulas(int rounds) {
    Stage stage{QStringLiteral("recalculate 1000 add-in and newer-function formulas"), {}};
    const spreadsheet::Workbook original = thousandNewFunctionFormulas();
    for (int round = 0; round < rounds; ++round) {
        spreadsheet::Workbook workbook = original;
        stage.lap([&] { spreadsheet::recalculate(workbook); });
    }
    return stage;
}

}  // namespace bench
