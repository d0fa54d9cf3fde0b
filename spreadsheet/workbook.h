#pragma once

// The workbook model: what a BIFF8 workbook holds, in the terms the file format uses, so that a workbook
// read from a file and written again keeps its look. Indexes into the tables (fonts, XFs, palette) are the
// file's own, except that font indexes skip nothing here: the file's font index 4 does not exist, and
// the reader and writer map it (model index i is file index i < 4 ? i : i + 1).

#include <QByteArray>
#include <QDateTime>
#include <QRgb>
#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <variant>
#include <vector>

#include "spreadsheet/cell_ref.h"
#include "spreadsheet/cell_store.h"
#include "spreadsheet/model/array_formula.h"
#include "spreadsheet/model/chart.h"
#include "spreadsheet/model/conditional_format.h"
#include "spreadsheet/model/workbook_kept.h"

namespace spreadsheet {

// Colour indexes as cells refer to them.
inline constexpr quint16 kColorAutomatic = 0x7FFF;     // fonts: the automatic (window text) colour
inline constexpr quint16 kColorWindowText = 64;        // borders and patterns: automatic foreground
inline constexpr quint16 kColorWindowBackground = 65;  // patterns: automatic background

struct Font {
    QString name = QStringLiteral("Arial");
    quint16 heightTwips = 200;  // 1/20 pt: 200 is 10 pt
    bool bold = false;
    bool italic = false;
    bool strikeout = false;
    quint8 underline = 0;  // 0 none, 1 single, 2 double, 0x21 single accounting, 0x22 double accounting
    quint16 colorIndex = kColorAutomatic;
    quint16 escapement = 0;  // 0 none, 1 superscript, 2 subscript
    quint8 family = 0;
    quint8 charset = 0;

    bool operator==(const Font&) const = default;
    double points() const { return heightTwips / 20.0; }
};

enum class HAlign : quint8 {
    General = 0,
    Left,
    Center,
    Right,
    Fill,
    Justify,
    CenterAcrossSelection,
    Distributed
};
enum class VAlign : quint8 { Top = 0, Center, Bottom, Justify, Distributed };

// BIFF8 line styles, numbered as in the file.
enum class LineStyle : quint8 {
    None = 0,
    Thin,
    Medium,
    Dashed,
    Dotted,
    Thick,
    Double,
    Hair,
    MediumDashed,
    DashDot,
    MediumDashDot,
    DashDotDot,
    MediumDashDotDot,
    SlantedDashDot,
};

struct Border {
    LineStyle style = LineStyle::None;
    quint16 colorIndex = kColorWindowText;

    bool operator==(const Border&) const = default;
};

// One XF record: a cell format or a style format.
struct CellFormat {
    quint16 fontIndex = 0;     // model index into Workbook::fonts
    quint16 numberFormat = 0;  // format id: built-in (0..163) or from Workbook::numberFormats
    bool locked = true;
    bool formulaHidden = false;
    bool isStyle = false;
    quint16 parentStyle = 0;  // for cell XFs: the style XF they inherit from
    HAlign hAlign = HAlign::General;
    bool wrap = false;
    VAlign vAlign = VAlign::Bottom;
    quint8 rotation = 0;
    quint8 indent = 0;
    bool shrinkToFit = false;
    // Which attribute groups this XF sets itself instead of taking from its style: the file's raw flag
    // byte, 0x04 number format, 0x08 font, 0x10 alignment, 0x20 border, 0x40 fill, 0x80 protection.
    quint8 usedAttributes = 0;
    Border left, right, top, bottom;
    quint8 fillPattern = 0;  // 0 none, 1 solid, 2.. patterns
    quint16 fillForeground = kColorWindowText;
    quint16 fillBackground = kColorWindowBackground;

    bool operator==(const CellFormat&) const = default;
};

struct Style {
    quint16 xfIndex = 0;
    bool builtIn = true;
    quint8 builtInId = 0;  // 0 Normal, 3 Comma, 4 Currency, 5 Percent, 6 Comma [0], 7 Currency [0]
    quint8 outlineLevel = 0xFF;
    QString name;  // user-defined styles only

