#pragma once

// How formula operands turn into the numbers, texts and truth values operators and functions need,
// the way a spreadsheet converts them.

#include <functional>
#include <optional>
#include <vector>

#include "spreadsheet/formula_evaluator.h"

namespace spreadsheet::formula_detail {

// A number, or the error that stands in for it.
struct Number {
    double value = 0;
    std::optional<ErrorCode> error;
};

const ErrorCode* errorOf(const Value& v);

// A reference used where one value is wanted: a single cell gives its value; a rectangle gives the
// cell in the formula's own row (for a column) or column (for a row), else #VALUE!.
Value scalar(const Evaluator& evaluator, const CellKey& at, const Operand& operand);

// Blank is 0, TRUE is 1, a text that reads as a number under the default locale is that number,
// another text is #VALUE!.
Number toNumber(const Value& v);
// Numbers as a General cell shows them, TRUE/FALSE, blank as "".
std::optional<QString> toText(const Value& v, ErrorCode& error);
// Numbers are true when not 0; "TRUE" and "FALSE" read as such; blank is false.
std::optional<bool> toBool(const Value& v, ErrorCode& error);

// A number result: infinities and NaN become #NUM!.
Value numberResult(double v);

// A built-in function applied to its arguments; nothing when the engine does not evaluate it.
std::optional<Operand> callFunction(const Evaluator& evaluator, const CellKey& at, int index,
                                    const std::vector<Operand>& args);

}  // namespace spreadsheet::formula_detail
