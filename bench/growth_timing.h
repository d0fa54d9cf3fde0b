#pragma once

#include <QByteArray>
#include <vector>

#include "spreadsheet/workbook.h"

namespace bench {

// The embedded template with `rows` more rows below the statement, as an ordinary larger template holds
// them: a label, an amount, a running chain (C = C above + B), a growing SUM($B$6:Bn), an IF, a
// VLOOKUP into a 20-row table beside them and a ROUND.
spreadsheet::Workbook grownTemplate(const QByteArray& templateBytes, int rows);

// For each size: the template written as a file, the whole job as a process without and with the
// picture (time and peak memory), a full recalculation and one after a single change in this process,
// and gnumeric's `ssconvert --recalc` on the same file when it is installed; then the growth exponents
// between the sizes.
int timeGrowth(const QByteArray& templateBytes, const std::vector<int>& sizes);

}  // namespace bench
