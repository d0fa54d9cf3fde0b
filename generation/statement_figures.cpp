#include "generation/statement_figures.h"

#include <QFileInfo>
#include <cmath>

#include "generation/statement_output.h"
#include "shell/core/locale_amount.h"
#include "spreadsheet/cell_ref.h"
#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/typed_entry.h"
#include "spreadsheet/workbook.h"
#include "spreadsheet/workbook_reader.h"

namespace generation {

namespace {

// 0-based rows of the template's cells.
constexpr int kDateRow = 2, kFirstAssetRow = 5, kFirstLiabilityRow = 19;
constexpr int kTotalAssetsRow = 16, kTotalLiabilitiesRow = 25, kNetWorthRow = 27;

struct TotalCell {
    int row;
    const char* label;
};
constexpr TotalCell kTotals[] = {{kTotalAssetsRow, "Total Assets"},
                                 {kTotalLiabilitiesRow, "Total Liabilities"},
                                 {kNetWorthRow, "Net Worth"}};

QString cellName(int row, int column) {
    return QChar(u'A' + column) + QString::number(row + 1);
}

// What a cell shows, as text.
QString shownText(const spreadsheet::Workbook& workbook, const spreadsheet::Cell* cell) {
    if (!cell || cell->isBlank())
        return {};
    if (const QString* text = cell->text())
        return *text;
    const auto& format = workbook.formatOf(*cell);
    return spreadsheet::formatValue(workbook, format.numberFormat, cell->value).text().trimmed();
}

// An amount cell: nothing is 0, a number is its cents; anything else is refused with the reason.
std::variant<qint64, QString> amountOf(const spreadsheet::Worksheet& sheet, int row) {
    const spreadsheet::Cell* cell = sheet.cell({row, 1});
    const QString name = cellName(row, 1);
    if (!cell || std::holds_alternative<std::monostate>(cell->value))
        return qint64(0);
    if (const double* number = cell->number()) {
        if (const auto cents = centsOf(*number))
            return *cents;
        return QStringLiteral("%1 holds an amount too large to keep exactly.").arg(name);
    }
    if (std::holds_alternative<spreadsheet::ErrorCode>(cell->value))
        return QStringLiteral("%1 shows the error %2.")
            .arg(name, spreadsheet::errorText(std::get<spreadsheet::ErrorCode>(cell->value)));
    return QStringLiteral("%1 holds text, not an amount.").arg(name);
}

FiguresOrReason readStatementFigures(spreadsheet::Workbook workbook, const QString& currency) {
    if (workbook.sheets.empty())
        return NotAStatement{QStringLiteral("The workbook has no sheet.")};
    const auto& sheet = workbook.sheets.front();
    for (const TotalCell& total : kTotals) {
        const QString label = shownText(workbook, sheet.cell({total.row, 0})).trimmed();
        if (label.compare(QLatin1String(total.label), Qt::CaseInsensitive) != 0)
            return NotAStatement{QStringLiteral("Its first sheet has no \"%1\" in %2.")
                                     .arg(QLatin1String(total.label), cellName(total.row, 0))};
    }
    try {
        spreadsheet::recalculate(workbook);
    } catch (const spreadsheet::SpreadsheetError& error) {
        return NotAStatement{QStringLiteral("Its formulas cannot be calculated: %1").arg(error.message())};
    }
    const auto& computed = workbook.sheets.front();

    StatementFigures figures;
    figures.currency = currency;
    figures.name = statementName(workbook, 0);
    const spreadsheet::Cell* date = computed.cell({kDateRow, 0});
    const double* serial = date ? date->number() : nullptr;
    if (serial)
        figures.date = spreadsheet::dateFromSerial(*serial, workbook.date1904);
    if (!figures.date.isValid())
        return NotAStatement{QStringLiteral("A3 holds no date.")};

    const auto readLines = [&](auto& lines, int firstRow) -> std::optional<QString> {
        for (size_t i = 0; i < lines.size(); ++i) {
            const int row = firstRow + int(i);
            lines[i].description = shownText(workbook, computed.cell({row, 0}));
            const auto amount = amountOf(computed, row);
            if (const QString* reason = std::get_if<QString>(&amount))
                return *reason;
            lines[i].cents = std::get<qint64>(amount);
        }
        return std::nullopt;
    };
    if (const auto reason = readLines(figures.assets, kFirstAssetRow))
        return NotAStatement{*reason};
    if (const auto reason = readLines(figures.liabilities, kFirstLiabilityRow))
        return NotAStatement{*reason};

    qint64* totals[] = {&figures.totalAssets, &figures.totalLiabilities, &figures.netWorth};
    for (size_t i = 0; i < std::size(kTotals); ++i) {
        const spreadsheet::Cell* cell = computed.cell({kTotals[i].row, 1});
        const auto amount = amountOf(computed, kTotals[i].row);
        if (const QString* reason = std::get_if<QString>(&amount))
            return NotAStatement{*reason};
        if (!cell || !cell->number())
            return NotAStatement{QStringLiteral("%1 holds no total.").arg(cellName(kTotals[i].row, 1))};
        *totals[i] = std::get<qint64>(amount);
    }
    return figures;
}

}  // namespace

std::optional<qint64> centsOf(double amount) {
    if (!std::isfinite(amount) || std::fabs(amount) >= shell::kAmountLimit)
        return std::nullopt;
    return static_cast<qint64>(std::llround(amount * 100.0));
}

FiguresOrReason readStatementFile(const QString& path, const QString& currency) {
    if (!QFileInfo(path).isFile())
        return NotAStatement{QStringLiteral("There is no file by that name.")};
    spreadsheet::Workbook workbook;
    try {
        workbook = spreadsheet::readWorkbookFile(path);
    } catch (const spreadsheet::SpreadsheetError& error) {
        return NotAStatement{QStringLiteral("It is no Excel 97-2003 workbook: %1").arg(error.message())};
    } catch (const std::exception& error) {
        return NotAStatement{
            QStringLiteral("It cannot be read: %1").arg(QString::fromLocal8Bit(error.what()))};
    }
    return readStatementFigures(std::move(workbook), currency);
}

QString centsToCurrencyText(qint64 cents, const QLocale& locale) {
    return shell::currencyText(static_cast<double>(cents) / 100.0, locale);
}

shell::StatementRecord recordOf(const StatementFigures& figures, const QLocale& locale) {
    shell::StatementRecord record;
    record.name = figures.name;
    record.date = figures.date;
    for (size_t i = 0; i < figures.assets.size(); ++i) {
        record.assetDescriptions[i] = figures.assets[i].description;
        record.assetAmounts[i] = centsToCurrencyText(figures.assets[i].cents, locale);
    }
    for (size_t i = 0; i < figures.liabilities.size(); ++i) {
        record.liabilityDescriptions[i] = figures.liabilities[i].description;
        record.liabilityAmounts[i] = centsToCurrencyText(figures.liabilities[i].cents, locale);
    }
    return record;
}

}  // namespace generation
