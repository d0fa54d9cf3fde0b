#include "spreadsheet/format/typed_entry_number.h"

#include <cmath>
#include <vector>

namespace spreadsheet {

namespace {

bool isSpaceLike(QChar c) {
    return c.isSpace() || c == QChar(0x00A0) || c == QChar(0x202F);
}

bool isAsciiDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// How the locale groups digits: the size of the group next to the decimal separator and of the
// groups further left (3 and 3 mostly; 3 and 2 where lakhs are written).
struct Grouping {
    int primary = 3;
    int secondary = 3;
};

Grouping groupingOf(const QLocale& locale) {
    const QString sample = locale.toString(qlonglong(1234567890));
    const QString group = locale.groupSeparator();
    if (group.isEmpty())
        return {};
    const QStringList parts = sample.split(group);
    if (parts.size() < 3)
        return {};
    return {int(parts[parts.size() - 1].size()), int(parts[parts.size() - 2].size())};
}

class Reader {
public:
    Reader(const QString& text, const QLocale& locale)
        : s_(text.trimmed()),
          locale_(locale),
          decimal_(locale.decimalPoint()),
          group_(locale.groupSeparator()),
          currency_(locale.currencySymbol()) {}

    std::optional<TypedNumber> read() {
        if (s_.isEmpty())
            return std::nullopt;
        qsizetype begin = 0;
        qsizetype end = s_.size();
        if (!stripPrefix(begin, end) || !stripSuffix(begin, end))
            return std::nullopt;
        if (parenOpen_ != parenClosed_)
            return std::nullopt;
        if (parenOpen_ && negative_)
            return std::nullopt;
        if (currencySeen_ && percent_)
            return std::nullopt;
        auto number = core(s_.mid(begin, end - begin));
        if (!number)
            return std::nullopt;
        if (negative_ || parenOpen_)
            number->value = -number->value;
        if (percent_) {
            number->value /= 100;
            number->form = TypedNumber::Form::Percent;
        } else if (currencySeen_) {
            number->form = TypedNumber::Form::Currency;
        }
        if (number->form == TypedNumber::Form::Scientific && (percent_ || currencySeen_))
            return std::nullopt;
        return number;
    }

private:
    bool matchesAt(qsizetype at, const QString& what) const {
        return !what.isEmpty() && s_.mid(at, what.size()) == what;
    }
    bool isMinus(QChar c) const {
        return c == u'-' || c == QChar(0x2212) ||
               (locale_.negativeSign().size() == 1 && c == locale_.negativeSign()[0]);
    }
    bool isPlus(QChar c) const {
        return c == u'+' || (locale_.positiveSign().size() == 1 && c == locale_.positiveSign()[0]);
    }

    bool stripPrefix(qsizetype& begin, qsizetype end) {
        while (begin < end) {
            const QChar c = s_[begin];
            if (c == u'(' && !parenOpen_ && !signSeen_) {
                parenOpen_ = true;
                ++begin;
            } else if ((isMinus(c) || isPlus(c)) && !signSeen_) {
                signSeen_ = true;
                negative_ = isMinus(c);
                ++begin;
            } else if (!currencySeen_ && matchesAt(begin, currency_)) {
                currencySeen_ = true;
                begin += currency_.size();
                while (begin < end && isSpaceLike(s_[begin]))
                    ++begin;
            } else {
                return true;
            }
        }
        return false;  // nothing left for the digits
    }

    bool stripSuffix(qsizetype begin, qsizetype& end) {
        while (end > begin) {
            const QChar c = s_[end - 1];
            if (c == u')' && parenOpen_ && !parenClosed_) {
                parenClosed_ = true;
                --end;
            } else if (c == u'%' && !percent_) {
                percent_ = true;
                --end;
                while (end > begin && isSpaceLike(s_[end - 1]))
                    --end;
            } else if (isMinus(c) && !signSeen_ && !parenOpen_) {
                signSeen_ = true;
                negative_ = true;
                --end;
            } else if (!currencySeen_ && !currency_.isEmpty() && end - begin >= currency_.size() &&
                       matchesAt(end - currency_.size(), currency_)) {
                currencySeen_ = true;
                end -= currency_.size();
                while (end > begin && isSpaceLike(s_[end - 1]))
                    --end;
            } else {
                return true;
            }
        }
        return false;
    }

    bool isGroupSeparator(QChar c) const {
        if (group_.size() != 1)
            return false;
        // A locale that groups with a space of any kind takes every kind, as people type them.
        if (isSpaceLike(group_[0]))
            return isSpaceLike(c);
        return c == group_[0];
    }

