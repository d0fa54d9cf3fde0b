// Text beyond the basic family: the newer CONCAT, TEXTJOIN, NUMBERVALUE, UNICHAR and UNICODE, and the
// built-ins CHAR, CODE, CLEAN, REPLACE, USDOLLAR and ROMAN. CHAR and CODE number characters as the Western
// Windows code page does (128 is the euro sign), which is what a spreadsheet on such a system answers.
// The byte-counting LENB, LEFTB, RIGHTB, MIDB, FINDB, SEARCHB and REPLACEB count one byte a character,
// as they do where the default language uses no double-byte characters.

#include <QLocale>
#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/grid.h"

namespace spreadsheet::formula_detail {

namespace {

constexpr qsizetype kMaxText = 32767;

// The characters of code page 1252 from 128 to 159 (0 where it has none).
constexpr char16_t kCodePage1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

Value textResult(QString text) {
    return text.size() > kMaxText ? Value(ErrorCode::Value) : Value(std::move(text));
}

// Every value of the arguments from `first` on as texts, references and arrays cell by cell
// (blanks as empty texts); the first error stops it.
std::optional<ErrorCode> textsOf(const Call& c, size_t first, std::vector<QString>& out) {
    for (size_t i = first; i < c.count(); ++i) {
        ErrorCode error = ErrorCode::Value;
        if (std::holds_alternative<Value>(c.args[i])) {
            const auto text = toText(std::get<Value>(c.args[i]), error);
            if (!text)
                return error;
            out.push_back(*text);
            continue;
        }
        const auto grid = Grid::of(c.evaluator, c.args[i], error);
        if (!grid)
            return error;
        if (grid->size() > kMaxMatrixCells)
            return ErrorCode::Value;
        for (qsizetype k = 0; k < grid->size(); ++k) {
            const auto text = toText(grid->at(k), error);
            if (!text)
                return error;
            out.push_back(*text);
        }
    }
    return std::nullopt;
}

Operand concat(Call& c) {
    std::vector<QString> texts;
    if (const auto error = textsOf(c, 0, texts))
        return errorResult(*error);
    QString out;
    for (const QString& t : texts) {
        out += t;
        if (out.size() > kMaxText)
            return errorResult(ErrorCode::Value);
    }
    return textResult(out);
}

// TEXTJOIN(delimiter, ignore empty, text, ...): the texts joined by the delimiter, or by the
// delimiters of a range in turn.
Operand textJoin(Call& c) {
    std::vector<QString> delimiters;
    {
        ErrorCode error = ErrorCode::Value;
        if (std::holds_alternative<Value>(c.args[0])) {
            const auto d = toText(std::get<Value>(c.args[0]), error);
            if (!d)
                return errorResult(error);
            delimiters.push_back(*d);
        } else {
            const auto grid = Grid::of(c.evaluator, c.args[0], error);
            if (!grid)
                return errorResult(error);
            for (qsizetype k = 0; k < grid->size() && k < kMaxText; ++k) {
                const auto d = toText(grid->at(k), error);
                if (!d)
                    return errorResult(error);
                delimiters.push_back(*d);
            }
        }
    }
    ErrorCode error{};
    const auto ignoreEmpty = toBool(c.value(1), error);
    if (!ignoreEmpty)
        return errorResult(error);
    std::vector<QString> texts;
    if (const auto e = textsOf(c, 2, texts))
        return errorResult(*e);
    QString out;
    size_t joined = 0;
    for (const QString& t : texts) {
        if (*ignoreEmpty && t.isEmpty())
            continue;
        if (joined > 0)
            out += delimiters[(joined - 1) % delimiters.size()];
        out += t;
        ++joined;
        if (out.size() > kMaxText)
            return errorResult(ErrorCode::Value);
    }
    return textResult(out);
}

// NUMBERVALUE(text, [decimal separator], [group separator]): a number written with the given
// separators (the regional ones when left out); spaces are ignored, each trailing % divides by 100.
Operand numberValue(Call& c) {
    const Value v = c.value(0);
    if (const ErrorCode* e = errorOf(v))
        return errorResult(*e);
    if (const double* d = std::get_if<double>(&v))
        return Value(*d);
    ErrorCode error{};
    const auto text = toText(v, error);
    if (!text)
        return errorResult(error);
    QString decimal = QLocale().decimalPoint();
    QString group = QLocale().groupSeparator();
    for (size_t i = 1; i < 3; ++i) {
        if (!c.given(i))
            continue;
        const auto s = toText(c.value(i), error);
        if (!s)
            return errorResult(error);
        if (s->isEmpty())
            return errorResult(ErrorCode::Value);
        (i == 1 ? decimal : group) = s->left(1);
    }
    if (decimal == group)
        return errorResult(ErrorCode::Value);
    QString s = *text;
    s.remove(u' ');
    double scale = 1;
    while (s.endsWith(u'%')) {
        scale /= 100;
        s.chop(1);
    }
    if (s.isEmpty())
        return Value(0.0);
    const qsizetype point = s.indexOf(decimal);
    if (point >= 0 && (s.indexOf(decimal, point + 1) >= 0 || s.indexOf(group, point + 1) >= 0))
        return errorResult(ErrorCode::Value);
    QString plain = point >= 0 ? s.left(point) : s;
    plain.remove(group);
    if (point >= 0)
        plain += u'.' + s.mid(point + 1);
    bool ok = false;
    const double number = plain.toDouble(&ok);
    if (!ok || plain.contains(u'x', Qt::CaseInsensitive) || plain.contains(u','))
        return errorResult(ErrorCode::Value);
    return numberResult(number * scale);
}

Operand unicodeCharacter(Call& c) {
    const Number n = c.number(0);
    if (n.error)
        return errorResult(*n.error);
    const double code = std::trunc(n.value);
    if (code < 1 || code > 0x10FFFF)
        return errorResult(ErrorCode::Value);
    if (code >= 0xD800 && code <= 0xDFFF)
        return errorResult(ErrorCode::NA);
    const char32_t point = char32_t(code);
    return Value(QString::fromUcs4(&point, 1));
}

Operand unicodeNumber(Call& c) {
    ErrorCode error{};
    const auto text = toText(c.value(0), error);
    if (!text)
        return errorResult(error);
    if (text->isEmpty())
        return errorResult(ErrorCode::Value);
    const QList<uint> points = text->left(2).toUcs4();
    return Value(double(points.front()));
}

Operand character(Call& c) {
    const Number n = c.number(0);
    if (n.error)
        return errorResult(*n.error);
    const double code = std::trunc(n.value);
    if (code < 1 || code > 255)
        return errorResult(ErrorCode::Value);
    char16_t ch = char16_t(code);
    if (code >= 128 && code < 160 && kCodePage1252[int(code) - 128])
        ch = kCodePage1252[int(code) - 128];
    return Value(QString(QChar(ch)));
}

Operand characterCode(Call& c) {
    ErrorCode error{};
    const auto text = toText(c.value(0), error);
    if (!text)
        return errorResult(error);
    if (text->isEmpty())
        return errorResult(ErrorCode::Value);
    const char16_t ch = text->front().unicode();
    if (ch < 128 || (ch >= 160 && ch < 256))
        return Value(double(ch));
    for (int i = 0; i < 32; ++i) {
        if (kCodePage1252[i] == ch)
            return Value(double(128 + i));
    }
    return Value(63.0);  // '?', as the code page writes what it lacks
}

// CLEAN: without the control characters 0 to 31.
Operand clean(Call& c) {
    ErrorCode error{};
    const auto text = toText(c.value(0), error);
    if (!text)
        return errorResult(error);
    QString out;
    out.reserve(text->size());
    for (QChar ch : *text) {
        if (ch.unicode() >= 32)
            out.append(ch);
    }
    return Value(out);
}

// REPLACE(text, start, count, new text).
Operand replace(Call& c) {
    ErrorCode error{};
    const auto text = toText(c.value(0), error);
    if (!text)
        return errorResult(error);
    const NumberArgs a = numberArgs(c, {kRequired, kRequired}, 1);
    if (a.error)
        return errorResult(*a.error);
    const auto replacement = toText(c.value(3), error);
    if (!replacement)
        return errorResult(error);
    const double start = std::trunc(a[1]);
    const double count = std::trunc(a[2]);
    if (start < 1 || count < 0)
        return errorResult(ErrorCode::Value);
    const qsizetype from = qsizetype(std::min(start - 1, double(text->size())));
    const qsizetype length = qsizetype(std::min(count, double(text->size() - from)));
    return textResult(text->left(from) + *replacement + text->mid(from + length));
}

// The functions that have the same meaning under another name.
template <const char* Name>
Operand sameAs(Call& c) {
    return functionByName(QLatin1String(Name))->impl(c);
}
constexpr char kLen[] = "LEN", kLeft[] = "LEFT", kRight[] = "RIGHT", kMid[] = "MID", kFind[] = "FIND",
               kSearch[] = "SEARCH", kReplace[] = "REPLACE", kDollar[] = "DOLLAR";

// ROMAN(number, [form]): the number from 0 to 3999 as a Roman numeral. Form 0 (or TRUE, or left out)
// is the classic one, where only I, X and C subtract, from the next two letters up (IV, IX, XL ...);
// each form up to 4 (or FALSE) lets the subtracted letter step one letter further down while what it
// makes still fits the number: 499 is CDXCIX, LDVLIV, XDIX, VDIV, ID.
Operand roman(Call& c) {
    const Number n = c.number(0);
    if (n.error)
        return errorResult(*n.error);
    double form = 0;
    if (c.given(1)) {
        const Value v = c.value(1);
        if (const bool* b = std::get_if<bool>(&v)) {
            form = *b ? 0 : 4;
        } else {
            const Number f = toNumber(v);
            if (f.error)
                return errorResult(*f.error);
            form = std::trunc(f.value);
        }
    }
    const double number = std::trunc(n.value);
    if (number < 0 || number > 3999 || form < 0 || form > 4)
        return errorResult(ErrorCode::Value);
    static constexpr char kLetters[] = "MDCLXVI";
    static constexpr int kValues[] = {1000, 500, 100, 50, 10, 5, 1};
    int rest = int(number);
    QString out;
    for (int unit = 0; unit <= 6; unit += 2) {  // M, C, X, I
        const int digit = rest / kValues[unit];
        if (unit > 0 && digit % 5 == 4) {
            const int larger = digit == 4 ? unit - 1 : unit - 2;
            int smaller = unit;
            for (int step = 0;
                 step < int(form) && smaller < 6 && kValues[larger] - kValues[smaller + 1] <= rest; ++step)
                ++smaller;
            out += QLatin1Char(kLetters[smaller]);
            out += QLatin1Char(kLetters[larger]);
            rest -= kValues[larger] - kValues[smaller];
            continue;
        }
        if (digit >= 5)
            out += QLatin1Char(kLetters[unit - 1]);
        out += QString(digit % 5, QLatin1Char(kLetters[unit]));
        rest -= digit * kValues[unit];
    }
    return Value(out);
}

constexpr FunctionInfo kFunctions[] = {
    {-1, "CONCAT", 1, 254, 'V', "R", false, concat, Storage::Future},
    {-1, "TEXTJOIN", 3, 254, 'V', "RVR", false, textJoin, Storage::Future},
    {-1, "NUMBERVALUE", 1, 3, 'V', "VVV", false, numberValue, Storage::Future},
    {-1, "UNICHAR", 1, 1, 'V', "V", false, unicodeCharacter, Storage::Future},
    {-1, "UNICODE", 1, 1, 'V', "V", false, unicodeNumber, Storage::Future},
    {111, "CHAR", 1, 1, 'V', "V", false, character},
    {121, "CODE", 1, 1, 'V', "V", false, characterCode},
    {162, "CLEAN", 1, 1, 'V', "V", false, clean},
    {119, "REPLACE", 4, 4, 'V', "VVVV", false, replace},
    {204, "USDOLLAR", 1, 2, 'V', "VV", false, sameAs<kDollar>},
    {211, "LENB", 1, 1, 'V', "V", false, sameAs<kLen>},
    {208, "LEFTB", 1, 2, 'V', "VV", false, sameAs<kLeft>},
    {209, "RIGHTB", 1, 2, 'V', "VV", false, sameAs<kRight>},
    {210, "MIDB", 3, 3, 'V', "VVV", false, sameAs<kMid>},
    {205, "FINDB", 2, 3, 'V', "VVV", false, sameAs<kFind>},
    {206, "SEARCHB", 2, 3, 'V', "VVV", false, sameAs<kSearch>},
    {207, "REPLACEB", 4, 4, 'V', "VVVV", false, sameAs<kReplace>},
    {354, "ROMAN", 1, 2, 'V', "VV", false, roman},
};

}  // namespace

std::span<const FunctionInfo> stringFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
