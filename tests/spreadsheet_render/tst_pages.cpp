// Pages: the plan (scale, breaks, order) from built sheets, and PDF files read back by poppler's
// tools as independent readers: page count and size, the texts as the formats show them, embedded
// fonts, no pictures, and where the ink lies on the paper.

#include "tst_pages.h"

#include <QDir>
#include <QFile>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include "entry/sample_data.h"
#include "generation/application.h"
#include "generation/automation.h"
#include "generation/cell_map.h"
#include "generation/file_format.h"
#include "spreadsheet/page_layout.h"
#include "spreadsheet/page_printer.h"
#include "spreadsheet/pages/page_header.h"
#include "spreadsheet/pages/page_plan.h"
#include "spreadsheet/workbook_reader.h"
#include "tests/common/oracles.h"

using namespace spreadsheet;

namespace {

const QLocale kUnitedStates(QLocale::English, QLocale::UnitedStates);

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(-1) || !process.waitForFinished(-1) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pageText(const QString& pdf, int page) {
    return run(QStringLiteral("pdftotext"),
               {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                QString::number(page), pdf, QStringLiteral("-")});
}

QString info(const QString& pdf, const QString& key) {
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(key),
                                  QRegularExpression::MultilineOption);
    return line.match(run(QStringLiteral("pdfinfo"), {pdf})).captured(1).trimmed();
}

bool has(const QString& text, const QString& pattern) {
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).hasMatch();
}

// The bounding box of everything drawn on a page, from poppler's picture of it at 96 dpi.
QRect inkOnPage(const QString& pdf, const QString& prefix) {
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("96"),
                                     QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                     QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, prefix});
    const QImage image(prefix + QStringLiteral(".png"));
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 240)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

// A sheet of `rows` rows `rowTwips` high and `columns` columns `columnUnits` wide, every cell filled.
Workbook gridBook(int rows, quint16 rowTwips, int columns, quint16 columnUnits) {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Grid"));
    ColumnInfo info;
    info.firstColumn = 0;
    info.lastColumn = columns - 1;
    info.width = columnUnits;
    sheet.columns.push_back(info);
    for (int r = 0; r < rows; ++r) {
        sheet.rows[r].heightTwips = rowTwips;
        sheet.rows[r].customHeight = true;
        for (int c = 0; c < columns; ++c)
            sheet.cellForWriting({r, c}).value = double(r * columns + c);
    }
    return workbook;
}

QString rangesText(const std::vector<CellRange>& ranges) {
    QStringList names;
    for (const CellRange& range : ranges)
        names << cellName(range.first) + u':' + cellName(range.last);
    return names.join(u' ');
}

}  // namespace

void TestPages::initTestCase() {
    missingTools_ = testing::missingPrograms({QStringLiteral("pdfinfo"), QStringLiteral("pdftotext"),
                                              QStringLiteral("pdffonts"), QStringLiteral("pdfimages"),
                                              QStringLiteral("pdftoppm")});
}

void TestPages::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QLocale::setDefault(kUnitedStates);
}

void TestPages::cleanup() {
    dir_.reset();
}

QString TestPages::scratch(const QString& name) const {
    return QDir(dir_->path()).filePath(name);
}

void TestPages::paperCodes() {
    // The printer paper numbers of a page setup and the paper's portrait size in millimetres.
    const struct {
        quint16 code;
        QSizeF millimetres;
    } papers[] = {
        {1, {215.9, 279.4}},    // Letter
        {3, {279.4, 431.8}},    // Tabloid
        {5, {215.9, 355.6}},    // Legal
        {7, {184.2, 266.7}},    // Executive, 7.25 x 10.5 in
        {8, {297, 420}},        // A3
        {9, {210, 297}},        // A4
        {11, {148, 210}},       // A5
        {13, {182, 257}},       // B5 (JIS)
        {999, {215.9, 279.4}},  // unknown: Letter
    };
    for (const auto& paper : papers) {
        const QSizeF size = pageSizeForPaperCode(paper.code).size(QPageSize::Millimeter);
        QVERIFY2(
            std::abs(size.width() - paper.millimetres.width()) < 0.6 &&
                std::abs(size.height() - paper.millimetres.height()) < 0.6,
            qPrintable(
                QStringLiteral("paper %1: %2 x %3 mm").arg(paper.code).arg(size.width()).arg(size.height())));
    }
    Worksheet sheet;
    sheet.pageSetup.paperSize = 9;
    sheet.pageSetup.portrait = false;
    sheet.pageSetup.leftMargin = 0.5;
    sheet.pageSetup.topMargin = 0.25;
    const QPageLayout layout = pageLayoutFor(sheet);
    QCOMPARE(layout.orientation(), QPageLayout::Landscape);
    QCOMPARE(layout.margins(QPageLayout::Inch), QMarginsF(0.5, 0.25, 0.75, 1.0));
}

