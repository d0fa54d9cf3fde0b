// Conditions newer than the file format: IFERROR, IFNA, IFS, SWITCH, XOR, and the sums, counts,
// averages and extremes over several criteria (SUMIFS, COUNTIFS, AVERAGEIF, AVERAGEIFS, MAXIFS,
// MINIFS). Criteria read as SUMIF's and COUNTIF's do ("<>0", ">=100", "Food*", a number, a cell).
// The ranges of one call must be of one size (#VALUE! otherwise); a cell of the summed range that
// holds an error makes the result that error when its position meets every criterion; texts, truth
// values and blanks there add nothing.

#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/grid.h"

namespace spreadsheet::formula_detail {

namespace {

Operand ifError(Call& c) {
    if (errorOf(c.value(0)))
        return std::move(c.args[1]);
    return c.value(0);
}

Operand ifNotAvailable(Call& c) {
    const Value v = c.value(0);
    if (const ErrorCode* e = errorOf(v); e && *e == ErrorCode::NA)
        return std::move(c.args[1]);
    return v;
}

// IFS(condition, value, condition, value, ...): the value of the first true condition, #N/A when
// none is.
Operand ifs(Call& c) {
    if (c.count() % 2)
        return errorResult(ErrorCode::NA);
    for (size_t i = 0; i + 1 < c.count(); i += 2) {
        ErrorCode error{};
        const auto truth = toBool(c.value(i), error);
        if (!truth)
            return errorResult(error);
        if (*truth)
            return std::move(c.args[i + 1]);
    }
    return errorResult(ErrorCode::NA);
}

// SWITCH(expression, value, result, ..., [default]): the result of the first value equal to the
// expression (texts without regard to case, no conversion between kinds).
Operand switchValue(Call& c) {
    const Value sought = c.value(0);
    if (const ErrorCode* e = errorOf(sought))
        return errorResult(*e);
    size_t i = 1;
    for (; i + 1 < c.count(); i += 2) {
        const Value v = c.value(i);
        if (const ErrorCode* e = errorOf(v))
            return errorResult(*e);
        if (compareValues(sought, v) == 0)
            return std::move(c.args[i + 1]);
    }
    if (i < c.count())
        return std::move(c.args[i]);  // the default
    return errorResult(ErrorCode::NA);
}

// XOR: true when an odd number of its truth values is true; texts and blanks in references are passed
// over, and with nothing to look at the result is #VALUE!, as for AND and OR.
Operand exclusiveOr(Call& c) {
    bool seen = false;
    bool result = false;
    std::optional<ErrorCode> error;
    for (const Operand& arg : c.args) {
        forEachArgumentValue(c.evaluator, arg, [&](const Value& v, bool direct) {
            if (error || isBlank(v) || (!direct && std::holds_alternative<QString>(v)))
                return;
            ErrorCode e{};
            const auto truth = toBool(v, e);
            if (!truth) {
                error = e;
                return;
            }
            seen = true;
            result = result != *truth;
        });
    }
    if (error)
        return errorResult(*error);
    return seen ? Value(result) : Value(ErrorCode::Value);
}

// The criteria pairs of a call from argument `first` on: their ranges and what they must match.
struct Criteria {
    std::vector<Grid> ranges;
    std::vector<Criterion> tests;
    std::optional<ErrorCode> error;

