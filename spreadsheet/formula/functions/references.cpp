// References as values: HYPERLINK (which shows its friendly name, or the link), ADDRESS and AREAS.

#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/reference_text.h"

namespace spreadsheet::formula_detail {

namespace {

Operand hyperlink(Call& c) {
    const Value shown = c.given(1) ? c.value(1) : c.value(0);
    return isBlank(shown) ? Value(0.0) : shown;
}

// ADDRESS(row, column, [kind], [A1 style], [sheet]): kind 1 $A$1, 2 A$1, 3 $A1, 4 A1.
Operand address(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, 1});
    if (a.error)
        return errorResult(*a.error);
    const double row = std::trunc(a[0]);
    const double column = std::trunc(a[1]);
    const int kind = wholeArgument(a[2]);
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns || kind < 1 || kind > 4)
        return errorResult(ErrorCode::Value);
    ErrorCode error{};
    const auto a1 = c.given(3) ? toBool(c.value(3), error) : std::optional<bool>(true);
    if (!a1)
        return errorResult(error);
    const bool absoluteRow = kind == 1 || kind == 2;
    const bool absoluteColumn = kind == 1 || kind == 3;
    QString text;
    if (*a1) {
        text = (absoluteColumn ? QStringLiteral("$") : QString()) + columnName(int(column) - 1) +
               (absoluteRow ? QStringLiteral("$") : QString()) + QString::number(row);
    } else {
        text = QStringLiteral("R%1C%2").arg(
            absoluteRow ? QString::number(row) : u'[' + QString::number(row) + u']',
            absoluteColumn ? QString::number(column) : u'[' + QString::number(column) + u']');
    }
    if (c.given(4)) {
        const auto sheet = toText(c.value(4), error);
        if (!sheet)
            return errorResult(error);
        text = sheetNameText(*sheet) + u'!' + text;
    }
    return Value(text);
}

Operand areas(Call& c) {
    if (std::holds_alternative<Area>(c.args[0]))
        return Value(1.0);
    if (const AreaList* list = std::get_if<AreaList>(&c.args[0]))
        return Value(double(list->areas.size()));
    return errorResult(ErrorCode::Value);
}

constexpr FunctionInfo kFunctions[] = {
    {359, "HYPERLINK", 1, 2, 'V', "VV", false, hyperlink},
    {219, "ADDRESS", 2, 5, 'V', "VVVVV", false, address},
    {75, "AREAS", 1, 1, 'V', "R", false, areas},
};

}  // namespace

std::span<const FunctionInfo> referenceFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
