// The spreadsheet application interface, the file-format choice, the workbook name and the picture export.

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include "generation/application.h"
#include "generation/automation.h"
#include "generation/clipboard.h"
#include "generation/file_format.h"
#include "generation/picture_export.h"
#include "generation/workbook_name.h"
#include "generation_fixtures.h"
#include "shell/core/error_report.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/workbook_reader.h"
#include "tests/common/error_of.h"
#include "tests/common/test_classes.h"

using namespace generation;

testing::TestClass generationRunTests();
testing::TestClass generationFilesTests();

namespace {

using testing::errorOf;

void setNumber(spreadsheet::Workbook& workbook, int row, int column, double value, int sheet = 0) {
    workbook.sheets[static_cast<std::size_t>(sheet)].cellForWriting({row, column}).value = value;
}

// Holds whatever the export puts on the clipboard, and counts reads; reads fail while failuresLeft > 0.
struct FakeClipboard {
    QImage held;
    int reads = 0;
    int failuresLeft = 0;

    FakeClipboard() {
        setClipboardAccess({[this](const QImage& picture) { held = picture; },
                            [this]() -> std::optional<QImage> {
                                ++reads;
                                if (failuresLeft > 0) {
                                    --failuresLeft;
                                    return std::nullopt;
                                }
                                if (held.isNull())
                                    return std::nullopt;
                                return held;
                            }});
    }
    ~FakeClipboard() { setClipboardAccess({}); }
};

}  // namespace

class TestGeneration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() {
        setObjectFactory({});
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void openReadOnlyAndSaveCopies();
    void openFailuresNameTheMethod();
    void saveFormatCodes_data();
    void saveFormatCodes();
    void cellsTakeTypedEntryAndRecalculate();
    void selectSetsTheActiveCell();
    void usedRangeRowsAndColumns();
    void workbooksCollectionAndClose();
    void objectsRaiseAfterQuit();

    void xlsFileFormat_data();
    void xlsFileFormat();
    void xlsFileFormatWithoutInstanceUsesAShortLivedOne();

    void digitsComeFromFractions();
    void workbookNameHasEightDigitsOneToNine();

    void exportSkipsSingleRowOrColumn_data();
    void exportSkipsSingleRowOrColumn();
    void exportLeavesPictureOnClipboardAndInFile();
    void exportDrawsTheActiveSheet();
    void exportRetriesClipboardReads();
    void exportReportsEachFailingLine();

private:
    QTemporaryDir dir_;
};

void TestGeneration::openReadOnlyAndSaveCopies() {
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("source.xls"),
                                                   [](auto& wb) { setNumber(wb, 0, 0, 7); });
    const QByteArray before = [&] {
        QFile f(source);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    auto app = CreateObject(QStringLiteral("Excel.Application"));
    Workbook book = app->Workbooks().Open(source, true);
    QVERIFY(book.ReadOnly());
    QCOMPARE(app->ActiveWorkbook(), book);
    app->Worksheets(1).Cells(1, 1).setValue(QStringLiteral("8"));

    QVERIFY(errorOf([&] { book.SaveAs(source, xlExcel8); }).contains(QStringLiteral("read-only")));
    QFile unchanged(source);
    QVERIFY(unchanged.open(QIODevice::ReadOnly));
    QCOMPARE(unchanged.readAll(), before);

    const QString copy = dir_.filePath(QStringLiteral("copy.xls"));
    book.SaveAs(copy, xlExcel8);
    QCOMPARE(book.FullName(), copy);
    QVERIFY(!book.ReadOnly());
    QCOMPARE(std::get<double>(spreadsheet::readWorkbookFile(copy).sheets[0].cell({0, 0})->value), 8.0);
    // Saved under its new name, the workbook may be saved over itself.
    app->Worksheets(1).Cells(1, 1).setValue(QStringLiteral("9"));
    book.SaveAs(copy, xlExcel8);
    QCOMPARE(std::get<double>(spreadsheet::readWorkbookFile(copy).sheets[0].cell({0, 0})->value), 9.0);
}

