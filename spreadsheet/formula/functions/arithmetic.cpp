// Arithmetic beyond the basic family: the analysis add-in's MROUND, QUOTIENT, GCD, LCM, RANDBETWEEN,
// MULTINOMIAL, SERIESSUM, SQRTPI and FACTDOUBLE; the built-ins RAND, FACT, COMBIN, PERMUT, EVEN, ODD,
// the trigonometric and hyperbolic functions, SUMX2MY2, SUMX2PY2, SUMXMY2 and SUBTOTAL; and the
// newer CEILING.MATH, FLOOR.MATH, CEILING.PRECISE, FLOOR.PRECISE, ISO.CEILING, COMBINA and AGGREGATE.
//
// Counts (FACT, COMBIN, GCD, ...) take the whole part of their numbers and give #NUM! for negative
// ones. SUBTOTAL and AGGREGATE pass over cells that hold SUBTOTAL or AGGREGATE themselves, so that a
// grand total of subtotals does not count twice.

#include <QRandomGenerator>
#include <cmath>
#include <numbers>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/grid.h"

namespace spreadsheet::formula_detail {

namespace {

constexpr double kLargestExactInteger = 9007199254740992.0;  // 2^53

// Rounds half away from zero.
double roundHalfAway(double x) {
    return std::copysign(std::floor(std::fabs(x) + 0.5), x);
}

template <typename F>
Operand ofNumber(Call& c, F f) {
    const NumberArgs a = numberArgs(c, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    return Value(f(a[0]));
}

template <typename F>
Operand ofTwoNumbers(Call& c, F f, double secondFallback = kRequired) {
    const NumberArgs a = numberArgs(c, {kRequired, secondFallback});
    if (a.error)
        return errorResult(*a.error);
    return Value(f(a[0], a[1]));
}

// MROUND: to the nearest multiple, halves away from zero; a number and multiple of different signs
// is #NUM!.
Operand multipleRound(Call& c) {
    return ofTwoNumbers(c, [](double x, double m) {
        if (m == 0 || x == 0)
            return Value(0.0);
        if ((x < 0) != (m < 0))
            return Value(ErrorCode::Num);
        return numberResult(roundHalfAway(cleaned(x / m)) * m);
    });
}

Operand quotient(Call& c) {
    return ofTwoNumbers(c, [](double n, double d) {
        return d == 0 ? Value(ErrorCode::Div0) : numberResult(std::trunc(n / d));
    });
}

// The whole parts of every number of the arguments; #NUM! for a negative one or one past 2^53.
std::optional<ErrorCode> wholeNumbers(const Call& c, std::vector<double>& out) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return n.error;
    for (double v : n.values) {
        const double whole = std::trunc(v);
        if (whole < 0 || whole >= kLargestExactInteger)
            return ErrorCode::Num;
        out.push_back(whole);
    }
    return std::nullopt;
}

double gcdOf(double a, double b) {
    while (b != 0) {
        const double r = std::fmod(a, b);
        a = b;
        b = r;
    }
    return a;
}

Operand greatestCommonDivisor(Call& c) {
    std::vector<double> numbers;
    if (const auto error = wholeNumbers(c, numbers))
        return errorResult(*error);
    double result = 0;
    for (double v : numbers)
        result = gcdOf(result, v);
    return Value(result);
}

Operand leastCommonMultiple(Call& c) {
    std::vector<double> numbers;
    if (const auto error = wholeNumbers(c, numbers))
        return errorResult(*error);
    double result = 1;
    for (double v : numbers) {
        if (v == 0)
            return Value(0.0);
        result = result / gcdOf(result, v) * v;
    }
    return numberResult(result);
}

// RANDBETWEEN: a whole number from the bottom to the top, both rounded up.
Operand randomBetween(Call& c) {
    return ofTwoNumbers(c, [](double bottom, double top) {
        const double low = std::ceil(bottom);
        const double high = std::ceil(top);
        if (low > high)
            return Value(ErrorCode::Num);
        const double span = high - low + 1;
        return numberResult(low + std::floor(QRandomGenerator::global()->generateDouble() * span));
    });
}

Operand random(Call&) {
    return Value(QRandomGenerator::global()->generateDouble());
}

// (a + b + ...)! / (a! b! ...), built up as a product of binomial coefficients.
Operand multinomial(Call& c) {
    std::vector<double> numbers;
    if (const auto error = wholeNumbers(c, numbers))
        return errorResult(*error);
    double result = 1;
    double total = 0;
    for (double v : numbers) {
        for (double k = 1; k <= v; ++k) {
            ++total;
            result = result * total / k;
        }
        if (!std::isfinite(result))
            return errorResult(ErrorCode::Num);
    }
    return numberResult(std::round(result));
}

// SERIESSUM(x, n, m, coefficients): a1 x^n + a2 x^(n+m) + ...
Operand seriesSum(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error = ErrorCode::Value;
    const auto coefficients = Grid::of(c.evaluator, c.args[3], error);
    if (!coefficients)
        return errorResult(error);
    double total = 0;
    for (qsizetype i = 0; i < coefficients->size(); ++i) {
        const Value v = coefficients->at(i);
        if (const ErrorCode* e = errorOf(v))
            return errorResult(*e);
        const double* d = std::get_if<double>(&v);
        if (!d)
            return errorResult(ErrorCode::Value);
        total += *d * std::pow(a[0], a[1] + double(i) * a[2]);
    }
    return numberResult(total);
}

Operand squareRootPi(Call& c) {
    return ofNumber(c, [](double x) {
        return x < 0 ? Value(ErrorCode::Num) : numberResult(std::sqrt(x * std::numbers::pi));
    });
}

Operand factorial(Call& c) {
    return ofNumber(c, [](double x) {
        const double n = std::trunc(x);
        if (n < 0 || n > 170)
            return Value(ErrorCode::Num);
        double result = 1;
        for (double k = 2; k <= n; ++k)
            result *= k;
        return Value(result);
    });
}

Operand doubleFactorial(Call& c) {
    return ofNumber(c, [](double x) {
        const double n = std::trunc(x);
        if (n < 0)
            return n == -1 ? Value(1.0) : Value(ErrorCode::Num);
        if (n > 300)
            return Value(ErrorCode::Num);
        double result = 1;
        for (double k = n; k > 1; k -= 2)
            result *= k;
        return numberResult(result);
    });
}

// The number of ways to choose k of n, computed as a product that stays exact for exact results.
Value chooseCount(double n, double k) {
    if (n < 0 || k < 0 || n < k)
        return ErrorCode::Num;
    k = std::min(k, n - k);
    double result = 1;
    for (double i = 1; i <= k; ++i)
        result = result * (n - k + i) / i;
    return numberResult(std::round(result));
}

Operand combinations(Call& c) {
    return ofTwoNumbers(c, [](double n, double k) { return chooseCount(std::trunc(n), std::trunc(k)); });
}

// COMBINA: choices with repetition, COMBIN(n + k - 1, k).
Operand combinationsWithRepetition(Call& c) {
    return ofTwoNumbers(c, [](double n, double k) {
        n = std::trunc(n);
        k = std::trunc(k);
        if (n < 0 || k < 0 || (n == 0 && k > 0))
            return Value(ErrorCode::Num);
        if (k == 0)
            return Value(1.0);
        return chooseCount(n + k - 1, k);
    });
}

Operand permutations(Call& c) {
    return ofTwoNumbers(c, [](double nIn, double kIn) {
        const double n = std::trunc(nIn);
        const double k = std::trunc(kIn);
        if (n < 0 || k < 0 || n < k)
            return Value(ErrorCode::Num);
        double result = 1;
        for (double i = 0; i < k; ++i)
            result *= n - i;
        return numberResult(result);
    });
}

// EVEN and ODD round away from zero to the next even or odd whole number.
Operand evenNumber(Call& c) {
    return ofNumber(c, [](double x) {
        const double up = std::ceil(cleaned(std::fabs(x)) / 2) * 2;
        return numberResult(std::copysign(up, x));
    });
}
Operand oddNumber(Call& c) {
    return ofNumber(c, [](double x) {
        double up = std::ceil(cleaned(std::fabs(x)));
        if (std::fmod(up, 2.0) == 0)
            up += 1;
        return numberResult(x < 0 ? -up : up);
    });
}

template <double (*F)(double)>
Operand plain(Call& c) {
    return ofNumber(c, [](double x) { return numberResult(F(x)); });
}
double sine(double x) {
    return std::sin(x);
}
double cosine(double x) {
    return std::cos(x);
}
double tangent(double x) {
    return std::tan(x);
}
double arcTangent(double x) {
    return std::atan(x);
}
double hyperbolicSine(double x) {
    return std::sinh(x);
}
double hyperbolicCosine(double x) {
    return std::cosh(x);
}
double hyperbolicTangent(double x) {
    return std::tanh(x);
}
double areaSine(double x) {
    return std::asinh(x);
}
double degrees(double x) {
    return x * 180 / std::numbers::pi;
}
double radians(double x) {
    return x * std::numbers::pi / 180;
}

// Functions defined on part of the numbers only: #NUM! outside.
template <double (*F)(double), bool (*Inside)(double)>
Operand bounded(Call& c) {
    return ofNumber(c, [](double x) { return Inside(x) ? numberResult(F(x)) : Value(ErrorCode::Num); });
}
double arcSine(double x) {
    return std::asin(x);
}
double arcCosine(double x) {
    return std::acos(x);
}
double areaCosine(double x) {
    return std::acosh(x);
}
double areaTangent(double x) {
    return std::atanh(x);
}
bool withinOne(double x) {
    return x >= -1 && x <= 1;
}
bool atLeastOne(double x) {
    return x >= 1;
}
bool strictlyWithinOne(double x) {
    return x > -1 && x < 1;
}

// ATAN2(x, y): the angle of the point (x, y).
Operand arcTangent2(Call& c) {
    return ofTwoNumbers(c, [](double x, double y) {
        return x == 0 && y == 0 ? Value(ErrorCode::Div0) : numberResult(std::atan2(y, x));
    });
}

// SUMX2MY2, SUMX2PY2 and SUMXMY2: over the pairs of two equal-sized ranges where both are numbers.
template <typename F>
Operand pairSum(Call& c, F f) {
    ErrorCode error = ErrorCode::Value;
    const auto xs = Grid::of(c.evaluator, c.args[0], error);
    const auto ys = xs ? Grid::of(c.evaluator, c.args[1], error) : std::nullopt;
    if (!xs || !ys)
        return errorResult(error);
    if (xs->size() != ys->size())
        return errorResult(ErrorCode::NA);
    double total = 0;
    for (qsizetype i = 0; i < xs->size(); ++i) {
        const Value x = xs->at(i);
        const Value y = ys->at(i);
        if (const ErrorCode* e = errorOf(x))
            return errorResult(*e);
        if (const ErrorCode* e = errorOf(y))
            return errorResult(*e);
        const double* a = std::get_if<double>(&x);
        const double* b = std::get_if<double>(&y);
        if (a && b)
            total += f(*a, *b);
    }
    return numberResult(total);
}
Operand sumX2MinusY2(Call& c) {
    return pairSum(c, [](double x, double y) { return x * x - y * y; });
}
Operand sumX2PlusY2(Call& c) {
    return pairSum(c, [](double x, double y) { return x * x + y * y; });
}
Operand sumXMinusY2(Call& c) {
    return pairSum(c, [](double x, double y) { return (x - y) * (x - y); });
}

// CEILING.MATH and FLOOR.MATH: to a multiple of the significance's size; negative numbers go
// towards zero (CEILING) or away from it (FLOOR) unless the mode says otherwise.
Operand mathMultiple(Call& c, bool up) {
    const NumberArgs a = numberArgs(c, {kRequired, 1, 0});
    if (a.error)
        return errorResult(*a.error);
    const double x = a[0];
    const double s = std::fabs(a[1]);
    if (s == 0)
        return Value(0.0);
    const double q = cleaned(x / s);
    const bool awayFromZero = x < 0 && (a[2] != 0) == up;
    double r;
    if (x >= 0)
        r = up ? std::ceil(q) : std::floor(q);
    else
        r = awayFromZero ? std::floor(q) : std::ceil(q);
    return numberResult(r * s);
}
Operand ceilingMath(Call& c) {
    return mathMultiple(c, true);
}
Operand floorMath(Call& c) {
    return mathMultiple(c, false);
}

// CEILING.PRECISE, ISO.CEILING and FLOOR.PRECISE: towards plus or minus infinity, whatever the signs.
Operand preciseMultiple(Call& c, bool up) {
    const NumberArgs a = numberArgs(c, {kRequired, 1});
    if (a.error)
        return errorResult(*a.error);
    const double s = std::fabs(a[1]);
    if (s == 0)
        return Value(0.0);
    const double q = cleaned(a[0] / s);
    return numberResult((up ? std::ceil(q) : std::floor(q)) * s);
}
Operand ceilingPrecise(Call& c) {
    return preciseMultiple(c, true);
}
Operand floorPrecise(Call& c) {
    return preciseMultiple(c, false);
}

// Whether a formula cell holds SUBTOTAL or AGGREGATE: such cells are left out of both.
bool holdsSubtotal(const Workbook& workbook, const Cell& cell) {
    if (!cell.formula)
        return false;
    const ptg::DecodeResult decoded = ptg::decodeTokens(cell.formula->tokens, cell.formula->extra);
    for (const ptg::Token& t : decoded.tokens) {
        if ((t.base == ptg::kFunc || t.base == ptg::kFuncVar) && t.word == 344)
            return true;
        if (t.base == ptg::kName || t.base == ptg::kNameX) {
            const FunctionInfo* info = functionNamedBy(workbook, t);
            if (info && qstrcmp(info->name, "AGGREGATE") == 0)
                return true;
        }
    }
    return false;
}

struct Leave {
    bool hiddenRows = false;
    bool errors = false;
    bool subtotals = true;
};

// The values of a reference argument in row-major order, without the cells `leave` names; nothing
// for an argument that is no reference.
std::optional<ValueMatrix> valuesOfReference(const Call& c, const Operand& arg, const Leave& leave) {
    std::vector<Area> areas;
    if (const Area* a = std::get_if<Area>(&arg))
        areas.push_back(*a);
    else if (const AreaList* list = std::get_if<AreaList>(&arg))
        areas = list->areas;
    else
        return std::nullopt;
    const Workbook& workbook = c.evaluator.workbook();
    ValueMatrix out;
    out.rows = 1;
    for (const Area& area : areas) {
        if (area.sheet < 0 || size_t(area.sheet) >= workbook.sheets.size())
            continue;
        const Worksheet& sheet = workbook.sheets[size_t(area.sheet)];
        // Only the part of a large rectangle where the sheet holds cells can hold anything.
        const auto used = sheet.usedRange();
        if (!used)
            continue;
        const CellRange& r = area.range;
        for (int row = std::max(r.first.row, used->first.row); row <= std::min(r.last.row, used->last.row);
             ++row) {
            if (leave.hiddenRows && sheet.rowHeightTwips(row) == 0)
                continue;
            for (int column = std::max(r.first.column, used->first.column);
                 column <= std::min(r.last.column, used->last.column); ++column) {
                const Cell* cell = sheet.cell({row, column});
                if (!cell || (leave.subtotals && holdsSubtotal(workbook, *cell)))
                    continue;
                Value v = c.evaluator.cellValue({area.sheet, {row, column}});
                if (leave.errors && errorOf(v))
                    continue;
                out.values.push_back(std::move(v));
            }
        }
    }
    out.columns = int(out.values.size());
    if (out.columns == 0) {
        out.columns = 1;
        out.values.emplace_back();
    }
    return out;
}

Operand callNamed(const char* name, Call& c, std::vector<Operand>& args) {
    const FunctionInfo* info = functionByName(QString::fromLatin1(name));
    Call inner{c.evaluator, c.at, args, false};
    return info->impl(inner);
}

// SUBTOTAL(function, reference, ...): 1 AVERAGE, 2 COUNT, 3 COUNTA, 4 MAX, 5 MIN, 6 PRODUCT,
// 7 STDEV, 8 STDEVP, 9 SUM, 10 VAR, 11 VARP; 101 to 111 the same without hidden rows.
Operand subtotal(Call& c) {
    static const char* const kNames[] = {"AVERAGE", "COUNT",  "COUNTA", "MAX", "MIN", "PRODUCT",
                                         "STDEV",   "STDEVP", "SUM",    "VAR", "VARP"};
    const NumberArgs a = numberArgs(c, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    const int code = wholeArgument(a[0]);
    const int which = code > 100 ? code - 100 : code;
    if (which < 1 || which > 11 || (code > 11 && code < 101))
        return errorResult(ErrorCode::Value);
    Leave leave;
    leave.hiddenRows = code > 100;
    std::vector<Operand> args;
    for (size_t i = 1; i < c.count(); ++i) {
        // An array has no rows to hide and no subtotals to leave out: it counts whole.
        auto values = valuesOfReference(c, c.args[i], leave);
        args.emplace_back(values ? Operand(std::move(*values)) : c.args[i]);
    }
    return callNamed(kNames[which - 1], c, args);
}

// AGGREGATE(function, options, reference, ...) or AGGREGATE(function, options, array, k). Options:
// 0-3 leave out nested SUBTOTAL and AGGREGATE cells, 4-7 keep them; odd ones leave out hidden rows;
// 2, 3, 6 and 7 leave out errors.
Operand aggregate(Call& c) {
    static const char* const kNames[] = {"AVERAGE",      "COUNT",          "COUNTA",      "MAX",
                                         "MIN",          "PRODUCT",        "STDEV.S",     "STDEV.P",
                                         "SUM",          "VAR.S",          "VAR.P",       "MEDIAN",
                                         "MODE.SNGL",    "LARGE",          "SMALL",       "PERCENTILE.INC",
                                         "QUARTILE.INC", "PERCENTILE.EXC", "QUARTILE.EXC"};
    const NumberArgs a = numberArgs(c, {kRequired, 0});
    if (a.error)
        return errorResult(*a.error);
    const int which = wholeArgument(a[0]);
    const int options = wholeArgument(a[1]);
    if (which < 1 || which > 19 || options < 0 || options > 7)
        return errorResult(ErrorCode::Value);
    Leave leave;
    leave.subtotals = options < 4;
    leave.hiddenRows = options % 2 == 1;
    leave.errors = options == 2 || options == 3 || options == 6 || options == 7;
    const bool takesK = which >= 14;
    if (takesK && c.count() != 4)
        return errorResult(ErrorCode::Value);
    std::vector<Operand> args;
    for (size_t i = 2; i < c.count(); ++i) {
        if (takesK && i == 3) {
            args.emplace_back(c.value(i));
            continue;
        }
        if (auto values = valuesOfReference(c, c.args[i], leave)) {
            args.emplace_back(std::move(*values));
            continue;
        }
        // An array (the form with k): its errors left out when asked.
        ErrorCode error = ErrorCode::Value;
        auto m = toMatrix(c.evaluator, c.args[i], error);
        if (!m)
            return errorResult(error);
        if (leave.errors) {
            std::erase_if(m->values, [](const Value& v) { return errorOf(v) != nullptr; });
            m->rows = 1;
            m->columns = int(m->values.size());
            if (m->columns == 0) {
                m->columns = 1;
                m->values.emplace_back();
            }
        }
        args.emplace_back(std::move(*m));
    }
    return callNamed(kNames[which - 1], c, args);
}

constexpr FunctionInfo kFunctions[] = {
    {-1, "MROUND", 2, 2, 'V', "VV", false, multipleRound, Storage::AddIn},
    {-1, "QUOTIENT", 2, 2, 'V', "VV", false, quotient, Storage::AddIn},
    {-1, "GCD", 1, 254, 'V', "R", false, greatestCommonDivisor, Storage::AddIn},
    {-1, "LCM", 1, 254, 'V', "R", false, leastCommonMultiple, Storage::AddIn},
    {-1, "RANDBETWEEN", 2, 2, 'V', "VV", true, randomBetween, Storage::AddIn},
    {-1, "MULTINOMIAL", 1, 254, 'V', "R", false, multinomial, Storage::AddIn},
    {-1, "SERIESSUM", 4, 4, 'V', "VVVR", false, seriesSum, Storage::AddIn},
    {-1, "SQRTPI", 1, 1, 'V', "V", false, squareRootPi, Storage::AddIn},
    {-1, "FACTDOUBLE", 1, 1, 'V', "V", false, doubleFactorial, Storage::AddIn},
    {63, "RAND", 0, 0, 'V', "", true, random},
    {184, "FACT", 1, 1, 'V', "V", false, factorial},
    {276, "COMBIN", 2, 2, 'V', "VV", false, combinations},
    {299, "PERMUT", 2, 2, 'V', "VV", false, permutations},
    {279, "EVEN", 1, 1, 'V', "V", false, evenNumber},
    {298, "ODD", 1, 1, 'V', "V", false, oddNumber},
    {15, "SIN", 1, 1, 'V', "V", false, plain<sine>},
    {16, "COS", 1, 1, 'V', "V", false, plain<cosine>},
    {17, "TAN", 1, 1, 'V', "V", false, plain<tangent>},
    {18, "ATAN", 1, 1, 'V', "V", false, plain<arcTangent>},
    {98, "ASIN", 1, 1, 'V', "V", false, bounded<arcSine, withinOne>},
    {99, "ACOS", 1, 1, 'V', "V", false, bounded<arcCosine, withinOne>},
    {97, "ATAN2", 2, 2, 'V', "VV", false, arcTangent2},
    {229, "SINH", 1, 1, 'V', "V", false, plain<hyperbolicSine>},
    {230, "COSH", 1, 1, 'V', "V", false, plain<hyperbolicCosine>},
    {231, "TANH", 1, 1, 'V', "V", false, plain<hyperbolicTangent>},
    {232, "ASINH", 1, 1, 'V', "V", false, plain<areaSine>},
    {233, "ACOSH", 1, 1, 'V', "V", false, bounded<areaCosine, atLeastOne>},
    {234, "ATANH", 1, 1, 'V', "V", false, bounded<areaTangent, strictlyWithinOne>},
    {343, "DEGREES", 1, 1, 'V', "V", false, plain<degrees>},
    {342, "RADIANS", 1, 1, 'V', "V", false, plain<radians>},
    {304, "SUMX2MY2", 2, 2, 'V', "AA", false, sumX2MinusY2},
    {305, "SUMX2PY2", 2, 2, 'V', "AA", false, sumX2PlusY2},
    {303, "SUMXMY2", 2, 2, 'V', "AA", false, sumXMinusY2},
    {344, "SUBTOTAL", 2, 30, 'V', "VR", false, subtotal},
    {-1, "CEILING.MATH", 1, 3, 'V', "VVV", false, ceilingMath, Storage::Future},
    {-1, "FLOOR.MATH", 1, 3, 'V', "VVV", false, floorMath, Storage::Future},
    {-1, "CEILING.PRECISE", 1, 2, 'V', "VV", false, ceilingPrecise, Storage::Future},
    {-1, "ISO.CEILING", 1, 2, 'V', "VV", false, ceilingPrecise, Storage::Future},
    {-1, "FLOOR.PRECISE", 1, 2, 'V', "VV", false, floorPrecise, Storage::Future},
    {-1, "COMBINA", 2, 2, 'V', "VV", false, combinationsWithRepetition, Storage::Future},
    {-1, "AGGREGATE", 3, 254, 'V', "VVR", false, aggregate, Storage::Future},
};

}  // namespace

std::span<const FunctionInfo> arithmeticFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
