#pragma once

// The syntax tree of formula text, as the compiler reads it before writing tokens.

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "spreadsheet/formula/tokens.h"

namespace spreadsheet::formula_detail {

struct FunctionInfo;

struct SyntaxNode {
    enum class Kind {
        Number,
        String,
        Boolean,
        Error,
        Missing,  // an argument left out: IF(A1,,2)
        Array,    // {1,2;3,4}
        Reference,
        Name,
        Function,
        Unary,   // + - and % (op tells which)
        Binary,  // arithmetic, &, comparisons, and the reference operators : and ,
        Paren,
    } kind;
    double number = 0;
    QString text;  // strings, names
    bool boolean = false;
    ErrorCode error = ErrorCode::Value;
    ValueMatrix array;
    // References: one cell or a rectangle, on the formula's own sheet or on named sheets.
    ptg::RefOperand first;
    ptg::RefOperand last;
    bool isArea = false;
    std::optional<QString> firstSheet;  // set for Sheet!A1 and 'First:Last'!A1
    std::optional<QString> lastSheet;
    const FunctionInfo* function = nullptr;
    quint8 op = 0;
    std::vector<std::unique_ptr<SyntaxNode>> children;
};
using SyntaxNodePtr = std::unique_ptr<SyntaxNode>;

// Reads "=SUM(B6:B16)*2" and the like. Throws SpreadsheetError naming what could not be read.
SyntaxNodePtr parseFormula(const QString& text);

}  // namespace spreadsheet::formula_detail
