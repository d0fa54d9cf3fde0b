// Maths and rounding: SUM, SUMIF, SUMPRODUCT, SUMSQ, PRODUCT, ROUND, ROUNDUP, ROUNDDOWN, INT, TRUNC,
// ABS, MOD, POWER, SQRT, SIGN, CEILING, FLOOR, EXP, LN, LOG, LOG10, PI.

#include <cmath>
#include <numbers>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/operators.h"

namespace spreadsheet::formula_detail {

namespace {

Operand sum(Call& c) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    double total = 0;
    for (double v : n.values)
        total += v;
    return numberResult(total);
}

Operand sumSquares(Call& c) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    double total = 0;
    for (double v : n.values)
        total += v * v;
    return numberResult(total);
}

Operand product(Call& c) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    if (n.values.empty())
        return Value(0.0);
    double total = 1;
    for (double v : n.values)
        total *= v;
    return numberResult(total);
}

// SUMIF(range, criterion, [sum range]): the sum range is as large as the range, from its own corner.
Operand sumIf(Call& c) {
    const Area* range = std::get_if<Area>(&c.args[0]);
    if (!range)
        return errorResult(ErrorCode::Value);
    Area target = *range;
    if (c.count() > 2) {
        const Area* sumRange = std::get_if<Area>(&c.args[2]);
        if (!sumRange)
            return errorResult(ErrorCode::Value);
        target = {sumRange->sheet,
                  {sumRange->range.first,
                   {sumRange->range.first.row + range->range.rowCount() - 1,
                    sumRange->range.first.column + range->range.columnCount() - 1}}};
        if (target.range.last.row >= kMaxRows || target.range.last.column >= kMaxColumns)
            return errorResult(ErrorCode::Ref);
    }
    if (qsizetype(range->range.rowCount()) * range->range.columnCount() > kMaxMatrixCells)
        return errorResult(ErrorCode::Num);
    const Criterion criterion(c.value(1));
    double total = 0;
    for (int row = 0; row < range->range.rowCount(); ++row) {
        for (int column = 0; column < range->range.columnCount(); ++column) {
            const CellRef offset{row, column};
            const Value tested = c.evaluator.cellValue(
                {range->sheet,
                 {range->range.first.row + offset.row, range->range.first.column + offset.column}});
            if (!criterion.matches(tested))
                continue;
            const Value added = c.evaluator.cellValue(
                {target.sheet,
                 {target.range.first.row + offset.row, target.range.first.column + offset.column}});
            if (const ErrorCode* e = errorOf(added))
                return errorResult(*e);
            if (const double* d = std::get_if<double>(&added))
                total += *d;
        }
    }
    return numberResult(total);
}

// Arrays of one size multiplied element by element and added up; what is not a number counts 0.
Operand sumProduct(Call& c) {
    std::vector<ValueMatrix> arrays;
    for (const Operand& arg : c.args) {
        ErrorCode error = ErrorCode::Value;
        auto m = toMatrix(c.evaluator, arg, error);
        if (!m)
            return errorResult(error);
        if (!arrays.empty() && (m->rows != arrays.front().rows || m->columns != arrays.front().columns))
            return errorResult(ErrorCode::Value);
        arrays.push_back(std::move(*m));
    }
    double total = 0;
    for (size_t i = 0; i < arrays.front().values.size(); ++i) {
        double term = 1;
        for (const ValueMatrix& m : arrays) {
            const Value& v = m.values[i];
            if (const ErrorCode* e = errorOf(v))
                return errorResult(*e);
            const double* d = std::get_if<double>(&v);
            term *= d ? *d : 0.0;
        }
        total += term;
    }
    return numberResult(total);
}

// MMULT(a, b): the matrix product; every element must be a number, and a's columns match b's rows.
Operand matrixProduct(Call& c) {
    ErrorCode error = ErrorCode::Value;
    const auto a = toMatrix(c.evaluator, c.args[0], error);
    if (!a)
        return errorResult(error);
    const auto b = toMatrix(c.evaluator, c.args[1], error);
    if (!b)
        return errorResult(error);
    if (a->columns != b->rows)
        return errorResult(ErrorCode::Value);
    for (const ValueMatrix* m : {&*a, &*b}) {
        for (const Value& v : m->values) {
            if (!std::holds_alternative<double>(v))
                return errorResult(ErrorCode::Value);
        }
    }
    ValueMatrix out = filledMatrix(a->rows, b->columns, Value());
    for (int r = 0; r < a->rows; ++r) {
        for (int col = 0; col < b->columns; ++col) {
            double total = 0;
            for (int k = 0; k < a->columns; ++k)
                total += std::get<double>(a->at(r, k)) * std::get<double>(b->at(k, col));
            out.at(r, col) = numberResult(total);
        }
    }
    return out;
}

enum class Rounding { Nearest, Up, Down };

// Rounds at `digits` decimals (negative: left of the point), halves away from zero. The scaled value
// is first cleaned to 15 digits so that 2.675 (stored as 2.67499999...) rounds as written.
Value roundAt(double value, double digits, Rounding mode) {
    const double d = std::trunc(digits);
    if (d > 308 || d < -308)
        return mode == Rounding::Nearest || d > 0 ? Value(value) : Value(0.0);
    const double scale = std::pow(10.0, std::fabs(d));
    const double scaled = cleaned(d >= 0 ? value * scale : value / scale);
    double magnitude = std::fabs(scaled);
    switch (mode) {
        case Rounding::Nearest:
            magnitude = std::floor(magnitude + 0.5);
            break;
        case Rounding::Up:
            magnitude = std::ceil(magnitude);
            break;
        case Rounding::Down:
            magnitude = std::floor(magnitude);
            break;
    }
    const double rounded = std::copysign(magnitude, value);
    return numberResult(d >= 0 ? rounded / scale : rounded * scale);
}

