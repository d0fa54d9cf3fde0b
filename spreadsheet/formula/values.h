#pragma once

// How formula operands turn into the numbers, texts and truth values operators and functions need,
// the way a spreadsheet converts them, and the criteria of SUMIF and COUNTIF.

#include <optional>
#include <vector>

#include "spreadsheet/formula/evaluator.h"

namespace spreadsheet::formula_detail {

// A number, or the error that stands in for it.
struct Number {
    double value = 0;
    std::optional<ErrorCode> error;
};

const ErrorCode* errorOf(const Value& v);
inline bool isBlank(const Value& v) {
    return std::holds_alternative<std::monostate>(v);
}

// A reference used where one value is wanted: a single cell gives its value; a rectangle gives the
// cell in the formula's own row (for a column) or column (for a row), else #VALUE!. An array gives
// its first element.
Value scalar(const Evaluator& evaluator, const CellKey& at, const Operand& operand);

// Blank is 0, TRUE is 1, a text that reads as a number under the default locale is that number,
// another text is #VALUE!.
Number toNumber(const Value& v);
// The value as a number where only a number will do (a matrix, a fit's data): an error value gives itself,
// anything else that is no number (a blank, a text, a truth value) #VALUE!.
std::optional<double> plainNumber(const Value& v, ErrorCode& error);
// Numbers as a General cell shows them, TRUE/FALSE, blank as "".
std::optional<QString> toText(const Value& v, ErrorCode& error);
// Numbers are true when not 0; "TRUE" and "FALSE" read as such; blank is false.
std::optional<bool> toBool(const Value& v, ErrorCode& error);

// A number result: infinities and NaN become #NUM!.
Value numberResult(double v);

// Orders values as a spreadsheet compares them: numbers before texts before truth values, texts
// without regard to case; a blank takes the kind of the other side.
int compareValues(Value a, Value b);

// An operand as a rectangle of values; a reference larger than kMaxMatrixCells, or a list of
// several areas, gives the error instead.
inline constexpr qsizetype kMaxMatrixCells = 1 << 22;
std::optional<ValueMatrix> toMatrix(const Evaluator& evaluator, const Operand& operand, ErrorCode& error);
ValueMatrix filledMatrix(int rows, int columns, const Value& v);

// Visits every value an argument holds: the stored cells of references (blanks in them are not
// visited), the elements of arrays, or the value itself. `direct` is true for a value typed as
// the argument, which counts differently from one found in a reference or array.
template <typename F>
void forEachArgumentValue(const Evaluator& evaluator, const Operand& operand, F&& f) {
    if (const Area* area = std::get_if<Area>(&operand)) {
        evaluator.forEachValue(*area, [&](const Value& v) { f(v, false); });
    } else if (const AreaList* list = std::get_if<AreaList>(&operand)) {
        for (const Area& a : list->areas)
            evaluator.forEachValue(a, [&](const Value& v) { f(v, false); });
    } else if (const ValueMatrix* matrix = std::get_if<ValueMatrix>(&operand)) {
        for (const Value& v : matrix->values)
            f(v, false);
    } else {
        f(std::get<Value>(operand), true);
    }
}

// The numbers of a list of arguments as SUM, AVERAGE, MIN and the like see them: in references and
// arrays only numbers count (texts, truth values and blanks are passed over, errors stop it); a typed
// argument counts when it converts, and makes the error otherwise.
struct Numbers {
    std::vector<double> values;
    std::optional<ErrorCode> error;
};
Numbers collectNumbers(const Evaluator& evaluator, const std::vector<Operand>& args, size_t from = 0,
                       size_t to = size_t(-1));

// A criterion of SUMIF and COUNTIF: ">500", "<>0", "Other*", "?", "~*", ">=2024-02-01" (a date in the
// workbook's date system), a number or a truth value.
class Criterion {
public:
    explicit Criterion(const Value& criterion, bool date1904 = false);
    bool matches(const Value& v) const;

private:
    enum class Op { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };
    static bool holds(Op op, int c);
    Op op_ = Op::Equal;
    Value operand_;         // a number, text, truth value, error or blank
    bool pattern_ = false;  // the text holds wildcards
};

// Text matching with * (any run), ? (one character) and ~ (takes the next character literally),
// without regard to case, over the whole text.
bool wildcardMatch(const QString& pattern, const QString& text);
bool hasWildcards(const QString& pattern);

// Serial numbers of the 1900 date system as a spreadsheet counts them: 1 is 1 January 1900, 60 the
// 29 February 1900 that never was; with the 1904 system 0 is 1 January 1904.
struct YearMonthDay {
    int year;
    int month;
    int day;
};
std::optional<YearMonthDay> dateOfSerial(double serial, bool date1904);
double serialOfDate(int year, int month, int day, bool date1904);

}  // namespace spreadsheet::formula_detail
