#pragma once

#include <QString>
#include <compare>
#include <optional>

namespace spreadsheet {

inline constexpr int kMaxRows = 65536;   // rows 0..65535
inline constexpr int kMaxColumns = 256;  // columns 0..255 (A..IV)

// A cell position, 0-based: row 0 is row 1 of the sheet, column 0 is column A.
struct CellRef {
    int row = 0;
    int column = 0;

    auto operator<=>(const CellRef&) const = default;  // row-major order, as records are written
    bool isValid() const { return row >= 0 && row < kMaxRows && column >= 0 && column < kMaxColumns; }
};

// An inclusive rectangle of cells.
struct CellRange {
    CellRef first;
    CellRef last;

    bool operator==(const CellRange&) const = default;
    bool contains(CellRef ref) const {
        return ref.row >= first.row && ref.row <= last.row && ref.column >= first.column &&
               ref.column <= last.column;
    }
    int rowCount() const { return last.row - first.row + 1; }
    int columnCount() const { return last.column - first.column + 1; }
};

// "A", "B", ... "IV" for a 0-based column.
QString columnName(int column);
// "B6" for row 5, column 1.
QString cellName(CellRef ref);
// Parses "B6", "$B$6", "iv65536"; nothing when the text is not a cell inside the sheet.
std::optional<CellRef> parseCellName(const QString& text);
// Parses "A1:B36" or a single cell "B6".
std::optional<CellRange> parseRangeName(const QString& text);

}  // namespace spreadsheet
