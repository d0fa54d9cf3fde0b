#include "shell/core/locale_amount.h"

#include <cmath>

namespace shell {

namespace {

std::optional<double> readNumber(const QLocale& locale, const QString& text) {
    bool ok = false;
    const double value = locale.toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool startsWithSign(const QString& text, const QLocale& locale) {
    return text.startsWith(locale.negativeSign()) || text.startsWith(locale.positiveSign()) ||
           text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'));
}

}  // namespace

std::optional<double> parseAmount(const QString& text, const QLocale& locale) {
    QString digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace())
            digits.append(c);
    }
    bool negative = false;
    if (digits.size() >= 2 && digits.startsWith(QLatin1Char('(')) && digits.endsWith(QLatin1Char(')'))) {
        negative = true;
        digits = digits.mid(1, digits.size() - 2);
    }
    const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    if (!symbol.isEmpty())
        digits.remove(symbol);
    if (digits.isEmpty())
        return std::nullopt;
    // "(-5)" is no amount: the parentheses already are the sign.
    if (negative && startsWithSign(digits, locale))
        return std::nullopt;

    std::optional<double> value = readNumber(locale, digits);
    if (!value) {
        QLocale plain = QLocale::c();
        plain.setNumberOptions(QLocale::RejectGroupSeparator);
        value = readNumber(plain, digits);
    }
    if (!value)
        return std::nullopt;
    return negative ? -*value : *value;
}

QString currencyText(double amount, const QLocale& locale) {
    double cents = std::nearbyint(amount * 100.0) / 100.0;
    if (cents == 0.0)
        cents = 0.0;  // no "-0.00" for a tiny negative amount
    return locale.toCurrencyString(cents, locale.currencySymbol(QLocale::CurrencySymbol), 2);
}

}  // namespace shell