    bool matchAll(qsizetype row, int column) const {
        for (size_t k = 0; k < ranges.size(); ++k) {
            if (!tests[k].matches(ranges[k].at(int(row), column)))
                return false;
        }
        return true;
    }
    bool blanksMatch() const {
        for (const Criterion& test : tests) {
            if (!test.matches(Value()))
                return false;
        }
        return true;
    }
};

Criteria criteriaFrom(const Call& c, size_t first) {
    Criteria out;
    if (c.count() < first + 2 || (c.count() - first) % 2) {
        out.error = ErrorCode::Value;
        return out;
    }
    for (size_t i = first; i + 1 < c.count(); i += 2) {
        ErrorCode error = ErrorCode::Value;
        auto range = Grid::of(c.evaluator, c.args[i], error);
        if (!range) {
            out.error = error;
            return out;
        }
        if (!out.ranges.empty() && !range->sameShape(out.ranges.front())) {
            out.error = ErrorCode::Value;
            return out;
        }
        out.ranges.push_back(std::move(*range));
        out.tests.emplace_back(c.value(i + 1), c.evaluator.workbook().date1904);
    }
    return out;
}

// What SUMIFS and its kin gather from the positions that meet every criterion.
struct Gathered {
    double count = 0;             // positions that meet the criteria (COUNTIFS)
    std::vector<double> numbers;  // the numbers of the target range there
    std::optional<ErrorCode> error;
};

// Walks the positions of the criteria ranges (and of the target range, of the same shape when given)
// that may hold something; the rows blank in all of them meet the criteria alike and are counted.
Gathered gather(const Criteria& criteria, const Grid* target) {
    Gathered out;
    const Grid& shape = criteria.ranges.front();
    if (shape.size() > kMaxMatrixCells) {
        out.error = ErrorCode::Num;
        return out;
    }
    std::vector<const Grid*> grids;
    for (const Grid& g : criteria.ranges)
        grids.push_back(&g);
    if (target)
        grids.push_back(target);
    const auto [first, last] = rowsInUse(grids, shape.rows());
    const int readRows = last >= first ? last - first + 1 : 0;
    if (criteria.blanksMatch())
        out.count += double(shape.rows() - readRows) * shape.columns();
    for (int row = first; row <= last; ++row) {
        for (int column = 0; column < shape.columns(); ++column) {
            if (!criteria.matchAll(row, column))
                continue;
            ++out.count;
            if (!target)
                continue;
            const Value v = target->at(row, column);
            if (const ErrorCode* e = errorOf(v)) {
                out.error = *e;
                return out;
            }
            if (const double* d = std::get_if<double>(&v))
                out.numbers.push_back(*d);
        }
    }
    return out;
}

// The target of SUMIFS, AVERAGEIFS, MAXIFS and MINIFS (the first argument) and the numbers it holds
// where every criterion is met.
Gathered gatherTarget(const Call& c) {
    const Criteria criteria = criteriaFrom(c, 1);
    if (criteria.error)
        return {0, {}, criteria.error};
    ErrorCode error = ErrorCode::Value;
    const auto target = Grid::of(c.evaluator, c.args[0], error);
    if (!target)
        return {0, {}, error};
    if (!target->sameShape(criteria.ranges.front()))
        return {0, {}, ErrorCode::Value};
    return gather(criteria, &*target);
}

double total(const std::vector<double>& numbers) {
    double sum = 0;
    for (double v : numbers)
        sum += v;
    return sum;
}

Operand sumIfs(Call& c) {
    const Gathered g = gatherTarget(c);
    if (g.error)
        return errorResult(*g.error);
    return numberResult(total(g.numbers));
}

Operand countIfs(Call& c) {
    const Criteria criteria = criteriaFrom(c, 0);
    if (criteria.error)
        return errorResult(*criteria.error);
    const Gathered g = gather(criteria, nullptr);
    if (g.error)
        return errorResult(*g.error);
    return Value(g.count);
}

Operand averageIfs(Call& c) {
    const Gathered g = gatherTarget(c);
    if (g.error)
        return errorResult(*g.error);
    if (g.numbers.empty())
        return errorResult(ErrorCode::Div0);
    return numberResult(total(g.numbers) / double(g.numbers.size()));
}

Operand extremeIfs(Call& c, bool largest) {
    const Gathered g = gatherTarget(c);
    if (g.error)
        return errorResult(*g.error);
    if (g.numbers.empty())
        return Value(0.0);
    return Value(largest ? *std::max_element(g.numbers.begin(), g.numbers.end())
                         : *std::min_element(g.numbers.begin(), g.numbers.end()));
}
Operand maxIfs(Call& c) {
    return extremeIfs(c, true);
}
Operand minIfs(Call& c) {
    return extremeIfs(c, false);
}

// AVERAGEIF(range, criterion, [average range]): the average range as large as the range, from its
// own top-left cell, as SUMIF's sum range.
Operand averageIf(Call& c) {
    Criteria one;
    ErrorCode error = ErrorCode::Value;
    auto range = Grid::of(c.evaluator, c.args[0], error);
    if (!range)
        return errorResult(error);
    one.ranges.push_back(*range);
    one.tests.emplace_back(c.value(1), c.evaluator.workbook().date1904);
    std::optional<Grid> target = range;
    if (c.given(2)) {
        const auto given = Grid::of(c.evaluator, c.args[2], error);
        if (!given)
            return errorResult(error);
        target = given->resizedLike(*range);
        if (!target || !target->sameShape(*range))
            return errorResult(target ? ErrorCode::Value : ErrorCode::Ref);
    }
    const Gathered g = gather(one, &*target);
    if (g.error)
        return errorResult(*g.error);
    if (g.numbers.empty())
        return errorResult(ErrorCode::Div0);
    return numberResult(total(g.numbers) / double(g.numbers.size()));
}

constexpr FunctionInfo kFunctions[] = {
    {-1, "IFERROR", 2, 2, 'V', "VV", false, ifError, Storage::Future},
    {-1, "IFNA", 2, 2, 'V', "VV", false, ifNotAvailable, Storage::Future},
    // Ranges and criteria alternate: all are stored as references, which a criterion may be too.
    {-1, "IFS", 2, 254, 'V', "R", false, ifs, Storage::Future},
    {-1, "SWITCH", 3, 254, 'V', "VR", false, switchValue, Storage::Future},
    {-1, "XOR", 1, 254, 'V', "R", false, exclusiveOr, Storage::Future},
    {-1, "SUMIFS", 3, 254, 'V', "R", false, sumIfs, Storage::Future},
    {-1, "COUNTIFS", 2, 254, 'V', "R", false, countIfs, Storage::Future},
    {-1, "AVERAGEIF", 2, 3, 'V', "RVR", false, averageIf, Storage::Future},
    {-1, "AVERAGEIFS", 3, 254, 'V', "R", false, averageIfs, Storage::Future},
    {-1, "MAXIFS", 3, 254, 'V', "R", false, maxIfs, Storage::Future},
    {-1, "MINIFS", 3, 254, 'V', "R", false, minIfs, Storage::Future},
};

}  // namespace

std::span<const FunctionInfo> conditionalFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