    bool operator==(const Style&) const = default;
};

enum class ErrorCode : quint8 {
    Null = 0x00,
    Div0 = 0x07,
    Value = 0x0F,
    Ref = 0x17,
    Name = 0x1D,
    Num = 0x24,
    NA = 0x2A,
};
QString errorText(ErrorCode code);

// A cell's value: nothing (a formatted blank, or a formula with an empty result), a number, a text,
// a boolean or an error.
using Value = std::variant<std::monostate, double, QString, bool, ErrorCode>;

// A formula in the file's parsed form (the token array, rgce), with the extra data that some tokens need.
struct Formula {
    QByteArray tokens;
    QByteArray extra;
    bool alwaysCalculate = false;
    // The file held it as a shared formula: its tokens are the shared ones made the cell's own (empty when
    // the file lacked the shared formula, so that only the cached result is left).
    bool fromSharedFormula = false;

    bool operator==(const Formula&) const = default;
};

struct Cell {
    Value value;                     // for a formula: its cached result
    std::optional<Formula> formula;  // present for formula cells
    quint16 xf = 15;                 // index into Workbook::formats; 15 is the default cell format
    // For a formula: where its result stands in a calculation under way (spreadsheet/calculation.h);
    // 0, its value is current, whenever no calculation has marked it. Not part of the file.
    quint8 calculationState = 0;

    bool isBlank() const { return !formula && std::holds_alternative<std::monostate>(value); }
    bool isNumber() const { return std::holds_alternative<double>(value); }
    bool isText() const { return std::holds_alternative<QString>(value); }
    const double* number() const { return std::get_if<double>(&value); }
    const QString* text() const { return std::get_if<QString>(&value); }
};

struct RowInfo {
    quint16 heightTwips = 255;
    bool customHeight = false;  // the height was set, not taken from the tallest font
    bool hidden = false;
    bool hasFormat = false;
    quint16 xf = 15;  // the row's default format, when hasFormat
    quint8 outlineLevel = 0;
    bool collapsed = false;

    bool operator==(const RowInfo&) const = default;
};

// A run of columns with one width and default format (one COLINFO record).
struct ColumnInfo {
    int firstColumn = 0;
    int lastColumn = 0;
    quint16 width = 2340;  // 1/256 of the width of the Normal font's digit
    quint16 xf = 15;
    bool hidden = false;
    bool customWidth = true;
    quint8 outlineLevel = 0;
    bool collapsed = false;

    bool operator==(const ColumnInfo&) const = default;
};

struct SheetWindow {
    bool showFormulas = false;
    bool showGridlines = true;
    bool showHeadings = true;
    bool frozen = false;
    bool frozenWithoutSplit = false;  // frozen panes made without splitting the window first
    bool showZeros = true;
    bool defaultGridColor = true;
    bool rightToLeft = false;
    bool showOutlineSymbols = true;
    bool selected = false;
    bool active = false;  // the sheet shown when the workbook opens
    bool pageBreakPreview = false;
    int firstVisibleRow = 0;
    int firstVisibleColumn = 0;
    quint16 gridColorIndex = kColorWindowText;
    quint16 zoomPercent = 100;  // SCL; 100 when absent
    quint16 pageBreakPreviewZoomPercent = 60;
    quint16 normalZoomPercent = 0;  // 0: the default
    CellRef activeCell{};
    std::vector<CellRange> selection{CellRange{}};
    quint8 activePane = 3;  // the pane whose selection this is: 3 (top left) unless the window is split

    bool operator==(const SheetWindow&) const = default;
};

struct PageSetup {
    quint16 paperSize = 1;  // 1 Letter, 9 A4
    quint16 scalePercent = 100;
    quint16 firstPageNumber = 1;
    quint16 fitWidth = 1;
    quint16 fitHeight = 1;
    bool portrait = true;
    bool fitToPage = false;
    bool leftToRight = false;
    bool blackAndWhite = false;
    bool draftQuality = false;
    bool printNotes = false;
    bool usePageNumber = false;
    bool settingsValid = true;  // the printer-related fields below are meaningful
    quint16 horizontalDpi = 600;
    quint16 verticalDpi = 600;
    quint16 copies = 1;
    double headerMargin = 0.5;  // inches
    double footerMargin = 0.5;
    double leftMargin = 0.75;
    double rightMargin = 0.75;
    double topMargin = 1.0;
    double bottomMargin = 1.0;
    bool centerHorizontally = false;
    bool centerVertically = false;
    bool printGridlines = false;
    bool printHeadings = false;
    QString header;
    QString footer;

