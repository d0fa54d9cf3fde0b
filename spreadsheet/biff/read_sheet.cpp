#include "spreadsheet/biff/read_sheet.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>

#include "spreadsheet/biff/kept.h"
#include "spreadsheet/biff/read_globals.h"
#include "spreadsheet/biff/read_sheet_settings.h"
#include "spreadsheet/biff/read_strings.h"
#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/biff/tokens.h"
#include "spreadsheet/error.h"

namespace spreadsheet::biff {

double decodeRk(quint32 rk) {
    double value;
    if (rk & 0x02) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100.0 : value;
}

namespace {
// A spreadsheet holds no infinity and no NaN: such bits in a damaged file show as #NUM!, as a calculation
// that overflows does, instead of reaching the calculation.
Value numberValue(double value) {
    return std::isfinite(value) ? Value(value) : Value(ErrorCode::Num);
}
}  // namespace

ErrorCode errorFromCode(quint8 code) {
    switch (code) {
        case 0x00:
            return ErrorCode::Null;
        case 0x07:
            return ErrorCode::Div0;
        case 0x0F:
            return ErrorCode::Value;
        case 0x17:
            return ErrorCode::Ref;
        case 0x1D:
            return ErrorCode::Name;
        case 0x24:
            return ErrorCode::Num;
        case 0x2A:
            return ErrorCode::NA;
        default:
            damaged(QStringLiteral("a cell holds the unknown error code 0x%1")
                        .arg(code, 2, 16, QLatin1Char('0')));
    }
}

namespace {

constexpr quint8 kPtgExp = 0x01;  // the cell is part of a shared or array formula
constexpr quint8 kPtgTbl = 0x02;  // the cell is part of a data table

class CellReader {
public:
    CellReader(SheetContext& context, Worksheet& sheet) : context_(context), sheet_(sheet) {}

    // Reads the record when it is a cell record; false when it is not one.
    bool read(const Record& record);
    // Gives the cells of shared formulas their own formulas.
    void finish();

private:
    Cell& place(RecordCursor& c) {
        const quint16 row = c.u16();
        const quint16 column = c.u16();
        return placeAt(row, column, c.u16());
    }
    Cell& placeAt(quint16 row, quint16 column, quint16 xf);
    void readFormula(RecordCursor c);
    void readSharedFormula(RecordCursor c);
    void readArrayFormula(const Record& record);
    void readMulRk(RecordCursor c);
    void readMulBlank(RecordCursor c);

    struct SharedFormula {
        CellRange range;
        QByteArray tokens;
        QByteArray extra;
    };

