#pragma once

#include <QLocale>
#include <QString>
#include <optional>

namespace spreadsheet {

// A text that reads as a number the way a spreadsheet reads typed input, and what its form says
// about how the number wants to be shown.
struct TypedNumber {
    enum class Form { Plain, Grouped, Currency, Percent, Scientific };

    double value = 0;
    Form form = Form::Plain;
    bool hasDecimals = false;  // digits were typed after the decimal separator
};

// Reads a number under the locale: a sign before or after, the decimal separator, grouping
// separators where the locale puts them, the locale's currency symbol before or after (with or
// without a space), parentheses for negatives, a percent sign, an exponent. White space around the
// text is ignored. Where the locale's decimal separator is not a point and the locale reads no number,
// a plain point-decimal text ("150.32") still reads as one. Nothing when the text is not such a number.
std::optional<TypedNumber> readTypedNumber(const QString& text, const QLocale& locale);

// The number format code a spreadsheet gives a General cell that received currency text under the
// locale: the locale's symbol, position, spacing and negative form, with or without two decimals.
QString currencyFormatCode(const QLocale& locale, bool withDecimals);

}  // namespace spreadsheet
