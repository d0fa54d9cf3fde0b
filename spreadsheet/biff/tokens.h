#pragma once

// Just enough of the formula token stream (rgce) for the reader: the size of every BIFF8 token, so that
// a shared formula can be turned into each of its cells' own formula.

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

#include "spreadsheet/cell_ref.h"

namespace spreadsheet::biff {

// The number of bytes the token at `at` takes, its code byte included; nothing when the token is
// unknown or runs past the end of the stream.
std::optional<qsizetype> tokenSize(QByteArrayView tokens, qsizetype at);

// A shared formula's tokens as the formula of the cell `at`: references relative to the cell (tRefN,
// tAreaN, and the relative parts of 3-D references) become references to the cells they reach from
// there, still marked relative. Nothing when a token is unknown or cut short.
std::optional<QByteArray> sharedFormulaForCell(QByteArrayView tokens, CellRef at);

}  // namespace spreadsheet::biff