    SheetContext& context_;
    Worksheet& sheet_;
    std::optional<CellRef> pendingString_;    // a formula whose text result comes in the next STRING record
    std::map<CellRef, CellRef> sharedCells_;  // cells that point (tExp) at a block's first cell
    std::map<CellRef, SharedFormula> sharedFormulas_;  // by their first cell
};

Cell& CellReader::placeAt(quint16 row, quint16 column, quint16 xf) {
    if (column >= kMaxColumns)
        damaged(QStringLiteral("a cell lies in column %1, past the last column of a sheet").arg(column + 1));
    if (xf >= context_.formatCount)
        damaged(QStringLiteral("cell format %1 is used but does not exist").arg(xf));
    auto [it, added] = sheet_.cells().try_emplace(CellRef{row, column});
    if (added) {
        if (context_.cellBudget == 0)
            throw SpreadsheetError(
                QStringLiteral("The workbook holds more than %1 cells, more than this program reads.")
                    .arg(kMaxCells));
        --context_.cellBudget;
    }
    Cell& cell = it->second;
    cell = Cell{};
    cell.xf = xf;
    return cell;
}

void CellReader::readFormula(RecordCursor c) {
    const quint16 row = c.u16();
    const quint16 column = c.u16();
    const quint16 xf = c.u16();
    const QByteArrayView result = c.bytes(8);
    const quint16 flags = c.u16();
    c.u32();
    const quint16 tokenLength = c.u16();
    const QByteArrayView tokens = c.bytes(tokenLength);
    const QByteArrayView extra = c.bytes(c.remaining());

    Cell& cell = placeAt(row, column, xf);
    if (quint8(result[6]) == 0xFF && quint8(result[7]) == 0xFF) {
        switch (quint8(result[0])) {
            case 0:
                cell.value = QString();
                pendingString_ = CellRef{row, column};
                break;
            case 1:
                cell.value = quint8(result[2]) != 0;
                break;
            case 2:
                cell.value = errorFromCode(quint8(result[2]));
                break;
            case 3:
                break;
            default:
                damaged(QStringLiteral("a formula's result has an unknown type"));
        }
    } else {
        double number;
        const quint64 bits = qFromLittleEndian<quint64>(result.data());
        std::memcpy(&number, &bits, sizeof number);
        cell.value = numberValue(number);
    }

    const quint8 first = tokens.isEmpty() ? 0 : quint8(tokens[0]);
    Formula formula;
    formula.alwaysCalculate = flags & 0x0001;
    // A cell of a shared formula, an array formula or a data table points at the block's first cell;
    // a shared formula's cells get their own formulas once the whole sheet is read.
    formula.tokens = tokens.toByteArray();
    formula.extra = extra.toByteArray();
    if ((first == kPtgExp || first == kPtgTbl) && tokens.size() >= 5) {
        const CellRef anchor{qFromLittleEndian<quint16>(tokens.data() + 1),
                             qFromLittleEndian<quint16>(tokens.data() + 3)};
        sharedCells_[CellRef{row, column}] = anchor;
    } else if ((first == kPtgExp || first == kPtgTbl) && tokens.size() < 5) {
        damaged(QStringLiteral("a formula points at a shared block but is cut short"));
    }
    cell.formula = std::move(formula);
}

void CellReader::readSharedFormula(RecordCursor c) {
    SharedFormula shared;
    shared.range.first.row = c.u16();
    shared.range.last.row = c.u16();
    shared.range.first.column = c.u8();
    shared.range.last.column = c.u8();
    c.skip(2);  // reserved, and how many cells use it
    shared.tokens = c.bytes(c.u16()).toByteArray();
    shared.extra = c.bytes(c.remaining()).toByteArray();
    if (shared.range.first.row > shared.range.last.row ||
        shared.range.first.column > shared.range.last.column)
        damaged(QStringLiteral("a shared formula covers a reversed range"));
    sharedFormulas_.insert_or_assign(shared.range.first, std::move(shared));
}

void CellReader::readArrayFormula(const Record& record) {
    // A long array of constants may run on into CONTINUE records: the body is all of them.
    QByteArray body = record.data.toByteArray();
    for (const QByteArrayView part : record.continues)
        body += part;
    RecordCursor c(body, rec::ARRAY);
    ArrayFormula array;
    array.range.first.row = c.u16();
    array.range.last.row = c.u16();
    array.range.first.column = c.u8();
    array.range.last.column = c.u8();
    array.flags = c.u16();
    array.reserved = c.u32();
    array.tokens = c.bytes(c.u16()).toByteArray();
    array.extra = c.bytes(c.remaining()).toByteArray();
    if (array.range.first.row > array.range.last.row || array.range.first.column > array.range.last.column)
        damaged(QStringLiteral("an array formula covers a reversed range"));
    if (array.range.last.column >= kMaxColumns)
        damaged(QStringLiteral("an array formula lies past the last column of a sheet"));
    const CellRef anchor = array.range.first;
    sheet_.arrayFormulas.insert_or_assign(anchor, std::move(array));
}

void CellReader::readMulRk(RecordCursor c) {
    const quint16 row = c.u16();
    const quint16 first = c.u16();
    if (c.remaining() < 2 || (c.remaining() - 2) % 6 != 0)
        damaged(QStringLiteral("a MULRK record has a broken length"));
    const int count = int((c.remaining() - 2) / 6);
    const QByteArrayView pairs = c.bytes(qsizetype(count) * 6);
    const quint16 last = c.u16();
    if (count == 0 || last != first + count - 1)
        damaged(QStringLiteral("a MULRK record's columns do not match its values"));
    RecordCursor p(pairs, rec::MULRK);
    for (int i = 0; i < count; ++i) {
        const quint16 xf = p.u16();
        placeAt(row, quint16(first + i), xf).value = numberValue(decodeRk(p.u32()));
    }
}

void CellReader::readMulBlank(RecordCursor c) {
    const quint16 row = c.u16();
    const quint16 first = c.u16();
    if (c.remaining() < 2 || c.remaining() % 2 != 0)
        damaged(QStringLiteral("a MULBLANK record has a broken length"));
    const int count = int((c.remaining() - 2) / 2);
    const QByteArrayView formats = c.bytes(qsizetype(count) * 2);
    const quint16 last = c.u16();
    if (count == 0 || last != first + count - 1)
        damaged(QStringLiteral("a MULBLANK record's columns do not match its formats"));
    RecordCursor f(formats, rec::MULBLANK);
    for (int i = 0; i < count; ++i)
        placeAt(row, quint16(first + i), f.u16());
}

bool CellReader::read(const Record& record) {
    RecordCursor c = record.cursor();
    if (record.id == rec::STRING) {
        if (pendingString_) {
            ContinuedCursor text = record.continuedCursor();
            sheet_.cells()[*pendingString_].value = readLongString(text);
        }
        pendingString_.reset();
        return true;
    }
    // These come between a formula and its STRING record: the STRING is still awaited.
    if (record.id == rec::SHRFMLA) {
        readSharedFormula(c);
        return true;
    }
    if (record.id == rec::ARRAY) {
        readArrayFormula(record);
        return true;
    }
    if (record.id == rec::TABLE) {
        const quint16 row = c.u16();
        c.u16();
        const quint8 column = c.u8();
        sheet_.formulaBlocks.insert_or_assign(CellRef{row, column}, keptFrom(record));
        return true;
    }

    switch (record.id) {
        case rec::FORMULA:
            pendingString_.reset();
            readFormula(c);
            return true;
        case rec::NUMBER: {
            Cell& cell = place(c);
            cell.value = numberValue(c.f64());
            break;
        }
        case rec::RK: {
            Cell& cell = place(c);
            cell.value = numberValue(decodeRk(c.u32()));
            break;
        }
        case rec::LABELSST: {
            Cell& cell = place(c);
            const quint32 index = c.u32();
            if (index >= quint32(context_.sharedStrings.size()))
                damaged(QStringLiteral("a cell refers to shared string %1 of %2")
                            .arg(index)
                            .arg(context_.sharedStrings.size()));
            cell.value = context_.sharedStrings[qsizetype(index)];
            break;
        }
        case rec::LABEL:
        case rec::RSTRING: {
            Cell& cell = place(c);
            cell.value = readLongString(c);
            break;
        }
        case rec::BLANK:
            place(c);
            break;
        case rec::BOOLERR: {
            Cell& cell = place(c);
            const quint8 value = c.u8();
            if (c.u8() != 0)
                cell.value = errorFromCode(value);
            else
                cell.value = value != 0;
            break;
        }
        case rec::MULRK:
            readMulRk(c);
            break;
        case rec::MULBLANK:
            readMulBlank(c);
            break;
        default:
            return false;
    }
    pendingString_.reset();
    return true;
}

void CellReader::finish() {
    for (const auto& [ref, anchor] : sharedCells_) {
        auto cell = sheet_.cells().find(ref);
        if (cell == sheet_.cells().end() || !cell->second.formula)
            continue;
        Formula& formula = *cell->second.formula;
        if (const auto shared = sharedFormulas_.find(anchor);
            shared != sharedFormulas_.end() && shared->second.range.contains(ref)) {
            const std::optional<QByteArray> tokens = sharedFormulaForCell(shared->second.tokens, ref);
            if (!tokens)
                damaged(QStringLiteral("the shared formula of cell %1 holds a token that cannot be read")
                            .arg(cellName(ref)));
            formula.tokens = *tokens;
            formula.extra = shared->second.extra;
            formula.fromSharedFormula = true;
        } else if (!sheet_.formulaBlocks.contains(anchor) &&
                   !(sheet_.arrayFormulas.contains(anchor) &&
                     sheet_.arrayFormulas.at(anchor).range.contains(ref))) {
            // It points at a block the sheet does not hold: only the cached result is left.
            formula.tokens.clear();
            formula.extra.clear();
            formula.fromSharedFormula = true;
        }
    }
}

// The records of the cell table by row, as read, for the writer to write again the rows that stay as they
// were (see RecordsAsRead).
class RowRecorder {
public:
    explicit RowRecorder(RecordsAsRead& out) : out_(out) {}