struct PlanCase {
    int rows = 60;
    int columns = 2;
    quint16 columnUnits = 3495;  // 96 pixels with Arial 10's 7 pixel digits
    quint16 paper = 1;
    bool portrait = true;
    quint16 scale = 100;
    quint16 fitWidth = 0;  // with fitHeight: "fit to" when either is set
    quint16 fitHeight = 0;
    bool overThenDown = false;
    bool headings = false;
    QString printArea = {};  // a Print_Area name over these cells
};
Q_DECLARE_METATYPE(PlanCase)

void TestPages::pagePlan_data() {
    QTest::addColumn<PlanCase>("input");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("pages");

    // Rows are 300 twips (20 pixels). Letter portrait with 0.75 in sides and 1 in top and bottom leaves
    // 7 x 9 in: 672 x 864 pixels, so 43 rows (860 pixels) and 7 columns of 96 pixels (672) a page.
    QTest::newRow("fits one page") << PlanCase{.rows = 30} << 100 << "A1:B30";
    QTest::newRow("rows break at a row boundary") << PlanCase{} << 100 << "A1:B43 A44:B60";
    QTest::newRow("down then over") << PlanCase{.columns = 9} << 100 << "A1:G43 A44:G60 H1:I43 H44:I60";
    QTest::newRow("over then down") << PlanCase{.columns = 9, .overThenDown = true} << 100
                                    << "A1:G43 H1:I43 A44:G60 H44:I60";
    // At 50 % a page holds twice as much: 86 rows and 14 columns.
    QTest::newRow("scale 50 %") << PlanCase{.rows = 90, .columns = 9, .scale = 50} << 50 << "A1:I86 A87:I90";
    // 1200 pixels down must fit 864: 72 %; nine columns (864 pixels) across must fit 672: 77 %.
    QTest::newRow("fit to 1 x 1") << PlanCase{.columns = 9, .fitWidth = 1, .fitHeight = 1} << 72 << "A1:I60";
    QTest::newRow("fit to 1 wide, any tall")
        << PlanCase{.rows = 100, .columns = 9, .fitWidth = 1, .fitHeight = 0} << 77 << "A1:I56 A57:I100";
    // A4 landscape: 11.69 - 1.5 in across (978 pixels: 10 columns), 8.27 - 2 in down (601: 30 rows).
    QTest::newRow("A4 landscape") << PlanCase{.columns = 12, .paper = 9, .portrait = false} << 100
                                  << "A1:J30 A31:J60 K1:L30 K31:L60";
    // A column wider than the page stands alone on its pages.
    QTest::newRow("column wider than the page")
        << PlanCase{.rows = 10, .columns = 3, .columnUnits = 256 * 100} << 100 << "A1:A10 B1:B10 C1:C10";
    // Headings take 3 digits x 7 + 8 = 29 pixels across and 17 down: 6 columns, (864 - 17) / 20: 42 rows.
    QTest::newRow("headings take room")
        << PlanCase{.columns = 7, .headings = true} << 100 << "A1:F42 A43:F60 G1:G42 G43:G60";
    QTest::newRow("print area") << PlanCase{.columns = 9, .printArea = QStringLiteral("B5:C50")} << 100
                                << "B5:C47 B48:C50";
}

