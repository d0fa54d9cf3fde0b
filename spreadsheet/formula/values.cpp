#include "spreadsheet/formula/values.h"

#include <QDate>
#include <QLocale>
#include <cmath>

#include "spreadsheet/format/typed_entry_number.h"
#include "spreadsheet/formula/functions/day_count.h"

namespace spreadsheet::formula_detail {

const ErrorCode* errorOf(const Value& v) {
    return std::get_if<ErrorCode>(&v);
}

Value scalar(const Evaluator& evaluator, const CellKey& at, const Operand& operand) {
    if (const Value* v = std::get_if<Value>(&operand))
        return *v;
    if (const ValueMatrix* matrix = std::get_if<ValueMatrix>(&operand))
        return matrix->values.empty() ? Value(ErrorCode::Value) : matrix->values.front();
    const Area* areaPtr = std::get_if<Area>(&operand);
    if (const AreaList* list = std::get_if<AreaList>(&operand)) {
        if (list->areas.size() != 1)
            return ErrorCode::Value;
        areaPtr = &list->areas.front();
    }
    const Area& area = *areaPtr;
    const CellRange& r = area.range;
    if (r.first == r.last)
        return evaluator.cellValue({area.sheet, r.first});
    // The implicit intersection: the cell of the range in the formula's own row or column.
    if (r.first.column == r.last.column && at.ref.row >= r.first.row && at.ref.row <= r.last.row)
        return evaluator.cellValue({area.sheet, {at.ref.row, r.first.column}});
    if (r.first.row == r.last.row && at.ref.column >= r.first.column && at.ref.column <= r.last.column)
        return evaluator.cellValue({area.sheet, {r.first.row, at.ref.column}});
    return ErrorCode::Value;
}

Number toNumber(const Value& v) {
    if (const double* d = std::get_if<double>(&v))
        return std::isfinite(*d) ? Number{*d, {}} : Number{0, ErrorCode::Num};
    if (const bool* b = std::get_if<bool>(&v))
        return {*b ? 1.0 : 0.0, {}};
    if (const ErrorCode* e = errorOf(v))
        return {0, *e};
    if (const QString* s = std::get_if<QString>(&v)) {
        // Text in a calculation is read as typed input is, under the user's regional settings.
        if (auto typed = readTypedNumber(*s, QLocale()))
            return {typed->value, {}};
        return {0, ErrorCode::Value};
    }
    return {0, {}};
}

std::optional<double> plainNumber(const Value& v, ErrorCode& error) {
    if (const ErrorCode* e = errorOf(v)) {
        error = *e;
        return std::nullopt;
    }
    if (const double* d = std::get_if<double>(&v))
        return *d;
    error = ErrorCode::Value;
    return std::nullopt;
}

std::optional<QString> toText(const Value& v, ErrorCode& error) {
    if (const QString* s = std::get_if<QString>(&v))
        return *s;
    if (const double* d = std::get_if<double>(&v)) {
        // Up to 15 significant digits, an exponent written as a spreadsheet writes it (1E+20).
        return QString::number(*d, 'g', 15).toUpper();
    }
    if (const bool* b = std::get_if<bool>(&v))
        return *b ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (const ErrorCode* e = errorOf(v)) {
        error = *e;
        return std::nullopt;
    }
    return QString();
}

std::optional<bool> toBool(const Value& v, ErrorCode& error) {
    if (const bool* b = std::get_if<bool>(&v))
        return *b;
    if (const double* d = std::get_if<double>(&v))
        return *d != 0;
    if (const QString* s = std::get_if<QString>(&v)) {
        if (s->compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
            return true;
        if (s->compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
            return false;
        error = ErrorCode::Value;
        return std::nullopt;
    }
    if (const ErrorCode* e = errorOf(v)) {
        error = *e;
        return std::nullopt;
    }
    return false;
}

Value numberResult(double v) {
    if (!std::isfinite(v))
        return ErrorCode::Num;
    return v == 0 ? 0.0 : v;  // no negative zero
}

int compareValues(Value a, Value b) {
    auto blankLike = [](const Value& other) -> Value {
        if (std::holds_alternative<QString>(other))
            return QString();
        if (std::holds_alternative<bool>(other))
            return false;
        return 0.0;
    };
    if (isBlank(a))
        a = blankLike(b);
    if (isBlank(b))
        b = blankLike(a);
    auto rank = [](const Value& v) {
        return std::holds_alternative<double>(v) ? 0 : std::holds_alternative<QString>(v) ? 1 : 2;
    };
    if (rank(a) != rank(b))
        return rank(a) < rank(b) ? -1 : 1;
    if (const double* x = std::get_if<double>(&a)) {
        const double y = std::get<double>(b);
        return *x < y ? -1 : (*x > y ? 1 : 0);
    }
    if (const QString* x = std::get_if<QString>(&a)) {
        const int c = QString::compare(*x, std::get<QString>(b), Qt::CaseInsensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return int(std::get<bool>(a)) - int(std::get<bool>(b));
}

ValueMatrix filledMatrix(int rows, int columns, const Value& v) {
    ValueMatrix m;
    m.rows = rows;
    m.columns = columns;
    m.values.assign(size_t(rows) * size_t(columns), v);
    return m;
}

std::optional<ValueMatrix> toMatrix(const Evaluator& evaluator, const Operand& operand, ErrorCode& error) {
    if (const ValueMatrix* matrix = std::get_if<ValueMatrix>(&operand))
        return *matrix;
    if (const Value* v = std::get_if<Value>(&operand))
        return filledMatrix(1, 1, *v);
    const Area* area = std::get_if<Area>(&operand);
    if (const AreaList* list = std::get_if<AreaList>(&operand)) {
        if (list->areas.size() != 1) {
            error = ErrorCode::Value;
            return std::nullopt;
        }
        area = &list->areas.front();
    }
    const CellRange& r = area->range;
    if (qsizetype(r.rowCount()) * r.columnCount() > kMaxMatrixCells) {
        error = ErrorCode::Num;
        return std::nullopt;
    }
    ValueMatrix m = filledMatrix(r.rowCount(), r.columnCount(), Value());
    for (int row = 0; row < m.rows; ++row) {
        for (int column = 0; column < m.columns; ++column)
            m.at(row, column) =
                evaluator.cellValue({area->sheet, {r.first.row + row, r.first.column + column}});
    }
    return m;
}

Numbers collectNumbers(const Evaluator& evaluator, const std::vector<Operand>& args, size_t from, size_t to) {
    Numbers out;
    for (size_t i = from; i < args.size() && i < to && !out.error; ++i) {
        forEachArgumentValue(evaluator, args[i], [&](const Value& v, bool direct) {
            if (out.error)
                return;
            if (const ErrorCode* e = errorOf(v)) {
                out.error = *e;
            } else if (const double* d = std::get_if<double>(&v)) {
                out.values.push_back(*d);
            } else if (direct && !isBlank(v)) {
                const Number n = toNumber(v);
                if (n.error) {
                    out.error = n.error;
                } else {
                    out.values.push_back(n.value);
                }
            }
        });
    }
    return out;
}

bool hasWildcards(const QString& pattern) {
    return pattern.contains(u'*') || pattern.contains(u'?') || pattern.contains(u'~');
}

bool wildcardMatch(const QString& pattern, const QString& text) {
    // Iterative matching with one backtrack point for the last star: linear in practice, never
    // exponential on hostile patterns.
    qsizetype p = 0, t = 0, starP = -1, starT = 0;
    auto same = [](QChar a, QChar b) { return a.toCaseFolded() == b.toCaseFolded(); };
    while (t < text.size()) {
        if (p < pattern.size()) {
            const QChar c = pattern[p];
            if (c == u'*') {
                starP = ++p;
                starT = t;
                continue;
            }
            if (c == u'?') {
                ++p;
                ++t;
                continue;
            }
            const bool escaped = c == u'~' && p + 1 < pattern.size() &&
                                 (pattern[p + 1] == u'*' || pattern[p + 1] == u'?' || pattern[p + 1] == u'~');
            const QChar literal = escaped ? pattern[p + 1] : c;
            if (same(literal, text[t])) {
                p += escaped ? 2 : 1;
                ++t;
                continue;
            }
        }
        if (starP < 0)
            return false;
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

namespace {

// What a criterion's text after its operator stands for: a number (or date), a truth value, an error
// or text.
Value criterionOperand(const QString& text, bool date1904) {
    if (text.isEmpty())
        return Value();
    if (auto typed = readTypedNumber(text, QLocale()))
        return typed->value;
    if (auto date = readDateTimeText(text, date1904))
        return *date;
    if (text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0)
        return false;
    for (ErrorCode e : {ErrorCode::Null, ErrorCode::Div0, ErrorCode::Value, ErrorCode::Ref, ErrorCode::Name,
                        ErrorCode::Num, ErrorCode::NA}) {
        if (text.compare(errorText(e), Qt::CaseInsensitive) == 0)
            return e;
    }
    return text;
}

}  // namespace

Criterion::Criterion(const Value& criterion, bool date1904) {
    const QString* text = std::get_if<QString>(&criterion);
    if (!text) {
        operand_ = criterion;
        return;
    }
    static const std::pair<const char*, Op> prefixes[] = {{"<=", Op::LessEqual}, {">=", Op::GreaterEqual},
                                                          {"<>", Op::NotEqual},  {"<", Op::Less},
                                                          {">", Op::Greater},    {"=", Op::Equal}};
    QString rest = *text;
    bool explicitOperator = false;
    for (const auto& [prefix, op] : prefixes) {
        if (rest.startsWith(QLatin1String(prefix))) {
            op_ = op;
            rest = rest.mid(qsizetype(qstrlen(prefix)));
            explicitOperator = true;
            break;
        }
    }
    operand_ = criterionOperand(rest, date1904);
    // "" on its own matches blank cells and empty texts alike; "=" only blank cells.
    if (!explicitOperator && rest.isEmpty())
        operand_ = QString();
    pattern_ = std::holds_alternative<QString>(operand_) && (op_ == Op::Equal || op_ == Op::NotEqual) &&
               hasWildcards(std::get<QString>(operand_));
}

// Whether a comparison that came out as c (negative, 0, positive) satisfies the operator; NotEqual is
// handled before any comparison.
bool Criterion::holds(Op op, int c) {
    switch (op) {
        case Op::Equal:
            return c == 0;
        case Op::Less:
            return c < 0;
        case Op::LessEqual:
            return c <= 0;
        case Op::Greater:
            return c > 0;
        default:
            return c >= 0;
    }
}

bool Criterion::matches(const Value& v) const {
    if (op_ == Op::NotEqual) {
        Criterion equal = *this;
        equal.op_ = Op::Equal;
        return !equal.matches(v);
    }
    if (isBlank(operand_))
        return isBlank(v);
    if (const QString* want = std::get_if<QString>(&operand_)) {
        if (want->isEmpty() && op_ == Op::Equal)
            return isBlank(v) || (std::holds_alternative<QString>(v) && std::get<QString>(v).isEmpty());
        const QString* have = std::get_if<QString>(&v);
        if (!have)
            return false;
        if (pattern_)
            return wildcardMatch(*want, *have);
        const int c = QString::compare(*have, *want, Qt::CaseInsensitive);
        return holds(op_, c);
    }
    // Numbers, truth values and errors compare with values of their own kind only; a number also
    // equals a text that reads as that number.
    Value have = v;
    if (std::holds_alternative<double>(operand_) && op_ == Op::Equal && std::holds_alternative<QString>(v)) {
        const Number n = toNumber(v);
        if (n.error)
            return false;
        have = n.value;
    }
    if (have.index() != operand_.index())
        return false;
    if (const ErrorCode* e = errorOf(have))
        return op_ == Op::Equal && *e == std::get<ErrorCode>(operand_);
    const int c = compareValues(have, operand_);
    return holds(op_, c);
}

namespace {
const QDate kBase1900(1899, 12, 31);  // serial 0 counts as the 0th of January 1900
const QDate kBase1904(1904, 1, 1);
constexpr double kLastSerial1900 = 2958465;  // 31 December 9999
}  // namespace

std::optional<YearMonthDay> dateOfSerial(double serial, bool date1904) {
    if (!std::isfinite(serial) || serial < 0)
        return std::nullopt;
    const qint64 whole = qint64(std::floor(serial));
    if (date1904) {
        if (whole > qint64(kLastSerial1900) - 1462)
            return std::nullopt;
        const QDate d = kBase1904.addDays(whole);
        return YearMonthDay{d.year(), d.month(), d.day()};
    }
    if (whole > qint64(kLastSerial1900))
        return std::nullopt;
    if (whole == 0)
        return YearMonthDay{1900, 1, 0};
    if (whole == 60)
        return YearMonthDay{1900, 2, 29};
    const QDate d = kBase1900.addDays(whole < 60 ? whole : whole - 1);
    return YearMonthDay{d.year(), d.month(), d.day()};
}

double serialOfDate(int year, int month, int day, bool date1904) {
    // Months past December or before January move the year; the day counts from the first of the
    // month, so the 0th is the last day of the month before.
    const int monthIndex = year * 12 + (month - 1);
    const int y = int(std::floor(monthIndex / 12.0));
    const int m = monthIndex - y * 12 + 1;
    const QDate first(y, m, 1);
    double serial;
    if (date1904) {
        serial = double(kBase1904.daysTo(first));
    } else {
        const qint64 days = kBase1900.daysTo(first);
        serial = double(first >= QDate(1900, 3, 1) ? days + 1 : days);
    }
    return serial + day - 1;
}

}  // namespace spreadsheet::formula_detail
