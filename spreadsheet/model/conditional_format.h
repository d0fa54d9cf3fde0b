#pragma once

// Conditional formats as a sheet's CONDFMT and CF records (and their successors CONDFMT12 and CF12)
// describe them: ranges, and rules that change how a cell looks while a condition on its value or a
// formula holds. They are read for drawing only: the records stay in Worksheet::kept and are written
// back from there as they were read.

#include <QByteArray>
#include <optional>
#include <vector>

#include "spreadsheet/cell_ref.h"

namespace spreadsheet {

// A border a rule draws: a line style numbered as in the file (see LineStyle) and a palette index.
struct ConditionalBorder {
    quint8 style = 0;
    quint16 colorIndex = 0;

    bool operator==(const ConditionalBorder&) const = default;
};

// What a rule changes: each part that is set replaces the cell's own, the others stay as they are.
struct ConditionalStyle {
    std::optional<quint16> fontColor;  // a palette index
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> strikeout;
    std::optional<quint8> underline;  // as Font::underline
    // The fill in a cell format's terms: pattern 0 none, 1 solid in the foreground colour, 2.. patterns of
    // the foreground colour on the background colour.
    std::optional<quint8> fillPattern;
    std::optional<quint16> fillForeground;
    std::optional<quint16> fillBackground;
    std::optional<ConditionalBorder> left, right, top, bottom;

    bool operator==(const ConditionalStyle&) const = default;
};

// The kinds of rule, numbered as the file numbers them. Only cell-value and formula rules are drawn.
enum class ConditionKind : quint8 {
    CellValue = 1,
    Formula = 2,
    ColorScale = 3,
    DataBar = 4,
    TopOrBottom = 5,  // top or bottom n, above average and the other filters
    IconSet = 6,
};

// How a cell-value rule compares, numbered as in the file.
enum class ConditionOperator : quint8 {
    None = 0,
    Between,
    NotBetween,
    Equal,
    NotEqual,
    Greater,
    Less,
    GreaterOrEqual,
    LessOrEqual,
};

struct ConditionalRule {
    ConditionKind kind = ConditionKind::CellValue;
    ConditionOperator op = ConditionOperator::None;
    // The operands of a cell-value rule, or the formula of a formula rule, as BIFF8 tokens (rgce) in the
    // form of a shared formula: where a reference is relative, its row and column are distances from the
    // cell the rule is evaluated at (tRefN, tAreaN), so one token array serves every cell of the ranges.
    QByteArray first;
    QByteArray second;
    ConditionalStyle style;
    bool stopIfTrue = false;

    bool operator==(const ConditionalRule&) const = default;
};

// One CONDFMT (or CONDFMT12) record with its rules, in record order.
struct ConditionalFormat {
    std::vector<CellRange> ranges;
    std::vector<ConditionalRule> rules;

    bool operator==(const ConditionalFormat&) const = default;
};

}  // namespace spreadsheet