    std::optional<TypedNumber> core(const QString& t) const {
        TypedNumber result;
        QString plain;  // the number in C form, for the conversion
        std::vector<int> groups{0};
        qsizetype i = 0;
        const qsizetype n = t.size();
        for (; i < n; ++i) {
            if (isAsciiDigit(t[i])) {
                plain += t[i];
                ++groups.back();
            } else if (isGroupSeparator(t[i]) && groups.back() > 0) {
                groups.push_back(0);
            } else {
                break;
            }
        }
        if (groups.size() > 1) {
            if (!groupsValid(groups))
                return std::nullopt;
            result.form = TypedNumber::Form::Grouped;
        }
        int fraction = 0;
        if (i < n && decimal_.size() == 1 && t[i] == decimal_[0]) {
            plain += u'.';
            for (++i; i < n && isAsciiDigit(t[i]); ++i, ++fraction)
                plain += t[i];
        }
        if (groups.front() == 0 && groups.size() == 1 && fraction == 0)
            return std::nullopt;  // no digits
        result.hasDecimals = fraction > 0;
        if (i < n && (t[i] == u'e' || t[i] == u'E')) {
            if (result.form == TypedNumber::Form::Grouped)
                return std::nullopt;
            plain += u'e';
            ++i;
            if (i < n && (t[i] == u'+' || t[i] == u'-'))
                plain += t[i++];
            int exponentDigits = 0;
            for (; i < n && isAsciiDigit(t[i]); ++i, ++exponentDigits)
                plain += t[i];
            if (exponentDigits == 0)
                return std::nullopt;
            result.form = TypedNumber::Form::Scientific;
        }
        if (i != n)
            return std::nullopt;
        bool ok = false;
        result.value = plain.toDouble(&ok);
        if (!ok || !std::isfinite(result.value))
            return std::nullopt;
        return result;
    }

    bool groupsValid(const std::vector<int>& groups) const {
        const Grouping g = groupingOf(locale_);
        const size_t last = groups.size() - 1;
        if (groups[last] != g.primary)
            return false;
        for (size_t k = 1; k < last; ++k) {
            if (groups[k] != g.secondary)
                return false;
        }
        const int firstLimit = last == 1 ? g.primary : g.secondary;
        return groups[0] >= 1 && groups[0] <= firstLimit;
    }

    const QString s_;
    const QLocale& locale_;
    const QString decimal_;
    const QString group_;
    const QString currency_;
    bool parenOpen_ = false;
    bool parenClosed_ = false;
    bool signSeen_ = false;
    bool negative_ = false;
    bool percent_ = false;
    bool currencySeen_ = false;
};

// One section of a format code written after a sample the locale formats: its currency symbol
// quoted, its digits replaced by the number pattern, everything else shown as a literal.
QString sectionFromSample(const QString& sample, const QLocale& locale, const QString& pattern) {
    const QString symbol = locale.currencySymbol();
    const QString digits = locale.toString(1.0, 'f', 2);
    const QString digitsWhole = locale.toString(1);
    QString code;
    qsizetype i = 0;
    while (i < sample.size()) {
        if (!symbol.isEmpty() && sample.mid(i, symbol.size()) == symbol) {
            code += u'"' + symbol + u'"';
            i += symbol.size();
        } else if (sample.mid(i, digits.size()) == digits) {
            code += pattern;
            i += digits.size();
        } else if (sample.mid(i, digitsWhole.size()) == digitsWhole) {
            code += pattern;
            i += digitsWhole.size();
        } else {
            const QChar c = sample[i++];
            code += u'\\';
            code += isSpaceLike(c) ? QChar(u' ') : c;
        }
    }
    return code;
}

}  // namespace

std::optional<TypedNumber> readTypedNumber(const QString& text, const QLocale& locale) {
    if (auto number = Reader(text, locale).read())
        return number;
    // Amount texts reach the sheet with a point as decimal separator whatever the regional settings
    // (the sample statement, or an amount box not yet left). Where the locale reads no number in them
    // the point is the decimal separator, as the statement window reads the same text; otherwise a
    // German "150.32" would silently add nothing to the totals.
    if (locale.decimalPoint() == QStringLiteral("."))
        return std::nullopt;
    QLocale pointDecimal = QLocale::c();
    pointDecimal.setNumberOptions(QLocale::RejectGroupSeparator);
    const QString trimmed = text.trimmed();
    bool ok = false;
    const double value = pointDecimal.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value) || trimmed.contains(u'e', Qt::CaseInsensitive))
        return std::nullopt;
    TypedNumber number;
    number.value = value;
    number.hasDecimals = trimmed.contains(u'.');
    return number;
}

QString currencyFormatCode(const QLocale& locale, bool withDecimals) {
    const QString pattern = withDecimals ? QStringLiteral("#,##0.00") : QStringLiteral("#,##0");
    const QString positive = locale.toCurrencyString(1.0, locale.currencySymbol(), 2);
    const QString negative = locale.toCurrencyString(-1.0, locale.currencySymbol(), 2);
    QString code = sectionFromSample(positive, locale, pattern);
    // Positive amounts leave room for the closing parenthesis so that they line up with negatives.
    if (negative.endsWith(u')') && !positive.endsWith(u')'))
        code += QStringLiteral("_)");
    return code + u';' + sectionFromSample(negative, locale, pattern);
}

}  // namespace spreadsheet
