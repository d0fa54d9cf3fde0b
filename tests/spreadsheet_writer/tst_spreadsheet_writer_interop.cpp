// Our files as independent readers (xlrd, gnumeric's ssconvert) and our own reader see them.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "spreadsheet/container/compound_file.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tests/common/oracles.h"
#include "tst_spreadsheet_writer.h"

using namespace spreadsheet;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QByteArray templateBytes() {
    QFile file(QStringLiteral(":/CUSTOM/101"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString saveTo(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// What xlrd saw in the file, as the dump script reports it.
QJsonObject xlrdView(const QString& path) {
    const Run r = run(kPython, {QStringLiteral(QB_SOURCE_DIR "/tests/common/xlrd_view.py"), path});
    if (r.exitCode != 0) {
        qWarning() << "xlrd failed:" << r.err;
        return {};
    }
    return QJsonDocument::fromJson(r.out).object();
}

// Messages of substance on ssconvert's error output; environment chatter is not one.
QStringList complaints(const QByteArray& err) {
    QStringList lines;
    for (const QString& line : QString::fromUtf8(err).split('\n', Qt::SkipEmptyParts)) {
        if (!line.contains(QStringLiteral("XDG_RUNTIME_DIR")) && !line.contains(QStringLiteral("dbus")))
            lines << line;
    }
    return lines;
}

QStringList csvLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

QJsonObject cellOf(const QJsonObject& sheet, const char* name) {
    return sheet[QStringLiteral("cells")].toObject()[QString::fromLatin1(name)].toObject();
}

QJsonObject xfOf(const QJsonObject& view, const QJsonObject& cell) {
    return view[QStringLiteral("xfs")].toArray()[cell[QStringLiteral("xf")].toInt()].toObject();
}

QJsonObject fontOf(const QJsonObject& view, const QJsonObject& xf) {
    return view[QStringLiteral("fonts")].toArray()[xf[QStringLiteral("font")].toInt()].toObject();
}

QJsonArray line(int style, int colour) {
    return QJsonArray{style, colour};
}

// xlrd, and the program named if any.
QString missingTools(const QString& tool) {
    if (const QString xlrd = testing::missingPythonModule(QStringLiteral("xlrd")); !xlrd.isEmpty())
        return xlrd;
    return tool.isEmpty() ? QString() : testing::missingPrograms({tool});
}

}  // namespace

void TestSpreadsheetWriter::templateSeenByXlrd() {
    QB_REQUIRE_TOOLS(missingTools({}));
    QTemporaryDir dir;
    const QByteArray bytes = templateBytes();
    QVERIFY(!bytes.isEmpty());
    const QJsonObject view = xlrdView(saveTo(dir, QStringLiteral("template.xlt"), bytes));
    QVERIFY(!view.isEmpty());

    QCOMPARE(view["sheets"].toArray(), QJsonArray{QStringLiteral("Personal Finance Statement")});
    QCOMPARE(view["datemode"].toInt(), 0);
    const QJsonObject sheet = view["sheet"].toArray()[0].toObject();
    QCOMPARE(sheet["nrows"].toInt(), 36);
    QCOMPARE(sheet["ncols"].toInt(), 2);

    // Texts, numbers and the formulas' cached results.
    const std::pair<const char*, const char*> texts[] = {{"A1", "PERSONAL FINANCIAL STATEMENT"},
                                                         {"A2", "[Name]"},
                                                         {"A3", "[Date]"},
                                                         {"A5", "Assets"},
                                                         {"B5", "Amount in Dollars"},
                                                         {"A6", "Cash - checking accounts"},
                                                         {"A9", "Securities - stocks / bonds / mutual funds"},
                                                         {"A15", "Other assets (specify)"},
                                                         {"A16", "Other assets (specify)"},
                                                         {"A17", "Total Assets"},
                                                         {"A19", "Liabilities"},
                                                         {"A20", "Current Debt (Credit cards, Accounts)"},
                                                         {"A25", "Other liabilities (specify)"},
                                                         {"A26", "Total Liabilities"},
                                                         {"A28", "Net Worth"},
                                                         {"A34", "Signature:"},
                                                         {"B34", "Date:"},
                                                         {"A36", " "}};
    for (const auto& [cell, text] : texts) {
        QCOMPARE(cellOf(sheet, cell)["type"].toInt(), 1);
        QCOMPARE(cellOf(sheet, cell)["value"].toString(), QString::fromUtf8(text));
    }
    for (const char* cell : {"B6", "B11", "B16", "B20", "B25", "B17", "B26", "B28"}) {
        QCOMPARE(cellOf(sheet, cell)["type"].toInt(), 2);
        QCOMPARE(cellOf(sheet, cell)["value"].toDouble(), 0.0);
    }

    // Layout.
    QCOMPARE(sheet["merged"].toArray(), (QJsonArray{QJsonArray{0, 1, 0, 2}}));
    const QJsonObject widths = sheet["colwidths"].toObject();
    QCOMPARE(widths["0"].toArray()[0].toInt(), 10496);
    QCOMPARE(widths["1"].toArray()[0].toInt(), 4973);
    QCOMPARE(widths["2"].toArray()[0].toInt(), 2340);
    QCOMPARE(widths["255"].toArray()[0].toInt(), 2340);
    QCOMPARE(sheet["defcolwidth"].toInt(), 8);
    const QJsonObject heights = sheet["rowheights"].toObject();
    const std::pair<int, int> rowHeights[] = {{0, 390},  {1, 240},  {2, 240},  {3, 255}, {4, 282},
                                              {20, 282}, {32, 282}, {33, 559}, {35, 255}};
    for (const auto& [row, twips] : rowHeights)
        QCOMPARE(heights[QString::number(row)].toArray()[0].toInt(), twips);
    QVERIFY(!heights.contains(QStringLiteral("34")));
    QCOMPARE(sheet["gridlines"].toInt(), 0);
    QCOMPARE(sheet["headings"].toInt(), 1);
    QCOMPARE(sheet["zeros"].toInt(), 1);
    QCOMPARE(sheet["first_visible_row"].toInt(), 5);
    QCOMPARE(sheet["page_break_zoom"].toInt(), 60);

    // Palette and formats.
    const QJsonObject palette = view["palette"].toObject();
    QCOMPARE(palette["8"].toArray(), (QJsonArray{234, 234, 234}));
    QCOMPARE(palette["61"].toArray(), (QJsonArray{221, 221, 221}));
    QCOMPARE(palette["23"].toArray(), (QJsonArray{128, 128, 128}));
    const QJsonObject formats = view["formats"].toObject();
    QCOMPARE(formats["41"].toString(), QStringLiteral("_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)"));
    QCOMPARE(formats["42"].toString(),
             QStringLiteral("_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)"));
    QStringList custom;
    for (auto it = formats.begin(); it != formats.end(); ++it) {
        if (it.key().toInt() >= 164)
            custom << it.value().toString();
    }
    QCOMPARE(custom.size(), 2);
    QVERIFY(custom.contains(QStringLiteral("\"$\"#,##0.00")));
    QVERIFY(custom.contains(QStringLiteral("[$-409]dddd\\,\\ mmmm\\ dd\\,\\ yyyy")));
    const QJsonObject normalFont = view["fonts"].toArray()[0].toObject();
    QCOMPARE(normalFont["name"].toString(), QStringLiteral("Arial"));
    QCOMPARE(normalFont["height"].toInt(), 200);

    // Styles: fonts, alignment (xlrd: 1 left, 3 right; 0 top, 1 centre, 2 bottom), borders (7 hair,
    // 6 double, 1 thin), fill.
    const QJsonObject title = xfOf(view, cellOf(sheet, "A1"));
    QCOMPARE(fontOf(view, title)["name"].toString(), QStringLiteral("Verdana"));
    QCOMPARE(fontOf(view, title)["height"].toInt(), 280);
    QCOMPARE(title["halign"].toInt(), 1);
    QCOMPARE(title["valign"].toInt(), 2);
    QCOMPARE(xfOf(view, cellOf(sheet, "A3"))["valign"].toInt(), 0);

    const QJsonObject label = xfOf(view, cellOf(sheet, "A6"));
    QCOMPARE(label["wrap"].toInt(), 1);
    QCOMPARE(label["valign"].toInt(), 1);
    QCOMPARE(fontOf(view, label)["height"].toInt(), 160);
    QCOMPARE(fontOf(view, label)["weight"].toInt(), 400);
    for (const char* side : {"left", "right", "top", "bottom"})
        QCOMPARE(label["border"][side].toArray(), line(7, 23));

    QCOMPARE(xfOf(view, cellOf(sheet, "B6"))["format"].toInt(), 42);
    QCOMPARE(xfOf(view, cellOf(sheet, "B7"))["format"].toInt(), 41);
    const QJsonObject last = xfOf(view, cellOf(sheet, "B16"));
    QCOMPARE(last["format"].toInt(), 41);
    QCOMPARE(last["border"]["bottom"].toArray()[0].toInt(), 0);

    const QJsonObject heading = xfOf(view, cellOf(sheet, "B5"));
    QCOMPARE(heading["halign"].toInt(), 3);
    QCOMPARE(fontOf(view, heading)["weight"].toInt(), 700);
    QCOMPARE(heading["border"]["bottom"].toArray(), line(7, 23));
    QCOMPARE(heading["border"]["top"].toArray()[0].toInt(), 0);

    for (const char* cell : {"B17", "B26", "B28"}) {
        const QJsonObject total = xfOf(view, cellOf(sheet, cell));
        QCOMPARE(total["format"].toInt(), 42);
        QCOMPARE(fontOf(view, total)["weight"].toInt(), 700);
        QCOMPARE(total["border"]["left"].toArray(), line(7, 23));
        QCOMPARE(total["border"]["right"].toArray(), line(7, 23));
        QCOMPARE(total["border"]["top"].toArray(), line(6, 23));
        QCOMPARE(total["border"]["bottom"].toArray(), line(1, 64));
        QCOMPARE(total["fill"].toArray(), (QJsonArray{1, 8}));
    }
    const QJsonObject signature = xfOf(view, cellOf(sheet, "A34"));
    QCOMPARE(signature["border"]["left"].toArray(), line(7, 23));
    QCOMPARE(signature["border"]["right"].toArray()[0].toInt(), 0);
    QCOMPARE(signature["border"]["bottom"].toArray(), line(1, 64));
    QCOMPARE(signature["wrap"].toInt(), 1);
    const QJsonObject columnA = xfOf(view, cellOf(sheet, "A36"));
    QCOMPARE(fontOf(view, columnA)["height"].toInt(), 200);
    QCOMPARE(columnA["wrap"].toInt(), 1);
    QCOMPARE(sheet["colwidths"]["0"].toArray()[1].toInt(), cellOf(sheet, "A36")["xf"].toInt());
    for (const QJsonValue& xf : view["xfs"].toArray())
        QCOMPARE(xf["locked"].toInt(), 1);
}

void TestSpreadsheetWriter::templateSeenByGnumeric() {
    QB_REQUIRE_TOOLS(missingTools(QStringLiteral("ssconvert")));
    QTemporaryDir dir;
    const QString path = saveTo(dir, QStringLiteral("template.xls"), templateBytes());
    const QString csv = dir.filePath(QStringLiteral("template.csv"));
    const Run r = run(QStringLiteral("ssconvert"), {path, csv});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(complaints(r.err), QStringList());
    const QStringList lines = csvLines(csv);
    QCOMPARE(lines.size(), 36);
    QCOMPARE(lines[0], QStringLiteral("\"PERSONAL FINANCIAL STATEMENT\","));
    QCOMPARE(lines[4], QStringLiteral("Assets,\"Amount in Dollars\""));
    QCOMPARE(lines[8], QStringLiteral("\"Securities - stocks / bonds / mutual funds\",0"));
    QCOMPARE(lines[16], QStringLiteral("\"Total Assets\",0"));
    QCOMPARE(lines[27], QStringLiteral("\"Net Worth\",0"));
    QCOMPARE(lines[33], QStringLiteral("Signature:,Date:"));
}

void TestSpreadsheetWriter::formulasRecalculatedByGnumeric() {
    QB_REQUIRE_TOOLS(missingTools(QStringLiteral("ssconvert")));
    // Amounts written over the template while the cached totals stay 0: only a reader that
    // understands the formulas' tokens can show the right totals.
    Workbook workbook = readWorkbookBytes(templateBytes());
    Worksheet& sheet = workbook.sheets.front();
    sheet.cellForWriting({5, 1}).value = 15000.5;
    sheet.cellForWriting({15, 1}).value = 4749.29;
    sheet.cellForWriting({19, 1}).value = 2875.14;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("filled.xls"));
    writeWorkbookFile(workbook, path);
    const QString csv = dir.filePath(QStringLiteral("filled.csv"));
    const Run r = run(QStringLiteral("ssconvert"), {QStringLiteral("--recalc"), path, csv});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(complaints(r.err), QStringList());
    const QStringList lines = csvLines(csv);
    QCOMPARE(lines.size(), 36);
    // The figures as gnumeric prints them: full precision, so compare as numbers.
    auto figure = [&](int row, const QString& label) {
        const QStringList fields = lines[row].split(',');
        return fields.size() == 2 && fields[0] == label ? fields[1].toDouble() : -1.0;
    };
    QCOMPARE(figure(16, QStringLiteral("\"Total Assets\"")), 19749.79);
    QCOMPARE(figure(25, QStringLiteral("\"Total Liabilities\"")), 2875.14);
    QCOMPARE(figure(27, QStringLiteral("\"Net Worth\"")), 16874.65);
}

void TestSpreadsheetWriter::largeSharedStringTableSeenByXlrd() {
    QB_REQUIRE_TOOLS(missingTools({}));
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Strings"));
    QStringList texts;
    for (int i = 0; i < 3000; ++i) {
        QString text = QStringLiteral("Row %1: ").arg(i) + QString(60 + i % 90, QChar('a' + i % 26));
        if (i % 7 == 0)
            text += QString(i % 40 + 1, QChar(0x0410 + i % 32));  // Cyrillic, stored wide
        texts << text;
        sheet.cellForWriting({i, 0}).value = text;
        sheet.cellForWriting({i, 1}).value = texts[i / 2];  // repeats share one entry
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("strings.xls"));
    writeWorkbookFile(workbook, path);
    const QJsonObject view = xlrdView(path);
    QVERIFY(!view.isEmpty());
    const QJsonObject cells = view["sheet"].toArray()[0].toObject()["cells"].toObject();
    QCOMPARE(cells.size(), 6000);
    for (int i = 0; i < 3000; ++i) {
        QCOMPARE(cells[QStringLiteral("A%1").arg(i + 1)]["value"].toString(), texts[i]);
        QCOMPARE(cells[QStringLiteral("B%1").arg(i + 1)]["value"].toString(), texts[i / 2]);
    }
}

void TestSpreadsheetWriter::valueTypesSeenByXlrd() {
    QB_REQUIRE_TOOLS(missingTools({}));
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Types"));
    const double numbers[] = {3.14159265358979, -12.5, 1e-300, 1e15, -536870912.0, 0.07};
    for (int i = 0; i < 6; ++i)
        sheet.cellForWriting({i, 0}).value = numbers[i];
    sheet.cellForWriting({0, 1}).value = true;
    sheet.cellForWriting({1, 1}).value = ErrorCode::NA;
    Cell& text = sheet.cellForWriting({2, 1});
    text.formula = compileFormula(QStringLiteral("\"x\""));
    text.value = QStringLiteral("Ünïcode ✓");
    Cell& flag = sheet.cellForWriting({3, 1});
    flag.formula = compileFormula(QStringLiteral("1"));
    flag.value = false;
    sheet.cellForWriting({4, 1}).value = QStringLiteral("Zürich – Ωmega");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("types.xls"));
    writeWorkbookFile(workbook, path);
    const QJsonObject view = xlrdView(path);
    QVERIFY(!view.isEmpty());
    const QJsonObject s = view["sheet"].toArray()[0].toObject();
    for (int i = 0; i < 6; ++i) {
        const QJsonObject cell = cellOf(s, qPrintable(QStringLiteral("A%1").arg(i + 1)));
        QCOMPARE(cell["type"].toInt(), 2);
        QCOMPARE(cell["value"].toDouble(), numbers[i]);
    }
    QCOMPARE(cellOf(s, "B1")["type"].toInt(), 4);
    QCOMPARE(cellOf(s, "B1")["value"].toInt(), 1);
    QCOMPARE(cellOf(s, "B2")["type"].toInt(), 5);
    QCOMPARE(cellOf(s, "B2")["value"].toInt(), 0x2A);
    QCOMPARE(cellOf(s, "B3")["value"].toString(), QStringLiteral("Ünïcode ✓"));
    QCOMPARE(cellOf(s, "B4")["type"].toInt(), 4);
    QCOMPARE(cellOf(s, "B4")["value"].toInt(), 0);
    QCOMPARE(cellOf(s, "B5")["value"].toString(), QStringLiteral("Zürich – Ωmega"));
}

void TestSpreadsheetWriter::templateRoundTripsThroughReader() {
    // Reading the template and writing it again gives the same workbook stream, byte for byte: the
    // reader keeps everything the writer puts down.
    const QByteArray bytes = templateBytes();
    const Workbook workbook = readWorkbookBytes(bytes);
    QCOMPARE(workbookStream(workbook), CompoundFileReader::fromBytes(bytes).workbookStream());
    QCOMPARE(workbook.isTemplate, true);
    QCOMPARE(workbook.sheets.size(), size_t(1));
    const Cell* total = workbook.sheets[0].cell({16, 1});
    QVERIFY(total && total->formula);
    QCOMPARE(formulaText(*total->formula), QStringLiteral("SUM(B6:B16)"));
    QCOMPARE(formulaText(*workbook.sheets[0].cell({27, 1})->formula), QStringLiteral("(B17-B26)"));
}

void TestSpreadsheetWriter::workbookRoundTripsThroughReader() {
    Workbook workbook;
    workbook.date1904 = true;
    workbook.calculation.automatic = false;
    workbook.calculation.iteration = true;
    workbook.calculation.iterationLimit = 7;
    workbook.calculation.maximumChange = 0.25;
    workbook.window.activeSheet = 1;
    workbook.window.selectedTabs = 1;
    workbook.palette[3] = qRgb(1, 2, 3);
    workbook.paletteCustomized = true;
    Font font;
    font.name = QStringLiteral("Liberation Serif");
    font.heightTwips = 260;
    font.italic = true;
    font.underline = 2;
    font.colorIndex = 12;
    CellFormat format;
    format.fontIndex = workbook.addFont(font);
    format.numberFormat = workbook.addNumberFormat(QStringLiteral("0.000;[Red]-0.000"));
    format.hAlign = HAlign::Center;
    format.wrap = true;
    format.rotation = 45;
    format.indent = 2;
    format.left = {LineStyle::MediumDashed, 10};
    format.usedAttributes = 0x3C;
    const quint16 xf = workbook.addFormat(format);

    workbook.addSheet(QStringLiteral("First"));
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Zweite Übersicht"));
    sheet.visible = true;
    sheet.cellForWriting({0, 0}).value = QStringLiteral("text");
    sheet.cellForWriting({0, 0}).xf = xf;
    sheet.cellForWriting({1, 2}).value = -0.125;
    sheet.cellForWriting({2, 3}).value = ErrorCode::Ref;
    Cell& sum = sheet.cellForWriting({3, 2});
    sum.formula = compileFormula(QStringLiteral("SUM(C2:C3)*2"));
    sum.value = -0.25;
    sheet.cellForWriting({70, 4}).xf = xf;
    sheet.rows[70] =
        RowInfo{.heightTwips = 600, .customHeight = true, .hidden = false, .hasFormat = true, .xf = xf};
    sheet.columns = {ColumnInfo{.firstColumn = 1, .lastColumn = 3, .width = 5000, .xf = xf, .hidden = true}};
    sheet.defaultColumnWidth = 12;
    sheet.mergedRanges = {{{5, 1}, {6, 4}}, {{9, 0}, {9, 1}}};
    sheet.window.showGridlines = false;
    sheet.window.firstVisibleRow = 3;
    sheet.window.zoomPercent = 75;
    sheet.window.activeCell = {1, 2};
    sheet.window.selection = {CellRange{{1, 2}, {3, 2}}};
    sheet.pageSetup.paperSize = 9;
    sheet.pageSetup.portrait = false;
    sheet.pageSetup.leftMargin = 0.4;
    sheet.pageSetup.header = QStringLiteral("&CHeader");
    sheet.pageSetup.centerVertically = true;

    const Workbook read = readWorkbookBytes(workbookFileBytes(workbook));
    QCOMPARE(read.date1904, true);
    QVERIFY(read.calculation == workbook.calculation);
    QVERIFY(read.fonts == workbook.fonts);
    QVERIFY(read.formats == workbook.formats);
    QVERIFY(read.numberFormats == workbook.numberFormats);
    QVERIFY(read.styles == workbook.styles);
    for (size_t i = 0; i < read.palette.size(); ++i) {
        QCOMPARE(read.palette[i] & 0xFFFFFF, workbook.palette[i] & 0xFFFFFF);  // colours, whatever alpha
    }
    QCOMPARE(read.window.activeSheet, quint16(1));
    QCOMPARE(read.sheets.size(), size_t(2));
    const Worksheet& back = read.sheets[1];
    QCOMPARE(back.name, sheet.name);
    QCOMPARE(back.cells().size(), sheet.cells().size());
    for (const auto& [ref, cell] : sheet.cells()) {
        const Cell* other = back.cell(ref);
        QVERIFY2(other, qPrintable(cellName(ref)));
        QVERIFY2(other->value == cell.value, qPrintable(cellName(ref)));
        QVERIFY2(other->formula == cell.formula, qPrintable(cellName(ref)));
        QCOMPARE(other->xf, cell.xf);
    }
    QVERIFY(back.rows.at(70) == sheet.rows.at(70));
    QVERIFY(back.columns == sheet.columns);
    QCOMPARE(back.defaultColumnWidth, quint16(12));
    QVERIFY(back.mergedRanges == sheet.mergedRanges);
    QCOMPARE(back.window.showGridlines, false);
    QCOMPARE(back.window.firstVisibleRow, 3);
    QCOMPARE(back.window.zoomPercent, quint16(75));
    QCOMPARE(back.window.activeCell, sheet.window.activeCell);
    QVERIFY(back.window.selection == sheet.window.selection);
    QVERIFY(back.pageSetup == sheet.pageSetup);
}