void TestGeneration::openFailuresNameTheMethod() {
    auto app = CreateObject(QStringLiteral("Excel.Application"));
    const QString missing =
        errorOf([&] { app->Workbooks().Open(dir_.filePath(QStringLiteral("none.xlt")), true); });
    QVERIFY2(missing.startsWith(QStringLiteral("Method 'Open' of object 'Workbooks' failed: ")),
             qPrintable(missing));
    QVERIFY(missing.contains(QStringLiteral("none.xlt")));

    QFile garbage(dir_.filePath(QStringLiteral("garbage.xlt")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    const QString broken = errorOf([&] { app->Workbooks().Open(garbage.fileName(), true); });
    QVERIFY2(broken.startsWith(QStringLiteral("Method 'Open' of object 'Workbooks' failed: ")),
             qPrintable(broken));
    QCOMPARE(app->Workbooks().count(), 0);
    QVERIFY(!errorOf([&] { app->Worksheets(1); }).isEmpty());
}

void TestGeneration::saveFormatCodes_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("56 Excel 97-2003") << 56 << true;
    QTest::newRow("-4143 workbook normal") << -4143 << true;
    QTest::newRow("51 xlsx") << 51 << false;
    QTest::newRow("0") << 0 << false;
}

void TestGeneration::saveFormatCodes() {
    QFETCH(int, format);
    QFETCH(bool, accepted);
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("t.xlt"), [](auto& wb) {
        wb.isTemplate = true;
        setNumber(wb, 1, 1, 3);
    });
    auto app = CreateObject(QStringLiteral("Excel.Application"));
    Workbook book = app->Workbooks().Open(source, true);
    const QString target = dir_.filePath(QStringLiteral("out%1.xls").arg(format));
    const QString error = errorOf([&] { book.SaveAs(target, format); });
    QCOMPARE(error.isEmpty(), accepted);
    QCOMPARE(QFile::exists(target), accepted);
    if (accepted) {
        const auto saved = spreadsheet::readWorkbookFile(target);
        QVERIFY2(!saved.isTemplate, "a template saved as a workbook must stop being a template");
        QCOMPARE(std::get<double>(saved.sheets[0].cell({1, 1})->value), 3.0);
    } else {
        QVERIFY2(error.startsWith(QStringLiteral("Method 'SaveAs' of object '_Workbook' failed: ")),
                 qPrintable(error));
        QCOMPARE(book.FullName(), source);
    }
}

void TestGeneration::cellsTakeTypedEntryAndRecalculate() {
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("sum.xls"), [](auto& wb) {
        auto& cell = wb.sheets[0].cellForWriting({2, 1});
        cell.formula = spreadsheet::compileFormula(QStringLiteral("SUM(B1:B2)"));
        cell.value = 0.0;
    });
    auto app = CreateObject(QStringLiteral("Excel.Application"));
    Workbook book = app->Workbooks().Open(source, true);
    Worksheet sheet = app->Worksheets(1);
    sheet.Cells(1, 2).setValue(QStringLiteral("$1,500.25"));
    sheet.Cells(2, 2).setValue(QStringLiteral("2"));
    QCOMPARE(std::get<double>(sheet.Range(QStringLiteral("B3")).Value()), 1502.25);
    // Text adds nothing to the sum.
    sheet.Cells(2, 2).setValue(QStringLiteral("two"));
    QCOMPARE(std::get<QString>(sheet.Cells(2, 2).Value()), QStringLiteral("two"));
    QCOMPARE(std::get<double>(sheet.Cells(3, 2).Value()), 1500.25);

    sheet.Cells(1, 1).setValue(QDate(2021, 3, 5));
    QCOMPARE(std::get<double>(sheet.Cells(1, 1).Value()), 44260.0);

    // The user's locale reads the text: a comma is the decimal separator under German settings.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    sheet.Cells(1, 2).setValue(QStringLiteral("1.234,5"));
    QCOMPARE(std::get<double>(sheet.Cells(1, 2).Value()), 1234.5);

    QVERIFY(!errorOf([&] { sheet.Cells(0, 1); }).isEmpty());
    QVERIFY(!errorOf([&] { sheet.Cells(1, 257); }).isEmpty());
    QVERIFY(!errorOf([&] { sheet.Cells(1, 1).setValue(QDate()); }).isEmpty());
}

void TestGeneration::selectSetsTheActiveCell() {
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("sel.xls"), [](auto&) {});
    auto app = CreateObject(QStringLiteral("Excel.Application"));
    Workbook book = app->Workbooks().Open(source, true);
    app->Range(QStringLiteral("B6")).Select();
    const auto& window = book.model().sheets[0].window;
    QCOMPARE(window.activeCell, (spreadsheet::CellRef{5, 1}));
    QCOMPARE(window.selection.size(), std::size_t{1});
    QCOMPARE(window.selection[0], (spreadsheet::CellRange{{5, 1}, {5, 1}}));

    const QString saved = dir_.filePath(QStringLiteral("sel-out.xls"));
    book.SaveAs(saved, xlExcel8);
    QCOMPARE(spreadsheet::readWorkbookFile(saved).sheets[0].window.activeCell, (spreadsheet::CellRef{5, 1}));
    QVERIFY(!errorOf([&] { app->Range(QStringLiteral("B")); }).isEmpty());
}

