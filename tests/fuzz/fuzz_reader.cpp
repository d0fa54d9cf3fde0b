// Feeds arbitrary bytes to the workbook engine. QB_FUZZ_STREAM reads them as a bare workbook stream,
// QB_FUZZ_FILE as a whole compound file, QB_FUZZ_ROUNDTRIP reads a stream, writes what was read and
// reads that again (which must work: the writer may refuse a workbook, but never write one that the
// reader cannot read), QB_FUZZ_SHARED_FORMULA turns token streams into a cell's own formula, and
// QB_FUZZ_FORMULAS reads a stream, recalculates it (functions called by add-in and "_xlfn." names
// included), shows every formula as text and compiles that text again into the workbook (array
// formulas over their own ranges, then recalculated), and
// QB_FUZZ_FORMULA_TOKENS does the same with one token stream against a workbook whose link table
// holds add-in functions and "_xlfn." names: its first two bytes give the tokens' length, the bytes
// after the tokens are their extra data (array constants).
// A SpreadsheetError is the expected answer to bad input; anything else that escapes, and every crash,
// leak or undefined behaviour the sanitizers see, is a finding.

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "spreadsheet/biff/tokens.h"
#include "spreadsheet/error.h"
#if defined(QB_FUZZ_FORMULAS) || defined(QB_FUZZ_FORMULA_TOKENS)
#include "spreadsheet/formula.h"
#endif
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"

namespace {

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

void roundTrip(const QByteArray& bytes) {
    spreadsheet::Workbook first;
    try {
        first = spreadsheet::readWorkbookStream(bytes);
    } catch (const spreadsheet::SpreadsheetError&) {
        return;
    }
    QByteArray written;
    try {
        written = spreadsheet::workbookStream(first);
    } catch (const spreadsheet::SpreadsheetError&) {
        return;  // a workbook the writer refuses, with a reason
    }
    try {
        const spreadsheet::Workbook second = spreadsheet::readWorkbookStream(written);
        if (second.sheets.size() != first.sheets.size() || second.names.size() != first.names.size() ||
            second.otherSheets.size() != first.otherSheets.size())
            finding("the written workbook reads back with other sheets or names");
    } catch (const spreadsheet::SpreadsheetError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        finding("the written workbook cannot be read back");
    }
}

void sharedFormula(const uint8_t* data, size_t size) {
    if (size < 3)
        return;
    const spreadsheet::CellRef cell{int(data[0]) << 8 | data[1], data[2]};
    const QByteArrayView tokens(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));
    if (const auto resolved = spreadsheet::biff::sharedFormulaForCell(tokens, cell)) {
        if (resolved->size() != tokens.size())
            finding("a shared formula changed its length");
    }
}

#if defined(QB_FUZZ_FORMULAS)
void formulas(const QByteArray& bytes) {
    spreadsheet::Workbook workbook;
    try {
        workbook = spreadsheet::readWorkbookStream(bytes);
    } catch (const spreadsheet::SpreadsheetError&) {
        return;
    }
    spreadsheet::recalculate(workbook);
    std::vector<std::pair<int, QString>> texts;
    for (size_t s = 0; s < workbook.sheets.size(); ++s) {
        for (const auto& [ref, cell] : workbook.sheets[s].cells()) {
            if (!cell.formula)
                continue;
            try {
                texts.emplace_back(int(s), spreadsheet::cellFormulaText(workbook, int(s), ref));
            } catch (const spreadsheet::SpreadsheetError&) {
            }
        }
    }
    for (const spreadsheet::DefinedName& name : workbook.names) {
        try {
            spreadsheet::formulaText(name.formula, workbook);
        } catch (const spreadsheet::SpreadsheetError&) {
        }
    }
    // What the text view shows, the compiler reads back (names it does not know aside).
    for (const auto& [sheet, text] : texts) {
        try {
            spreadsheet::compileFormula(text.startsWith(u'{') ? text.mid(1, text.size() - 2) : text, workbook,
                                        sheet);
        } catch (const spreadsheet::SpreadsheetError&) {
        }
    }
    // Array formulas entered again over their own ranges, and the workbook recalculated with them.
    for (size_t s = 0; s < workbook.sheets.size(); ++s) {
        const auto arrays = workbook.sheets[s].arrayFormulas;
        for (const auto& [anchor, array] : arrays) {
            try {
                spreadsheet::setArrayFormula(workbook, int(s), array.range,
                                             spreadsheet::cellFormulaText(workbook, int(s), anchor));
            } catch (const spreadsheet::SpreadsheetError&) {
            }
        }
    }
    spreadsheet::recalculate(workbook);
}
#endif