    bool operator==(const PageSetup&) const = default;
};

class Worksheet {
public:
    QString name;
    SheetWindow window;
    PageSetup pageSetup;
    quint16 defaultColumnWidth = 8;       // DEFCOLWIDTH, in characters
    quint16 defaultRowHeightTwips = 255;  // DEFAULTROWHEIGHT
    quint16 defaultRowFlags = 0;          // DEFAULTROWHEIGHT option flags, as in the file
    std::vector<ColumnInfo> columns;      // ascending, not overlapping
    std::map<int, RowInfo> rows;          // rows with a record of their own
    std::vector<CellRange> mergedRanges;
    bool visible = true;
    bool veryHidden = false;  // hidden so that only a macro can show it again (when not visible)
    SheetProtection protection;
    quint16 optionFlags = 0x04C1;  // WSBOOL as read; its fit-to-page bit is pageSetup.fitToPage

    // Records the engine does not model (comments, drawings, validation, conditional formats,
    // hyperlinks, panes, ...), kept as read; see model/workbook_kept.h.
    std::vector<KeptRecord> kept;
    // The array formulas, by their first cell (see model/array_formula.h).
    std::map<CellRef, ArrayFormula> arrayFormulas;
    // The TABLE record that follows a cell's formula: the cells of a data table hold only a pointer
    // (tTbl) to the table's first cell, whose record, kept as read, holds the rest.
    std::map<CellRef, KeptRecord> formulaBlocks;
    // The conditional formats of the kept CONDFMT and CF records, read for drawing; the kept records
    // are what is written back.
    std::vector<ConditionalFormat> conditionalFormats;
    RecordsAsRead asRead;  // see model/workbook_kept.h
    // Charts the writer embeds in the sheet (see model/chart.h). Charts read from a file are kept
    // records instead, written back as they were.
    std::vector<Chart> charts;

    // The cell, or nullptr when the sheet holds nothing there.
    const Cell* cell(CellRef ref) const;
    // The cell, created blank with the column's or row's default format when missing.
    Cell& cellForWriting(CellRef ref);
    const CellStore<Cell>& cells() const { return cells_; }
    CellStore<Cell>& cells() { return cells_; }

    // The bounding rectangle of every cell the sheet holds, formatted blanks included; nothing when empty.
    std::optional<CellRange> usedRange() const;

    // Width of a column in 1/256 character units (0 when hidden); nothing for a column of the default
    // width, which depends on the Normal font's digit width (defaultColumnWidth characters plus padding).
    std::optional<quint16> columnWidth(int column) const;
    // Height of a row in twips as shown (0 when hidden).
    quint16 rowHeightTwips(int row) const;
    const ColumnInfo* columnInfo(int column) const;
    // The merged range that contains this cell, if any.
    const CellRange* mergedRangeAt(CellRef ref) const;
    // The array formula this cell is part of: the one its formula points at, when that covers it.
    const ArrayFormula* arrayFormulaAt(CellRef ref) const;

private:
    CellStore<Cell> cells_;
};

struct CalculationSettings {
    bool automatic = true;  // CALCMODE 1 (0 manual, -1 automatic except tables: stored as automatic)
    bool recalculateBeforeSave = true;
    bool iteration = false;
    quint16 iterationLimit = 100;
    double maximumChange = 0.001;
    bool a1References = true;

    bool operator==(const CalculationSettings&) const = default;
};

struct WorkbookWindow {
    qint16 left = 0;  // twips
    qint16 top = 0;
    quint16 width = 15000;
    quint16 height = 9000;
    bool hidden = false;
    bool minimized = false;
    bool showHorizontalScroll = true;
    bool showVerticalScroll = true;
    bool showTabs = true;
    quint16 activeSheet = 0;
    quint16 firstVisibleTab = 0;
    quint16 selectedTabs = 1;
    quint16 tabRatio = 600;  // per thousand

    bool operator==(const WorkbookWindow&) const = default;
};

// A defined name (NAME record): a user's name such as "AssetsRange", or a built-in one such as Print_Area.
// Formulas refer to names by position: a name token's index n is names[n - 1].
struct DefinedName {
    QString name;  // for a built-in name, its text as spreadsheets show it ("Print_Area")
    bool builtIn = false;
    quint8 builtInCode = 0;  // when builtIn: 0x06 Print_Area, 0x07 Print_Titles, ...
    int sheet = -1;          // -1: the whole workbook; else the 0-based sheet the name belongs to
    bool hidden = false;
    Formula formula;  // the definition; its references are absolute
    // As read, for writing back: the other NAME option bits (function, macro, group, ...), the
    // keyboard shortcut of a macro name, and the chart or macro sheet (Workbook::otherSheets) a name
    // belongs to, which makes it belong to no worksheet (sheet is then -1 and the name is not global).
    quint16 otherFlags = 0;
    quint8 keyboardShortcut = 0;
    int otherSheet = -1;

