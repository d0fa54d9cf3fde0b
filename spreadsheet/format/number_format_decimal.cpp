// Decimal rounding as a spreadsheet does it: on the 15 significant digits it keeps of a number, half
// away from zero, so that 2.5 shows as 3 and 1.005 as 1.01 where binary rounding would go down.

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "spreadsheet/format/number_format_internal.h"

namespace spreadsheet::number_format_detail {

namespace {

void trimTrailingZeros(Decimal& d) {
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    if (d.digits.empty())
        d.exponent = 0;
}

}  // namespace

Decimal toDecimal(double value) {
    value = std::fabs(value);
    if (value == 0 || !std::isfinite(value))
        return {};
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    // d.dddddddddddddde[+-]xx
    Decimal d;
    d.digits.push_back(buffer[0]);
    d.digits.append(buffer + 2, 14);
    d.exponent = std::atoi(buffer + 17) + 1;
    trimTrailingZeros(d);
    return d;
}

Decimal roundSignificant(const Decimal& value, int significant) {
    if (value.digits.empty() || significant >= int(value.digits.size()))
        return value;
    if (significant < 0)
        return {};
    Decimal d = value;
    const bool up = d.digits[size_t(significant)] >= '5';
    d.digits.resize(size_t(significant));
    if (up) {
        int i = significant - 1;
        while (i >= 0 && d.digits[size_t(i)] == '9')
            d.digits[size_t(i--)] = '0';
        if (i >= 0) {
            ++d.digits[size_t(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        }
    }
    trimTrailingZeros(d);
    return d;
}

Decimal roundDecimal(const Decimal& value, int decimals) {
    return roundSignificant(value, value.exponent + decimals);
}

std::pair<std::string, std::string> fixedParts(const Decimal& value, int decimals) {
    auto digitAt = [&](int index) {
        return index >= 0 && index < int(value.digits.size()) ? value.digits[size_t(index)] : '0';
    };
    std::string whole;
    for (int i = 0; i < value.exponent; ++i)
        whole.push_back(digitAt(i));
    std::string fraction;
    for (int i = 0; i < decimals; ++i)
        fraction.push_back(digitAt(value.exponent + i));
    return {whole, fraction};
}

}  // namespace spreadsheet::number_format_detail
