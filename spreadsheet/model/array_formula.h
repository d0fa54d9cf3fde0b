#pragma once

// Array formulas: one formula over a rectangle of cells (an ARRAY record). Every cell of the rectangle
// holds a formula that only points (tExp) at the rectangle's first cell; the formula itself, in the
// file's token form, belongs to the rectangle, and each cell shows one element of its result.

#include <QByteArray>
#include <optional>

#include "spreadsheet/cell_ref.h"

namespace spreadsheet {

struct ArrayFormula {
    CellRange range;
    QByteArray tokens;  // rgce: references in it are absolute positions, as in a cell's own formula
    QByteArray extra;   // the constants of its tArray tokens
    // The record's option word and its reserved field, as read, so that an unchanged array is written
    // back as it came: 0x0001 always calculate, 0x0002 calculate when the file is opened.
    quint16 flags = 0;
    quint32 reserved = 0;

    bool alwaysCalculate() const { return flags & 0x0001; }
    bool operator==(const ArrayFormula&) const = default;
};

// The first cell a cell's formula tokens point at through tExp, if they do.
std::optional<CellRef> expAnchor(const QByteArray& tokens);

}  // namespace spreadsheet
