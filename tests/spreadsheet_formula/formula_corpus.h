#pragma once

// The formula corpus of the differential test (data/corpus): the statement template with its lookup
// tables, the fills of its amount cells, and the formulas of each area, plus the programs that
// recalculate a workbook independently of our engine.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

#include "spreadsheet/workbook.h"

namespace corpus {

inline const QString kMainSheet = QStringLiteral("Personal Finance Statement");
inline const QStringList kAreas = {"maths", "statistics", "logic", "lookup", "text",
                                   "dates", "finance",    "edges", "names"};
// The area whose formulas need defined names and a second sheet.
inline const QString kNamesArea = QStringLiteral("names");

struct CellEntry {
    QString sheet;
    QString cell;
    QString value;  // a number, 'text, TRUE/FALSE, #ERROR or =formula
};

struct Area {
    QString name;
    QStringList formulas;
    QList<CellEntry> cells;                    // @cell lines
    QList<std::pair<QString, QString>> names;  // @name lines: name, definition
};

struct Fill {
    QString name;
    QStringList amounts;  // 11 assets, then 6 liabilities
};

// The ways a corpus formula reaches gnumeric: our compiler's tokens in our .xls, our text view as gnumeric
// XML, and gnumeric's own tokens in the .xls files it wrote (tst_formula_differential.cpp).
inline const QStringList kPaths = {"our-tokens", "our-text", "gnumeric-tokens"};

// A line of exceptions.txt: where gnumeric departs from the spreadsheet's documented rules, the value our
// engine must give instead, and the rule that gives it. Fills and paths are lists; "*" is all of them.
struct Exception {
    int line = 0;
    QString area;
    QString formula;
    QStringList fills;
    QStringList paths;
    spreadsheet::Value value;
    QString rule;

    bool covers(const QString& area, const QString& formula, const QString& fill, const QString& path) const;
};

struct Corpus {
    QList<CellEntry> templateCells;
    QList<Fill> fills;
    QMap<QString, Area> areas;
    QList<Exception> exceptions;
    QStringList problems;  // lines of the data files that cannot be used, each with its file and line

    QList<const Exception*> exceptionsFor(const QString& area, const QString& formula, const QString& fill,
                                          const QString& path) const;
};

Corpus load(const QString& folder);

// A value written as the corpus writes it: a number, 'text, TRUE/FALSE or #ERROR; empty is a blank.
// Nothing when the text is none of these.
std::optional<spreadsheet::Value> parseValue(const QString& text);
// Whether two values are the same: numbers to 1e-9 relative, texts exactly, the rest by kind.
bool sameValue(const spreadsheet::Value& a, const spreadsheet::Value& b);

// The row (0-based) of column D where the area's formulas start when several areas share a sheet.
// Puts a value written like the corpus writes it into a cell.
void putValue(spreadsheet::Workbook& workbook, int sheet, spreadsheet::CellRef at, const QString& value);
// The statement template with the areas' formulas in column D, one after the other, compiled by our
// compiler; `rows` receives the formulas' rows, in order.
spreadsheet::Workbook buildWorkbook(const Corpus& corpus, const QStringList& areas, QList<int>& rows);
// Writes the fill into the amount cells as the generation run types them (en_US).
void applyFill(spreadsheet::Workbook& workbook, const Fill& fill);

// The workbook as gnumeric XML, formulas written as our text view shows them.
QByteArray gnumericXml(const spreadsheet::Workbook& workbook);

// What gnumeric computes: `ssconvert --recalc` of the file, the sheet's cells as CSV rows. Empty with a
// warning when ssconvert fails.
QList<QStringList> gnumericValues(const QString& path, const QString& sheet, const QString& scratch);

// Whether our value and gnumeric's CSV field agree: numbers to 1e-9 relative, texts exactly, truth values
// and errors by kind.
bool agrees(const spreadsheet::Value& ours, const QString& theirs);

}  // namespace corpus
