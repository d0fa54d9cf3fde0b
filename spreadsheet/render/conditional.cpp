// Conditional formats as a spreadsheet draws them: each cell-value or formula rule is evaluated at
// every cell of its ranges on the values the cells hold, and where rules hold they change the cell's
// fill, font and borders. Rules are taken in record order, ranges after one another; of the rules that
// hold, the first to set a part of the look wins it, and a rule that stops the others ends the search.
// Colour scales, data bars, icon sets and top-n rules are not drawn.

#include <QtEndian>
#include <cstring>
#include <set>

#include "spreadsheet/biff/tokens.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/formula/values.h"
#include "spreadsheet/render/grid.h"

namespace spreadsheet::render_detail {

namespace {

constexpr quint8 kUnaryMinus = 0x13;
constexpr quint8 kBool = 0x1D;
constexpr quint8 kInt = 0x1E;
constexpr quint8 kNum = 0x1F;

// Most operands are a number typed into the rule: read without starting the evaluator.
std::optional<Value> constantOf(const QByteArray& tokens) {
    qsizetype size = tokens.size();
    const bool negative = size > 0 && quint8(tokens.back()) == kUnaryMinus;
    if (negative)
        --size;
    if (size == 3 && quint8(tokens[0]) == kInt) {
        const double value = qFromLittleEndian<quint16>(tokens.constData() + 1);
        return Value(negative ? -value : value);
    }
    if (size == 9 && quint8(tokens[0]) == kNum) {
        double value;
        std::memcpy(&value, tokens.constData() + 1, sizeof value);
        value = qFromLittleEndian(value);
        return Value(negative ? -value : value);
    }
    if (size == 2 && !negative && quint8(tokens[0]) == kBool)
        return Value(tokens[1] != 0);
    return std::nullopt;
}

class RuleEvaluator {
public:
    explicit RuleEvaluator(const RenderGrid& grid) : grid_(grid) {}

