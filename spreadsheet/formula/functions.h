#pragma once

// The built-in functions: one table per family (maths, statistics, logic, lookup, text, dates,
// finance), each entry with the function's index in the file format, its name, how many arguments
// it takes, the class each argument is stored in, and the code that evaluates it.

#include <QString>
#include <array>
#include <initializer_list>
#include <limits>
#include <span>
#include <vector>

#include "spreadsheet/formula/values.h"

namespace spreadsheet::formula_detail {

// One call of a function: its arguments as the machine left them, and where the formula stands.
struct Call {
    const Evaluator& evaluator;
    CellKey at;
    std::vector<Operand>& args;
    bool arrayContext = false;  // the call sits inside an argument that takes arrays

    size_t count() const { return args.size(); }
    bool given(size_t i) const;  // present and not an empty argument (",,")
    // The argument as one value (a reference gives its cell); an absent one is blank.
    Value value(size_t i) const;
    Number number(size_t i) const;
    // A number argument that may be left out.
    Number number(size_t i, double fallback) const;
};

using FunctionImpl = Operand (*)(Call& call);

struct FunctionInfo {
    int index;  // the function's number in the file format
    const char* name;
    int minArguments;
    int maxArguments;
    // Stored classes: 'R' reference, 'V' value, 'A' array. `arguments` gives one letter per
    // argument; the last letter holds for all further ones.
    char returns;
    const char* arguments;
    bool isVolatile;
    FunctionImpl impl;

    char argumentClass(size_t i) const;
    bool fixedCount() const { return minArguments == maxArguments; }
};

std::span<const FunctionInfo> mathsFunctions();
std::span<const FunctionInfo> statisticsFunctions();
std::span<const FunctionInfo> logicFunctions();
std::span<const FunctionInfo> lookupFunctions();
std::span<const FunctionInfo> textFunctions();
std::span<const FunctionInfo> dateFunctions();
std::span<const FunctionInfo> financeFunctions();

// Shared by the families.
inline Operand errorResult(ErrorCode e) {
    return Operand(Value(e));
}
// Rounds to 15 significant digits, as a spreadsheet keeps numbers: 0.3/0.1 is 3, not 2.9999999999999996.
double cleaned(double v);

// Arguments first, first + 1, ... as numbers: one fallback per argument, used when it is left out
// (kRequired: an absent argument is blank, that is 0). The first error found, if any. values[i] is
// argument i.
inline constexpr double kRequired = std::numeric_limits<double>::quiet_NaN();
struct NumberArgs {
    std::array<double, 6> values{};
    std::optional<ErrorCode> error;
    double operator[](size_t i) const { return values[i]; }
};
NumberArgs numberArgs(const Call& call, std::initializer_list<double> fallbacks, size_t first = 0);

// nullptr when the engine does not know the function.
const FunctionInfo* functionByIndex(int index);
const FunctionInfo* functionByName(const QString& upperCaseName);

// Applies the function. Functions whose arguments are all values are applied element by element
// when an argument is an array, as a spreadsheet does inside SUMPRODUCT or an array formula.
Operand callFunction(const FunctionInfo& info, Call& call);

}  // namespace spreadsheet::formula_detail
