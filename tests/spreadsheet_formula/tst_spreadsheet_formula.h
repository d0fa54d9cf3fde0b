#pragma once

#include <QString>

#include "spreadsheet/workbook.h"

// The test objects of this executable, run one after the other by its main().
int runFormulaTests(int argc, char** argv);
int runTypedEntryTests(int argc, char** argv);
int runStatementTests(int argc, char** argv);
int runDifferentialTests(int argc, char** argv);

// A value as a test compares it: a number to 15 significant digits, as a spreadsheet keeps them, a quoted
// text, TRUE/FALSE, an error's text or "(blank)".
QString describe(const spreadsheet::Value& v);