void TestGeneration::usedRangeRowsAndColumns() {
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("used.xls"), [](auto& wb) {
        setNumber(wb, 2, 1, 1);  // B3
        setNumber(wb, 6, 3, 2);  // D7
    });
    auto app = CreateObject(QStringLiteral("Excel.Application"));
    app->Workbooks().Open(source);
    const Range used = app->ActiveSheet().UsedRange();
    QCOMPARE(used.Address(), QStringLiteral("$B$3:$D$7"));
    QCOMPARE(used.Rows().count(), 5);
    QCOMPARE(used.Columns().count(), 3);
    QCOMPARE(used.count(), 15);
    QCOMPARE(used.Rows(used.Rows().count()).Row(), 7);
    QCOMPARE(used.Columns(used.Columns().count()).Column(), 4);
    QCOMPARE(used.Rows(1).Row(), 3);
    QCOMPARE(used.Columns(1).Column(), 2);
}

void TestGeneration::workbooksCollectionAndClose() {
    const QString first = fixtures::writeWorkbook(dir_.path(), QStringLiteral("a.xls"), [](auto&) {});
    const QString second = fixtures::writeWorkbook(dir_.path(), QStringLiteral("b.xls"), [](auto&) {});
    auto app = CreateObject(QStringLiteral("Excel.Application"));
    Workbook a = app->Workbooks().Open(first);
    Workbook b = app->Workbooks().Open(second);
    QCOMPARE(app->Workbooks().count(), 2);
    QCOMPARE(app->Workbooks(app->Workbooks().count()), b);
    QCOMPARE(app->Workbooks(1).Name(), QStringLiteral("a.xls"));
    QCOMPARE(errorOf([&] { app->Workbooks(3); }), QStringLiteral("Subscript out of range"));

    b.Close();
    QCOMPARE(app->Workbooks().count(), 1);
    QCOMPARE(app->ActiveWorkbook(), a);
    QVERIFY(errorOf([&] { b.ActiveSheet(); }).contains(QStringLiteral("disconnected")));
    QVERIFY(errorOf([&] { Workbook().Close(); }).contains(QStringLiteral("not set")));
}

void TestGeneration::objectsRaiseAfterQuit() {
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("q.xls"), [](auto&) {});
    auto app = CreateObject(QStringLiteral("Excel.Application"));
    app->setVisible(false);
    app->setDisplayAlerts(false);
    QVERIFY(!app->Visible());
    QVERIFY(!app->DisplayAlerts());
    Workbooks books = app->Workbooks();
    Workbook book = books.Open(source);
    Worksheet sheet = book.Worksheets(1);
    Range cell = sheet.Cells(1, 1);
    app->Quit();

    const QString disconnected = QStringLiteral("disconnected");
    QVERIFY(errorOf([&] { app->Version(); }).contains(disconnected));
    QVERIFY(errorOf([&] { app->Workbooks(); }).contains(disconnected));
    QVERIFY(errorOf([&] { books.count(); }).contains(disconnected));
    QVERIFY(errorOf([&] {
                book.SaveAs(dir_.filePath(QStringLiteral("late.xls")), xlExcel8);
            }).contains(disconnected));
    QVERIFY(errorOf([&] { sheet.UsedRange(); }).contains(disconnected));
    QVERIFY(errorOf([&] { cell.setValue(QStringLiteral("1")); }).contains(disconnected));
    QVERIFY(errorOf([&] { app->Quit(); }).contains(disconnected));
    QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("late.xls"))));
}

void TestGeneration::xlsFileFormat_data() {
    QTest::addColumn<QString>("version");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("expected");
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("11.0 en_US") << "11.0" << us << -4143;
    QTest::newRow("12.0 en_US") << "12.0" << us << 56;
    QTest::newRow("12,0 de_DE") << "12,0" << de << 56;
    QTest::newRow("12.0 de_DE") << "12.0" << de << 56;
    QTest::newRow("11,0 de_DE") << "11,0" << de << -4143;
    QTest::newRow("16.0 en_US") << "16.0" << us << 56;
    QTest::newRow("11.5 rounds to even 12") << "11.5" << us << 56;
    QTest::newRow("10.5 rounds to even 10") << "10.5" << us << -4143;
    QTest::newRow("9.0") << "9.0" << us << -4143;
}

