#include "spreadsheet/biff/read_sheet_settings.h"

#include <algorithm>
#include <cmath>

#include "spreadsheet/biff/read_strings.h"
#include "spreadsheet/biff/write_records.h"

namespace spreadsheet::biff {

namespace {

quint16 checkedFormat(quint16 xf, size_t formatCount) {
    if (xf >= formatCount)
        damaged(QStringLiteral("cell format %1 is used but does not exist").arg(xf));
    return xf;
}

void readColumnInfo(RecordCursor c, Worksheet& sheet, size_t formatCount) {
    ColumnInfo info;
    const quint16 first = c.u16();
    const quint16 last = c.u16();
    info.width = c.u16();
    info.xf = checkedFormat(c.u16(), formatCount);
    const quint16 flags = c.u16();
    // Some writers end the last run at column 256, one past the sheet; runs wholly outside mean nothing.
    if (first >= kMaxColumns || first > last)
        return;
    info.firstColumn = first;
    info.lastColumn = std::min<int>(last, kMaxColumns - 1);
    info.hidden = flags & 0x0001;
    info.customWidth = flags & 0x0002;
    info.outlineLevel = (flags >> 8) & 0x07;
    info.collapsed = flags & 0x1000;
    sheet.columns.push_back(info);
}

void readRow(RecordCursor c, Worksheet& sheet, size_t formatCount) {
    const quint16 row = c.u16();
    c.skip(4);  // the first and last column with cells: the cells say that themselves
    RowInfo info;
    info.heightTwips = c.u16() & 0x7FFF;
    c.skip(4);
    const quint16 flags = c.u16();
    const quint16 xf = c.u16() & 0x0FFF;
    info.outlineLevel = flags & 0x07;
    info.collapsed = flags & 0x10;
    info.hidden = flags & 0x20;
    info.customHeight = flags & 0x40;
    info.hasFormat = flags & 0x80;
    if (info.hasFormat)
        info.xf = checkedFormat(xf, formatCount);
    sheet.rows[row] = info;
}

void readMergedCells(RecordCursor c, Worksheet& sheet) {
    const quint16 count = c.u16();
    if (c.remaining() < qsizetype(count) * 8)
        damaged(QStringLiteral("a list of merged cells is longer than its record"));
    for (quint16 i = 0; i < count; ++i) {
        CellRange range;
        range.first.row = c.u16();
        range.last.row = c.u16();
        range.first.column = c.u16();
        range.last.column = c.u16();
        if (range.first.row > range.last.row || range.first.column > range.last.column ||
            range.last.column >= kMaxColumns)
            damaged(QStringLiteral("a merged range lies outside the sheet or is reversed"));
        sheet.mergedRanges.push_back(range);
    }
}

void readWindow2(RecordCursor c, SheetWindow& window) {
    const quint16 flags = c.u16();
    window.showFormulas = flags & 0x0001;
    window.showGridlines = flags & 0x0002;
    window.showHeadings = flags & 0x0004;
    window.frozen = flags & 0x0008;
    window.showZeros = flags & 0x0010;
    window.defaultGridColor = flags & 0x0020;
    window.rightToLeft = flags & 0x0040;
    window.showOutlineSymbols = flags & 0x0080;
    window.frozenWithoutSplit = flags & 0x0100;
    window.selected = flags & 0x0200;
    window.active = flags & 0x0400;
    window.pageBreakPreview = flags & 0x0800;
    window.firstVisibleRow = c.u16();
    window.firstVisibleColumn = std::min<int>(c.u16(), kMaxColumns - 1);
    window.gridColorIndex = c.u16();
    // The zoom factors are missing from the short form that some writers use.
    if (c.remaining() >= 6) {
        c.u16();
        window.pageBreakPreviewZoomPercent = c.u16();
        window.normalZoomPercent = c.u16();
    }
}

void readZoom(RecordCursor c, SheetWindow& window) {
    const int numerator = c.i16();
    const int denominator = c.i16();
    if (denominator <= 0)
        return;
    const int percent = numerator * 100 / denominator;
    if (percent >= 10 && percent <= 400)
        window.zoomPercent = quint16(percent);
}

void readSelection(RecordCursor c, SheetSettingsState& state) {
    const quint8 pane = c.u8();
    SheetSettingsState::Selection selection;
    selection.active.row = c.u16();
    selection.active.column = c.u16();
    c.u16();  // which of the ranges holds the active cell
    const quint16 count = c.u16();
    if (c.remaining() < qsizetype(count) * 6)
        damaged(QStringLiteral("a selection lists more ranges than its record holds"));
    if (selection.active.column >= kMaxColumns)
        damaged(QStringLiteral("the active cell lies outside the sheet"));
    for (quint16 i = 0; i < count; ++i) {
        CellRange range;
        range.first.row = c.u16();
        range.last.row = c.u16();
        range.first.column = c.u8();
        range.last.column = c.u8();
        if (range.first.row > range.last.row)
            std::swap(range.first.row, range.last.row);
        if (range.first.column > range.last.column)
            std::swap(range.first.column, range.last.column);
        selection.ranges.push_back(range);
    }
    if (selection.ranges.empty())
        selection.ranges.push_back(CellRange{selection.active, selection.active});
    state.selections[pane] = std::move(selection);
}

void readMargin(RecordCursor& c, double& margin) {
    const double value = c.f64();
    if (std::isfinite(value) && value >= 0 && value < 100)
        margin = value;
}

void readSetup(RecordCursor c, PageSetup& page) {
    page.paperSize = c.u16();
    page.scalePercent = c.u16();
    page.firstPageNumber = c.u16();
    page.fitWidth = c.u16();
    page.fitHeight = c.u16();
    const quint16 flags = c.u16();
    page.leftToRight = flags & 0x0001;
    page.portrait = (flags & 0x0002) || (flags & 0x0040);  // no orientation given: portrait
    page.settingsValid = !(flags & 0x0004);
    page.blackAndWhite = flags & 0x0008;
    page.draftQuality = flags & 0x0010;
    page.printNotes = flags & 0x0020;
    page.usePageNumber = flags & 0x0080;
    page.horizontalDpi = c.u16();
    page.verticalDpi = c.u16();
    readMargin(c, page.headerMargin);
    readMargin(c, page.footerMargin);
    page.copies = c.u16();
}

QString readHeaderText(const Record& record) {
    if (record.data.isEmpty())
        return {};
    ContinuedCursor cursor = record.continuedCursor();
    return readLongString(cursor);
}

}  // namespace

bool readSheetSetting(const Record& record, Worksheet& sheet, SheetSettingsState& state, size_t formatCount) {
    RecordCursor c = record.cursor();
    PageSetup& page = sheet.pageSetup;
    switch (record.id) {
        case rec::COLINFO:
            readColumnInfo(c, sheet, formatCount);
            return true;
        case rec::ROW:
            readRow(c, sheet, formatCount);
            return true;
        case rec::DEFCOLWIDTH:
            sheet.defaultColumnWidth = c.u16();
            return true;
        case rec::DEFAULTROWHEIGHT:
            sheet.defaultRowFlags = c.u16();
            sheet.defaultRowHeightTwips = c.u16();
            return true;
        case rec::MERGEDCELLS:
            readMergedCells(c, sheet);
            return true;
        case rec::WINDOW2:
            readWindow2(c, sheet.window);
            return true;
        case rec::SCL:
            readZoom(c, sheet.window);
            return true;
        case rec::SELECTION:
            // The other panes' selections of a split window are kept as they are.
            if (record.data.isEmpty() || quint8(record.data[0]) != state.activePane)
                return false;
            readSelection(c, state);
            return true;
        case rec::PANE:
            // Kept as it is; only which pane is active matters here.
            c.skip(8);
            state.activePane = std::min<quint8>(c.u8(), 3);
            return false;
        case rec::PROTECT:
            sheet.protection.contents = c.u16() != 0;
            return true;
        case rec::SCENPROTECT:
            sheet.protection.scenarios = c.u16() != 0;
            return true;
        case rec::OBJPROTECT:
            sheet.protection.objects = c.u16() != 0;
            return true;
        case rec::PASSWORD:
            sheet.protection.passwordHash = c.u16();
            return true;
        case rec::HEADER:
            page.header = readHeaderText(record);
            return true;
        case rec::FOOTER:
            page.footer = readHeaderText(record);
            return true;
        case rec::LEFTMARGIN:
            readMargin(c, page.leftMargin);
            return true;
        case rec::RIGHTMARGIN:
            readMargin(c, page.rightMargin);
            return true;
        case rec::TOPMARGIN:
            readMargin(c, page.topMargin);
            return true;
        case rec::BOTTOMMARGIN:
            readMargin(c, page.bottomMargin);
            return true;
        case rec::HCENTER:
            page.centerHorizontally = c.u16() != 0;
            return true;
        case rec::VCENTER:
            page.centerVertically = c.u16() != 0;
            return true;
        case rec::PRINTGRIDLINES:
            page.printGridlines = c.u16() != 0;
            return true;
        case rec::PRINTHEADERS:
            page.printHeadings = c.u16() != 0;
            return true;
        case rec::SETUP:
            readSetup(c, page);
            return true;
        case rec::WSBOOL:
            sheet.optionFlags = c.u16();
            page.fitToPage = sheet.optionFlags & 0x0100;
            return true;
        default:
            return false;
    }
}

std::optional<QByteArray> normalizedSheetRecord(quint16 id, QByteArrayView body) {
    RecordCursor c(body, id);
    auto flag = [&] { return u16Record(c.u16() != 0 ? 1 : 0).bytes(); };
    switch (id) {
        case rec::BOF:
        case rec::GRIDSET:
            return std::nullopt;
        case rec::CALCMODE:
        case rec::REFMODE:
        case rec::ITERATION:
        case rec::SAVERECALC:
        case rec::PRINTHEADERS:
        case rec::PRINTGRIDLINES:
        case rec::HCENTER:
        case rec::VCENTER:
        case rec::PROTECT:
        case rec::SCENPROTECT:
        case rec::OBJPROTECT:
            return flag();
        case rec::GUTS: {
            // The gutters' sizes follow from the outline levels where they are drawn.
            c.skip(4);
            RecordBuffer b;
            b.zeros(4);
            b.raw(c.bytes(c.remaining()).toByteArray());
            return b.bytes();
        }
        case rec::HEADER:
        case rec::FOOTER: {
            Record record;
            record.id = id;
            record.data = body;
            return headerFooter(readHeaderText(record)).bytes();
        }
        case rec::SETUP: {
            PageSetup page;
            readSetup(c, page);
            return setup(page).bytes();
        }
        case rec::COLINFO: {
            Worksheet scratch;
            readColumnInfo(c, scratch, 0x10000);
            return scratch.columns.empty() ? body.toByteArray() : colInfo(scratch.columns.front()).bytes();
        }
        case rec::WINDOW2: {
            SheetWindow window;
            readWindow2(c, window);
            return window2(window).bytes();
        }
        case rec::SCL: {
            SheetWindow window;
            readZoom(c, window);
            return scl(window.zoomPercent).bytes();
        }
        case rec::SELECTION: {
            SheetSettingsState state;
            readSelection(c, state);
            const auto& [pane, read] = *state.selections.begin();
            SheetWindow window;
            window.activePane = pane;
            window.activeCell = read.active;
            window.selection = read.ranges;
            return selection(window).bytes();
        }
        case rec::MERGEDCELLS: {
            Worksheet scratch;
            readMergedCells(c, scratch);
            return mergedCells(scratch.mergedRanges, 0, scratch.mergedRanges.size()).bytes();
        }
        default:
            return body.toByteArray();
    }
}

void finishSheetSettings(Worksheet& sheet, const SheetSettingsState& state) {
    auto selection = state.selections.find(state.activePane);
    if (selection == state.selections.end())
        selection = state.selections.find(3);
    if (selection != state.selections.end()) {
        sheet.window.activeCell = selection->second.active;
        sheet.window.selection = selection->second.ranges;
        sheet.window.activePane = selection->first;
    }

    // Runs are kept ascending and apart; where a file overlaps them, the earlier run wins.
    std::stable_sort(sheet.columns.begin(), sheet.columns.end(),
                     [](const ColumnInfo& a, const ColumnInfo& b) { return a.firstColumn < b.firstColumn; });
    std::vector<ColumnInfo> columns;
    for (ColumnInfo info : sheet.columns) {
        if (!columns.empty() && info.firstColumn <= columns.back().lastColumn)
            info.firstColumn = columns.back().lastColumn + 1;
        if (info.firstColumn <= info.lastColumn)
            columns.push_back(info);
    }
    sheet.columns = std::move(columns);
}

}  // namespace spreadsheet::biff