    // Keeps the record with its row when it belongs to one; false when it belongs to none.
    bool take(const Record& record) {
        int row = -1;
        switch (record.id) {
            case rec::STRING:
                row = lastFormulaRow_;  // the text result of the formula before it
                break;
            case rec::ROW:
            case rec::NUMBER:
            case rec::RK:
            case rec::MULRK:
            case rec::LABELSST:
            case rec::LABEL:
            case rec::RSTRING:
            case rec::BLANK:
            case rec::MULBLANK:
            case rec::BOOLERR:
            case rec::FORMULA:
            case rec::SHRFMLA:
            case rec::ARRAY:
            case rec::TABLE:
                if (record.data.size() >= 2)
                    row = qFromLittleEndian<quint16>(record.data.data());
                break;
            default:
                break;
        }
        if (row < 0)
            return false;
        out_.rows[row].records.push_back(keptFrom(record));
        if (record.id == rec::FORMULA) {
            lastFormulaRow_ = row;
            // A cell of a shared formula needs the row whose cell holds it, where the SHRFMLA record is.
            constexpr qsizetype kTokens = 22;
            if (record.data.size() >= kTokens + 5 &&
                (quint8(record.data[kTokens]) == kPtgExp || quint8(record.data[kTokens]) == kPtgTbl))
                join(row, qFromLittleEndian<quint16>(record.data.data() + kTokens + 1));
        }
        return true;
    }

