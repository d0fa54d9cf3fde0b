#pragma once

// A statement's figures as a workbook holds them: the name, the date, each line's description and amount
// and the three totals the sheet's formulas give. Amounts are whole cents, exact, so that the history can
// compare and add them up without rounding. The history records these; importing reads them from any
// workbook that keeps the statement's cells where the template has them.

#include <QDate>
#include <QLocale>
#include <QString>
#include <array>
#include <optional>
#include <variant>

#include "shell/core/statement.h"

namespace generation {

struct FigureLine {
    QString description;
    qint64 cents = 0;

    bool operator==(const FigureLine&) const = default;
};

struct StatementFigures {
    QString name;
    QDate date;
    std::array<FigureLine, shell::kAssetLines> assets;
    std::array<FigureLine, shell::kLiabilityLines> liabilities;
    // B17, B26 and B28 as the sheet computes them.
    qint64 totalAssets = 0;
    qint64 totalLiabilities = 0;
    qint64 netWorth = 0;
    // The ISO code of the regional currency the amounts were typed in ("USD", "EUR"); empty when the
    // regional settings name none.
    QString currency;

    bool operator==(const StatementFigures&) const = default;
};

// Why a workbook is no statement, in a sentence for the user ("A3 holds no date.").
struct NotAStatement {
    QString reason;
};

using FiguresOrReason = std::variant<StatementFigures, NotAStatement>;

// Whole cents of an amount in currency units, or nothing when it is no finite amount a cell keeps exactly.
std::optional<qint64> centsOf(double amount);

// The figures of a workbook file's first sheet. The sheet must keep the statement's cells: the labels
// "Total Assets" in A17, "Total Liabilities" in A26 and "Net Worth" in A28, a date in A3, numbers (or
// nothing) as amounts in B6:B16 and B20:B25. The workbook is recalculated first, so the totals are what
// its formulas give now, not what a foreign program last stored. A file that cannot be read as a
// workbook is no statement either.
FiguresOrReason readStatementFile(const QString& path, const QString& currency);

// The amount in the currency form of the locale, from whole cents.
QString centsToCurrencyText(qint64 cents, const QLocale& locale);

// The statement as the main window would hold it: the figures' texts, with every amount in the
// locale's currency form.
shell::StatementRecord recordOf(const StatementFigures& figures, const QLocale& locale);

}  // namespace generation
