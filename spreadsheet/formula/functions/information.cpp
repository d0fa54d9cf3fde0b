// Information about values: ISEVEN and ISODD (analysis add-in), ISLOGICAL, ISNONTEXT, ISREF, ISERR,
// ERROR.TYPE, N, T, TYPE, and ISFORMULA (newer than the format).

#include <cmath>

#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

namespace {

// ISEVEN and ISODD take the whole part of a number; a truth value is no number to them.
Operand parity(Call& c, bool even) {
    const Value v = c.value(0);
    if (std::holds_alternative<bool>(v))
        return errorResult(ErrorCode::Value);
    const Number n = toNumber(v);
    if (n.error)
        return errorResult(*n.error);
    const bool isEven = std::fmod(std::trunc(std::fabs(n.value)), 2.0) == 0;
    return Value(isEven == even);
}
Operand isEven(Call& c) {
    return parity(c, true);
}
Operand isOdd(Call& c) {
    return parity(c, false);
}

Operand isLogical(Call& c) {
    return Value(std::holds_alternative<bool>(c.value(0)));
}
Operand isNonText(Call& c) {
    return Value(!std::holds_alternative<QString>(c.value(0)));
}
Operand isReference(Call& c) {
    return Value(std::holds_alternative<Area>(c.args[0]) || std::holds_alternative<AreaList>(c.args[0]));
}
Operand isErr(Call& c) {
    const ErrorCode* e = errorOf(c.value(0));
    return Value(e && *e != ErrorCode::NA);
}

// ERROR.TYPE: 1 #NULL!, 2 #DIV/0!, 3 #VALUE!, 4 #REF!, 5 #NAME?, 6 #NUM!, 7 #N/A; #N/A for no error.
Operand errorType(Call& c) {
    const ErrorCode* e = errorOf(c.value(0));
    if (!e)
        return errorResult(ErrorCode::NA);
    switch (*e) {
        case ErrorCode::Null:
            return Value(1.0);
        case ErrorCode::Div0:
            return Value(2.0);
        case ErrorCode::Value:
            return Value(3.0);
        case ErrorCode::Ref:
            return Value(4.0);
        case ErrorCode::Name:
            return Value(5.0);
        case ErrorCode::Num:
            return Value(6.0);
        default:
            return Value(7.0);
    }
}

// N: a number as it is, a truth value as 1 or 0, an error as itself, anything else 0.
Operand toN(Call& c) {
    const Value v = c.value(0);
    if (errorOf(v) || std::holds_alternative<double>(v))
        return v;
    if (const bool* b = std::get_if<bool>(&v))
        return Value(*b ? 1.0 : 0.0);
    return Value(0.0);
}

// T: a text as it is, an error as itself, anything else the empty text.
Operand toT(Call& c) {
    const Value v = c.value(0);
    if (errorOf(v) || std::holds_alternative<QString>(v))
        return v;
    return Value(QString());
}

// TYPE: 1 number (and blank), 2 text, 4 truth value, 16 error, 64 array.
Operand typeOf(Call& c) {
    if (std::holds_alternative<ValueMatrix>(c.args[0]))
        return Value(64.0);
    const Value v = c.value(0);
    if (std::holds_alternative<QString>(v))
        return Value(2.0);
    if (std::holds_alternative<bool>(v))
        return Value(4.0);
    if (errorOf(v))
        return Value(16.0);
    return Value(1.0);
}

Operand isFormula(Call& c) {
    const Area* area = std::get_if<Area>(&c.args[0]);
    if (!area)
        return errorResult(ErrorCode::Value);
    const Workbook& workbook = c.evaluator.workbook();
    if (area->sheet < 0 || size_t(area->sheet) >= workbook.sheets.size())
        return errorResult(ErrorCode::Ref);
    const Cell* cell = workbook.sheets[size_t(area->sheet)].cell(area->range.first);
    return Value(cell && cell->formula.has_value());
}

constexpr FunctionInfo kFunctions[] = {
    {-1, "ISEVEN", 1, 1, 'V', "V", false, isEven, Storage::AddIn},
    {-1, "ISODD", 1, 1, 'V', "V", false, isOdd, Storage::AddIn},
    {198, "ISLOGICAL", 1, 1, 'V', "V", false, isLogical},
    {190, "ISNONTEXT", 1, 1, 'V', "V", false, isNonText},
    {105, "ISREF", 1, 1, 'V', "R", false, isReference},
    {126, "ISERR", 1, 1, 'V', "V", false, isErr},
    {261, "ERROR.TYPE", 1, 1, 'V', "V", false, errorType},
    {131, "N", 1, 1, 'V', "R", false, toN},
    {130, "T", 1, 1, 'V', "R", false, toT},
    // TYPE looks at its argument whole (an array is 64), so it is not taken element by element.
    {86, "TYPE", 1, 1, 'V', "R", false, typeOf},
    {-1, "ISFORMULA", 1, 1, 'V', "R", false, isFormula, Storage::Future},
};

}  // namespace

std::span<const FunctionInfo> informationFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
