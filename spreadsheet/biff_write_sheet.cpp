#include "spreadsheet/biff_write_sheet.h"

#include <map>
#include <set>

#include "spreadsheet/biff_write_records.h"

namespace spreadsheet::biff {

namespace {

constexpr int kRowsPerBlock = 32;
constexpr int kRowRecordSize = 20;  // header included

// A formula read from a shared formula may have no tokens of its own; it is kept as its cached value.
bool writtenAsFormula(const Cell& cell) {
    return cell.formula && !cell.formula->tokens.isEmpty();
}

bool writtenAsLabel(const Cell& cell) {
    return !writtenAsFormula(cell) && cell.isText();
}

using CellIterator = std::map<CellRef, Cell>::const_iterator;

// Writes the cells of one row; a run of formatted blanks becomes one MULBLANK.
void writeRowCells(RecordStream& stream, CellIterator it, CellIterator end, const SharedStrings& strings) {
    while (it != end) {
        const CellRef ref = it->first;
        const Cell& cell = it->second;
        if (writtenAsFormula(cell)) {
            stream.append(id::Formula, formula(ref, cell.xf, cell));
            if (const QString* text = cell.text(); text && !text->isEmpty()) {
                stream.append(id::String, stringResult(*text));
            }
        } else if (const QString* text = cell.text()) {
            stream.append(id::LabelSst, labelSst(ref, cell.xf, strings.indexOf(*text)));
        } else if (const double* n = cell.number()) {
            if (auto packed = rkValue(*n)) {
                stream.append(id::Rk, rk(ref, cell.xf, *packed));
            } else {
                stream.append(id::Number, number(ref, cell.xf, *n));
            }
        } else if (std::holds_alternative<bool>(cell.value) ||
                   std::holds_alternative<ErrorCode>(cell.value)) {
            stream.append(id::BoolErr, boolErr(ref, cell.xf, cell.value));
        } else {
            std::vector<quint16> xfs{cell.xf};
            auto next = std::next(it);
            while (next != end && next->first.column == ref.column + int(xfs.size()) &&
                   next->second.isBlank()) {
                xfs.push_back(next->second.xf);
                ++next;
            }
            if (xfs.size() == 1) {
                stream.append(id::Blank, blank(ref, cell.xf));
            } else {
                stream.append(id::MulBlank, mulBlank(ref, xfs));
            }
            it = next;
            continue;
        }
        ++it;
    }
}

struct RowExtent {
    int first = -1;
    int lastPlusOne = 0;
};

// The cell table: rows in blocks of 32, each block its ROW records, its cells and a DBCELL.
// Returns the stream positions of the DBCELL records, for INDEX.
std::vector<qint64> writeCellTable(RecordStream& stream, const Worksheet& sheet,
                                   const SharedStrings& strings) {
    std::map<int, RowExtent> rows;
    for (const auto& [index, info] : sheet.rows)
        rows[index];
    for (const auto& [ref, cell] : sheet.cells()) {
        RowExtent& extent = rows[ref.row];
        if (extent.first < 0)
            extent.first = ref.column;
        extent.lastPlusOne = ref.column + 1;
    }

    std::vector<qint64> dbCells;
    const auto& cells = sheet.cells();
    auto row = rows.begin();
    while (row != rows.end()) {
        const int block = row->first / kRowsPerBlock;
        auto blockEnd = row;
        while (blockEnd != rows.end() && blockEnd->first / kRowsPerBlock == block)
            ++blockEnd;

        const qint64 firstRowPosition = stream.position();
        for (auto r = row; r != blockEnd; ++r) {
            auto info = sheet.rows.find(r->first);
            RowInfo fallback;
            fallback.heightTwips = sheet.defaultRowHeightTwips;
            const RowInfo& rowInfo = info != sheet.rows.end() ? info->second : fallback;
            const bool hasCells = r->second.first >= 0;
            stream.append(id::Row, biff::row(r->first, rowInfo, hasCells ? r->second.first : 0,
                                             hasCells ? r->second.lastPlusOne : 0));
        }
        RecordBuffer offsets;
        qint64 reference = firstRowPosition + kRowRecordSize;
        for (auto r = row; r != blockEnd; ++r) {
            const qint64 cellsStart = stream.position();
            offsets.u16(quint16(cellsStart - reference));
            reference = cellsStart;
            writeRowCells(stream, cells.lower_bound({r->first, 0}), cells.lower_bound({r->first + 1, 0}),
                          strings);
        }
        RecordBuffer dbCell;
        dbCell.u32(quint32(stream.position() - firstRowPosition));
        dbCell.raw(offsets.bytes());
        dbCells.push_back(stream.append(id::DbCell, dbCell));
        row = blockEnd;
    }
    return dbCells;
}

}  // namespace

void collectStrings(const Worksheet& sheet, SharedStrings& strings) {
    for (const auto& [ref, cell] : sheet.cells()) {
        if (writtenAsLabel(cell))
            strings.add(*cell.text());
    }
}

void writeWorksheet(RecordStream& stream, const Workbook& workbook, const Worksheet& sheet,
                    const SharedStrings& strings) {
    stream.append(id::Bof, bof(SubstreamType::Worksheet));

    // INDEX: the rows with records and where DEFCOLWIDTH and the DBCELLs are; patched once known.
    std::set<int> rowIndexes;
    for (const auto& [index, info] : sheet.rows)
        rowIndexes.insert(index);
    for (const auto& [ref, cell] : sheet.cells())
        rowIndexes.insert(ref.row);
    std::set<int> blocks;
    for (int r : rowIndexes)
        blocks.insert(r / kRowsPerBlock);
    RecordBuffer index;
    index.u32(0);
    index.u32(rowIndexes.empty() ? 0 : quint32(*rowIndexes.begin()));
    index.u32(rowIndexes.empty() ? 0 : quint32(*rowIndexes.rbegin() + 1));
    index.u32(0);
    index.zeros(int(blocks.size()) * 4);
    const qint64 indexBody = stream.append(id::Index, index) + 4;

    const CalculationSettings& calc = workbook.calculation;
    stream.append(id::CalcMode, u16Record(calc.automatic ? 1 : 0));
    stream.append(id::CalcCount, u16Record(calc.iterationLimit));
    stream.append(id::RefMode, u16Record(calc.a1References ? 1 : 0));
    stream.append(id::Iteration, u16Record(calc.iteration ? 1 : 0));
    stream.append(id::Delta, f64Record(calc.maximumChange));
    stream.append(id::SaveRecalc, u16Record(calc.recalculateBeforeSave ? 1 : 0));

    const PageSetup& page = sheet.pageSetup;
    stream.append(id::PrintHeaders, u16Record(page.printHeadings ? 1 : 0));
    stream.append(id::PrintGridlines, u16Record(page.printGridlines ? 1 : 0));
    stream.append(id::GridSet, u16Record(1));
    stream.append(id::Guts, guts(sheet));
    stream.append(id::DefaultRowHeight, defaultRowHeight(sheet));
    stream.append(id::WsBool, wsBool(sheet));
    stream.append(id::Header, headerFooter(page.header));
    stream.append(id::Footer, headerFooter(page.footer));
    stream.append(id::HCenter, u16Record(page.centerHorizontally ? 1 : 0));
    stream.append(id::VCenter, u16Record(page.centerVertically ? 1 : 0));
    stream.append(id::LeftMargin, f64Record(page.leftMargin));
    stream.append(id::RightMargin, f64Record(page.rightMargin));
    stream.append(id::TopMargin, f64Record(page.topMargin));
    stream.append(id::BottomMargin, f64Record(page.bottomMargin));
    stream.append(id::Setup, setup(page));

    const qint64 defColWidth = stream.append(id::DefColWidth, u16Record(sheet.defaultColumnWidth));
    for (const ColumnInfo& column : sheet.columns)
        stream.append(id::ColInfo, colInfo(column));
    stream.append(id::Dimensions, dimensions(sheet));

    const std::vector<qint64> dbCells = writeCellTable(stream, sheet, strings);
    stream.patchU32(indexBody + 12, quint32(defColWidth));
    for (size_t i = 0; i < dbCells.size(); ++i)
        stream.patchU32(indexBody + 16 + qint64(i) * 4, quint32(dbCells[i]));

    stream.append(id::Window2, window2(sheet.window));
    if (sheet.window.zoomPercent != 100 && sheet.window.zoomPercent != 0) {
        stream.append(id::Scl, scl(sheet.window.zoomPercent));
    }
    stream.append(id::Selection, selection(sheet.window));
    for (size_t first = 0; first < sheet.mergedRanges.size(); first += kMergesPerRecord) {
        const size_t count = std::min<size_t>(kMergesPerRecord, sheet.mergedRanges.size() - first);
        stream.append(id::MergedCells, mergedCells(sheet.mergedRanges, first, count));
    }
    stream.append(id::Eof);
}

}  // namespace spreadsheet::biff
