// Builds the statement template at build time: the workbook is described with the engine's model and
// written by the engine's writer, so the embedded file and the engine can never disagree about it.
//
// Usage: quillberry-template-builder OUTPUT.xlt

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>
#include <cstdio>

#include "generation/cell_map.h"
#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/workbook.h"
#include "spreadsheet/workbook_writer.h"

using namespace spreadsheet;

namespace {

constexpr quint16 kGrey = 23;  // #808080 in the standard palette
constexpr quint16 kLightGrey = 8;
constexpr quint16 kAccountingWithCurrency = 42;
constexpr quint16 kAccounting = 41;

enum Side : unsigned { Left = 1, Right = 2, Top = 4, Bottom = 8, AllSides = 15 };

// Composes the sheet's cell formats from a few choices, the way a person formats cells by hand.
class Styles {
public:
    explicit Styles(Workbook& workbook) : workbook_(workbook) {}

    struct Look {
        quint16 points = 8;
        bool bold = false;
        quint16 numberFormat = 0;
        HAlign hAlign = HAlign::General;
        VAlign vAlign = VAlign::Center;
        bool wrap = false;
        unsigned greyHair = 0;     // sides with a grey hair line
        bool blackBelow = false;   // a thin black line below
        bool doubleAbove = false;  // a grey double line above
        bool shaded = false;       // solid light grey fill
    };

    quint16 operator()(const Look& look) {
        Font font;
        font.name = QStringLiteral("Verdana");
        font.heightTwips = quint16(look.points * 20);
        font.bold = look.bold;

        CellFormat format;
        format.fontIndex = workbook_.addFont(font);
        format.numberFormat = look.numberFormat;
        format.hAlign = look.hAlign;
        format.vAlign = look.vAlign;
        format.wrap = look.wrap;
        const Border hair{LineStyle::Hair, kGrey};
        const Border none{LineStyle::None, 0};
        format.left = look.greyHair & Left ? hair : none;
        format.right = look.greyHair & Right ? hair : none;
        format.top = look.greyHair & Top ? hair : none;
        format.bottom = look.greyHair & Bottom ? hair : none;
        if (look.doubleAbove)
            format.top = {LineStyle::Double, kGrey};
        if (look.blackBelow)
            format.bottom = {LineStyle::Thin, kColorWindowText};
        if (look.shaded) {
            format.fillPattern = 1;
            format.fillForeground = kLightGrey;
            format.fillBackground = kColorWindowText;
        }
        format.usedAttributes = attributesDifferingFromNormal(format);
        return workbook_.addFormat(format);
    }

private:
    // The XF flags (as stored: number format 0x04, font 0x08, alignment 0x10, border 0x20, fill 0x40)
    // for what the cell format sets differently from the Normal style.
    quint8 attributesDifferingFromNormal(const CellFormat& f) const {
        const CellFormat& normal = workbook_.formats.front();
        quint8 used = 0;
        if (f.numberFormat != normal.numberFormat)
            used |= 0x04;
        if (f.fontIndex != normal.fontIndex)
            used |= 0x08;
        if (f.hAlign != normal.hAlign || f.vAlign != normal.vAlign || f.wrap != normal.wrap)
            used |= 0x10;
        if (f.left.style != LineStyle::None || f.right.style != LineStyle::None ||
            f.top.style != LineStyle::None || f.bottom.style != LineStyle::None) {
            used |= 0x20;
        }
        if (f.fillPattern != 0)
            used |= 0x40;
        return used;
    }

