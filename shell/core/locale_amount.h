#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace shell {

// Reads an amount as the user types it under the regional settings: an optional sign, decimal and grouping
// separators, the local currency symbol, white space, and parentheses for a negative amount, so the
// currency form itself reads back. A plain number with a point as decimal separator and no grouping
// ("150.32") is read as such even where the locale's separators differ, so the built-in sample amounts keep
// their value everywhere. Nothing when the text is no amount (empty, letters, two decimal separators...).
std::optional<double> parseAmount(const QString& text, const QLocale& locale = QLocale());

// The amount in the locale's currency form with exactly two decimals ($1,500.00, ($5.00), 1.500,00 €).
QString currencyText(double amount, const QLocale& locale = QLocale());

}  // namespace shell
