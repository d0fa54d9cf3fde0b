// Statistics: MIN, MAX, AVERAGE, COUNT, COUNTA, COUNTBLANK, COUNTIF, MEDIAN, LARGE, SMALL, STDEV, RANK.

#include <algorithm>
#include <cmath>

#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

namespace {

Operand minimum(Call& c) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    return Value(n.values.empty() ? 0.0 : *std::min_element(n.values.begin(), n.values.end()));
}

Operand maximum(Call& c) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    return Value(n.values.empty() ? 0.0 : *std::max_element(n.values.begin(), n.values.end()));
}

Operand average(Call& c) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    if (n.values.empty())
        return errorResult(ErrorCode::Div0);
    double total = 0;
    for (double v : n.values)
        total += v;
    return numberResult(total / double(n.values.size()));
}

// COUNT passes over what is not a number, errors included: in references only numbers count; a
// typed argument counts when it converts.
Operand count(Call& c) {
    double total = 0;
    for (const Operand& arg : c.args) {
        forEachArgumentValue(c.evaluator, arg, [&](const Value& v, bool direct) {
            if (std::holds_alternative<double>(v)) {
                ++total;
            } else if (direct && !isBlank(v) && !errorOf(v) && !toNumber(v).error) {
                ++total;
            }
        });
    }
    return Value(total);
}

Operand countNonBlank(Call& c) {
    double total = 0;
    for (const Operand& arg : c.args) {
        forEachArgumentValue(c.evaluator, arg, [&](const Value& v, bool) {
            if (!isBlank(v))
                ++total;
        });
    }
    return Value(total);
}

// Empty cells and empty texts.
Operand countBlank(Call& c) {
    const Area* area = std::get_if<Area>(&c.args[0]);
    if (!area)
        return errorResult(ErrorCode::Value);
    double filled = 0;
    c.evaluator.forEachValue(*area, [&](const Value& v) {
        const QString* text = std::get_if<QString>(&v);
        if (!isBlank(v) && !(text && text->isEmpty()))
            ++filled;
    });
    return Value(double(area->range.rowCount()) * area->range.columnCount() - filled);
}

Operand countIf(Call& c) {
    const Criterion criterion(c.value(1));
    double total = 0;
    if (const Area* area = std::get_if<Area>(&c.args[0])) {
        const CellRange& r = area->range;
        if (qsizetype(r.rowCount()) * r.columnCount() > kMaxMatrixCells)
            return errorResult(ErrorCode::Num);
        // Blank cells can match ("", "<>x"): every position is tested, not only the stored cells.
        const bool blanksMatch = criterion.matches(Value());
        double stored = 0;
        c.evaluator.forEachValue(*area, [&](const Value& v) {
            ++stored;
            if (criterion.matches(v))
                ++total;
        });
        if (blanksMatch)
            total += double(r.rowCount()) * r.columnCount() - stored;
        return Value(total);
    }
    ErrorCode error = ErrorCode::Value;
    const auto m = toMatrix(c.evaluator, c.args[0], error);
    if (!m)
        return errorResult(error);
    for (const Value& v : m->values)
        total += criterion.matches(v) ? 1 : 0;
    return Value(total);
}

Operand median(Call& c) {
    Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    if (n.values.empty())
        return errorResult(ErrorCode::Num);
    std::sort(n.values.begin(), n.values.end());
    const size_t mid = n.values.size() / 2;
    if (n.values.size() % 2)
        return Value(n.values[mid]);
    return numberResult((n.values[mid - 1] + n.values[mid]) / 2);
}

// LARGE and SMALL: the k-th value, k rounded up to a whole position.
Operand kth(Call& c, bool largest) {
    Numbers n = collectNumbers(c.evaluator, c.args, 0, 1);
    if (n.error)
        return errorResult(*n.error);
    const Number k = c.number(1);
    if (k.error)
        return errorResult(*k.error);
    const double position = std::ceil(k.value);
    if (position < 1 || position > double(n.values.size()))
        return errorResult(ErrorCode::Num);
    std::sort(n.values.begin(), n.values.end());
    const size_t i = size_t(position) - 1;
    return Value(largest ? n.values[n.values.size() - 1 - i] : n.values[i]);
}
Operand large(Call& c) {
    return kth(c, true);
}
Operand small(Call& c) {
    return kth(c, false);
}

// The sample standard deviation, two-pass for accuracy.
Operand standardDeviation(Call& c) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    if (n.values.size() < 2)
        return errorResult(ErrorCode::Div0);
    double mean = 0;
    for (double v : n.values)
        mean += v;
    mean /= double(n.values.size());
    double squares = 0;
    for (double v : n.values)
        squares += (v - mean) * (v - mean);
    return numberResult(std::sqrt(squares / double(n.values.size() - 1)));
}

// RANK(number, reference, [order]): 1 for the largest (order 0) or the smallest (order not 0).
Operand rank(Call& c) {
    if (!std::holds_alternative<Area>(c.args[1]) && !std::holds_alternative<AreaList>(c.args[1]))
        return errorResult(ErrorCode::Value);
    const NumberArgs a = numberArgs(c, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    const Number order = c.number(2, 0);
    if (order.error)
        return errorResult(*order.error);
    const Numbers n = collectNumbers(c.evaluator, c.args, 1, 2);
    if (n.error)
        return errorResult(*n.error);
    double position = 1;
    bool found = false;
    for (double v : n.values) {
        if (v == a[0])
            found = true;
        else if (order.value == 0 ? v > a[0] : v < a[0])
            ++position;
    }
    return found ? Value(position) : Value(ErrorCode::NA);
}

constexpr FunctionInfo kFunctions[] = {
    {6, "MIN", 1, 30, 'V', "R", false, minimum},
    {7, "MAX", 1, 30, 'V', "R", false, maximum},
    {5, "AVERAGE", 1, 30, 'V', "R", false, average},
    {0, "COUNT", 1, 30, 'V', "R", false, count},
    {169, "COUNTA", 1, 30, 'V', "R", false, countNonBlank},
    {347, "COUNTBLANK", 1, 1, 'V', "R", false, countBlank},
    {346, "COUNTIF", 2, 2, 'V', "RV", false, countIf},
    {227, "MEDIAN", 1, 30, 'V', "R", false, median},
    {325, "LARGE", 2, 2, 'V', "RV", false, large},
    {326, "SMALL", 2, 2, 'V', "RV", false, small},
    {12, "STDEV", 1, 30, 'V', "R", false, standardDeviation},
    {216, "RANK", 2, 3, 'V', "VRV", false, rank},
};

}  // namespace

std::span<const FunctionInfo> statisticsFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
