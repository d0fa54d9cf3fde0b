#pragma once

// One small writer per BIFF8 record: each returns the record's body, laid out as the file format
// documents it. The workbook writer decides their order and frames them.

#include <QString>
#include <optional>

#include "spreadsheet/biff/record_writer.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

namespace id {
inline constexpr quint16 Bof = 0x0809, Eof = 0x000A, Template = 0x0060, InterfaceHdr = 0x00E1, Mms = 0x00C1,
                         InterfaceEnd = 0x00E2, WriteAccess = 0x005C, CodePage = 0x0042, Dsf = 0x0161,
                         TabId = 0x013D, FnGroupCount = 0x009C, WindowProtect = 0x0019, Protect = 0x0012,
                         Password = 0x0013, Prot4Rev = 0x01AF, Prot4RevPass = 0x01BC, Backup = 0x0040,
                         HideObj = 0x008D, Window1 = 0x003D, DateMode = 0x0022, Precision = 0x000E,
                         RefreshAll = 0x01B7, BookBool = 0x00DA, Font = 0x0031, Format = 0x041E, Xf = 0x00E0,
                         Style = 0x0293, Palette = 0x0092, UseSelfs = 0x0160, BoundSheet = 0x0085,
                         Country = 0x008C, Sst = 0x00FC, ExtSst = 0x00FF, ScenProtect = 0x00DD,
                         ObjProtect = 0x0063;
inline constexpr quint16 Index = 0x020B, CalcMode = 0x000D, CalcCount = 0x000C, RefMode = 0x000F,
                         Iteration = 0x0011, Delta = 0x0010, SaveRecalc = 0x005F, PrintHeaders = 0x002A,
                         PrintGridlines = 0x002B, GridSet = 0x0082, Guts = 0x0080, DefaultRowHeight = 0x0225,
                         WsBool = 0x0081, Header = 0x0014, Footer = 0x0015, HCenter = 0x0083,
                         VCenter = 0x0084, LeftMargin = 0x0026, RightMargin = 0x0027, TopMargin = 0x0028,
                         BottomMargin = 0x0029, Setup = 0x00A1, DefColWidth = 0x0055, ColInfo = 0x007D,
                         Dimensions = 0x0200, Row = 0x0208, LabelSst = 0x00FD, Number = 0x0203, Rk = 0x027E,
                         Blank = 0x0201, MulBlank = 0x00BE, BoolErr = 0x0205, Formula = 0x0006,
                         String = 0x0207, DbCell = 0x00D7, Window2 = 0x023E, Scl = 0x00A0, Selection = 0x001D,
                         MergedCells = 0x00E5;
}  // namespace id

enum class SubstreamType : quint16 { WorkbookGlobals = 0x0005, Worksheet = 0x0010, Chart = 0x0020 };

// The file's font index for a model font index: the file has no font 4.
inline quint16 fileFontIndex(quint16 modelIndex) {
    return modelIndex < 4 ? modelIndex : quint16(modelIndex + 1);
}

// ---- workbook globals ----
RecordBuffer bof(SubstreamType type);
RecordBuffer u16Record(quint16 value);  // the many records that hold one 16-bit value
RecordBuffer writeAccess(const QString& userName);
RecordBuffer tabIds(int sheetCount);
RecordBuffer window1(const WorkbookWindow& window);
RecordBuffer font(const Font& font);
RecordBuffer format(quint16 formatId, const QString& code);
RecordBuffer xf(const CellFormat& format);
RecordBuffer style(const Style& style);
RecordBuffer palette(const std::array<QRgb, 56>& colors);
// The sheet's stream position is patched in later, at offset 0 of the body.
RecordBuffer boundSheet(const Worksheet& sheet);
RecordBuffer boundSheet(const OtherSheet& sheet);
RecordBuffer country();

// ---- worksheet ----
RecordBuffer f64Record(double value);  // DELTA and the margins
RecordBuffer guts(const Worksheet& sheet);
RecordBuffer defaultRowHeight(const Worksheet& sheet);
RecordBuffer wsBool(const Worksheet& sheet);
RecordBuffer headerFooter(const QString& text);
RecordBuffer setup(const PageSetup& page);
RecordBuffer colInfo(const ColumnInfo& column);
RecordBuffer dimensions(const Worksheet& sheet);
RecordBuffer row(int rowIndex, const RowInfo& info, int firstColumn, int lastColumnPlusOne);
RecordBuffer window2(const SheetWindow& window);
RecordBuffer scl(quint16 zoomPercent);
RecordBuffer selection(const SheetWindow& window);
// At most kMergesPerRecord ranges per record.
inline constexpr int kMergesPerRecord = 1026;
RecordBuffer mergedCells(const std::vector<CellRange>& ranges, size_t first, size_t count);

// ---- cells ----
RecordBuffer cellHeader(CellRef ref, quint16 xf);
RecordBuffer labelSst(CellRef ref, quint16 xf, quint32 sstIndex);
RecordBuffer number(CellRef ref, quint16 xf, double value);
// The RK form of a number when it has one without loss.
std::optional<quint32> rkValue(double value);
RecordBuffer rk(CellRef ref, quint16 xf, quint32 rkValue);
RecordBuffer blank(CellRef ref, quint16 xf);
RecordBuffer mulBlank(CellRef first, const std::vector<quint16>& xfs);
RecordBuffer boolErr(CellRef ref, quint16 xf, const Value& value);
RecordBuffer formula(CellRef ref, quint16 xf, const Cell& cell);
RecordBuffer stringResult(const QString& text);

}  // namespace spreadsheet::biff
