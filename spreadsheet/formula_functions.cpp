// Value conversions and the built-in functions the engine evaluates.

#include <QLocale>
#include <cmath>
#include <numbers>

#include "spreadsheet/formula_values.h"
#include "spreadsheet/typed_entry_number.h"

namespace spreadsheet::formula_detail {

const ErrorCode* errorOf(const Value& v) {
    return std::get_if<ErrorCode>(&v);
}

Value scalar(const Evaluator& evaluator, const CellKey& at, const Operand& operand) {
    if (const Value* v = std::get_if<Value>(&operand))
        return *v;
    const Area& area = std::get<Area>(operand);
    const CellRange& r = area.range;
    if (r.first == r.last)
        return evaluator.cellValue({area.sheet, r.first});
    if (area.sheet == at.sheet) {
        if (r.first.column == r.last.column && at.ref.row >= r.first.row && at.ref.row <= r.last.row) {
            return evaluator.cellValue({area.sheet, {at.ref.row, r.first.column}});
        }
        if (r.first.row == r.last.row && at.ref.column >= r.first.column && at.ref.column <= r.last.column) {
            return evaluator.cellValue({area.sheet, {r.first.row, at.ref.column}});
        }
    }
    return ErrorCode::Value;
}

Number toNumber(const Value& v) {
    if (const double* d = std::get_if<double>(&v))
        return {*d, {}};
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

std::optional<QString> toText(const Value& v, ErrorCode& error) {
    if (const QString* s = std::get_if<QString>(&v))
        return *s;
    if (const double* d = std::get_if<double>(&v))
        return QString::number(*d, 'g', 15).toUpper();
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
    return v;
}

namespace {

// The numbers of a list of arguments as SUM, MIN, MAX, AVERAGE and COUNT see them: in references
// only numbers count (texts, truth values and blanks are passed over, errors stop it); typed
// arguments count when they convert.
struct Numbers {
    std::vector<double> values;
    std::optional<ErrorCode> error;
};

Numbers collect(const Evaluator& evaluator, const std::vector<Operand>& args, bool skipBadTyped) {
    Numbers out;
    for (const Operand& arg : args) {
        if (const Area* area = std::get_if<Area>(&arg)) {
            evaluator.forEachValue(*area, [&](const Value& v) {
                if (out.error)
                    return;
                if (const double* d = std::get_if<double>(&v))
                    out.values.push_back(*d);
                if (const ErrorCode* e = errorOf(v))
                    out.error = *e;
            });
        } else {
            const Value& v = std::get<Value>(arg);
            if (std::holds_alternative<std::monostate>(v))
                continue;  // an omitted argument
            const Number n = toNumber(v);
            if (n.error) {
                if (skipBadTyped)
                    continue;
                out.error = n.error;
            } else {
                out.values.push_back(n.value);
            }
        }
        if (out.error)
            return out;
    }
    return out;
}

Value aggregate(const Evaluator& evaluator, int index, const std::vector<Operand>& args) {
    const Numbers n = collect(evaluator, args, index == 0);
    if (index == 0)
        return double(n.values.size());  // COUNT ignores what is not a number
    if (n.error)
        return *n.error;
    double sum = 0;
    for (double v : n.values)
        sum += v;
    switch (index) {
        case 4:
            return numberResult(sum);
        case 5:
            if (n.values.empty())
                return ErrorCode::Div0;
            return numberResult(sum / double(n.values.size()));
        case 6:
            return n.values.empty() ? 0.0 : *std::min_element(n.values.begin(), n.values.end());
        default:
            return n.values.empty() ? 0.0 : *std::max_element(n.values.begin(), n.values.end());
    }
}

Value roundHalfAway(double value, double digits) {
    const double scale = std::pow(10.0, std::trunc(digits));
    const double scaled = value * scale;
    // The nudge keeps 2.675 (stored as 2.67499...) rounding up, as a spreadsheet shows it.
    const double rounded = std::round(scaled * (1 + 1e-15));
    return numberResult(rounded / scale);
}

}  // namespace

std::optional<Operand> callFunction(const Evaluator& evaluator, const CellKey& at, int index,
                                    const std::vector<Operand>& args) {
    auto arg = [&](size_t i) { return i < args.size() ? scalar(evaluator, at, args[i]) : Value(); };
    auto number = [&](size_t i) { return toNumber(arg(i)); };
    ErrorCode error{};
    switch (index) {
        case 0:  // COUNT
        case 4:  // SUM
        case 5:  // AVERAGE
        case 6:  // MIN
        case 7:  // MAX
            return Operand(aggregate(evaluator, index, args));
        case 1: {  // IF
            if (args.empty())
                return std::nullopt;
            const auto condition = toBool(arg(0), error);
            if (!condition)
                return Operand(Value(error));
            if (*condition)
                return args.size() > 1 ? args[1] : Operand(Value(true));
            return args.size() > 2 ? args[2] : Operand(Value(false));
        }
        case 2:  // ISNA
            return Operand(Value(errorOf(arg(0)) && *errorOf(arg(0)) == ErrorCode::NA));
        case 3:  // ISERROR
            return Operand(Value(errorOf(arg(0)) != nullptr));
        case 10:
            return Operand(Value(ErrorCode::NA));
        case 19:
            return Operand(Value(std::numbers::pi));
        case 24:    // ABS
        case 25: {  // INT
            const Number n = number(0);
            if (n.error)
                return Operand(Value(*n.error));
            return Operand(Value(index == 24 ? std::fabs(n.value) : std::floor(n.value)));
        }
        case 27: {  // ROUND
            const Number n = number(0);
            const Number d = number(1);
            if (n.error || d.error)
                return Operand(Value(n.error ? *n.error : *d.error));
            return Operand(roundHalfAway(n.value, d.value));
        }
        case 34:
            return Operand(Value(true));
        case 35:
            return Operand(Value(false));
        case 36:    // AND
        case 37: {  // OR
            bool all = true;
            bool any = false;
            for (size_t i = 0; i < args.size(); ++i) {
                const auto b = toBool(arg(i), error);
                if (!b)
                    return Operand(Value(error));
                all = all && *b;
                any = any || *b;
            }
            return Operand(Value(index == 36 ? all : any));
        }
        case 38: {  // NOT
            const auto b = toBool(arg(0), error);
            return Operand(b ? Value(!*b) : Value(error));
        }
        case 39: {  // MOD, with the sign of the divisor
            const Number n = number(0);
            const Number d = number(1);
            if (n.error || d.error)
                return Operand(Value(n.error ? *n.error : *d.error));
            if (d.value == 0)
                return Operand(Value(ErrorCode::Div0));
            return Operand(numberResult(n.value - d.value * std::floor(n.value / d.value)));
        }
        default:
            return std::nullopt;  // known by name only (DATE, NOW, TODAY) or not at all
    }
}

}  // namespace spreadsheet::formula_detail
