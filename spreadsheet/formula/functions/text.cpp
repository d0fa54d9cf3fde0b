// Text: CONCATENATE, LEFT, RIGHT, MID, LEN, UPPER, LOWER, PROPER, TRIM, TEXT, VALUE, FIXED, DOLLAR,
// REPT, SUBSTITUTE, FIND, SEARCH, EXACT.
//
// TEXT, FIXED and DOLLAR format with the engine's number formats, so they write numbers as the
// format codes do (a point before the decimals, commas between thousands, "$" for DOLLAR) whatever
// the user's regional settings; VALUE reads text as typed input is read, under those settings.

#include <QLocale>
#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/number_format.h"

namespace spreadsheet::formula_detail {

namespace {

constexpr qsizetype kMaxText = 32767;

struct TextArg {
    QString text;
    std::optional<ErrorCode> error;
};

TextArg textOf(const Call& c, size_t i) {
    ErrorCode error{};
    const auto t = toText(c.value(i), error);
    return t ? TextArg{*t, {}} : TextArg{{}, error};
}

Value textResult(const QString& text) {
    return text.size() > kMaxText ? Value(ErrorCode::Value) : Value(text);
}

Operand concatenate(Call& c) {
    QString out;
    for (size_t i = 0; i < c.count(); ++i) {
        const TextArg t = textOf(c, i);
        if (t.error)
            return errorResult(*t.error);
        out += t.text;
    }
    return textResult(out);
}

// LEFT and RIGHT take one character unless told otherwise.
Operand edge(Call& c, bool left) {
    const TextArg t = textOf(c, 0);
    if (t.error)
        return errorResult(*t.error);
    const Number n = c.number(1, 1);
    if (n.error)
        return errorResult(*n.error);
    if (n.value < 0)
        return errorResult(ErrorCode::Value);
    const qsizetype count = qsizetype(std::min(std::trunc(n.value), double(kMaxText)));
    return Value(left ? t.text.left(count) : t.text.right(count));
}
Operand left(Call& c) {
    return edge(c, true);
}
Operand right(Call& c) {
    return edge(c, false);
}

Operand mid(Call& c) {
    const TextArg t = textOf(c, 0);
    if (t.error)
        return errorResult(*t.error);
    const NumberArgs a = numberArgs(c, {kRequired, kRequired}, 1);
    if (a.error)
        return errorResult(*a.error);
    const double start = std::trunc(a[1]);
    const double count = std::trunc(a[2]);
    if (start < 1 || count < 0)
        return errorResult(ErrorCode::Value);
    if (start > double(t.text.size()))
        return Value(QString());
    return Value(t.text.mid(qsizetype(start) - 1, qsizetype(std::min(count, double(kMaxText)))));
}

template <typename F>
Operand ofText(Call& c, F f) {
    const TextArg t = textOf(c, 0);
    if (t.error)
        return errorResult(*t.error);
    return Value(f(t.text));
}

Operand length(Call& c) {
    return ofText(c, [](const QString& s) { return Value(double(s.size())); });
}
Operand upper(Call& c) {
    return ofText(c, [](const QString& s) { return Value(s.toUpper()); });
}
Operand lower(Call& c) {
    return ofText(c, [](const QString& s) { return Value(s.toLower()); });
}

// Every letter that follows something other than a letter is capitalised, the others made small.
Operand proper(Call& c) {
    return ofText(c, [](const QString& s) {
        QString out = s;
        bool afterLetter = false;
        for (QChar& ch : out) {
            ch = afterLetter ? ch.toLower() : ch.toUpper();
            afterLetter = ch.isLetter();
        }
        return Value(out);
    });
}

// Spaces at either end go, runs of spaces inside become one.
Operand trim(Call& c) {
    return ofText(c, [](const QString& s) {
        QString out;
        out.reserve(s.size());
        for (QChar ch : s) {
            if (ch == u' ' && (out.isEmpty() || out.back() == u' '))
                continue;
            out.append(ch);
        }
        if (out.endsWith(u' '))
            out.chop(1);
        return Value(out);
    });
}

Operand text(Call& c) {
    Value v = c.value(0);
    if (const ErrorCode* e = errorOf(v))
        return errorResult(*e);
    const TextArg format = textOf(c, 1);
    if (format.error)
        return errorResult(*format.error);
    // A text that reads as a number is formatted as that number.
    if (std::holds_alternative<QString>(v)) {
        const Number n = toNumber(v);
        if (!n.error)
            v = n.value;
    } else if (isBlank(v)) {
        v = 0.0;
    }
    FormatOptions options;
    options.date1904 = c.evaluator.workbook().date1904;
    const FormattedText shown = NumberFormat(format.text).format(v, options);
    if (shown.hashes)
        return errorResult(ErrorCode::Value);
    return textResult(shown.text());
}

Operand value(Call& c) {
    const Value v = c.value(0);
    if (const ErrorCode* e = errorOf(v))
        return errorResult(*e);
    if (const double* d = std::get_if<double>(&v))
        return Value(*d);
    if (isBlank(v))
        return Value(0.0);
    if (const QString* s = std::get_if<QString>(&v)) {
        const Number n = toNumber(*s);
        return n.error ? Value(ErrorCode::Value) : Value(n.value);
    }
    return errorResult(ErrorCode::Value);
}

// The number rounded at `decimals` and shown with that many decimals (none when negative).
Value formattedNumber(double number, double decimals, bool grouping, const QString& prefix,
                      bool parentheses) {
    if (decimals > 127)
        return ErrorCode::Value;
    const double d = std::trunc(decimals);
    const double scale = std::pow(10.0, std::fabs(d));
    const double scaled = cleaned(d >= 0 ? number * scale : number / scale);
    double rounded = std::copysign(std::floor(std::fabs(scaled) + 0.5), number);
    rounded = d >= 0 ? rounded / scale : rounded * scale;
    QString code = grouping ? QStringLiteral("#,##0") : QStringLiteral("0");
    if (d > 0)
        code += u'.' + QString(qsizetype(d), u'0');
    code = prefix + code;
    if (parentheses)
        code = code + QStringLiteral("_);(") + code + u')';
    return textResult(NumberFormat(code).format(rounded).text().trimmed());
}

Operand fixed(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, 2});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto noCommas = c.given(2) ? toBool(c.value(2), error) : std::optional<bool>(false);
    if (!noCommas)
        return errorResult(error);
    return formattedNumber(a[0], a[1], !*noCommas, QString(), false);
}

