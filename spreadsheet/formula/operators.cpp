#include "spreadsheet/formula/operators.h"

#include <cmath>

namespace spreadsheet::formula_detail {

namespace {

Value arithmetic(quint8 code, const Value& a, const Value& b) {
    const Number l = toNumber(a);
    if (l.error)
        return *l.error;
    const Number r = toNumber(b);
    if (r.error)
        return *r.error;
    switch (code) {
        case ptg::kAdd:
            return numberResult(l.value + r.value);
        case ptg::kSub:
            return numberResult(l.value - r.value);
        case ptg::kMul:
            return numberResult(l.value * r.value);
        case ptg::kDiv:
            if (r.value == 0)
                return ErrorCode::Div0;
            return numberResult(l.value / r.value);
        default:
            if (l.value == 0 && r.value == 0)
                return ErrorCode::Num;
            if (l.value == 0 && r.value < 0)
                return ErrorCode::Div0;
            return numberResult(std::pow(l.value, r.value));
    }
}

Value comparison(quint8 code, const Value& a, const Value& b) {
    if (const ErrorCode* e = errorOf(a))
        return *e;
    if (const ErrorCode* e = errorOf(b))
        return *e;
    const int c = compareValues(a, b);
    switch (code) {
        case ptg::kLess:
            return c < 0;
        case ptg::kLessEqual:
            return c <= 0;
        case ptg::kEqual:
            return c == 0;
        case ptg::kGreaterEqual:
            return c >= 0;
        case ptg::kGreater:
            return c > 0;
        default:
            return c != 0;
    }
}

Value concatenation(const Value& a, const Value& b) {
    ErrorCode error{};
    const auto l = toText(a, error);
    if (!l)
        return error;
    const auto r = toText(b, error);
    if (!r)
        return error;
    if (l->size() + r->size() > 32767)
        return ErrorCode::Value;
    return *l + *r;
}

Value applyUnary(quint8 code, const Value& a) {
    if (code == ptg::kUplus)
        return a;
    const Number n = toNumber(a);
    if (n.error)
        return *n.error;
    return numberResult(code == ptg::kUminus ? -n.value : n.value / 100);
}

bool wantsArrays(const Operand& o, bool arrayContext) {
    return std::holds_alternative<ValueMatrix>(o) ||
           (arrayContext && (std::holds_alternative<Area>(o) || std::holds_alternative<AreaList>(o)));
}

// An element of an operand stretched to rows x columns: a single row or column repeats.
const Value* elementAt(const ValueMatrix& m, int row, int column) {
    const int r = m.rows == 1 ? 0 : row;
    const int c = m.columns == 1 ? 0 : column;
    if (r >= m.rows || c >= m.columns)
        return nullptr;
    return &m.at(r, c);
}

}  // namespace

Value applyBinary(quint8 code, const Value& a, const Value& b) {
    if (code == ptg::kConcat)
        return concatenation(a, b);
    if (code >= ptg::kLess && code <= ptg::kNotEqual)
        return comparison(code, a, b);
    return arithmetic(code, a, b);
}

Operand binaryOperator(const Evaluator& evaluator, const CellKey& at, quint8 code, const Operand& a,
                       const Operand& b, bool arrayContext) {
    if (!wantsArrays(a, arrayContext) && !wantsArrays(b, arrayContext))
        return applyBinary(code, scalar(evaluator, at, a), scalar(evaluator, at, b));
    ErrorCode error = ErrorCode::Value;
    const auto left = toMatrix(evaluator, a, error);
    if (!left)
        return Value(error);
    const auto right = toMatrix(evaluator, b, error);
    if (!right)
        return Value(error);
    ValueMatrix out = filledMatrix(std::max(left->rows, right->rows), std::max(left->columns, right->columns),
                                   Value(ErrorCode::NA));
    for (int row = 0; row < out.rows; ++row) {
        for (int column = 0; column < out.columns; ++column) {
            const Value* x = elementAt(*left, row, column);
            const Value* y = elementAt(*right, row, column);
            if (x && y)
                out.at(row, column) = applyBinary(code, *x, *y);
        }
    }
    return out;
}

Operand unaryOperator(const Evaluator& evaluator, const CellKey& at, quint8 code, const Operand& a,
                      bool arrayContext) {
    if (!wantsArrays(a, arrayContext))
        return applyUnary(code, scalar(evaluator, at, a));
    ErrorCode error = ErrorCode::Value;
    auto m = toMatrix(evaluator, a, error);
    if (!m)
        return Value(error);
    for (Value& v : m->values)
        v = applyUnary(code, v);
    return std::move(*m);
}

Operand referenceOperator(quint8 code, const Operand& a, const Operand& b) {
    auto areasOf = [](const Operand& o) -> std::optional<std::vector<Area>> {
        if (const Area* area = std::get_if<Area>(&o))
            return std::vector<Area>{*area};
        if (const AreaList* list = std::get_if<AreaList>(&o))
            return list->areas;
        return std::nullopt;
    };
    // An error operand (a lost reference) passes through.
    for (const Operand* o : {&a, &b}) {
        if (const Value* v = std::get_if<Value>(o); v && errorOf(*v))
            return *v;
    }
    const auto left = areasOf(a);
    const auto right = areasOf(b);
    if (!left || !right)
        return Value(ErrorCode::Value);
    if (code == ptg::kUnion) {
        AreaList list{*left};
        list.areas.insert(list.areas.end(), right->begin(), right->end());
        return list;
    }
    if (left->size() != 1 || right->size() != 1 || left->front().sheet != right->front().sheet)
        return Value(ErrorCode::Value);
    const CellRange& x = left->front().range;
    const CellRange& y = right->front().range;
    const int sheet = left->front().sheet;
    if (code == ptg::kRange) {
        return Area{sheet,
                    {{std::min(x.first.row, y.first.row), std::min(x.first.column, y.first.column)},
                     {std::max(x.last.row, y.last.row), std::max(x.last.column, y.last.column)}}};
    }
    const CellRange both{{std::max(x.first.row, y.first.row), std::max(x.first.column, y.first.column)},
                         {std::min(x.last.row, y.last.row), std::min(x.last.column, y.last.column)}};
    if (both.first.row > both.last.row || both.first.column > both.last.column)
        return Value(ErrorCode::Null);
    return Area{sheet, both};
}

}  // namespace spreadsheet::formula_detail