    bool operator==(const DefinedName&) const = default;
};

// A workbook that 3-D references and external names point into (SUPBOOK): this workbook itself, the
// add-in functions, or another file.
struct SupportingBook {
    enum class Kind { Self, AddIn, External, Other };
    Kind kind = Kind::Self;
    QString url;                         // External: the file
    std::vector<QString> sheetNames;     // External: its sheets
    std::vector<QString> externalNames;  // EXTERNNAME records in order: a name-X token's index n is [n - 1]

    // As read, written back while the fields above still say the same: the SUPBOOK record of an
    // External or Other book, the EXTERNNAME bodies, and the cached cell values of an external book
    // (XCT and CRN records).
    KeptRecord record{};
    std::vector<QByteArray> externalNameRecords{};
    std::vector<KeptRecord> cachedValues{};

    bool operator==(const SupportingBook&) const = default;
};

// One entry of EXTERNSHEET: the sheets a 3-D reference spans. A 3-D token's ixti indexes
// Workbook::externSheets; for a Self book the sheets are 0-based indexes into Workbook::sheets
// (negative when the reference has lost its sheet: #REF!).
struct ExternSheet {
    quint16 supportingBook = 0;  // index into Workbook::supportingBooks
    qint16 firstSheet = 0;
    qint16 lastSheet = 0;

    bool operator==(const ExternSheet&) const = default;
};

struct DocumentProperties {
    QString title;
    QString subject;
    QString author;
    QString keywords;
    QString comments;
    QString lastAuthor;
    QString application = QStringLiteral("Microsoft Excel");
    QString company;
    QString category;
    QString manager;
    QDateTime created;
    QDateTime lastSaved;

    bool operator==(const DocumentProperties&) const = default;
};

class Workbook {
public:
    // A new workbook as a spreadsheet makes one: Arial 10 fonts, the 21 standard XFs, the built-in
    // styles, the standard palette, no sheets.
    Workbook();

    std::vector<Worksheet> sheets;
    std::vector<Font> fonts;                   // model indexes; see the note at the top
    std::map<quint16, QString> numberFormats;  // FORMAT records: id to format code
    std::vector<CellFormat> formats;           // XF records in file order
    std::vector<Style> styles;
    std::array<QRgb, 56> palette{};  // colours of indexes 8..63
    bool paletteCustomized = false;  // write a PALETTE record
    bool date1904 = false;
    bool isTemplate = false;
    quint16 codePage = 1200;
    CalculationSettings calculation;
    WorkbookWindow window;
    DocumentProperties properties;
    std::vector<DefinedName> names;               // NAME records in file order
    std::vector<SupportingBook> supportingBooks;  // SUPBOOK records in file order
    std::vector<ExternSheet> externSheets;        // EXTERNSHEET entries
    WorkbookProtection protection;
    std::optional<DefaultPasswordEncryption> encryption;  // see model/workbook_kept.h
    std::vector<OtherSheet> otherSheets;                  // chart and macro sheets, kept whole
    std::vector<KeptRecord> kept;                         // globals records the engine does not model
    // Settings records the writer otherwise writes with its own defaults (BACKUP, HIDEOBJ, PRECISION,
    // BOOKBOOL, ...): their bodies as read, by record id.
    std::map<quint16, QByteArray> keptSettings;
    RecordsAsRead asRead;  // the globals' modelled records; see model/workbook_kept.h

    Worksheet& addSheet(const QString& name);
    int activeSheetIndex() const { return window.activeSheet < sheets.size() ? window.activeSheet : 0; }
    Worksheet* activeSheet() { return sheets.empty() ? nullptr : &sheets[activeSheetIndex()]; }

    // Appends the font unless an equal one exists; returns its model index.
    quint16 addFont(const Font& font);
    // Appends the cell format unless an equal one exists; returns its XF index.
    quint16 addFormat(const CellFormat& format);
    // Registers a custom format code unless it exists; returns its id (164 and up).
    quint16 addNumberFormat(const QString& code);

    // The colour of a palette index: 0..7 the fixed colours, 8..63 the palette, the automatic and
    // system indexes as black (foreground) or white (background).
    QRgb color(quint16 index, bool background = false) const;

    const Font& fontOf(const CellFormat& format) const;
    const CellFormat& formatOf(const Cell& cell) const;

    static const std::array<QRgb, 56>& standardPalette();
};

// True when the number format is General: format 0, or any custom format whose code is "General"
// (some writers give General an index of its own, such as 164).
bool isGeneralFormat(const Workbook& workbook, quint16 formatId);

}  // namespace spreadsheet
