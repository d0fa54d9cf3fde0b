// Names, links and 3-D references written from the model alone, as the formula compiler leaves them;
// and the writes a workbook refuses as a spreadsheet does.

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "spreadsheet/error.h"
#include "spreadsheet/typed_entry.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tests/common/oracles.h"
#include "tst_spreadsheet_writer.h"

using namespace spreadsheet;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

Formula tokens(const char* text) {
    Formula formula;
    formula.tokens = hex(text);
    return formula;
}

// Two sheets, two names, this workbook and an add-in as supporting books, and formulas through them.
Workbook linkedWorkbook() {
    Workbook book;
    book.addSheet(QStringLiteral("Statement"));
    book.addSheet(QStringLiteral("Data"));
    Worksheet& statement = book.sheets[0];
    Worksheet& data = book.sheets[1];
    for (int row = 1; row <= 3; ++row)
        statement.cellForWriting({row, 1}).value = double(row * 100);
    for (int row = 0; row < 3; ++row)
        data.cellForWriting({row, 0}).value = double(row + 7);
    book.supportingBooks = {SupportingBook{}, SupportingBook{SupportingBook::Kind::AddIn, {}, {}, {"MYFN"}}};
    book.externSheets = {{0, 0, 0}, {0, 1, 1}, {1, -2, -2}};
    DefinedName assets;
    assets.name = QStringLiteral("AssetsRange");
    assets.formula = tokens("3b00000100030001000100");  // Statement!$B$2:$B$4
    DefinedName printArea;
    printArea.name = QStringLiteral("Print_Area");
    printArea.builtIn = true;
    printArea.builtInCode = 0x06;
    printArea.sheet = 1;
    printArea.formula = tokens("3b01000000020000000000");  // Data!$A$1:$A$3
    book.names = {assets, printArea};
    Cell& total = statement.cellForWriting({5, 1});
    total.formula = tokens(
        "4301000000"
        "42010400");  // SUM(AssetsRange)
    Cell& data3d = statement.cellForWriting({6, 1});
    data3d.formula = tokens(
        "5b01000000020000c000c0"
        "42010400");  // SUM(Data!A1:A3)
    return book;
}

}  // namespace

void TestSpreadsheetWriter::linksWrittenFromTheModel() {
    const Workbook book = linkedWorkbook();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("links.xls"));
    writeWorkbookFile(book, path);

    // Our reader finds the same names and links.
    const Workbook read = readWorkbookFile(path);
    QCOMPARE(read.names.size(), size_t(2));
    QCOMPARE(read.names[0].name, QStringLiteral("AssetsRange"));
    QCOMPARE(read.names[0].formula.tokens, book.names[0].formula.tokens);
    QCOMPARE(read.names[1].name, QStringLiteral("Print_Area"));
    QCOMPARE(read.names[1].sheet, 1);
    QCOMPARE(read.externSheets, book.externSheets);
    QCOMPARE(read.supportingBooks.size(), size_t(2));
    QCOMPARE(read.supportingBooks[1].externalNames, std::vector<QString>{QStringLiteral("MYFN")});

    // gnumeric resolves the name and the 3-D reference through the records written, and computes.
    QB_REQUIRE_TOOLS(testing::missingPrograms({QStringLiteral("ssconvert")}));
    const QString csv = dir.filePath(QStringLiteral("links.csv"));
    QProcess ssconvert;
    ssconvert.start(QStringLiteral("ssconvert"), {QStringLiteral("--recalc"), path, csv});
    QVERIFY(ssconvert.waitForFinished(-1));
    QCOMPARE(ssconvert.exitCode(), 0);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    // The export covers the used range, B2:B7.
    QCOMPARE(rows.value(4), QStringLiteral("600"));
    QCOMPARE(rows.value(5), QStringLiteral("24"));
}

void TestSpreadsheetWriter::entryRefusals_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("sheetProtected");
    QTest::addColumn<QString>("refusal");

    const QString locked = QStringLiteral(
        "The cell or chart you're trying to change is on a protected sheet. To make a change, unprotect "
        "the sheet. You might be requested to enter a password.");
    QTest::newRow("locked cell, protected sheet") << "A2" << true << locked;
    QTest::newRow("locked blank cell, protected sheet") << "F9" << true << locked;
    QTest::newRow("unlocked cell, protected sheet") << "B2" << true << "";
    QTest::newRow("locked cell, sheet unprotected") << "A2" << false << "";
    QTest::newRow("part of an array") << "D3" << false << "You can't change part of an array.";
    QTest::newRow("part of a data table") << "G3" << false << "Cannot change part of a data table.";
    QTest::newRow("cell of a shared formula") << "C3" << false << "";
}

void TestSpreadsheetWriter::entryRefusals() {
    QFETCH(QString, cell);
    QFETCH(bool, sheetProtected);
    QFETCH(QString, refusal);
    Workbook book =
        readWorkbookFile(QStringLiteral(QB_SOURCE_DIR "/tests/interop/data/kept_records_python.xls"));
    QVERIFY(book.sheets[0].protection.contents);
    book.sheets[0].protection.contents = sheetProtected;
    const CellRef at = *parseCellName(cell);
    const std::optional<Cell> before =
        book.sheets[0].cell(at) ? std::optional<Cell>(*book.sheets[0].cell(at)) : std::nullopt;

    for (bool asDate : {false, true}) {
        QString message;
        try {
            if (asDate)
                enterDate(book, 0, at, QDate(2024, 3, 5));
            else
                enterText(book, 0, at, QStringLiteral("42"),
                          QLocale(QLocale::English, QLocale::UnitedStates));
        } catch (const RefusedChangeError& error) {
            message = error.message();
        }
        QCOMPARE(message, refusal);
        const Cell* after = book.sheets[0].cell(at);
        if (!refusal.isEmpty()) {
            QCOMPARE(after != nullptr, before.has_value());
            continue;
        }
        QVERIFY(after && !after->formula);
        QCOMPARE(*after->number(), asDate ? 45356.0 : 42.0);
    }
    // The input cells' format 164 is General by its code: a date there gets the short-date format.
    if (cell == QStringLiteral("B2"))
        QCOMPARE(book.formatOf(*book.sheets[0].cell(at)).numberFormat, quint16(14));
}
