#pragma once

// The functions: one table per family (maths, statistics, logic, lookup, text, dates, finance and
// the families the analysis add-in and newer spreadsheets brought), each entry with the function's
// index in the file format, its name, how many arguments it takes, the class each argument is stored
// in, where the file keeps its name, and the code that evaluates it.

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

// How a file names the function. Built-ins go by their number (tFunc, tFuncVar). The others are
// called through tFuncVar 255 whose first argument names them: the analysis add-in's functions
// (EDATE, XIRR, ...) as an external name of the add-in book (tNameX), functions newer than the file
// format (IFERROR, SUMIFS, ...) as a hidden defined name "_xlfn." + name (tName).
enum class Storage : quint8 { BuiltIn, AddIn, Future };
inline constexpr char kFuturePrefix[] = "_xlfn.";

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
    Storage storage = Storage::BuiltIn;  // index is -1 unless BuiltIn

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
std::span<const FunctionInfo> conditionalFunctions();
std::span<const FunctionInfo> informationFunctions();
std::span<const FunctionInfo> arithmeticFunctions();
std::span<const FunctionInfo> dispersionFunctions();
std::span<const FunctionInfo> distributionFunctions();
std::span<const FunctionInfo> calendarFunctions();
std::span<const FunctionInfo> cashFlowFunctions();
std::span<const FunctionInfo> securityFunctions();
std::span<const FunctionInfo> stringFunctions();
std::span<const FunctionInfo> referenceFunctions();
std::span<const FunctionInfo> databaseFunctions();
std::span<const FunctionInfo> samplingFunctions();
std::span<const FunctionInfo> matrixFunctions();
std::span<const FunctionInfo> regressionFunctions();

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

// A number argument taken as a whole number (a code, an index, a count), truncated and held within
// plus or minus 1e9: a value past that is past any range a function accepts, and sums of it with rows or
// columns cannot overflow. Not a number gives -1e9.
int wholeArgument(double value);

// nullptr when the engine does not know the function. By name: any storage, the name without "_xlfn.".
const FunctionInfo* functionByIndex(int index);
const FunctionInfo* functionByName(const QString& upperCaseName);

// The function a name token (tName, tNameX) stands for as the first argument of a tFuncVar 255 call:
// an external name of the add-in book, or a defined name or external name "_xlfn." + name, naming a
// function this engine knows (whatever its own storage); nullptr otherwise (a macro, an unknown
// add-in, a plain name).
const FunctionInfo* functionNamedBy(const Workbook& workbook, const ptg::Token& nameToken);
// The text a formula shows for such a name: the function's name, without "_xlfn." when it is known.
QString calledNameText(const QString& storedName);

// Applies the function. Functions whose arguments are all values are applied element by element
// when an argument is an array, as a spreadsheet does inside SUMPRODUCT or an array formula.
Operand callFunction(const FunctionInfo& info, Call& call);

}  // namespace spreadsheet::formula_detail
