#include "spreadsheet/biff/write_sheet.h"

#include <QtEndian>
#include <map>
#include <optional>
#include <set>

#include "spreadsheet/biff/kept.h"
#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/biff/write_chart.h"
#include "spreadsheet/biff/write_records.h"

namespace spreadsheet::biff {

namespace {

constexpr int kRowsPerBlock = 32;
constexpr int kRowRecordSize = 20;  // header included

constexpr quint8 kPtgExp = 0x01, kPtgTbl = 0x02;

// The first cell of the array formula or data table that a cell's formula points at, if it does.
std::optional<CellRef> blockAnchor(const Formula& formula) {
    const QByteArray& tokens = formula.tokens;
    if (tokens.size() < 5 || (quint8(tokens[0]) != kPtgExp && quint8(tokens[0]) != kPtgTbl))
        return std::nullopt;
    return CellRef{qFromLittleEndian<quint16>(tokens.constData() + 1),
                   qFromLittleEndian<quint16>(tokens.constData() + 3)};
}

// A formula that has no tokens of its own (it pointed at a block the file lacked) is kept as its cached
// value; so is a cell of an array formula or data table whose block is gone.
bool writtenAsFormula(const Worksheet& sheet, CellRef ref, const Cell& cell) {
    if (!cell.formula || cell.formula->tokens.isEmpty())
        return false;
    const std::optional<CellRef> anchor = blockAnchor(*cell.formula);
    if (!anchor)
        return true;
    const Cell* first = sheet.cell(*anchor);
    const auto array = sheet.arrayFormulas.find(*anchor);
    const bool inBlock = (array != sheet.arrayFormulas.end() && array->second.range.contains(ref)) ||
                         sheet.formulaBlocks.contains(*anchor);
    return inBlock && first && first->formula && blockAnchor(*first->formula) == anchor;
}

// The ARRAY record: written from the model, so an array read and left alone comes out as it was read.
QByteArray arrayRecord(const ArrayFormula& array) {
    RecordBuffer b;
    b.u16(quint16(array.range.first.row));
    b.u16(quint16(array.range.last.row));
    b.u8(quint8(array.range.first.column));
    b.u8(quint8(array.range.last.column));
    b.u16(array.flags);
    b.u32(array.reserved);
    b.u16(quint16(array.tokens.size()));
    b.raw(array.tokens);
    b.raw(array.extra);
    return b.bytes();
}

bool writtenAsLabel(const Worksheet& sheet, CellRef ref, const Cell& cell) {
    return !writtenAsFormula(sheet, ref, cell) && cell.isText();
}

using CellIterator = CellStore<Cell>::const_iterator;

// Writes the cells of one row; a run of formatted blanks becomes one MULBLANK.
void writeRowCells(RecordStream& stream, const Worksheet& sheet, CellIterator it, CellIterator end,
                   const SharedStrings& strings) {
    while (it != end) {
        const CellRef ref = it->first;
        const Cell& cell = it->second;
        if (writtenAsFormula(sheet, ref, cell)) {
            stream.append(id::Formula, formula(ref, cell.xf, cell));
            // The array formula or data table that starts here follows its first cell's formula.
            if (blockAnchor(*cell.formula) == ref) {
                if (const auto array = sheet.arrayFormulas.find(ref); array != sheet.arrayFormulas.end())
                    stream.append(rec::ARRAY, arrayRecord(array->second));
                else if (const auto block = sheet.formulaBlocks.find(ref); block != sheet.formulaBlocks.end())
                    appendKept(stream, block->second);
            }
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

// The rows written as read: those the model still holds as they were read, when every row of their group is.
std::set<int> rowsWrittenAsRead(const Worksheet& sheet) {
    std::map<int, bool> groupUnchanged;
    for (const auto& [row, read] : sheet.asRead.rows) {
        bool& unchanged = groupUnchanged.try_emplace(read.group, true).first->second;
        unchanged = unchanged && rowDigest(sheet, row) == read.digest;
    }
    std::set<int> rows;
    for (const auto& [row, read] : sheet.asRead.rows) {
        if (groupUnchanged[read.group])
            rows.insert(row);
    }
    return rows;
}

// The cell table: rows in blocks of 32, each block its ROW records, its cells and a DBCELL. A row the model
// holds as it was read is written as read.
// Returns the stream positions of the DBCELL records, for INDEX.
std::vector<qint64> writeCellTable(RecordStream& stream, const Worksheet& sheet,
                                   const SharedStrings& strings) {
    const std::set<int> asRead = rowsWrittenAsRead(sheet);
    auto recordsAsRead = [&](int row, bool rowRecords) {
        for (const KeptRecord& record : sheet.asRead.rows.at(row).records) {
            if ((record.id == id::Row) == rowRecords)
                appendKept(stream, record);
        }
    };
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
            if (asRead.contains(r->first)) {
                recordsAsRead(r->first, true);
                continue;
            }
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
            if (asRead.contains(r->first)) {
                recordsAsRead(r->first, false);
            } else {
                writeRowCells(stream, sheet, cells.lower_bound({r->first, 0}),
                              cells.lower_bound({r->first + 1, 0}), strings);
            }
        }
        RecordBuffer dbCell;
        dbCell.u32(quint32(stream.position() - firstRowPosition));
        dbCell.raw(offsets.bytes());
        dbCells.push_back(stream.append(id::DbCell, dbCell));
        row = blockEnd;
    }
    return dbCells;
}

// The protection records. A new sheet gets each one only when it protects something, since some readers
// take a record that says "not protected" for a protected sheet; a sheet read with such records keeps them
// while they say what they said.
void writeProtection(KeptRecordWriter& out, const Worksheet& sheet) {
    const SheetProtection& protection = sheet.protection;
    const RecordsAsRead& asRead = sheet.asRead;
    auto write = [&](quint16 recordId, bool needed, quint16 value) {
        const RecordBuffer body = u16Record(value);
        const KeptRecord* read = asRead.find(recordId, 0);
        if (needed || (read && saysTheSame(Substream::Worksheet, *read, {body.bytes()})))
            out.append(recordId, body);
    };
    const bool on = protection.isProtected();
    write(id::Protect, on, protection.contents ? 1 : 0);
    write(id::ScenProtect, protection.scenarios, protection.scenarios ? 1 : 0);
    write(id::ObjProtect, protection.objects, protection.objects ? 1 : 0);
    write(id::Password, on, protection.passwordHash);
}

// DIMENSIONS as read while it still bounds the cells; spreadsheets differ in what they count in.
QByteArray dimensionsToWrite(const Worksheet& sheet) {
    const QByteArray made = dimensions(sheet).bytes();
    const KeptRecord* read = sheet.asRead.find(id::Dimensions, 0);
    if (!read || read->data.size() < 12)
        return made;
    const QByteArray& d = read->data;
    const std::optional<CellRange> used = sheet.usedRange();
    if (!used)
        return made == d.left(made.size()) ? d : made;
    const bool bounds = qFromLittleEndian<quint32>(d.constData()) <= quint32(used->first.row) &&
                        qFromLittleEndian<quint32>(d.constData() + 4) > quint32(used->last.row) &&
                        qFromLittleEndian<quint16>(d.constData() + 8) <= used->first.column &&
                        qFromLittleEndian<quint16>(d.constData() + 10) > used->last.column;
    return bounds ? d : made;
}

}  // namespace

void collectStrings(const Worksheet& sheet, SharedStrings& strings) {
    for (const auto& [ref, cell] : sheet.cells()) {
        if (writtenAsLabel(sheet, ref, cell))
            strings.add(*cell.text());
    }
}

void writeWorksheet(RecordStream& stream, const Workbook& workbook, const Worksheet& sheet,
                    const SharedStrings& strings) {
    const RecordsAsRead& asRead = sheet.asRead;
    // A record the format does not require is written when the sheet was read with it, when it says what
    // its absence would not, or when the sheet is new.
    auto wanted = [&](quint16 recordId, bool saysMore) {
        return asRead.isEmpty() || asRead.count(recordId) > 0 || saysMore;
    };
    const bool mergesFirst = asRead.readBefore(id::MergedCells, id::Window2);
    KeptRecordWriter out(mergesFirst ? Substream::WorksheetMergesFirst : Substream::Worksheet, stream,
                         sheet.kept, asRead);
    auto writeMerges = [&] {
        for (size_t first = 0; first < sheet.mergedRanges.size(); first += kMergesPerRecord) {
            const size_t count = std::min<size_t>(kMergesPerRecord, sheet.mergedRanges.size() - first);
            out.append(id::MergedCells, mergedCells(sheet.mergedRanges, first, count));
        }
    };
    out.append(id::Bof, bof(SubstreamType::Worksheet));

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
    quint32 firstRow = rowIndexes.empty() ? 0 : quint32(*rowIndexes.begin());
    quint32 pastLastRow = rowIndexes.empty() ? 0 : quint32(*rowIndexes.rbegin() + 1);
    // The rows as read while they still bound the rows: spreadsheets differ in what they count in.
    if (const KeptRecord* read = asRead.find(id::Index, 0); read && read->data.size() >= 12) {
        const quint32 readFirst = qFromLittleEndian<quint32>(read->data.constData() + 4);
        const quint32 readPastLast = qFromLittleEndian<quint32>(read->data.constData() + 8);
        if (rowIndexes.empty() || (readFirst <= firstRow && readPastLast >= pastLastRow)) {
            firstRow = readFirst;
            pastLastRow = readPastLast;
        }
    }
    index.u32(0);
    index.u32(firstRow);
    index.u32(pastLastRow);
    index.u32(0);
    index.zeros(int(blocks.size()) * 4);
    const qint64 indexBody = out.append(id::Index, index) + 4;

    const CalculationSettings& calc = workbook.calculation;
    out.append(id::CalcMode, u16Record(calc.automatic ? 1 : 0));
    out.append(id::CalcCount, u16Record(calc.iterationLimit));
    out.append(id::RefMode, u16Record(calc.a1References ? 1 : 0));
    out.append(id::Iteration, u16Record(calc.iteration ? 1 : 0));
    out.append(id::Delta, f64Record(calc.maximumChange));
    out.append(id::SaveRecalc, u16Record(calc.recalculateBeforeSave ? 1 : 0));

    const PageSetup& page = sheet.pageSetup;
    out.append(id::PrintHeaders, u16Record(page.printHeadings ? 1 : 0));
    out.append(id::PrintGridlines, u16Record(page.printGridlines ? 1 : 0));
    out.append(id::GridSet, u16Record(1));
    out.append(id::Guts, guts(sheet));
    out.append(id::DefaultRowHeight, defaultRowHeight(sheet));
    out.append(id::WsBool, wsBool(sheet));
    const PageSetup unset;
    if (wanted(id::Header, !page.header.isEmpty()))
        out.append(id::Header, headerFooter(page.header));
    if (wanted(id::Footer, !page.footer.isEmpty()))
        out.append(id::Footer, headerFooter(page.footer));
    if (wanted(id::HCenter, page.centerHorizontally))
        out.append(id::HCenter, u16Record(page.centerHorizontally ? 1 : 0));
    if (wanted(id::VCenter, page.centerVertically))
        out.append(id::VCenter, u16Record(page.centerVertically ? 1 : 0));
    if (wanted(id::LeftMargin, page.leftMargin != unset.leftMargin))
        out.append(id::LeftMargin, f64Record(page.leftMargin));
    if (wanted(id::RightMargin, page.rightMargin != unset.rightMargin))
        out.append(id::RightMargin, f64Record(page.rightMargin));
    if (wanted(id::TopMargin, page.topMargin != unset.topMargin))
        out.append(id::TopMargin, f64Record(page.topMargin));
    if (wanted(id::BottomMargin, page.bottomMargin != unset.bottomMargin))
        out.append(id::BottomMargin, f64Record(page.bottomMargin));
    if (wanted(id::Setup, setup(page).bytes() != setup(unset).bytes()))
        out.append(id::Setup, setup(page));
    writeProtection(out, sheet);

    const qint64 defColWidth = out.append(id::DefColWidth, u16Record(sheet.defaultColumnWidth));
    for (const ColumnInfo& column : sheet.columns)
        out.append(id::ColInfo, colInfo(column));
    out.append(id::Dimensions, dimensionsToWrite(sheet));

    out.flushBefore(id::Row);
    const std::vector<qint64> dbCells = writeCellTable(stream, sheet, strings);
    stream.patchU32(indexBody + 12, quint32(defColWidth));
    for (size_t i = 0; i < dbCells.size(); ++i)
        stream.patchU32(indexBody + 16 + qint64(i) * 4, quint32(dbCells[i]));
    if (mergesFirst)
        writeMerges();
    writeCharts(stream, workbook, sheet);

    out.append(id::Window2, window2(sheet.window));
    const quint16 zoom = sheet.window.zoomPercent == 0 ? 100 : sheet.window.zoomPercent;
    if (asRead.isEmpty() ? zoom != 100 : wanted(id::Scl, zoom != 100))
        out.append(id::Scl, scl(zoom));
    if (wanted(id::Selection, selection(sheet.window).bytes() != selection(SheetWindow{}).bytes()))
        out.append(id::Selection, selection(sheet.window));
    if (!mergesFirst)
        writeMerges();
    out.finish();
    stream.append(id::Eof);
}

}  // namespace spreadsheet::biff
