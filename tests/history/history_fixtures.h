#pragma once

// Statements made up for the history's tests: every line's description and amount differ, so a line that
// lands in the wrong place shows.

#include <QDate>
#include <QString>

#include "generation/statement_figures.h"

namespace history_testing {

inline generation::StatementFigures figures(QDate date, const QString& name, qint64 seed) {
    generation::StatementFigures f;
    f.date = date;
    f.name = name;
    f.currency = QStringLiteral("USD");
    for (size_t i = 0; i < f.assets.size(); ++i) {
        f.assets[i] = {QStringLiteral("Asset %1 of %2").arg(i).arg(name), seed * 100 + qint64(i) * 1001};
        f.totalAssets += f.assets[i].cents;
    }
    for (size_t i = 0; i < f.liabilities.size(); ++i) {
        f.liabilities[i] = {QStringLiteral("Debt %1").arg(i), seed * 10 + qint64(i) * 77};
        f.totalLiabilities += f.liabilities[i].cents;
    }
    f.netWorth = f.totalAssets - f.totalLiabilities;
    return f;
}

}  // namespace history_testing