void TestPages::pagePlan() {
    QFETCH(PlanCase, input);
    QFETCH(int, percent);
    QFETCH(QString, pages);

    Workbook workbook = gridBook(input.rows, 300, input.columns, input.columnUnits);
    PageSetup& setup = workbook.sheets[0].pageSetup;
    setup.paperSize = input.paper;
    setup.portrait = input.portrait;
    setup.scalePercent = input.scale;
    setup.fitToPage = input.fitWidth != 0 || input.fitHeight != 0;
    setup.fitWidth = input.fitWidth;
    setup.fitHeight = input.fitHeight;
    setup.leftToRight = input.overThenDown;
    setup.printHeadings = input.headings;
    if (!input.printArea.isEmpty()) {
        // Print_Area as a spreadsheet stores it: a 3-D area through EXTERNSHEET entry 0, this sheet.
        const CellRange area = *parseRangeName(input.printArea);
        workbook.supportingBooks = {SupportingBook{}};
        workbook.externSheets = {ExternSheet{0, 0, 0}};
        DefinedName name;
        name.name = QStringLiteral("Print_Area");
        name.builtIn = true;
        name.builtInCode = 0x06;
        name.sheet = 0;
        const quint16 fields[] = {0, quint16(area.first.row), quint16(area.last.row),
                                  quint16(area.first.column | 0xC000), quint16(area.last.column | 0xC000)};
        name.formula.tokens.append(char(0x3B));
        for (quint16 field : fields)
            name.formula.tokens.append(char(field & 0xFF)).append(char(field >> 8));
        workbook.names.push_back(name);
    }

    const PagePlan plan = planPages(workbook, 0);
    QCOMPARE(plan.scalePercent, percent);
    QCOMPARE(rangesText(plan.pages), pages);
}

void TestPages::headerFooterCodes_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("sections");

    QTest::newRow("plain text is centred") << "Statement" << QStringList{"", "Statement", ""};
    QTest::newRow("three sections") << "&LLeft&CMiddle&RRight" << QStringList{"Left", "Middle", "Right"};
    QTest::newRow("page of pages") << "&RPage &P of &N" << QStringList{"", "", "Page 3 of 7"};
    QTest::newRow("page plus and minus") << "&L&P+10&R&P-1" << QStringList{"13", "", "2"};
    QTest::newRow("date, time, file, folder, sheet")
        << "&L&D &T&C&F&R&A &Z" << QStringList{"3/5/2021 9:30 AM", "book.xls", "Assets /data/"};
    QTest::newRow("font, size and toggles print nothing")
        << "&L&\"Times New Roman,Bold Italic\"&14&B&I&U&E&S&X&YA&K00FF00B" << QStringList{"AB", "", ""};
    QTest::newRow("ampersand") << "Cash && Co" << QStringList{"", "Cash & Co", ""};
    QTest::newRow("picture code is dropped") << "&G&CLogo" << QStringList{"", "Logo", ""};
}

void TestPages::headerFooterCodes() {
    QFETCH(QString, code);
    QFETCH(QStringList, sections);
    HeaderFooterFields fields;
    fields.page = 3;
    fields.pages = 7;
    fields.sheetName = QStringLiteral("Assets");
    fields.fileName = QStringLiteral("book.xls");
    fields.folder = QStringLiteral("/data/");
    fields.printed = QDateTime(QDate(2021, 3, 5), QTime(9, 30));
    fields.locale = kUnitedStates;
    const HeaderSections expanded = expandHeaderFooter(code, fields, Font{});
    QCOMPARE(sectionText(expanded[0]), sections[0]);
    QCOMPARE(sectionText(expanded[1]), sections[1]);
    QCOMPARE(sectionText(expanded[2]), sections[2]);
    if (code.contains(u"Times")) {
        const HeaderRun& run = expanded[0].front();
        QCOMPARE(run.family, QStringLiteral("Times New Roman"));
        QCOMPARE(run.points, 14.0);
        QVERIFY(!run.bold && !run.italic);  // set by the font code, then turned off by &B and &I
        QVERIFY(run.subscript && !run.superscript && run.strikeout && run.doubleUnderline);
        QCOMPARE(expanded[0].back().color, qRgb(0, 0xFF, 0));
    }
}