    Workbook& workbook_;
};

void put(Worksheet& sheet, int row, int column, Value value, quint16 xf) {
    Cell& cell = sheet.cellForWriting({row - 1, column - 1});
    cell.value = std::move(value);
    cell.xf = xf;
}

void putFormula(Worksheet& sheet, int row, int column, const QString& text, quint16 xf) {
    Cell& cell = sheet.cellForWriting({row - 1, column - 1});
    cell.formula = compileFormula(text);
    cell.value = 0.0;  // the result of the formula over the template's zero amounts
    cell.xf = xf;
}

void setRowHeight(Worksheet& sheet, int row, quint16 twips, bool custom = true) {
    RowInfo& info = sheet.rows[row - 1];
    info.heightTwips = twips;
    info.customHeight = custom;
}

Workbook buildTemplate() {
    Workbook workbook;
    workbook.isTemplate = true;
    workbook.date1904 = false;
    workbook.calculation = CalculationSettings{};
    workbook.palette[kLightGrey - 8] = qRgb(0xEA, 0xEA, 0xEA);
    workbook.palette[61 - 8] = qRgb(0xDD, 0xDD, 0xDD);
    workbook.paletteCustomized = true;
    workbook.properties.title = QStringLiteral("Personal Financial Statement");
    workbook.properties.created = QDateTime(QDate(2021, 3, 1), QTime(9, 0), Qt::UTC);
    workbook.properties.lastSaved = workbook.properties.created;

    Styles style(workbook);
    using S = Styles::Look;
    const quint16 title = style(S{.points = 14, .hAlign = HAlign::Left, .vAlign = VAlign::Bottom});
    const quint16 nameLine = style(S{.hAlign = HAlign::Left, .vAlign = VAlign::Bottom});
    const quint16 dateLine = style(S{.hAlign = HAlign::Left, .vAlign = VAlign::Top});
    const quint16 plain10 = style(S{.points = 10});
    const quint16 plain8 = style(S{});
    const quint16 sectionHeading = style(S{.bold = true, .wrap = true, .greyHair = Bottom});
    const quint16 amountHeading = style(S{.bold = true, .hAlign = HAlign::Right, .greyHair = Bottom});
    const quint16 lineLabel = style(S{.wrap = true, .greyHair = AllSides});
    const quint16 firstAmount = style(S{.numberFormat = kAccountingWithCurrency, .greyHair = AllSides});
    const quint16 amount = style(S{.numberFormat = kAccounting, .greyHair = AllSides});
    const quint16 lastAmount = style(S{.numberFormat = kAccounting, .greyHair = Left | Right | Top});
    const quint16 totalLabel =
        style(S{.bold = true, .wrap = true, .greyHair = Left | Right | Top, .blackBelow = true});
    const quint16 totalAmount = style(S{.bold = true,
                                        .numberFormat = kAccountingWithCurrency,
                                        .greyHair = Left | Right,
                                        .blackBelow = true,
                                        .doubleAbove = true,
                                        .shaded = true});
    const quint16 spacer = style(S{.wrap = true});
    const quint16 closingLabel = style(S{.wrap = true, .greyHair = Left | Right | Bottom});
    const quint16 closingAmount = style(S{.greyHair = Left | Right});
    const quint16 notesLine = spacer;  // the same look under another name
    const quint16 signatureLabel = style(S{.bold = true,
                                           .hAlign = HAlign::Left,
                                           .vAlign = VAlign::Bottom,
                                           .wrap = true,
                                           .greyHair = Left | Top,
                                           .blackBelow = true});
    const quint16 signatureDate = style(S{.bold = true,
                                          .hAlign = HAlign::Left,
                                          .vAlign = VAlign::Bottom,
                                          .greyHair = Right | Top,
                                          .blackBelow = true});
    const quint16 columnADefault = style(S{.points = 10, .wrap = true});

    // Defined by the workbook, used by no cell.
    workbook.addNumberFormat(QStringLiteral("\"$\"#,##0.00"));
    workbook.addNumberFormat(QStringLiteral("[$-409]dddd\\,\\ mmmm\\ dd\\,\\ yyyy"));

    Worksheet& sheet = workbook.addSheet(QStringLiteral("Personal Finance Statement"));
    sheet.defaultColumnWidth = 8;
    sheet.columns = {
        ColumnInfo{.firstColumn = 0, .lastColumn = 0, .width = 10496, .xf = columnADefault},
        ColumnInfo{.firstColumn = 1, .lastColumn = 1, .width = 4973, .xf = plain10},
        ColumnInfo{.firstColumn = 2, .lastColumn = kMaxColumns - 1, .width = 2340, .xf = plain10},
    };

    setRowHeight(sheet, 1, 390);
    setRowHeight(sheet, 2, 240);
    setRowHeight(sheet, 3, 240);
    setRowHeight(sheet, 4, 255);
    for (int row = 5; row <= 33; ++row)
        setRowHeight(sheet, row, 282);
    setRowHeight(sheet, 34, 559);
    setRowHeight(sheet, 36, 255, false);

    sheet.mergedRanges = {CellRange{{0, 0}, {0, 1}}};

    put(sheet, 1, 1, QStringLiteral("PERSONAL FINANCIAL STATEMENT"), title);
    put(sheet, 2, 1, QStringLiteral("[Name]"), nameLine);
    put(sheet, 2, 2, {}, plain10);
    put(sheet, 3, 1, QStringLiteral("[Date]"), dateLine);
    put(sheet, 3, 2, {}, plain10);
    put(sheet, 4, 1, {}, plain8);
    put(sheet, 4, 2, {}, plain8);

    put(sheet, 5, 1, QStringLiteral("Assets"), sectionHeading);
    put(sheet, 5, 2, QStringLiteral("Amount in Dollars"), amountHeading);
    // The input lines: a label and a zero amount each; the first and last amounts look different.
    const auto putLines = [&](int firstRow, const auto& labels) {
        const int count = int(labels.size());
        for (int i = 0; i < count; ++i) {
            put(sheet, firstRow + i, 1, labels[i], lineLabel);
            put(sheet, firstRow + i, 2, 0.0, i == 0 ? firstAmount : i == count - 1 ? lastAmount : amount);
        }
    };
    // The lines and the totals where the run's cell map has them; the totals sum column B.
    using namespace generation;
    const auto& [assets, liabilities, netWorth] = kTemplateTotals;
    const auto putTotal = [&](const TemplateTotal& total, const QString& formula) {
        put(sheet, total.row, kLabelColumn, QString(total.label), totalLabel);
        putFormula(sheet, total.row, kAmountColumn, formula, totalAmount);
    };
    putLines(kFirstAssetRow, shell::kBuiltInAssetDescriptions);
    putTotal(assets, QStringLiteral("SUM(B%1:B%2)").arg(kFirstAssetRow).arg(assets.row - 1));
    put(sheet, 18, 1, {}, spacer);
    put(sheet, 18, 2, {}, plain8);

    put(sheet, 19, 1, QStringLiteral("Liabilities"), sectionHeading);
    put(sheet, 19, 2, QStringLiteral("Amount in Dollars"), amountHeading);
    putLines(kFirstLiabilityRow, shell::kBuiltInLiabilityDescriptions);
    putTotal(liabilities, QStringLiteral("SUM(B%1:B%2)").arg(kFirstLiabilityRow).arg(liabilities.row - 1));
    put(sheet, 27, 1, {}, closingLabel);
    put(sheet, 27, 2, {}, closingAmount);
    putTotal(netWorth, QStringLiteral("(B%1-B%2)").arg(assets.row).arg(liabilities.row));
    for (int row = 29; row <= 33; ++row) {
        put(sheet, row, 1, {}, notesLine);
        put(sheet, row, 2, {}, plain8);
    }
    put(sheet, 34, 1, QStringLiteral("Signature:"), signatureLabel);
    put(sheet, 34, 2, QStringLiteral("Date:"), signatureDate);
    put(sheet, 36, 1, QStringLiteral(" "), columnADefault);

    SheetWindow& window = sheet.window;
    window.showGridlines = false;
    window.showHeadings = true;
    window.showZeros = true;
    window.zoomPercent = 100;
    window.pageBreakPreviewZoomPercent = 60;
    window.firstVisibleRow = 5;
    window.activeCell = {5, 1};
    window.selection = {CellRange{{5, 1}, {5, 1}}};

    PageSetup& page = sheet.pageSetup;
    page.paperSize = 1;
    page.portrait = true;
    page.scalePercent = 100;
    page.fitToPage = false;
    page.leftMargin = page.rightMargin = 0.75;
    page.topMargin = page.bottomMargin = 1.0;
    page.headerMargin = page.footerMargin = 0.0;
    page.header.clear();
    page.footer.clear();
    page.centerHorizontally = true;
    page.centerVertically = false;
    page.printGridlines = false;
    page.printHeadings = false;
    page.horizontalDpi = page.verticalDpi = 200;
    page.copies = 1;
    return workbook;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: quillberry-template-builder OUTPUT.xlt\n");
        return 2;
    }
    try {
        writeWorkbookFile(buildTemplate(), args.at(1));
    } catch (const SpreadsheetError& error) {
        std::fprintf(stderr, "quillberry-template-builder: %s\n", error.what());
        return 1;
    }
    return 0;
}
