#pragma once

// The history as comma-separated values (RFC 4180): UTF-8, CRLF line ends, a header line
// `date,name,total_assets,total_liabilities,net_worth`, then one line per entry in date order, with ISO
// dates and plain amounts (a point, two decimals, a minus sign: -1234.50). A field holding a comma, a
// quote or a line break is quoted, its quotes doubled.

#include <QByteArray>
#include <QString>
#include <vector>

#include "history/history_store.h"

namespace history {

// Whole cents as a plain number with two decimals: 123456 -> "1234.56", -5 -> "-0.05".
QString plainAmount(qint64 cents);

QByteArray historyCsv(std::vector<EntrySummary> entries);

}  // namespace history
