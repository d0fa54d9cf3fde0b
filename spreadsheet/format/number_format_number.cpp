// Numbers laid out with digit placeholders: fixed decimals, grouping, scaling commas, percent,
// exponents and fractions.

#include <cmath>
#include <map>

#include "spreadsheet/format/number_format_internal.h"

namespace spreadsheet::number_format_detail {

namespace {

enum class CommaRole { Literal, Grouping, Scaling };

bool isDigitToken(const Token& t) {
    return t.kind == TokenKind::Digit;
}

QString padding(QChar placeholder) {
    if (placeholder == u'0')
        return QStringLiteral("0");
    if (placeholder == u'?')
        return QStringLiteral(" ");
    return {};
}

// Places digits into placeholders from the right; digits beyond the placeholders join the leftmost one.
// With a group separator, one follows every third digit counted from the right.
std::map<size_t, QString> placeRightAligned(const std::vector<Token>& tokens,
                                            const std::vector<size_t>& places, const std::string& digits,
                                            const QString& groupSeparator = {}) {
    const bool grouping = !groupSeparator.isEmpty();
    std::map<size_t, QString> out;
    if (places.empty())
        return out;
    int k = int(digits.size()) - 1;
    int placed = 0;
    auto withGrouping = [&](char digit) {
        QString s(QChar::fromLatin1(digit));
        if (grouping && placed > 0 && placed % 3 == 0)
            s += groupSeparator;
        ++placed;
        return s;
    };
    for (size_t p = places.size(); p-- > 0;) {
        const QChar placeholder = tokens[places[p]].ch;
        QString text;
        if (k >= 0) {
            text = withGrouping(digits[size_t(k--)]);
        } else if (placeholder == u'0') {
            text = withGrouping('0');
        } else {
            text = padding(placeholder);
        }
        if (p == 0) {
            while (k >= 0)
                text.prepend(withGrouping(digits[size_t(k--)]));
        }
        out[places[p]] = text;
    }
    return out;
}

// Places digits into placeholders from the left; trailing zeros under # vanish and under ? become blanks.
std::map<size_t, QString> placeLeftAligned(const std::vector<Token>& tokens,
                                           const std::vector<size_t>& places, const std::string& digits) {
    std::map<size_t, QString> out;
    size_t keep = digits.size();
    while (keep > 0 && digits[keep - 1] == '0' && tokens[places[keep - 1]].ch != u'0')
        --keep;
    for (size_t p = 0; p < places.size(); ++p) {
        out[places[p]] = p < keep ? QString(QChar::fromLatin1(digits[p])) : padding(tokens[places[p]].ch);
    }
    return out;
}

std::string toDigits(long long n) {
    return n == 0 ? std::string() : std::to_string(n);
}

struct Fraction {
    size_t numeratorFirst = 0;  // first numerator placeholder
    size_t slash = 0;
    size_t denominatorEnd = 0;  // one past the last denominator token
    int fixedDenominator = 0;   // 0: chosen to fit the placeholders
    int denominatorPlaceholders = 0;
};

std::optional<Fraction> findFraction(const std::vector<Token>& tokens) {
    for (size_t i = 1; i < tokens.size(); ++i) {
        if (tokens[i].kind != TokenKind::Slash || !isDigitToken(tokens[i - 1]))
            continue;
        Fraction f;
        f.slash = i;
        f.numeratorFirst = i - 1;
        while (f.numeratorFirst > 0 && isDigitToken(tokens[f.numeratorFirst - 1]))
            --f.numeratorFirst;
        size_t j = i + 1;
        auto isLiteralDigit = [&](size_t at) {
            return at < tokens.size() && ((tokens[at].kind == TokenKind::Literal &&
                                           tokens[at].text.size() == 1 && tokens[at].text[0].isDigit()) ||
                                          (isDigitToken(tokens[at]) && tokens[at].ch == u'0'));
        };
        if (isLiteralDigit(j) && tokens[j].kind == TokenKind::Literal) {
            QString number;
            for (; isLiteralDigit(j); ++j)
                number += tokens[j].kind == TokenKind::Literal ? tokens[j].text : QStringLiteral("0");
            f.fixedDenominator = std::max(1, number.toInt());
        } else {
            for (; j < tokens.size() && isDigitToken(tokens[j]); ++j)
                ++f.denominatorPlaceholders;
            if (f.denominatorPlaceholders == 0)
                continue;
        }
        f.denominatorEnd = j;
        return f;
    }
    return std::nullopt;
}

// The fraction nearest to `value` (0 <= value < 1 for mixed numbers) with a denominator up to
// `maxDenominator`.
std::pair<long long, long long> nearestFraction(double value, int maxDenominator) {
    long long bestNumerator = std::llround(value);
    long long bestDenominator = 1;
    double bestError = std::fabs(value - double(bestNumerator));
    for (int d = 2; d <= maxDenominator && bestError > 0; ++d) {
        const long long n = std::llround(value * d);
        const double error = std::fabs(value - double(n) / d);
        if (error < bestError - 1e-12) {
            bestError = error;
            bestNumerator = n;
            bestDenominator = d;
        }
    }
    return {bestNumerator, bestDenominator};
}

void emitTokens(const std::vector<Token>& tokens, const std::map<size_t, QString>& placed,
                const std::vector<CommaRole>& commas, const FormatOptions& options, double value,
                FormattedText& out) {
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (auto it = placed.find(i); it != placed.end()) {
            appendLiteral(out, it->second);
            continue;
        }
        switch (t.kind) {
            case TokenKind::Literal:
                appendLiteral(out, t.text);
                break;
            case TokenKind::Spacing:
            case TokenKind::Fill:
                appendLayout(out, t);
                break;
            case TokenKind::DecimalPoint:
                appendLiteral(out, options.locale.decimalPoint());
                break;
            case TokenKind::Comma:
                if (commas[i] == CommaRole::Literal)
                    appendLiteral(out, QStringLiteral(","));
                break;
            case TokenKind::Percent:
                appendLiteral(out, QStringLiteral("%"));
                break;
            case TokenKind::Slash:
                appendLiteral(out, QStringLiteral("/"));
                break;
            case TokenKind::General:
                out.general = true;
                appendLiteral(out, regionalGeneral(value, options));
                break;
            default:
                break;
        }
    }
}

}  // namespace

