// The stack machine that runs one token stream. Conditional jumps (tAttrIf, tAttrSkip,
// tAttrChoose) are not followed: every branch is evaluated and the function picks its result,
// which gives the same value since evaluation has no side effects.

#include <QLocale>
#include <cmath>

#include "spreadsheet/formula_values.h"

namespace spreadsheet::formula_detail {

namespace {

bool isArithmetic(quint8 code) {
    return code >= ptg::kAdd && code <= ptg::kPower;
}
bool isComparison(quint8 code) {
    return code >= ptg::kLess && code <= ptg::kNotEqual;
}

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

// Orders values as a spreadsheet compares them: numbers before texts before truth values, texts
// without regard to case; a blank takes the kind of the other side.
int compareValues(Value a, Value b) {
    auto blankLike = [](const Value& other) -> Value {
        if (std::holds_alternative<QString>(other))
            return QString();
        if (std::holds_alternative<bool>(other))
            return false;
        return 0.0;
    };
    if (std::holds_alternative<std::monostate>(a))
        a = blankLike(b);
    if (std::holds_alternative<std::monostate>(b))
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
        return QString::compare(*x, std::get<QString>(b), Qt::CaseInsensitive);
    }
    return int(std::get<bool>(a)) - int(std::get<bool>(b));
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

}  // namespace

Result runTokens(const Evaluator& evaluator, const CellKey& at, const ptg::DecodeResult& decoded) {
    std::vector<Operand> stack;
    const Result malformed{ErrorCode::Value, Outcome::Malformed};
    const Result unsupported{ErrorCode::Name, Outcome::Unsupported};
    auto pop = [&] {
        Operand top = std::move(stack.back());
        stack.pop_back();
        return top;
    };
    auto value = [&](const Operand& o) { return scalar(evaluator, at, o); };

    for (const ptg::Token& t : decoded.tokens) {
        const quint8 code = t.base;
        if (isArithmetic(code) || isComparison(code) || code == ptg::kConcat) {
            if (stack.size() < 2)
                return malformed;
            const Value b = value(pop());
            const Value a = value(pop());
            if (isArithmetic(code)) {
                stack.emplace_back(arithmetic(code, a, b));
            } else if (isComparison(code)) {
                stack.emplace_back(comparison(code, a, b));
            } else {
                stack.emplace_back(concatenation(a, b));
            }
            continue;
        }
        switch (code) {
            case ptg::kUplus:
            case ptg::kUminus:
            case ptg::kPercent: {
                if (stack.empty())
                    return malformed;
                const Value a = value(pop());
                if (code == ptg::kUplus) {
                    stack.emplace_back(a);
                    break;
                }
                const Number n = toNumber(a);
                if (n.error) {
                    stack.emplace_back(Value(*n.error));
                } else {
                    stack.emplace_back(numberResult(code == ptg::kUminus ? -n.value : n.value / 100));
                }
                break;
            }
            case ptg::kParen:
                if (stack.empty())
                    return malformed;
                break;
            case ptg::kMissArg:
                stack.emplace_back(Value());
                break;
            case ptg::kStr:
                stack.emplace_back(Value(t.text));
                break;
            case ptg::kBool:
                stack.emplace_back(Value(t.byte != 0));
                break;
            case ptg::kErr:
                stack.emplace_back(Value(ErrorCode(t.byte)));
                break;
            case ptg::kInt:
            case ptg::kNum:
                stack.emplace_back(numberResult(t.number));
                break;
            case ptg::kRef:
            case ptg::kArea:
                if (t.columnOutOfRange) {
                    stack.emplace_back(Value(ErrorCode::Ref));
                } else {
                    stack.emplace_back(Area{at.sheet, {t.first.cell, t.last.cell}});
                }
                break;
            case ptg::kRefErr:
            case ptg::kAreaErr:
                stack.emplace_back(Value(ErrorCode::Ref));
                break;
            case ptg::kMemArea:
            case ptg::kMemErr:
            case ptg::kMemNoMem:
            case ptg::kMemFunc:
                break;  // the subexpression that follows yields the reference
            case ptg::kAttr:
                if (t.byte & ptg::kAttrSum) {
                    if (stack.empty())
                        return malformed;
                    const std::vector<Operand> args{pop()};
                    stack.push_back(*callFunction(evaluator, at, ptg::kFunctionSum, args));
                }
                break;
            case ptg::kFunc:
            case ptg::kFuncVar: {
                const ptg::FunctionInfo* info = ptg::functionByIndex(t.word);
                if (!info)
                    return unsupported;
                const int argc = code == ptg::kFuncVar ? t.byte : info->fixedArguments;
                if (argc < 0 || size_t(argc) > stack.size())
                    return malformed;
                std::vector<Operand> args(std::make_move_iterator(stack.end() - argc),
                                          std::make_move_iterator(stack.end()));
                stack.resize(stack.size() - size_t(argc));
                std::optional<Operand> result = callFunction(evaluator, at, t.word, args);
                if (!result)
                    return unsupported;
                stack.push_back(std::move(*result));
                break;
            }
            default:
                return unsupported;  // names, 3-D and relative references, arrays, tables
        }
    }
    if (stack.size() != 1)
        return malformed;
    Value result = value(stack.back());
    // A formula that shows an empty cell shows 0.
    if (std::holds_alternative<std::monostate>(result))
        result = 0.0;
    return {result, Outcome::Done};
}

}  // namespace spreadsheet::formula_detail