void TestPages::statementPdf() {
    QB_REQUIRE_TOOLS(missingTools_);

    // The statement as the generation run makes it: the embedded template filled with the sample.
    QFile resource(QStringLiteral(":/CUSTOM/101"));
    QVERIFY(resource.open(QIODevice::ReadOnly));
    const QString templatePath = scratch(QStringLiteral("template.xlt"));
    const QString workbookPath = scratch(QStringLiteral("statement.xls"));
    {
        QFile out(templatePath);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(resource.readAll());
    }
    {
        auto app = generation::CreateObject(QStringLiteral("Excel.Application"));
        generation::Workbook book = app->Workbooks().Open(templatePath, true);
        for (const auto& write :
             generation::statementCells(entry::sample::sampleStatement(QDate(2021, 3, 5))))
            generation::writeCell(app->Worksheets(1), write);
        book.SaveAs(workbookPath, generation::xlExcel8);
        app->setDisplayAlerts(false);
        book.Close();
        app->Quit();
    }
    const Workbook workbook = readWorkbookFile(workbookPath);
    const Worksheet& sheet = workbook.sheets[0];

    // The template's page: Letter portrait, 0.75 in at the sides, 1 in above and below, centred across.
    const QPageLayout layout = pageLayoutFor(sheet);
    QCOMPARE(layout.pageSize().id(), QPageSize::Letter);
    QCOMPARE(layout.orientation(), QPageLayout::Portrait);
    QCOMPARE(layout.margins(QPageLayout::Inch), QMarginsF(0.75, 1.0, 0.75, 1.0));
    QVERIFY(sheet.pageSetup.centerHorizontally && !sheet.pageSetup.centerVertically);

    const QString pdfPath = scratch(QStringLiteral("statement.pdf"));
    {
        QPdfWriter pdf(pdfPath);
        PrintOptions options;
        options.title = QStringLiteral("Personal Financial Statement");
        options.author = QStringLiteral("John Doe & Partner");
        QCOMPARE(printSheet(workbook, 0, pdf, options), 1);
    }
    QCOMPARE(info(pdfPath, QStringLiteral("Pages")), QStringLiteral("1"));
    QCOMPARE(info(pdfPath, QStringLiteral("Page size")), QStringLiteral("612 x 792 pts (letter)"));
    QCOMPARE(info(pdfPath, QStringLiteral("Title")), QStringLiteral("Personal Financial Statement"));
    const QString metadata = run(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), pdfPath});
    QVERIFY2(metadata.contains(QStringLiteral("<rdf:li>John Doe &amp; Partner</rdf:li>")),
             qPrintable(metadata));

    const QString text = pageText(pdfPath, 1);
    for (const QString& line :
         {QStringLiteral("PERSONAL FINANCIAL STATEMENT"), QStringLiteral("John Doe"),
          QStringLiteral("3/5/2021"), QStringLiteral("Amount in Dollars"), QStringLiteral("Signature:")})
        QVERIFY2(text.contains(line), qPrintable(line));
    for (const QString& label : shell::kBuiltInAssetDescriptions)
        QVERIFY2(text.contains(label), qPrintable(label));
    for (const QString& label : shell::kBuiltInLiabilityDescriptions)
        QVERIFY2(text.contains(label), qPrintable(label));
    // Each amount on its label's line, as the accounting formats show it: whole units, "$" pinned left.
    QVERIFY2(has(text, QStringLiteral("Cash - checking accounts +\\$ +150$")), qPrintable(text));
    QVERIFY(has(text, QStringLiteral("Real estate \\(market value\\) +15,000$")));
    QVERIFY(has(text, QStringLiteral("Total Assets +\\$ +19,750$")));
    QVERIFY(has(text, QStringLiteral("Total Liabilities +\\$ +2,875$")));
    QVERIFY(has(text, QStringLiteral("Net Worth +\\$ +16,875$")));

    // Text as text: every font is embedded; Verdana is drawn with its installed stand-in.
    const QStringList fonts =
        run(QStringLiteral("pdffonts"), {pdfPath}).split(u'\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString& font : fonts)
        QVERIFY2(has(font, QStringLiteral("Identity-H +yes ")), qPrintable(font));
    QVERIFY(fonts.filter(QStringLiteral("DejaVuSans-Bold ")).size() == 1);
    // Lines and fills are drawn, not pictures.
    QCOMPARE(run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdfPath})
                 .split(u'\n', Qt::SkipEmptyParts)
                 .size(),
             2);

    // On the paper at 96 dpi: A and B are 287 + 136 pixels wide, centred between the 72 pixel side
    // margins of the 816 pixel page (from 196.5); the top margin is 96 pixels, and the last line drawn,
    // below row 34, ends 663 pixels further down (the rows' twips / 15).
    const QRect ink = inkOnPage(pdfPath, scratch(QStringLiteral("page")));
    QVERIFY2(ink.left() >= 196 && ink.left() <= 197, qPrintable(QString::number(ink.left())));
    QVERIFY2(ink.right() >= 618 && ink.right() <= 619, qPrintable(QString::number(ink.right())));
    QVERIFY2(ink.top() >= 96 && ink.top() < 96 + 26, qPrintable(QString::number(ink.top())));
    QVERIFY2(ink.bottom() >= 96 + 661 && ink.bottom() <= 96 + 663, qPrintable(QString::number(ink.bottom())));
}