    bool holds(const ConditionalRule& rule, CellRef at) const {
        if (rule.kind == ConditionKind::Formula) {
            const std::optional<Value> result = evaluate(rule.first, at);
            if (!result)
                return false;
            if (const bool* flag = std::get_if<bool>(&*result))
                return *flag;
            if (const double* number = std::get_if<double>(&*result))
                return *number != 0;
            return false;
        }
        if (rule.kind != ConditionKind::CellValue)
            return false;
        const Cell* cell = grid_.sheet.cell(at);
        const Value value = cell ? cell->value : Value{};
        if (formula_detail::errorOf(value))
            return false;
        const std::optional<Value> first = evaluate(rule.first, at);
        if (!first || formula_detail::errorOf(*first))
            return false;
        const int a = formula_detail::compareValues(value, *first);
        switch (rule.op) {
            case ConditionOperator::Equal:
                return a == 0;
            case ConditionOperator::NotEqual:
                return a != 0;
            case ConditionOperator::Greater:
                return a > 0;
            case ConditionOperator::Less:
                return a < 0;
            case ConditionOperator::GreaterOrEqual:
                return a >= 0;
            case ConditionOperator::LessOrEqual:
                return a <= 0;
            case ConditionOperator::Between:
            case ConditionOperator::NotBetween: {
                const std::optional<Value> second = evaluate(rule.second, at);
                if (!second || formula_detail::errorOf(*second))
                    return false;
                // The bounds may come in either order.
                const int b = formula_detail::compareValues(value, *second);
                const bool between = (a >= 0 && b <= 0) || (a <= 0 && b >= 0);
                return rule.op == ConditionOperator::Between ? between : !between;
            }
            case ConditionOperator::None:
                break;
        }
        return false;
    }

private:
    std::optional<Value> evaluate(const QByteArray& tokens, CellRef at) const {
        if (tokens.isEmpty())
            return std::nullopt;
        if (std::optional<Value> constant = constantOf(tokens))
            return constant;
        const std::optional<QByteArray> own = biff::sharedFormulaForCell(tokens, at);
        if (!own)
            return std::nullopt;
        Formula formula;
        formula.tokens = *own;
        try {
            // The workbook is calculated before it is drawn: the rule reads what the cells show.
            return evaluateFormulaOnValues(grid_.workbook, grid_.sheetIndex, at, formula);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }

    const RenderGrid& grid_;
};

// Sets each part the rule sets that no rule before it set.
void takeUnset(ConditionalStyle& into, const ConditionalStyle& from) {
    auto take = [](auto& mine, const auto& theirs) {
        if (!mine && theirs)
            mine = theirs;
    };
    take(into.fontColor, from.fontColor);
    take(into.bold, from.bold);
    take(into.italic, from.italic);
    take(into.strikeout, from.strikeout);
    take(into.underline, from.underline);
    // A fill is one part: its pattern and colours come from the same rule.
    if (!into.fillPattern && !into.fillForeground && !into.fillBackground) {
        into.fillPattern = from.fillPattern;
        into.fillForeground = from.fillForeground;
        into.fillBackground = from.fillBackground;
    }
    take(into.left, from.left);
    take(into.right, from.right);
    take(into.top, from.top);
    take(into.bottom, from.bottom);
}

std::optional<CellRange> intersect(const CellRange& a, const CellRange& b) {
    const CellRange both{{std::max(a.first.row, b.first.row), std::max(a.first.column, b.first.column)},
                         {std::min(a.last.row, b.last.row), std::min(a.last.column, b.last.column)}};
    if (both.first.row > both.last.row || both.first.column > both.last.column)
        return std::nullopt;
    return both;
}

void applyBorder(Border& border, const std::optional<ConditionalBorder>& change) {
    if (change) {
        const bool known = change->style <= quint8(LineStyle::SlantedDashDot);
        border = Border{known ? LineStyle(change->style) : LineStyle::None, change->colorIndex};
    }
}

}  // namespace

void RenderGrid::applyConditionalFormats() {
    conditionalFormats_.clear();
    conditionalFonts_.clear();
    if (sheet.conditionalFormats.empty())
        return;
    const CellRange around{
        {std::max(range.first.row - 1, 0), std::max(range.first.column - 1, 0)},
        {std::min(range.last.row + 1, kMaxRows - 1), std::min(range.last.column + 1, kMaxColumns - 1)}};
    const RuleEvaluator rules(*this);
    auto styleAt = [&](CellRef at) {
        ConditionalStyle style;
        for (const ConditionalFormat& format : sheet.conditionalFormats) {
            if (std::none_of(format.ranges.begin(), format.ranges.end(),
                             [&](const CellRange& r) { return r.contains(at); }))
                continue;
            for (const ConditionalRule& rule : format.rules) {
                if (!rules.holds(rule, at))
                    continue;
                takeUnset(style, rule.style);
                if (rule.stopIfTrue)
                    return style;
            }
        }
        return style;
    };
    auto apply = [&](CellRef at) {
        const ConditionalStyle style = styleAt(at);
        if (style == ConditionalStyle{})
            return;
        CellFormat format = ownFormatAt(at);
        if (style.fillPattern || style.fillForeground || style.fillBackground) {
            format.fillPattern = style.fillPattern.value_or(format.fillPattern);
            format.fillForeground = style.fillForeground.value_or(format.fillForeground);
            format.fillBackground = style.fillBackground.value_or(format.fillBackground);
        }
        applyBorder(format.left, style.left);
        applyBorder(format.right, style.right);
        applyBorder(format.top, style.top);
        applyBorder(format.bottom, style.bottom);
        Font font = workbook.fontOf(ownFormatAt(at));
        font.colorIndex = style.fontColor.value_or(font.colorIndex);
        font.bold = style.bold.value_or(font.bold);
        font.italic = style.italic.value_or(font.italic);
        font.strikeout = style.strikeout.value_or(font.strikeout);
        font.underline = style.underline.value_or(font.underline);
        conditionalFormats_.insert_or_assign(at, format);
        conditionalFonts_.insert_or_assign(at, font);
    };
    // The positions to evaluate: where the formats' ranges meet the range and the cells around it, and
    // the first cells of merged areas that reach into the range, whose look the whole area shows.
    std::vector<CellRange> areas{around};
    for (const CellRange& merge : sheet.mergedRanges) {
        if (intersect(merge, range) && !around.contains(merge.first))
            areas.push_back({merge.first, merge.first});
    }
    std::set<CellRef> positions;
    for (const ConditionalFormat& format : sheet.conditionalFormats) {
        for (const CellRange& ranged : format.ranges) {
            for (const CellRange& area : areas) {
                const std::optional<CellRange> both = intersect(ranged, area);
                if (!both)
                    continue;
                for (int r = both->first.row; r <= both->last.row; ++r)
                    for (int c = both->first.column; c <= both->last.column; ++c)
                        positions.insert({r, c});
            }
        }
    }
    for (const CellRef at : positions)
        apply(at);
}

}  // namespace spreadsheet::render_detail
