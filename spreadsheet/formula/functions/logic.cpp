// Logic and information: IF, AND, OR, NOT, TRUE, FALSE, ISBLANK, ISNUMBER, ISTEXT, ISERROR, ISNA, NA.

#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

namespace {

// IF over an array of conditions (inside SUMPRODUCT or an array formula): an array of choices.
Operand conditionalArray(Call& c) {
    ErrorCode error = ErrorCode::Value;
    const auto condition = toMatrix(c.evaluator, c.args[0], error);
    if (!condition)
        return errorResult(error);
    std::optional<ValueMatrix> branches[2];
    for (size_t i = 1; i < 3 && i < c.count(); ++i) {
        branches[i - 1] = toMatrix(c.evaluator, c.args[i], error);
        if (!branches[i - 1])
            return errorResult(error);
    }
    ValueMatrix out = *condition;
    for (int row = 0; row < out.rows; ++row) {
        for (int column = 0; column < out.columns; ++column) {
            ErrorCode e{};
            const auto truth = toBool(condition->at(row, column), e);
            if (!truth) {
                out.at(row, column) = e;
                continue;
            }
            const auto& branch = branches[*truth ? 0 : 1];
            if (!branch) {
                out.at(row, column) = c.count() > 2 || *truth ? Value(0.0) : Value(false);
                continue;
            }
            const int r = branch->rows == 1 ? 0 : row;
            const int col = branch->columns == 1 ? 0 : column;
            out.at(row, column) =
                r < branch->rows && col < branch->columns ? branch->at(r, col) : ErrorCode::NA;
        }
    }
    return out;
}

Operand conditional(Call& c) {
    const Operand& test = c.args[0];
    if (std::holds_alternative<ValueMatrix>(test) ||
        (c.arrayContext && (std::holds_alternative<Area>(test) || std::holds_alternative<AreaList>(test)))) {
        return conditionalArray(c);
    }
    ErrorCode error{};
    const auto truth = toBool(c.value(0), error);
    if (!truth)
        return errorResult(error);
    if (*truth)
        return std::move(c.args[1]);
    if (c.count() > 2)
        return std::move(c.args[2]);
    return Value(false);
}

// AND and OR look at truth values and numbers; texts and blanks in references are passed over, and
// with nothing left to look at the result is #VALUE!.
Operand logical(Call& c, bool all) {
    bool seen = false;
    bool result = all;
    std::optional<ErrorCode> error;
    for (const Operand& arg : c.args) {
        forEachArgumentValue(c.evaluator, arg, [&](const Value& v, bool direct) {
            if (error)
                return;
            if (const ErrorCode* e = errorOf(v)) {
                error = *e;
                return;
            }
            if (isBlank(v) || (!direct && std::holds_alternative<QString>(v)))
                return;
            ErrorCode e{};
            const auto truth = toBool(v, e);
            if (!truth) {
                error = e;
                return;
            }
            seen = true;
            result = all ? (result && *truth) : (result || *truth);
        });
    }
    if (error)
        return errorResult(*error);
    if (!seen)
        return errorResult(ErrorCode::Value);
    return Value(result);
}
Operand logicalAnd(Call& c) {
    return logical(c, true);
}
Operand logicalOr(Call& c) {
    return logical(c, false);
}

Operand logicalNot(Call& c) {
    ErrorCode error{};
    const auto truth = toBool(c.value(0), error);
    return truth ? Value(!*truth) : Value(error);
}

Operand trueValue(Call&) {
    return Value(true);
}
Operand falseValue(Call&) {
    return Value(false);
}
Operand notAvailable(Call&) {
    return Value(ErrorCode::NA);
}

Operand isBlankValue(Call& c) {
    return Value(isBlank(c.value(0)));
}
Operand isNumber(Call& c) {
    return Value(std::holds_alternative<double>(c.value(0)));
}
Operand isText(Call& c) {
    return Value(std::holds_alternative<QString>(c.value(0)));
}
Operand isError(Call& c) {
    return Value(errorOf(c.value(0)) != nullptr);
}
Operand isNotAvailable(Call& c) {
    const Value v = c.value(0);
    return Value(errorOf(v) && *errorOf(v) == ErrorCode::NA);
}

constexpr FunctionInfo kFunctions[] = {
    {1, "IF", 2, 3, 'V', "VRR", false, conditional},       {36, "AND", 1, 30, 'V', "R", false, logicalAnd},
    {37, "OR", 1, 30, 'V', "R", false, logicalOr},         {38, "NOT", 1, 1, 'V', "V", false, logicalNot},
    {34, "TRUE", 0, 0, 'V', "", false, trueValue},         {35, "FALSE", 0, 0, 'V', "", false, falseValue},
    {129, "ISBLANK", 1, 1, 'V', "V", false, isBlankValue}, {128, "ISNUMBER", 1, 1, 'V', "V", false, isNumber},
    {127, "ISTEXT", 1, 1, 'V', "V", false, isText},        {3, "ISERROR", 1, 1, 'V', "V", false, isError},
    {2, "ISNA", 1, 1, 'V', "V", false, isNotAvailable},    {10, "NA", 0, 0, 'V', "", false, notAvailable},
};

}  // namespace

std::span<const FunctionInfo> logicFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
