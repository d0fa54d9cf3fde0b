#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace shell {

// Amounts at or above this size are refused: a workbook cell holds 15 significant digits, so beyond
// 9,999,999,999,999.99 the cents would no longer be exact.
inline constexpr double kAmountLimit = 1e13;

// Reads an amount written the way the locale writes one, and nothing else:
// - an optional sign (at the start, or right before the digits), or parentheses around the whole amount;
// - the locale's currency symbol at most once, on the side where the locale puts it, either touching the
//   number or separated by one space where the locale separates them;
// - digits, with the locale's group separator only between whole groups as the locale groups them (or
//   no grouping at all), and at most one decimal separator followed by at least one digit.
// A plain number with a point as decimal separator and no grouping ("150.32") is read as such where the
// locale's separators differ, so the built-in sample amounts keep their value everywhere; the locale's
// own reading comes first ("1.500" is 1500 under German settings).
// Where the locale writes a no-break space, an ordinary space as typed is taken for it; surrounding blanks
// are ignored. The amount comes back rounded to cents on its decimal digits (a tie to the even cent);
// nothing for any other text, for exponents, and for amounts of kAmountLimit or more once rounded.
std::optional<double> parseAmount(const QString& text, const QLocale& locale = QLocale());

// The amount in the locale's currency form with exactly two decimals ($1,500.00, ($5.00), 1.500,00 €).
QString currencyText(double amount, const QLocale& locale = QLocale());

}  // namespace shell