Operand dollar(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, 2});
    if (a.error)
        return errorResult(*a.error);
    return formattedNumber(a[0], a[1], true, QStringLiteral("\"$\""), true);
}

Operand repeat(Call& c) {
    const TextArg t = textOf(c, 0);
    if (t.error)
        return errorResult(*t.error);
    const NumberArgs a = numberArgs(c, {kRequired}, 1);
    if (a.error)
        return errorResult(*a.error);
    const double times = std::trunc(a[1]);
    if (times < 0 || double(t.text.size()) * times > double(kMaxText))
        return errorResult(ErrorCode::Value);
    return Value(t.text.repeated(qsizetype(times)));
}

Operand substitute(Call& c) {
    TextArg parts[3] = {textOf(c, 0), textOf(c, 1), textOf(c, 2)};
    for (const TextArg& p : parts) {
        if (p.error)
            return errorResult(*p.error);
    }
    const QString& original = parts[0].text;
    const QString& old = parts[1].text;
    if (old.isEmpty())
        return Value(original);
    if (!c.given(3)) {
        QString out = original;
        return textResult(out.replace(old, parts[2].text));
    }
    const Number n = c.number(3);
    if (n.error)
        return errorResult(*n.error);
    if (n.value < 1)
        return errorResult(ErrorCode::Value);
    const qsizetype wanted = qsizetype(std::min(std::trunc(n.value), double(kMaxText)));
    qsizetype from = 0;
    for (qsizetype seen = 1;; ++seen) {
        const qsizetype at = original.indexOf(old, from);
        if (at < 0)
            return Value(original);
        if (seen == wanted)
            return textResult(original.left(at) + parts[2].text + original.mid(at + old.size()));
        from = at + old.size();
    }
}

// FIND (exact, case counts) and SEARCH (any case, wildcards): the 1-based position, #VALUE! if absent.
Operand locate(Call& c, bool search) {
    const TextArg sought = textOf(c, 0);
    const TextArg within = textOf(c, 1);
    if (sought.error || within.error)
        return errorResult(sought.error ? *sought.error : *within.error);
    const Number start = c.number(2, 1);
    if (start.error)
        return errorResult(*start.error);
    const double first = std::trunc(start.value);
    if (first < 1 || first > double(within.text.size()) + 1)
        return errorResult(ErrorCode::Value);
    const qsizetype from = qsizetype(first) - 1;
    if (!search || !hasWildcards(sought.text)) {
        const qsizetype at =
            within.text.indexOf(sought.text, from, search ? Qt::CaseInsensitive : Qt::CaseSensitive);
        return at < 0 ? Value(ErrorCode::Value) : Value(double(at + 1));
    }
    const QString pattern = sought.text + u'*';
    for (qsizetype at = from; at <= within.text.size(); ++at) {
        if (wildcardMatch(pattern, within.text.mid(at)))
            return Value(double(at + 1));
    }
    return errorResult(ErrorCode::Value);
}
Operand find(Call& c) {
    return locate(c, false);
}
Operand search(Call& c) {
    return locate(c, true);
}

Operand exact(Call& c) {
    const TextArg a = textOf(c, 0);
    const TextArg b = textOf(c, 1);
    if (a.error || b.error)
        return errorResult(a.error ? *a.error : *b.error);
    return Value(a.text == b.text);
}

constexpr FunctionInfo kFunctions[] = {
    {336, "CONCATENATE", 1, 30, 'V', "V", false, concatenate},
    {115, "LEFT", 1, 2, 'V', "VV", false, left},
    {116, "RIGHT", 1, 2, 'V', "VV", false, right},
    {31, "MID", 3, 3, 'V', "VVV", false, mid},
    {32, "LEN", 1, 1, 'V', "V", false, length},
    {113, "UPPER", 1, 1, 'V', "V", false, upper},
    {112, "LOWER", 1, 1, 'V', "V", false, lower},
    {114, "PROPER", 1, 1, 'V', "V", false, proper},
    {118, "TRIM", 1, 1, 'V', "V", false, trim},
    {48, "TEXT", 2, 2, 'V', "VV", false, text},
    {33, "VALUE", 1, 1, 'V', "V", false, value},
    {14, "FIXED", 1, 3, 'V', "VVV", false, fixed},
    {13, "DOLLAR", 1, 2, 'V', "VV", false, dollar},
    {30, "REPT", 2, 2, 'V', "VV", false, repeat},
    {120, "SUBSTITUTE", 3, 4, 'V', "VVVV", false, substitute},
    {124, "FIND", 2, 3, 'V', "VVV", false, find},
    {82, "SEARCH", 2, 3, 'V', "VVV", false, search},
    {117, "EXACT", 2, 2, 'V', "VV", false, exact},
};

}  // namespace

std::span<const FunctionInfo> textFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