void TestPages::tallSheetBreaksBetweenRows() {
    QB_REQUIRE_TOOLS(missingTools_);
    // A4 portrait with 120 pt above and below leaves 601.9 pt, 802 pixels: 40 rows of 15 pt (20 pixels).
    const Workbook workbook = readWorkbookFile(QStringLiteral(QB_TEST_DATA_DIR "/tall_ledger.xls"));
    const QString pdfPath = scratch(QStringLiteral("tall.pdf"));
    {
        QPdfWriter pdf(pdfPath);
        QCOMPARE(printSheet(workbook, 0, pdf), 2);
    }
    QCOMPARE(info(pdfPath, QStringLiteral("Pages")), QStringLiteral("2"));
    QCOMPARE(info(pdfPath, QStringLiteral("Page size")), QStringLiteral("595 x 842 pts (A4)"));

    for (int page = 1; page <= 2; ++page) {
        const QString text = pageText(pdfPath, page);
        // The header and footer gnumeric wrote: the sheet's name, and the page number.
        QVERIFY2(has(text, QStringLiteral("^ *Tall$")), qPrintable(text));
        QVERIFY2(has(text, QStringLiteral("^ *Page %1$").arg(page)), qPrintable(text));
        // Every line whole on exactly one page: lines 1 to 40 on the first, 41 to 80 on the second.
        for (int line = 1; line <= 80; ++line) {
            const bool here = (line <= 40) == (page == 1);
            const QString row = QStringLiteral("^Tall line %1 +%2$").arg(line).arg(line * 10.5, 0, 'f', 2);
            QVERIFY2(has(text, row) == here,
                     qPrintable(QStringLiteral("line %1 on page %2").arg(line).arg(page)));
        }
    }
}

void TestPages::printAreaHeadingsAndHeader() {
    QB_REQUIRE_TOOLS(missingTools_);
    // Sheet "Area": Letter landscape, headings and grid lines printed, centred both ways, pages over then
    // down, a header in three sections, and a Print_Area of A1:B40.
    const Workbook workbook = readWorkbookFile(QStringLiteral(QB_TEST_DATA_DIR "/tall_ledger.xls"));
    const QString pdfPath = scratch(QStringLiteral("area.pdf"));
    int pages = 0;
    {
        QPdfWriter pdf(pdfPath);
        pages = printSheet(workbook, 1, pdf);
    }
    QCOMPARE(info(pdfPath, QStringLiteral("Page size")), QStringLiteral("792 x 612 pts (letter)"));
    const QString first = pageText(pdfPath, 1);
    QVERIFY2(has(first, QStringLiteral("^ *Household +Area +Page 1 of %1$").arg(pages)), qPrintable(first));
    // Headings: the column letters above, each row's number on its row.
    QVERIFY2(has(first, QStringLiteral("^ *A +B$")), qPrintable(first));
    QVERIFY(has(first, QStringLiteral("^ *1 +Area line 1 +10\\.50$")));
    QVERIFY(has(first, QStringLiteral("^ *12 +Area line 12 +126\\.00$")));

    // 612 - 2 x 120 pt leaves 496 pixels; the letters take 17: 23 rows a page.
    QVERIFY(has(first, QStringLiteral("^ *23 +Area line 23 ")));
    QVERIFY(!has(first, QStringLiteral("Area line 24 ")));
    // The Print_Area, a defined name of the sheet, ends the second page at row 40.
    QCOMPARE(pages, 2);
    const QString second = pageText(pdfPath, 2);
    QVERIFY(has(second, QStringLiteral("^ *40 +Area line 40 ")));
    QVERIFY(!has(second, QStringLiteral("Area line 41 ")));
}
