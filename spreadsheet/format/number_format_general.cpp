// General: the shortest faithful form of a number in the room a cell gives it. A spreadsheet allows
// at most 11 characters; within that it keeps as many significant digits as fit, and writes the number
// in exponent form when that keeps more of them (very large or very small numbers).

#include <algorithm>

#include "spreadsheet/format/number_format_internal.h"

namespace spreadsheet::number_format_detail {

namespace {

struct Candidate {
    QString text;
    int significant = -1;  // -1: no form fits
};

Candidate fixedForm(const Decimal& d, int room) {
    const int integerDigits = std::max(d.exponent, 1);
    if (integerDigits > room)
        return {};
    for (int decimals = std::max(room - integerDigits - 1, 0); decimals >= 0; --decimals) {
        const Decimal rounded = roundDecimal(d, decimals);
        if (rounded.digits.empty())
            return {};  // every digit lost: the value would read as 0
        auto [whole, fraction] = fixedParts(rounded, decimals);
        while (!fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
        std::string text = whole.empty() ? std::string("0") : whole;
        if (!fraction.empty())
            text += "." + fraction;
        if (int(text.size()) <= room)
            return {QString::fromStdString(text), int(rounded.digits.size())};
    }
    return {};
}

Candidate exponentForm(const Decimal& d, int room) {
    for (int decimals = std::max(room - 6, 0); decimals >= 0; --decimals) {
        const Decimal rounded = roundSignificant(d, 1 + decimals);
        const int power = rounded.exponent - 1;
        std::string mantissa(1, rounded.digits[0]);
        if (rounded.digits.size() > 1)
            mantissa += "." + rounded.digits.substr(1);
        QString text = QString::fromStdString(mantissa) +
                       (power < 0 ? QStringLiteral("E-") : QStringLiteral("E+")) +
                       QStringLiteral("%1").arg(std::abs(power), 2, 10, QLatin1Char('0'));
        if (text.size() <= room || decimals == 0)
            return {text, int(rounded.digits.size())};
    }
    return {};
}

}  // namespace

QString formatGeneral(double value, int width) {
    if (value == 0)
        return QStringLiteral("0");
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    const int room = std::max(std::min(width, 11) - int(sign.size()), 1);
    const Decimal d = toDecimal(value);
    const Candidate fixed = fixedForm(d, room);
    const Candidate exponent = exponentForm(d, room);
    // The plain form wins ties: 0.0001 rather than 1E-04.
    if (fixed.significant >= 0 && fixed.significant >= exponent.significant)
        return sign + fixed.text;
    return sign + exponent.text;
}

QString regionalGeneral(double value, const FormatOptions& options) {
    QString text = formatGeneral(value, options.generalWidth);
    const QString point = options.locale.decimalPoint();
    if (point != QStringLiteral("."))
        text.replace(u'.', point);
    return text;
}

}  // namespace spreadsheet::number_format_detail