void TestGeneration::xlsFileFormat() {
    QFETCH(QString, version);
    QFETCH(QLocale, locale);
    QFETCH(int, expected);
    QLocale::setDefault(locale);
    auto app = std::make_shared<Application>(version);
    QCOMPARE(GetXlsFileFormat(app), expected);

    auto broken = std::make_shared<Application>(QStringLiteral("twelve"));
    QCOMPARE(errorOf([&] { GetXlsFileFormat(broken); }), QStringLiteral("Type mismatch"));
}

void TestGeneration::xlsFileFormatWithoutInstanceUsesAShortLivedOne() {
    std::vector<std::shared_ptr<Application>> created;
    setObjectFactory([&](const QString&) {
        created.push_back(std::make_shared<Application>(QStringLiteral("11.0")));
        return created.back();
    });
    std::shared_ptr<Application> none;
    QCOMPARE(GetXlsFileFormat(none), -4143);
    QCOMPARE(created.size(), std::size_t{1});
    QVERIFY2(!errorOf([&] { created[0]->Version(); }).isEmpty(), "the short-lived instance must have quit");
    QVERIFY(!none);
}

void TestGeneration::digitsComeFromFractions() {
    QCOMPARE(digitFromFraction(0.0), 1);
    QCOMPARE(digitFromFraction(1.0 / 9.0 - 1e-12), 1);
    QCOMPARE(digitFromFraction(1.0 / 9.0 + 1e-12), 2);
    QCOMPARE(digitFromFraction(0.5), 5);
    QCOMPARE(digitFromFraction(0.999999999), 9);
    QSet<int> seen;
    for (int k = 0; k < 1000; ++k)
        seen.insert(digitFromFraction(k / 1000.0));
    QCOMPARE(seen, (QSet<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

void TestGeneration::workbookNameHasEightDigitsOneToNine() {
    const QList<double> fractions{0.0, 0.2, 0.35, 0.5, 0.6, 0.75, 0.9, 0.99};
    int next = 0;
    QCOMPARE(drawWorkbookName([&] { return fractions[next++]; }), QStringLiteral("vornik12456799"));
    QCOMPARE(next, 8);

    const QRegularExpression shape(QStringLiteral("^vornik[1-9]{8}$"));
    const auto source = systemFractionSource();
    for (int i = 0; i < 200; ++i) {
        const QString name = drawWorkbookName(source);
        QVERIFY2(shape.match(name).hasMatch(), qPrintable(name));
    }
}

void TestGeneration::exportSkipsSingleRowOrColumn_data() {
    QTest::addColumn<int>("lastRow");
    QTest::addColumn<int>("lastColumn");
    QTest::addColumn<bool>("written");
    QTest::newRow("row 1 only") << 0 << 4 << false;
    QTest::newRow("column A only") << 6 << 0 << false;
    QTest::newRow("A1 alone") << 0 << 0 << false;
    QTest::newRow("two by two") << 1 << 1 << true;
}

void TestGeneration::exportSkipsSingleRowOrColumn() {
    QFETCH(int, lastRow);
    QFETCH(int, lastColumn);
    QFETCH(bool, written);
    FakeClipboard clipboard;
    fixtures::Reports reports;
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("edge.xls"), [&](auto& wb) {
        setNumber(wb, 0, 0, 1);
        setNumber(wb, lastRow, lastColumn, 2);
    });
    const QString picture = dir_.filePath(QStringLiteral("edge.bmp"));
    QFile::remove(picture);
    auto app = OpenWorkbookInNewExcel(source);
    saveCellsActivesheet(app->Workbooks(1), picture);
    QCOMPARE(QFile::exists(picture), written);
    QCOMPARE(clipboard.held.isNull(), !written);
    QCOMPARE(reports.texts, QStringList{});
    QCOMPARE(reports.otherMessages, 0);
}

void TestGeneration::exportLeavesPictureOnClipboardAndInFile() {
    FakeClipboard clipboard;
    clipboard.held = QImage(3, 3, QImage::Format_RGB32);  // what the user had copied before
    fixtures::Reports reports;
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("pic.xls"), [](auto& wb) {
        setNumber(wb, 0, 0, 1);
        setNumber(wb, 4, 2, 2);  // used range A1:C5
    });
    // The reader loads by content, so a name that says nothing about the format must do.
    const QString picture = dir_.filePath(QStringLiteral("picture.tmp"));
    auto app = OpenWorkbookInNewExcel(source);
    saveCellsActivesheet(app->Workbooks(1), picture);
    QCOMPARE(reports.texts, QStringList{});

    const auto model = spreadsheet::readWorkbookFile(source);
    const QImage expected = spreadsheet::renderRange(model, 0, {{0, 0}, {4, 2}});
    QCOMPARE(clipboard.held.size(), expected.size());
    QCOMPARE(clipboard.held.convertToFormat(QImage::Format_RGB32),
             expected.convertToFormat(QImage::Format_RGB32));
    const QImage loaded(picture);
    QVERIFY(!loaded.isNull());
    QCOMPARE(loaded.convertToFormat(QImage::Format_RGB32), expected.convertToFormat(QImage::Format_RGB32));
    QFile file(picture);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(2), QByteArray("BM"));
}