    void finish(const Worksheet& sheet) {
        for (auto& [row, read] : out_.rows) {
            read.digest = rowDigest(sheet, row);
            read.group = root(row);
        }
    }

private:
    int root(int row) {
        int top = row;
        for (auto it = parent_.find(top); it != parent_.end(); it = parent_.find(top))
            top = it->second;
        // Every row on the way points at the root from now on.
        for (auto it = parent_.find(row); it != parent_.end() && it->second != top; it = parent_.find(row)) {
            row = it->second;
            it->second = top;
        }
        return top;
    }
    // Groups are named by their first row.
    void join(int a, int b) {
        const int ra = root(a);
        const int rb = root(b);
        if (ra != rb)
            parent_[std::max(ra, rb)] = std::min(ra, rb);
    }

    RecordsAsRead& out_;
    int lastFormulaRow_ = -1;
    std::map<int, int> parent_;
};

// The stream up to where the substream at offset must end at the latest.
QByteArrayView substreamView(QByteArrayView stream, qsizetype offset, qsizetype limit) {
    return stream.first(std::min(std::max(limit, offset), stream.size()));
}

// Records the writer makes anew from the cells and settings: nothing of them is kept.
bool isRegeneratedInSheet(quint16 id) {
    return id == rec::INDEX || id == rec::DBCELL || id == rec::DIMENSIONS || id == rec::GRIDSET ||
           id == rec::GUTS;
}

}  // namespace

std::optional<qsizetype> readWorksheet(QByteArrayView stream, qsizetype offset, SheetContext& context,
                                       Worksheet& sheet) {
    RecordWalker walker(stream, offset);
    Record record;
    if (!walker.next(record) || record.id != rec::BOF)
        damaged(QStringLiteral("a sheet does not start where the workbook says it does"));
    RecordCursor bof = record.cursor();
    bof.u16();
    if (bof.u16() != kBofWorksheet)
        return std::nullopt;

    sheet.asRead.add(keptFrom(record));

    CellReader cells(context, sheet);
    SheetSettingsState settings;
    KeptRecorder kept(Substream::Worksheet, sheet.kept);
    RowRecorder rows(sheet.asRead);
    int nested = 0;  // charts embedded in the sheet come as substreams of their own, kept whole
    while (walker.next(record)) {
        if (record.id == rec::EOF_ && nested == 0)
            break;
        if (nested > 0 || record.id == rec::BOF) {
            nested += record.id == rec::BOF ? 1 : record.id == rec::EOF_ ? -1 : 0;
            kept.keep(record);
            continue;
        }
        if (cells.read(record) || readSheetSetting(record, sheet, settings, context.formatCount) ||
            readCalculationSetting(record, context.calculation) || isRegeneratedInSheet(record.id)) {
            kept.modelled(record.id);
            if (!rows.take(record))
                sheet.asRead.add(keptFrom(record));
        } else {
            kept.keep(record);
        }
    }
    cells.finish();
    finishSheetSettings(sheet, settings);
    rows.finish(sheet);
    return walker.offset();
}

qsizetype substreamEnd(QByteArrayView stream, qsizetype offset, qsizetype limit) {
    RecordWalker walker(substreamView(stream, offset, limit), offset);
    Record record;
    int depth = 0;
    while (walker.next(record)) {
        if (record.id == rec::BOF)
            ++depth;
        else if (record.id == rec::EOF_ && --depth <= 0)
            break;
    }
    return walker.offset();
}

}  // namespace spreadsheet::biff
