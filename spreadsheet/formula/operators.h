#pragma once

// The operators of formulas, on single values and, element by element, on arrays.

#include "spreadsheet/formula/values.h"

namespace spreadsheet::formula_detail {

// + - * / ^ & and the comparisons. References become one value by implicit intersection, unless the
// operator sits inside an argument that takes arrays (or an operand already is an array): then
// both sides are arrays, a single row or column stretching to the other's size, and the result is
// the array of the results (#N/A where one side has no element).
Operand binaryOperator(const Evaluator& evaluator, const CellKey& at, quint8 code, const Operand& a,
                       const Operand& b, bool arrayContext);
// Unary plus and minus, percent.
Operand unaryOperator(const Evaluator& evaluator, const CellKey& at, quint8 code, const Operand& a,
                      bool arrayContext);
// The range (:), union (,) and intersection (space) of references.
Operand referenceOperator(quint8 code, const Operand& a, const Operand& b);

Value applyBinary(quint8 code, const Value& a, const Value& b);

}  // namespace spreadsheet::formula_detail
