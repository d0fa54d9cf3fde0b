#include "shell/core/locale_amount.h"

#include <QStringList>
#include <cmath>

namespace shell {

namespace {

// Past this many digits before the decimal separator an amount is out of range whatever follows.
constexpr qsizetype kWholeDigitsLimit = 13;
constexpr qint64 kCentsLimit = 1'000'000'000'000'000;

// The characters as a user types them: the locale data's no-break spaces, minus sign and typographic
// apostrophe become their keyboard forms, the locale's own digits become ASCII digits, and invisible
// direction marks (part of some locales' signs and symbols) are dropped. Applied alike to the typed text
// and to the locale's data, so the comparisons below are between like forms.
QString asTyped(const QString& text, char32_t zero) {
    QString out;
    out.reserve(text.size());
    const bool nativeDigits = zero != U'0';
    for (const uint code : QStringView(text).toUcs4()) {
        const auto c = static_cast<char32_t>(code);
        if (nativeDigits && c >= zero && c <= zero + 9) {
            out.append(QLatin1Char(static_cast<char>('0' + (c - zero))));
            continue;
        }
        switch (c) {
            case 0x200E:
            case 0x200F:
            case 0x061C:
                break;
            case 0x00A0:
            case 0x2007:
            case 0x202F:
                out.append(QLatin1Char(' '));
                break;
            case 0x2212:
                out.append(QLatin1Char('-'));
                break;
            case 0x2019:
                out.append(QLatin1Char('\''));
                break;
            default:
                out.append(QString::fromUcs4(&c, 1));
        }
    }
    return out;
}

bool isDigits(QStringView text) {
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

// The symbol the currency form shows: where the locale has no symbol of its own, the ISO code.
QString currencySymbolOf(const QLocale& locale) {
    const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    return symbol.isEmpty() ? locale.currencySymbol(QLocale::CurrencyIsoCode) : symbol;
}

// How the locale writes an amount, taken from its own formatting.
struct AmountSyntax {
    QLocale locale;
    char32_t zero = U'0';
    QString symbol;
    bool symbolFirst = true;
    bool symbolSpaced = false;
    bool signSpaced = false;  // the negative form has a space after the sign ("Ksh- 5.00")
    QString decimal;
    QString group;  // empty where the locale does not group digits
    int primaryGroup = 3;
    int secondaryGroup = 3;
    QStringList negativeSigns;
    QStringList positiveSigns;

    QString typed(const QString& text) const { return asTyped(text, zero); }
};

AmountSyntax syntaxOf(const QLocale& locale) {
    AmountSyntax syntax;
    syntax.locale = locale;
    if (const QList<uint> zero = locale.zeroDigit().toUcs4(); zero.size() == 1)
        syntax.zero = zero.front();
    const QString symbol = currencySymbolOf(locale);
    syntax.symbol = syntax.typed(symbol);

    const QString form = syntax.typed(locale.toCurrencyString(1234567.5, symbol, 2));
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < form.size(); ++i) {
        if (form.at(i).isDigit()) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (!syntax.symbol.isEmpty() && first >= 0) {
        const QString prefix = form.left(first);
        const QString suffix = form.mid(last + 1);
        syntax.symbolFirst = prefix.contains(syntax.symbol);
        syntax.symbolSpaced = (syntax.symbolFirst ? prefix : suffix).contains(QLatin1Char(' '));
    }

    syntax.decimal = syntax.typed(locale.decimalPoint());
    syntax.group = syntax.typed(locale.groupSeparator());
    const QString grouped = syntax.typed(locale.toString(1234567890123LL));
    const QStringList groups = syntax.group.isEmpty() ? QStringList{grouped} : grouped.split(syntax.group);
    if (groups.size() < 2) {
        syntax.group.clear();
    } else {
        syntax.primaryGroup = static_cast<int>(groups.last().size());
        syntax.secondaryGroup = static_cast<int>(groups.at(groups.size() - 2).size());
        if (groups.size() == 2)
            syntax.secondaryGroup = syntax.primaryGroup;
    }

    syntax.negativeSigns = {QStringLiteral("-"), syntax.typed(locale.negativeSign())};
    syntax.signSpaced = syntax.typed(locale.toCurrencyString(-5.0, symbol, 2))
                            .contains(syntax.negativeSigns.last() + QLatin1Char(' '));
    syntax.positiveSigns = {QStringLiteral("+"), syntax.typed(locale.positiveSign())};
    return syntax;
}

// Groups only between whole groups: the last of the primary size, the others of the secondary size, the
// leading one not longer. The locale's own output also qualifies, which may leave a short leading group
// unseparated (1234.567 under Spanish settings).
bool wellGrouped(const QString& whole, const AmountSyntax& syntax) {
    const QStringList groups = whole.split(syntax.group);
    bool regular = true;
    for (qsizetype i = 0; i < groups.size() && regular; ++i) {
        const qsizetype size = groups.at(i).size();
        if (!isDigits(groups.at(i)))
            return false;
        if (i == 0)
            regular = size <= syntax.secondaryGroup && groups.at(0).front() != QLatin1Char('0');
        else if (i == groups.size() - 1)
            regular = size == syntax.primaryGroup;
        else
            regular = size == syntax.secondaryGroup;
    }
    if (regular)
        return true;
    const QString digits = groups.join(QString());
    return digits.size() <= kWholeDigitsLimit &&
           syntax.typed(syntax.locale.toString(digits.toLongLong())) == whole;
}

struct Decimal {
    QString whole;
    QString fraction;
};

// Digits, optional grouping, and at most one decimal separator followed by digits.
std::optional<Decimal> readNumber(const QString& body, const QString& decimal, const QString& group,
                                  const AmountSyntax& syntax) {
    Decimal number;
    const qsizetype point = body.indexOf(decimal);
    if (point >= 0) {
        number.whole = body.left(point);
        number.fraction = body.mid(point + decimal.size());
        if (!isDigits(number.fraction))
            return std::nullopt;
        if (number.whole.isEmpty())
            return number;
    } else {
        number.whole = body;
    }
    if (!group.isEmpty() && number.whole.contains(group)) {
        if (!wellGrouped(number.whole, syntax))
            return std::nullopt;
        number.whole.remove(group);
    }
    if (!isDigits(number.whole))
        return std::nullopt;
    return number;
}

}  // namespace

std::optional<double> parseAmount(const QString& text, const QLocale& locale) {
    const AmountSyntax syntax = syntaxOf(locale);
    QString rest = syntax.typed(text).trimmed();

    bool negative = false;
    const bool parenthesised =
        rest.size() >= 2 && rest.front() == QLatin1Char('(') && rest.back() == QLatin1Char(')');
    if (parenthesised) {
        negative = true;
        rest = rest.mid(1, rest.size() - 2);
    }
    bool signSeen = parenthesised;  // the parentheses already are the sign
    const auto takeSign = [&] {
        if (signSeen)
            return;
        for (const auto* signs : {&syntax.negativeSigns, &syntax.positiveSigns}) {
            for (const QString& sign : *signs) {
                if (!sign.isEmpty() && rest.startsWith(sign)) {
                    rest.remove(0, sign.size());
                    negative = signs == &syntax.negativeSigns;
                    signSeen = true;
                    if (syntax.signSpaced && rest.startsWith(QLatin1Char(' ')))
                        rest.remove(0, 1);
                    return;
                }
            }
        }
    };
    takeSign();
    if (!syntax.symbol.isEmpty()) {
        if (syntax.symbolFirst && rest.startsWith(syntax.symbol)) {
            rest.remove(0, syntax.symbol.size());
            if (syntax.symbolSpaced && rest.startsWith(QLatin1Char(' ')))
                rest.remove(0, 1);
            takeSign();  // "$-5" and "R$ -5" as well as "-$5"
        } else if (!syntax.symbolFirst && rest.endsWith(syntax.symbol)) {
            rest.chop(syntax.symbol.size());
            if (syntax.symbolSpaced && rest.endsWith(QLatin1Char(' ')))
                rest.chop(1);
        }
    } else {
        rest = rest.trimmed();  // the space the currency form keeps where a locale has no symbol at all
    }

    auto number = readNumber(rest, syntax.decimal, syntax.group, syntax);
    if (!number)
        number = readNumber(rest, QStringLiteral("."), QString(), syntax);
    if (!number)
        return std::nullopt;

    // Rounded to cents on the decimal digits themselves, a tie to the even cent: the amount checked
    // against the limit is exactly the one the currency form then shows.
    qsizetype significant = 0;
    while (significant < number->whole.size() && number->whole.at(significant) == QLatin1Char('0'))
        ++significant;
    const QStringView whole = QStringView(number->whole).mid(significant);
    if (whole.size() > kWholeDigitsLimit)
        return std::nullopt;
    const QString& fraction = number->fraction;
    qint64 cents = (whole.isEmpty() ? 0 : whole.toLongLong()) * 100 +
                   fraction.left(2).leftJustified(2, QLatin1Char('0')).toInt();
    if (fraction.size() > 2) {
        const QChar first = fraction.at(2);
        bool beyondHalf = first > QLatin1Char('5');
        for (qsizetype i = 3; first == QLatin1Char('5') && !beyondHalf && i < fraction.size(); ++i)
            beyondHalf = fraction.at(i) != QLatin1Char('0');
        const bool tie = first == QLatin1Char('5') && !beyondHalf;
        if (beyondHalf || (tie && cents % 2 == 1))
            ++cents;
    }
    if (cents >= kCentsLimit)
        return std::nullopt;
    const double value = static_cast<double>(cents) / 100.0;
    return negative ? -value : value;
}

QString currencyText(double amount, const QLocale& locale) {
    double cents = std::nearbyint(amount * 100.0) / 100.0;
    if (cents == 0.0)
        cents = 0.0;  // no "-0.00" for a tiny negative amount
    return locale.toCurrencyString(cents, currencySymbolOf(locale), 2);
}

}  // namespace shell