#if defined(QB_FUZZ_FORMULA_TOKENS)
// A statement-like sheet whose formulas call functions by name, so that the link table holds the add-in
// book with its external names, the workbook's own book and the hidden "_xlfn." names.
const spreadsheet::Workbook& linkedWorkbook() {
    static const spreadsheet::Workbook workbook = [] {
        spreadsheet::Workbook w;
        w.addSheet(QStringLiteral("Sheet1"));
        w.addSheet(QStringLiteral("Sheet2"));  // may move the first sheet: take it only now
        spreadsheet::Worksheet& sheet = w.sheets.front();
        for (int row = 0; row < 8; ++row) {
            sheet.cellForWriting({row, 0}).value = 45000.0 + row * 31;
            sheet.cellForWriting({row, 1}).value =
                row % 3 ? spreadsheet::Value(100.5 * row) : spreadsheet::Value(QStringLiteral("Food"));
        }
        sheet.cellForWriting({8, 1}).value = spreadsheet::ErrorCode::NA;
        sheet.cellForWriting({9, 1}).value = true;
        const char* const calls[] = {"=EDATE(A1,1)",
                                     "=EOMONTH(A1,0)",
                                     "=NETWORKDAYS(A1,A8,A2:A3)",
                                     "=WORKDAY(A1,5)",
                                     "=YEARFRAC(A1,A8,1)",
                                     "=WEEKNUM(A1,2)",
                                     "=XIRR(B2:B8,A2:A8)",
                                     "=XNPV(0.1,B2:B8,A2:A8)",
                                     "=CUMIPMT(0.01,12,1000,1,12,0)",
                                     "=MROUND(B2,5)",
                                     "=GCD(B2:B8)",
                                     "=COUPNUM(A1,A8,2)",
                                     "=PRICE(A1,A8,0.05,0.06,100,2)",
                                     "=IFERROR(B1,0)",
                                     "=SUMIFS(B1:B8,B1:B8,\">1\")",
                                     "=COUNTIFS(B1:B8,\"Food\")",
                                     "=IFS(B2>1,1,TRUE,2)",
                                     "=SWITCH(B2,1,2,3)",
                                     "=TEXTJOIN(\",\",TRUE,B1:B8)",
                                     "=AGGREGATE(9,6,B1:B9)",
                                     "=MAXIFS(B1:B8,B1:B8,\">0\")",
                                     "=STDEV.S(B1:B8)",
                                     "=NORM.S.INV(0.5)",
                                     "=CEILING.MATH(B2)",
                                     "=DAYS(A8,A1)",
                                     "=Sheet2!A1"};
        for (size_t i = 0; i < std::size(calls); ++i)
            sheet.cellForWriting({int(i), 3}).formula =
                spreadsheet::compileFormula(QString::fromLatin1(calls[i]), w, 0);
        return w;
    }();
    return workbook;
}

void formulaTokens(const uint8_t* data, size_t size) {
    if (size < 2)
        return;
    const size_t length = std::min<size_t>(size - 2, size_t(data[0] | (data[1] << 8)));
    spreadsheet::Formula formula;
    formula.tokens = QByteArray(reinterpret_cast<const char*>(data + 2), qsizetype(length));
    formula.extra =
        QByteArray(reinterpret_cast<const char*>(data + 2 + length), qsizetype(size - 2 - length));
    spreadsheet::Workbook workbook = linkedWorkbook();
    spreadsheet::evaluateFormula(workbook, 0, {20, 5}, formula);
    QString text;
    try {
        text = spreadsheet::formulaText(formula, workbook);
    } catch (const spreadsheet::SpreadsheetError&) {
        return;
    }
    // What the text view shows, the compiler reads back (names it does not know aside); from there on
    // text and tokens stay as they are (the first compilation may tidy, say, a reversed area).
    spreadsheet::Formula again;
    try {
        again = spreadsheet::compileFormula(u'=' + text, workbook, 0);
    } catch (const spreadsheet::SpreadsheetError&) {
        return;
    }
    const QString shown = spreadsheet::formulaText(again, workbook);
    if (spreadsheet::compileFormula(u'=' + shown, workbook, 0).tokens != again.tokens)
        finding("a formula compiled from its own text gives other tokens");
    spreadsheet::Cell& cell = workbook.sheets[0].cellForWriting({20, 5});
    cell.formula = again;
    spreadsheet::recalculate(workbook);
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
#if defined(QB_FUZZ_FILE)
        spreadsheet::readWorkbookBytes(bytes);
#elif defined(QB_FUZZ_ROUNDTRIP)
        roundTrip(bytes);
#elif defined(QB_FUZZ_SHARED_FORMULA)
        sharedFormula(data, size);
#elif defined(QB_FUZZ_FORMULAS)
        formulas(bytes);
#elif defined(QB_FUZZ_FORMULA_TOKENS)
        formulaTokens(data, size);
#else
        spreadsheet::readWorkbookStream(bytes);
#endif
    } catch (const spreadsheet::SpreadsheetError&) {
    }
    return 0;
}