Operand roundWith(Call& c, Rounding mode, double defaultDigits) {
    const NumberArgs a = numberArgs(c, {kRequired, defaultDigits});
    if (a.error)
        return errorResult(*a.error);
    return roundAt(a[0], a[1], mode);
}

Operand round(Call& c) {
    return roundWith(c, Rounding::Nearest, kRequired);
}
Operand roundUp(Call& c) {
    return roundWith(c, Rounding::Up, kRequired);
}
Operand roundDown(Call& c) {
    return roundWith(c, Rounding::Down, kRequired);
}
Operand trunc(Call& c) {
    return roundWith(c, Rounding::Down, 0);
}

// A function of one number; `f` gives the result or an error.
template <typename F>
Operand ofNumber(Call& c, F f) {
    const NumberArgs a = numberArgs(c, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    return Value(f(a[0]));
}

Operand integer(Call& c) {
    return ofNumber(c, [](double x) { return numberResult(std::floor(x)); });
}
Operand absolute(Call& c) {
    return ofNumber(c, [](double x) { return numberResult(std::fabs(x)); });
}
Operand squareRoot(Call& c) {
    return ofNumber(c, [](double x) { return x < 0 ? Value(ErrorCode::Num) : numberResult(std::sqrt(x)); });
}
Operand sign(Call& c) {
    return ofNumber(c, [](double x) { return Value(x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0)); });
}
Operand exponential(Call& c) {
    return ofNumber(c, [](double x) { return numberResult(std::exp(x)); });
}
Operand naturalLog(Call& c) {
    return ofNumber(c, [](double x) { return x <= 0 ? Value(ErrorCode::Num) : numberResult(std::log(x)); });
}
Operand log10(Call& c) {
    return ofNumber(c, [](double x) { return x <= 0 ? Value(ErrorCode::Num) : numberResult(std::log10(x)); });
}

Operand logarithm(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, 10});
    if (a.error)
        return errorResult(*a.error);
    if (a[0] <= 0 || a[1] <= 0)
        return errorResult(ErrorCode::Num);
    if (a[1] == 1)
        return errorResult(ErrorCode::Div0);
    return numberResult(std::log(a[0]) / std::log(a[1]));
}

// MOD takes the sign of the divisor.
Operand modulo(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    if (a[1] == 0)
        return errorResult(ErrorCode::Div0);
    return numberResult(a[0] - a[1] * std::floor(cleaned(a[0] / a[1])));
}

Operand power(Call& c) {
    return Operand(applyBinary(ptg::kPower, c.value(0), c.value(1)));
}

Operand pi(Call&) {
    return Value(std::numbers::pi);
}

// CEILING and FLOOR go to a multiple of the significance, away from zero (CEILING) or towards it
// (FLOOR) for positive numbers; a positive number with a negative significance is #NUM!.
Operand multiple(Call& c, bool up) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    const double x = a[0];
    const double s = a[1];
    if (s == 0)
        return x == 0 || up ? Value(0.0) : Value(ErrorCode::Div0);
    if (x > 0 && s < 0)
        return errorResult(ErrorCode::Num);
    const double q = cleaned(x / s);
    return numberResult((up ? std::ceil(q) : std::floor(q)) * s);
}
Operand ceiling(Call& c) {
    return multiple(c, true);
}
Operand floor(Call& c) {
    return multiple(c, false);
}

constexpr FunctionInfo kFunctions[] = {
    {4, "SUM", 1, 30, 'V', "R", false, sum},
    {345, "SUMIF", 2, 3, 'V', "RVR", false, sumIf},
    {228, "SUMPRODUCT", 1, 30, 'V', "A", false, sumProduct},
    {165, "MMULT", 2, 2, 'A', "AA", false, matrixProduct},
    {321, "SUMSQ", 1, 30, 'V', "R", false, sumSquares},
    {183, "PRODUCT", 1, 30, 'V', "R", false, product},
    {27, "ROUND", 2, 2, 'V', "VV", false, round},
    {212, "ROUNDUP", 2, 2, 'V', "VV", false, roundUp},
    {213, "ROUNDDOWN", 2, 2, 'V', "VV", false, roundDown},
    {25, "INT", 1, 1, 'V', "V", false, integer},
    {197, "TRUNC", 1, 2, 'V', "VV", false, trunc},
    {24, "ABS", 1, 1, 'V', "V", false, absolute},
    {39, "MOD", 2, 2, 'V', "VV", false, modulo},
    {337, "POWER", 2, 2, 'V', "VV", false, power},
    {20, "SQRT", 1, 1, 'V', "V", false, squareRoot},
    {26, "SIGN", 1, 1, 'V', "V", false, sign},
    {288, "CEILING", 2, 2, 'V', "VV", false, ceiling},
    {285, "FLOOR", 2, 2, 'V', "VV", false, floor},
    {21, "EXP", 1, 1, 'V', "V", false, exponential},
    {22, "LN", 1, 1, 'V', "V", false, naturalLog},
    {109, "LOG", 1, 2, 'V', "VV", false, logarithm},
    {23, "LOG10", 1, 1, 'V', "V", false, log10},
    {19, "PI", 0, 0, 'V', "", false, pi},
};

}  // namespace

std::span<const FunctionInfo> mathsFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