void TestGeneration::exportDrawsTheActiveSheet() {
    FakeClipboard clipboard;
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("two.xls"), [](auto& wb) {
        setNumber(wb, 1, 1, 1);  // first sheet: B2:F10
        setNumber(wb, 9, 5, 1);
        wb.addSheet(QStringLiteral("Second"));
        setNumber(wb, 0, 0, 1, 1);
        setNumber(wb, 1, 1, 2, 1);
        wb.window.activeSheet = 1;
        wb.sheets[0].window.active = false;
        wb.sheets[1].window.active = true;
    });
    auto app = OpenWorkbookInNewExcel(source);
    QCOMPARE(app->ActiveSheet().Name(), QStringLiteral("Second"));
    saveCellsActivesheet(app->Workbooks(1), dir_.filePath(QStringLiteral("two.bmp")));
    const auto model = spreadsheet::readWorkbookFile(source);
    QCOMPARE(clipboard.held.size(), spreadsheet::renderRange(model, 1, {{0, 0}, {1, 1}}).size());
    QVERIFY(clipboard.held.size() != spreadsheet::renderRange(model, 0, {{1, 1}, {9, 5}}).size());
}

void TestGeneration::exportRetriesClipboardReads() {
    FakeClipboard clipboard;
    const QString source = fixtures::writeWorkbook(dir_.path(), QStringLiteral("retry.xls"), [](auto& wb) {
        setNumber(wb, 0, 0, 1);
        setNumber(wb, 1, 1, 2);
    });
    auto app = OpenWorkbookInNewExcel(source);
    {
        fixtures::Reports reports;
        clipboard.failuresLeft = 999;
        const QString picture = dir_.filePath(QStringLiteral("late.bmp"));
        saveCellsActivesheet(app->Workbooks(1), picture);
        QCOMPARE(clipboard.reads, 1000);
        QVERIFY(QFile::exists(picture));
        QCOMPARE(reports.lines, QList<int>{});
    }
    {
        fixtures::Reports reports;
        clipboard.reads = 0;
        clipboard.failuresLeft = 1'000'000;
        const QString picture = dir_.filePath(QStringLiteral("never.bmp"));
        saveCellsActivesheet(app->Workbooks(1), picture);
        QCOMPARE(clipboard.reads, kClipboardReadAttempts);
        QVERIFY(!QFile::exists(picture));
        QCOMPARE(reports.lines, QList<int>{112});
    }
    clipboard.reads = 0;
    clipboard.failuresLeft = 0;
    QVERIFY(GetClipboardPicture(3).isNull());
    QCOMPARE(clipboard.reads, 0);
}

void TestGeneration::exportReportsEachFailingLine() {
    FakeClipboard clipboard;
    fixtures::Reports reports;
    const QString picture = dir_.filePath(QStringLiteral("nothing.bmp"));
    saveCellsActivesheet(Workbook{}, picture);
    QCOMPARE(reports.lines, (QList<int>{100, 102, 104}));
    QVERIFY(
        reports.texts[0].contains(QStringLiteral("in Tallowmere2021/08/31.Excel1.saveCellsActivesheet ")));
    QVERIFY(!QFile::exists(picture));
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    return testing::runTestClasses(
        argc, argv, {testing::testClass<TestGeneration>(), generationRunTests(), generationFilesTests()});
}

#include "tst_generation.moc"