void formatNumberSection(const Section& section, double value, const FormatOptions& options,
                         FormattedText& out) {
    const std::vector<Token>& tokens = section.tokens;
    std::optional<size_t> point;
    std::optional<size_t> exponent;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == TokenKind::DecimalPoint && !point && !exponent)
            point = i;
        if (tokens[i].kind == TokenKind::Exponent && !exponent)
            exponent = i;
        if (tokens[i].kind == TokenKind::Percent)
            value *= 100;
    }
    const size_t integerEnd = point ? *point : (exponent ? *exponent : tokens.size());

    bool grouping = false;
    std::vector<CommaRole> commas(tokens.size(), CommaRole::Literal);
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind != TokenKind::Comma)
            continue;
        const bool digitBefore =
            i > 0 && (isDigitToken(tokens[i - 1]) || commas[i - 1] == CommaRole::Scaling);
        const bool digitAfter = i + 1 < tokens.size() && isDigitToken(tokens[i + 1]);
        if (digitBefore && digitAfter && i < integerEnd) {
            commas[i] = CommaRole::Grouping;
            grouping = true;
        } else if (digitBefore && !digitAfter) {
            commas[i] = CommaRole::Scaling;
            value /= 1000;
        }
    }
    const QString groups = grouping ? options.locale.groupSeparator() : QString();

    std::map<size_t, QString> placed;
    if (auto fraction = findFraction(tokens); fraction && !exponent) {
        std::vector<size_t> wholePlaces, numeratorPlaces, denominatorPlaces;
        for (size_t i = 0; i < fraction->numeratorFirst; ++i)
            if (isDigitToken(tokens[i]))
                wholePlaces.push_back(i);
        for (size_t i = fraction->numeratorFirst; i < fraction->slash; ++i)
            numeratorPlaces.push_back(i);
        for (size_t i = fraction->slash + 1; i < fraction->denominatorEnd; ++i)
            denominatorPlaces.push_back(i);

        const bool mixed = !wholePlaces.empty();
        double whole = mixed ? std::floor(value) : 0;
        const double part = value - whole;
        long long numerator = 0;
        long long denominator = fraction->fixedDenominator;
        if (denominator > 0) {
            numerator = std::llround(part * double(denominator));
        } else {
            int maxDenominator = 1;
            for (int i = 0; i < fraction->denominatorPlaceholders && i < 4; ++i)
                maxDenominator *= 10;
            std::tie(numerator, denominator) = nearestFraction(part, maxDenominator - 1);
        }
        if (mixed && numerator >= denominator) {
            whole += 1;
            numerator = 0;
        }
        const std::string wholeDigits = toDigits(std::llround(whole));
        placed = placeRightAligned(tokens, wholePlaces,
                                   wholeDigits.empty() && numerator == 0 ? "0" : wholeDigits, groups);
        const int fractionWidth =
            int(numeratorPlaces.size() + 1) +
            (fraction->fixedDenominator ? int(denominatorPlaces.size()) : fraction->denominatorPlaceholders);
        if (mixed && numerator == 0) {
            // A whole number keeps the fraction's room blank so that the column stays aligned.
            for (size_t i = fraction->numeratorFirst; i < fraction->denominatorEnd; ++i)
                placed[i] = QString();
            placed[fraction->numeratorFirst] = QString(fractionWidth, u' ');
        } else {
            auto numeratorText = placeRightAligned(tokens, numeratorPlaces, std::to_string(numerator));
            placed.insert(numeratorText.begin(), numeratorText.end());
            if (fraction->fixedDenominator) {
                for (size_t place : denominatorPlaces)
                    placed[place] = QString();
                placed[denominatorPlaces.front()] = QString::number(denominator);
            } else {
                QString text = QString::number(denominator);
                const QChar pad = tokens[denominatorPlaces.back()].ch;
                while (text.size() < qsizetype(denominatorPlaces.size()) && pad == u'?')
                    text += u' ';
                for (size_t place : denominatorPlaces)
                    placed[place] = QString();
                placed[denominatorPlaces.front()] = text;
            }
        }
        emitTokens(tokens, placed, commas, options, value, out);
        return;
    }

    std::vector<size_t> integerPlaces, fractionPlaces, exponentPlaces;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!isDigitToken(tokens[i]))
            continue;
        if (exponent && i > *exponent) {
            exponentPlaces.push_back(i);
        } else if (point && i > *point) {
            fractionPlaces.push_back(i);
        } else {
            integerPlaces.push_back(i);
        }
    }
    const int decimals = int(fractionPlaces.size());

    std::string whole, fraction;
    int power = 0;
    if (exponent) {
        Decimal d = toDecimal(value);
        // With several integer placeholders and a # among them the exponent is a multiple of their count
        // (engineering notation, ##0.0E+0); otherwise one digit stands before the point.
        const int group =
            integerPlaces.size() > 1 && std::any_of(integerPlaces.begin(), integerPlaces.end(),
                                                    [&](size_t s) { return tokens[s].ch == u'#'; })
                ? int(integerPlaces.size())
                : 1;
        auto layout = [&](const Decimal& x) {
            const int e = x.digits.empty() ? 0 : x.exponent - 1;
            const int p = int(std::floor(double(e) / group)) * group;
            return std::pair{p, e - p + 1};  // exponent shown, digits before the point
        };
        auto [p, leading] = layout(d);
        Decimal rounded = roundSignificant(d, leading + decimals);
        if (rounded.exponent != d.exponent && !rounded.digits.empty())
            std::tie(p, leading) = layout(rounded);
        power = rounded.digits.empty() ? 0 : p;
        Decimal mantissa = rounded;
        mantissa.exponent = rounded.digits.empty() ? 0 : leading;
        std::tie(whole, fraction) = fixedParts(mantissa, decimals);
    } else {
        std::tie(whole, fraction) = fixedParts(roundDecimal(toDecimal(value), decimals), decimals);
    }

    placed = placeRightAligned(tokens, integerPlaces, whole, groups);
    auto fractionText = placeLeftAligned(tokens, fractionPlaces, fraction);
    placed.insert(fractionText.begin(), fractionText.end());
    if (integerPlaces.empty() && point && !whole.empty())
        placed[*point] = QString::fromStdString(whole) + options.locale.decimalPoint();
    if (exponent) {
        const Token& e = tokens[*exponent];
        QString mark = e.text.left(1);
        if (power < 0) {
            mark += u'-';
        } else if (e.ch == u'+') {
            mark += u'+';
        }
        placed[*exponent] = mark;
        if (exponentPlaces.empty()) {
            placed[*exponent] = mark + QString::number(std::abs(power));
        } else {
            auto exponentText = placeRightAligned(tokens, exponentPlaces, toDigits(std::abs(power)));
            placed.insert(exponentText.begin(), exponentText.end());
        }
    }
    emitTokens(tokens, placed, commas, options, value, out);
}

}  // namespace spreadsheet::number_format_detail
