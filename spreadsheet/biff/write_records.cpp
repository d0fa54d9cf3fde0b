#include "spreadsheet/biff/write_records.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

#include "spreadsheet/error.h"

namespace spreadsheet::biff {

namespace {

constexpr quint16 kBiff8Version = 0x0600;
constexpr quint16 kBuild = 0x0DBB;
constexpr quint16 kBuildYear = 0x07CC;
constexpr int kWriteAccessSize = 112;

quint16 bit(bool on, int position) {
    return on ? quint16(1u << position) : 0;
}

}  // namespace

// ---- workbook globals ----

RecordBuffer bof(SubstreamType type) {
    RecordBuffer b;
    b.u16(kBiff8Version);
    b.u16(quint16(type));
    b.u16(kBuild);
    b.u16(kBuildYear);
    b.u32(0x000000C1);  // file history: saved by a BIFF8 writer
    b.u32(0x00000006);  // lowest version that can read it: BIFF8
    return b;
}

RecordBuffer u16Record(quint16 value) {
    RecordBuffer b;
    b.u16(value);
    return b;
}

RecordBuffer writeAccess(const QString& userName) {
    // The name is padded with spaces to a fixed size; a name that would not fit is shortened.
    const int maxChars = fitsCompressed(userName) ? kWriteAccessSize - 3 : (kWriteAccessSize - 3) / 2;
    RecordBuffer b;
    b.string(userName.left(maxChars));
    b.raw(QByteArray(kWriteAccessSize - b.size(), ' '));
    return b;
}

RecordBuffer tabIds(int sheetCount) {
    RecordBuffer b;
    for (int i = 1; i <= sheetCount; ++i)
        b.u16(quint16(i));
    return b;
}

RecordBuffer window1(const WorkbookWindow& w) {
    RecordBuffer b;
    b.u16(quint16(w.left));
    b.u16(quint16(w.top));
    b.u16(w.width);
    b.u16(w.height);
    b.u16(bit(w.hidden, 0) | bit(w.minimized, 1) | bit(w.showHorizontalScroll, 3) |
          bit(w.showVerticalScroll, 4) | bit(w.showTabs, 5));
    b.u16(w.activeSheet);
    b.u16(w.firstVisibleTab);
    b.u16(w.selectedTabs);
    b.u16(w.tabRatio);
    return b;
}

RecordBuffer font(const Font& f) {
    RecordBuffer b;
    b.u16(f.heightTwips);
    // Bit 0 repeats the weight for readers that still take it as the bold flag.
    b.u16(bit(f.bold, 0) | bit(f.italic, 1) | bit(f.strikeout, 3));
    b.u16(f.colorIndex);
    b.u16(f.bold ? 700 : 400);
    b.u16(f.escapement);
    b.u8(f.underline);
    b.u8(f.family);
    b.u8(f.charset);
    b.u8(0);
    b.shortString(f.name);
    return b;
}

RecordBuffer format(quint16 formatId, const QString& code) {
    RecordBuffer b;
    b.u16(formatId);
    b.string(code);
    return b;
}

RecordBuffer xf(const CellFormat& f) {
    RecordBuffer b;
    b.u16(fileFontIndex(f.fontIndex));
    b.u16(f.numberFormat);
    const quint16 parent = f.isStyle ? 0xFFF : (f.parentStyle & 0xFFF);
    b.u16(bit(f.locked, 0) | bit(f.formulaHidden, 1) | bit(f.isStyle, 2) | quint16(parent << 4));
    b.u8(quint8((quint8(f.hAlign) & 0x07) | (f.wrap ? 0x08 : 0) | ((quint8(f.vAlign) & 0x07) << 4)));
    b.u8(f.rotation);
    b.u8(quint8((f.indent & 0x0F) | (f.shrinkToFit ? 0x10 : 0)));
    b.u8(f.usedAttributes);
    auto style = [](const Border& border) { return quint32(quint8(border.style) & 0x0F); };
    auto color = [](const Border& border) { return quint32(border.colorIndex & 0x7F); };
    b.u32(style(f.left) | style(f.right) << 4 | style(f.top) << 8 | style(f.bottom) << 12 |
          color(f.left) << 16 | color(f.right) << 23);
    b.u32(color(f.top) | color(f.bottom) << 7 | quint32(f.fillPattern & 0x3F) << 26);
    b.u16(quint16((f.fillForeground & 0x7F) | (f.fillBackground & 0x7F) << 7));
    return b;
}

RecordBuffer style(const Style& s) {
    RecordBuffer b;
    if (s.builtIn) {
        b.u16(quint16((s.xfIndex & 0xFFF) | 0x8000));
        b.u8(s.builtInId);
        b.u8(s.outlineLevel);
    } else {
        b.u16(quint16(s.xfIndex & 0xFFF));
        b.string(s.name);
    }
    return b;
}

RecordBuffer palette(const std::array<QRgb, 56>& colors) {
    RecordBuffer b;
    b.u16(quint16(colors.size()));
    for (QRgb c : colors) {
        b.u8(quint8(qRed(c)));
        b.u8(quint8(qGreen(c)));
        b.u8(quint8(qBlue(c)));
        b.u8(0);
    }
    return b;
}

RecordBuffer boundSheet(const Worksheet& sheet) {
    RecordBuffer b;
    b.u32(0);
    b.u8(sheet.visible ? 0 : sheet.veryHidden ? 2 : 1);
    b.u8(0);  // a worksheet
    b.shortString(sheet.name);
    return b;
}

RecordBuffer boundSheet(const OtherSheet& sheet) {
    RecordBuffer b;
    b.u32(0);
    b.u8(sheet.visibility & 0x03);
    b.u8(sheet.type);
    b.shortString(sheet.name);
    return b;
}

RecordBuffer country() {
    RecordBuffer b;
    b.u16(1);  // United States, for the program and for the system's settings
    b.u16(1);
    return b;
}

// ---- worksheet ----

RecordBuffer f64Record(double value) {
    RecordBuffer b;
    b.f64(value);
    return b;
}

RecordBuffer guts(const Worksheet& sheet) {
    int rowLevels = 0;
    int columnLevels = 0;
    for (const auto& [index, info] : sheet.rows)
        rowLevels = std::max<int>(rowLevels, info.outlineLevel);
    for (const ColumnInfo& column : sheet.columns)
        columnLevels = std::max<int>(columnLevels, column.outlineLevel);
    RecordBuffer b;
    b.u16(0);
    b.u16(0);
    b.u16(quint16(rowLevels ? rowLevels + 1 : 0));
    b.u16(quint16(columnLevels ? columnLevels + 1 : 0));
    return b;
}

RecordBuffer defaultRowHeight(const Worksheet& sheet) {
    RecordBuffer b;
    b.u16(sheet.defaultRowFlags);
    b.u16(sheet.defaultRowHeightTwips);
    return b;
}

RecordBuffer wsBool(const Worksheet& sheet) {
    // The options as read (by default: automatic page breaks shown, outline summaries below and right,
    // outline symbols shown), with fit-to-page as the page setup says.
    return u16Record(quint16((sheet.optionFlags & ~0x0100) | bit(sheet.pageSetup.fitToPage, 8)));
}

RecordBuffer headerFooter(const QString& text) {
    RecordBuffer b;
    if (!text.isEmpty())
        b.string(text.left(255));
    return b;
}

RecordBuffer setup(const PageSetup& p) {
    RecordBuffer b;
    b.u16(p.paperSize);
    b.u16(p.scalePercent);
    b.u16(p.firstPageNumber);
    b.u16(p.fitWidth);
    b.u16(p.fitHeight);
    b.u16(bit(p.leftToRight, 0) | bit(p.portrait, 1) | bit(!p.settingsValid, 2) | bit(p.blackAndWhite, 3) |
          bit(p.draftQuality, 4) | bit(p.printNotes, 5) | bit(p.usePageNumber, 7));
    b.u16(p.horizontalDpi);
    b.u16(p.verticalDpi);
    b.f64(p.headerMargin);
    b.f64(p.footerMargin);
    b.u16(p.copies);
    return b;
}

RecordBuffer colInfo(const ColumnInfo& c) {
    RecordBuffer b;
    b.u16(quint16(std::clamp(c.firstColumn, 0, kMaxColumns - 1)));
    b.u16(quint16(std::clamp(c.lastColumn, 0, kMaxColumns - 1)));
    b.u16(c.width);
    b.u16(c.xf);
    b.u16(bit(c.hidden, 0) | bit(c.customWidth, 1) | quint16((c.outlineLevel & 0x07) << 8) |
          bit(c.collapsed, 12));
    b.u16(0);
    return b;
}

RecordBuffer dimensions(const Worksheet& sheet) {
    RecordBuffer b;
    if (auto used = sheet.usedRange()) {
        b.u32(quint32(used->first.row));
        b.u32(quint32(used->last.row + 1));
        b.u16(quint16(used->first.column));
        b.u16(quint16(used->last.column + 1));
    } else {
        b.zeros(12);
    }
    b.u16(0);
    return b;
}

RecordBuffer row(int rowIndex, const RowInfo& info, int firstColumn, int lastColumnPlusOne) {
    RecordBuffer b;
    b.u16(quint16(rowIndex));
    b.u16(quint16(firstColumn));
    b.u16(quint16(lastColumnPlusOne));
    b.u16(info.heightTwips & 0x7FFF);
    b.u16(0);
    b.u16(0);
    b.u16(quint16((info.outlineLevel & 0x07) | bit(info.collapsed, 4) | bit(info.hidden, 5) |
                  bit(info.customHeight, 6) | bit(info.hasFormat, 7) | 0x0100));
    b.u16(info.hasFormat ? quint16(info.xf & 0x0FFF) : quint16(15));
    return b;
}

RecordBuffer window2(const SheetWindow& w) {
    RecordBuffer b;
    b.u16(bit(w.showFormulas, 0) | bit(w.showGridlines, 1) | bit(w.showHeadings, 2) | bit(w.frozen, 3) |
          bit(w.showZeros, 4) | bit(w.defaultGridColor, 5) | bit(w.rightToLeft, 6) |
          bit(w.showOutlineSymbols, 7) | bit(w.frozenWithoutSplit, 8) | bit(w.selected, 9) |
          bit(w.active, 10) | bit(w.pageBreakPreview, 11));
    b.u16(quint16(std::clamp(w.firstVisibleRow, 0, kMaxRows - 1)));
    b.u16(quint16(std::clamp(w.firstVisibleColumn, 0, kMaxColumns - 1)));
    b.u16(w.gridColorIndex);
    b.u16(0);
    b.u16(w.pageBreakPreviewZoomPercent);
    b.u16(w.normalZoomPercent);
    b.u32(0);
    return b;
}

RecordBuffer scl(quint16 zoomPercent) {
    const quint16 divisor = std::gcd(zoomPercent, quint16(100));
    RecordBuffer b;
    b.u16(quint16(zoomPercent / divisor));
    b.u16(quint16(100 / divisor));
    return b;
}

RecordBuffer selection(const SheetWindow& w) {
    std::vector<CellRange> ranges = w.selection;
    if (ranges.empty())
        ranges.push_back({w.activeCell, w.activeCell});
    // One record holds what fits; the active cell's range is kept.
    constexpr size_t kMaxRanges = (kMaxRecordData - 9) / 6;
    if (ranges.size() > kMaxRanges)
        ranges.resize(kMaxRanges);
    quint16 activeRange = 0;
    for (size_t i = 0; i < ranges.size(); ++i) {
        if (ranges[i].contains(w.activeCell)) {
            activeRange = quint16(i);
            break;
        }
    }
    RecordBuffer b;
    b.u8(w.activePane);
    b.u16(quint16(w.activeCell.row));
    b.u16(quint16(w.activeCell.column));
    b.u16(activeRange);
    b.u16(quint16(ranges.size()));
    for (const CellRange& r : ranges) {
        b.u16(quint16(r.first.row));
        b.u16(quint16(r.last.row));
        b.u8(quint8(r.first.column));
        b.u8(quint8(r.last.column));
    }
    return b;
}

RecordBuffer mergedCells(const std::vector<CellRange>& ranges, size_t first, size_t count) {
    RecordBuffer b;
    b.u16(quint16(count));
    for (size_t i = first; i < first + count; ++i) {
        b.u16(quint16(ranges[i].first.row));
        b.u16(quint16(ranges[i].last.row));
        b.u16(quint16(ranges[i].first.column));
        b.u16(quint16(ranges[i].last.column));
    }
    return b;
}

// ---- cells ----

RecordBuffer cellHeader(CellRef ref, quint16 xfIndex) {
    RecordBuffer b;
    b.u16(quint16(ref.row));
    b.u16(quint16(ref.column));
    b.u16(xfIndex);
    return b;
}

RecordBuffer labelSst(CellRef ref, quint16 xfIndex, quint32 sstIndex) {
    RecordBuffer b = cellHeader(ref, xfIndex);
    b.u32(sstIndex);
    return b;
}

RecordBuffer number(CellRef ref, quint16 xfIndex, double value) {
    RecordBuffer b = cellHeader(ref, xfIndex);
    b.f64(value);
    return b;
}

std::optional<quint32> rkValue(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    constexpr double kMin = -(1 << 29);
    constexpr double kMax = (1 << 29) - 1;
    if (value == std::trunc(value) && value >= kMin && value <= kMax &&
        !(value == 0 && std::signbit(value))) {
        return quint32(qint32(value) << 2) | 0x2;
    }
    const double hundred = value * 100;
    if (hundred == std::trunc(hundred) && hundred >= kMin && hundred <= kMax && hundred / 100 == value) {
        return quint32(qint32(hundred) << 2) | 0x3;
    }
    // The upper 30 bits of the double, when the lower 34 are zero.
    const auto bits = std::bit_cast<quint64>(value);
    if ((bits & 0x3FFFFFFFFull) == 0)
        return quint32(bits >> 32);
    return std::nullopt;
}

RecordBuffer rk(CellRef ref, quint16 xfIndex, quint32 value) {
    RecordBuffer b = cellHeader(ref, xfIndex);
    b.u32(value);
    return b;
}

RecordBuffer blank(CellRef ref, quint16 xfIndex) {
    return cellHeader(ref, xfIndex);
}

RecordBuffer mulBlank(CellRef first, const std::vector<quint16>& xfs) {
    RecordBuffer b;
    b.u16(quint16(first.row));
    b.u16(quint16(first.column));
    for (quint16 x : xfs)
        b.u16(x);
    b.u16(quint16(first.column + int(xfs.size()) - 1));
    return b;
}

RecordBuffer boolErr(CellRef ref, quint16 xfIndex, const Value& value) {
    RecordBuffer b = cellHeader(ref, xfIndex);
    if (const bool* flag = std::get_if<bool>(&value)) {
        b.u8(*flag ? 1 : 0);
        b.u8(0);
    } else if (const ErrorCode* error = std::get_if<ErrorCode>(&value)) {
        b.u8(quint8(*error));
        b.u8(1);
    } else {
        throw SpreadsheetError(QStringLiteral("Internal error: a cell without a boolean or error value."));
    }
    return b;
}

RecordBuffer formula(CellRef ref, quint16 xfIndex, const Cell& cell) {
    if (!cell.formula)
        throw SpreadsheetError(QStringLiteral("Internal error: a formula cell without a formula."));
    const Formula& f = *cell.formula;
    if (f.tokens.size() > 0xFFFF)
        throw SpreadsheetError(QStringLiteral("A formula is too long for a workbook."));
    RecordBuffer b = cellHeader(ref, xfIndex);
    // The cached result: a number as such, anything else as a tagged value with 0xFFFF in the top bytes.
    auto tagged = [&b](quint8 type, quint8 data) {
        b.u8(type);
        b.u8(0);
        b.u8(data);
        b.zeros(3);
        b.u16(0xFFFF);
    };
    if (const double* n = cell.number()) {
        b.f64(*n);
    } else if (const QString* text = cell.text()) {
        tagged(text->isEmpty() ? 3 : 0, 0);
    } else if (const bool* flag = std::get_if<bool>(&cell.value)) {
        tagged(1, *flag ? 1 : 0);
    } else if (const ErrorCode* error = std::get_if<ErrorCode>(&cell.value)) {
        tagged(2, quint8(*error));
    } else {
        tagged(3, 0);
    }
    b.u16(bit(f.alwaysCalculate, 0));
    b.u32(0);
    b.u16(quint16(f.tokens.size()));
    b.raw(f.tokens);
    b.raw(f.extra);
    return b;
}

RecordBuffer stringResult(const QString& text) {
    RecordBuffer b;
    b.string(text);
    return b;
}

}  // namespace spreadsheet::biff
