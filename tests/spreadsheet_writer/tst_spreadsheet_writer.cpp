#include "tst_spreadsheet_writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "record_scan.h"
#include "spreadsheet/biff/write_records.h"
#include "spreadsheet/biff/write_sst.h"
#include "spreadsheet/container/compound_file.h"
#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/workbook_writer.h"

extern "C" {
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
}

using namespace spreadsheet;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

std::vector<quint16> idsOf(const std::vector<ScannedRecord>& records) {
    std::vector<quint16> ids;
    for (const ScannedRecord& r : records)
        ids.push_back(r.id);
    return ids;
}

// Ids with runs of the same id collapsed to one, so repeated FONT, XF... records compare as one.
std::vector<quint16> collapsed(const std::vector<quint16>& ids) {
    std::vector<quint16> out;
    for (quint16 id : ids) {
        if (out.empty() || out.back() != id)
            out.push_back(id);
    }
    return out;
}

Workbook smallWorkbook() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Sheet1"));
    sheet.cellForWriting({0, 0}).value = 1.0;
    sheet.cellForWriting({40, 1}).value = QStringLiteral("far down");
    sheet.mergedRanges.push_back({{2, 0}, {2, 3}});
    sheet.window.zoomPercent = 150;
    return workbook;
}

// The records of the first worksheet substream.
std::vector<ScannedRecord> sheetRecords(const std::vector<ScannedRecord>& records) {
    std::vector<ScannedRecord> out;
    bool inSheet = false;
    for (const ScannedRecord& r : records) {
        if (r.id == 0x0809 && le16(r.body, 2) == 0x0010)
            inSheet = true;
        if (inSheet)
            out.push_back(r);
        if (inSheet && r.id == 0x000A)
            break;
    }
    return out;
}

// A compound file holding the given streams, written with libgsf directly.
QByteArray containerWith(const std::vector<std::pair<const char*, QByteArray>>& streams) {
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* outfile = gsf_outfile_msole_new(sink);
    for (const auto& [name, data] : streams) {
        GsfOutput* child = gsf_outfile_new_child(outfile, name, FALSE);
        gsf_output_write(child, size_t(data.size()), reinterpret_cast<const guint8*>(data.constData()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(outfile));
    g_object_unref(outfile);
    QByteArray bytes(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
                     qsizetype(gsf_output_size(sink)));
    g_object_unref(sink);
    return bytes;
}

}  // namespace

// ---- record layouts ----

void TestSpreadsheetWriter::bofRecord() {
    QCOMPARE(biff::bof(biff::SubstreamType::WorkbookGlobals).bytes(),
             hex("00060500bb0dcc07c100000006000000"));
    QCOMPARE(biff::bof(biff::SubstreamType::Worksheet).bytes(), hex("00061000bb0dcc07c100000006000000"));
}

void TestSpreadsheetWriter::fontRecord() {
    Font font;
    font.name = QStringLiteral("Verdana");
    font.heightTwips = 160;
    font.bold = true;
    // height, options (bold bit), automatic colour, weight 700, no escapement, underline, family,
    // charset, reserved, then the name as count, options byte, Latin-1 characters.
    QCOMPARE(biff::font(font).bytes(), hex("a0000100ff7fbc020000000000000700") + QByteArray("Verdana"));

    font.bold = false;
    font.italic = true;
    font.underline = 1;
    font.colorIndex = 10;
    font.name = QStringLiteral("Шрифт");
    QCOMPARE(biff::font(font).bytes(), hex("a00002000a009001000001000000050128044004380444044204"));
}

void TestSpreadsheetWriter::xfRecord() {
    CellFormat format;
    format.fontIndex = 5;  // file index 6: the file has no font 4
    format.numberFormat = 42;
    format.vAlign = VAlign::Center;
    format.usedAttributes = 0x7C;
    format.left = format.right = {LineStyle::Hair, 23};
    format.top = {LineStyle::Double, 23};
    format.bottom = {LineStyle::Thin, kColorWindowText};
    format.fillPattern = 1;
    format.fillForeground = 8;
    format.fillBackground = kColorWindowText;
    QCOMPARE(biff::xf(format).bytes(), hex("06002a000100100000"
                                           "7c"
                                           "7716970b"
                                           "17200004"
                                           "0820"));

    // The Normal style XF: locked, a style (parent 0xFFF), bottom-aligned, automatic pattern colours.
    Workbook workbook;
    QCOMPARE(biff::xf(workbook.formats[0]).bytes(), hex("0000"
                                                        "0000"
                                                        "f5ff"
                                                        "20000000"
                                                        "00004020"
                                                        "40200000"
                                                        "c020"));
    // Fonts 0..3 keep their index, later ones skip the missing 4.
    QCOMPARE(biff::fileFontIndex(3), quint16(3));
    QCOMPARE(biff::fileFontIndex(4), quint16(5));
}

void TestSpreadsheetWriter::labelSstRecord() {
    QCOMPARE(biff::labelSst({5, 1}, 0x1C, 3).bytes(), hex("050001001c0003000000"));
    QCOMPARE(biff::number({0, 0}, 15, 1.5).bytes(), hex("00000000"
                                                        "0f00"
                                                        "000000000000f83f"));
}

void TestSpreadsheetWriter::rkEncoding_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("encodable");
    QTest::addColumn<quint32>("rk");
    QTest::newRow("zero") << 0.0 << true << 0x00000002u;
    QTest::newRow("one") << 1.0 << true << 0x00000006u;
    QTest::newRow("minus one") << -1.0 << true << 0xFFFFFFFEu;
    QTest::newRow("largest integer") << 536870911.0 << true << 0x7FFFFFFEu;
    QTest::newRow("cents") << 1.5 << true << quint32(150 << 2 | 3);
    QTest::newRow("negative cents") << -0.25 << true << quint32(-25 * 4 | 3);
    QTest::newRow("2^40 as a short double") << 1099511627776.0 << true << 0x42700000u;
    QTest::newRow("pi") << 3.14159265358979 << false << 0u;
    QTest::newRow("ten billion and a half") << 10000000000.5 << false << 0u;
}

void TestSpreadsheetWriter::rkEncoding() {
    QFETCH(double, value);
    QFETCH(bool, encodable);
    QFETCH(quint32, rk);
    const std::optional<quint32> packed = biff::rkValue(value);
    QCOMPARE(packed.has_value(), encodable);
    if (encodable)
        QCOMPARE(*packed, rk);
}

void TestSpreadsheetWriter::sharedStringsSplitAcrossContinue() {
    biff::SharedStrings strings;
    std::vector<QString> texts;
    for (int i = 0; i < 2000; ++i)
        texts.push_back(QStringLiteral("Line %1 ").arg(i) + QString(100 + i % 50, 'x'));
    texts.push_back(QString());
    texts.push_back(QString(5001, QChar(0x0416)));  // wide characters must not be cut in half
    texts.push_back(QString(20000, 'y'));           // longer than a whole record
    for (int i = 0; i < 700; ++i)
        texts.push_back(QString(37, QChar(0x3042 + i % 40)) + QString::number(i));
    for (const QString& t : texts)
        strings.add(t);
    QCOMPARE(strings.add(texts[5]), quint32(5));  // a repeated text keeps its index
    QCOMPARE(strings.uniqueCount(), quint32(texts.size()));
    QCOMPARE(strings.totalCount(), quint32(texts.size() + 1));

    biff::RecordStream stream(1000);  // the table rarely starts at the beginning of the stream
    strings.write(stream);
    const auto records = scanRecords(stream.bytes());
    QVERIFY(records.size() > 30);
    QCOMPARE(records.front().id, quint16(0x00FC));
    QCOMPARE(records.back().id, quint16(0x00FF));
    QCOMPARE(le32(records.front().body, 0), strings.totalCount());
    QCOMPARE(le32(records.front().body, 4), strings.uniqueCount());

    // Read the strings back by the documented rules, noting where each begins.
    size_t chunk = 0;
    qint64 at = 8;
    std::vector<qint64> starts;
    for (const QString& expected : texts) {
        const QByteArray* body = &records[chunk].body;
        if (at == body->size()) {
            ++chunk;
            QCOMPARE(records[chunk].id, quint16(0x003C));
            body = &records[chunk].body;
            at = 0;
        }
        QVERIFY2(at + 3 <= body->size(), "a string's count and options were split");
        starts.push_back(records[chunk].position + 4 + at);
        int remaining = le16(*body, at);
        bool wide = (*body)[at + 2] & 1;
        at += 3;
        QString text;
        while (remaining > 0) {
            if (at == body->size()) {
                ++chunk;
                QCOMPARE(records[chunk].id, quint16(0x003C));
                body = &records[chunk].body;
                wide = (*body)[0] & 1;  // the options byte is repeated after CONTINUE
                at = 1;
            }
            const int charSize = wide ? 2 : 1;
            const int count = std::min<int>(remaining, int(body->size() - at) / charSize);
            QVERIFY2(count > 0, "a character was split across records");
            for (int i = 0; i < count; ++i) {
                text += wide ? QChar(le16(*body, at + 2 * i)) : QChar(uchar((*body)[at + i]));
            }
            at += count * charSize;
            remaining -= count;
        }
        QCOMPARE(text, expected);
    }
    for (size_t i = 0; i + 1 < records.size(); ++i)
        QVERIFY(records[i].body.size() <= 8224);

    // EXTSST points at the first string of every bucket, and at its offset within its record.
    const QByteArray& ext = records.back().body;
    const quint16 perBucket = le16(ext, 0);
    QVERIFY(perBucket >= 8);
    const qsizetype buckets = (ext.size() - 2) / 8;
    QCOMPARE(buckets, qsizetype((texts.size() + perBucket - 1) / perBucket));
    QVERIFY(buckets <= 128);
    for (qsizetype k = 0; k < buckets; ++k) {
        const qint64 start = starts[size_t(k * perBucket)];
        QCOMPARE(qint64(le32(ext, 2 + 8 * k)), start + 1000);  // absolute stream positions
        const ScannedRecord* holder = nullptr;
        for (const ScannedRecord& r : records) {
            if (r.position < start)
                holder = &r;
        }
        QVERIFY(holder);
        QCOMPARE(qint64(le16(ext, 6 + 8 * k)), start - holder->position);
    }
}

void TestSpreadsheetWriter::longRecordsContinue() {
    QByteArray body(20000, '\0');
    for (int i = 0; i < body.size(); ++i)
        body[i] = char(i * 7);
    biff::RecordStream stream;
    QCOMPARE(stream.append(0x00E5, body), qint64(0));
    const auto records = scanRecords(stream.bytes());
    QCOMPARE(idsOf(records), (std::vector<quint16>{0x00E5, 0x003C, 0x003C}));
    QCOMPARE(records[0].body.size(), 8224);
    QCOMPARE(records[1].body.size(), 8224);
    QCOMPARE(records[0].body + records[1].body + records[2].body, body);
}

// ---- stream structure ----

void TestSpreadsheetWriter::globalsRecordOrder() {
    for (bool isTemplate : {true, false}) {
        Workbook workbook = smallWorkbook();
        workbook.addSheet(QStringLiteral("Second"));
        workbook.isTemplate = isTemplate;
        workbook.paletteCustomized = true;
        const auto records = scanRecords(workbookStream(workbook));
        std::vector<quint16> globals;
        for (const ScannedRecord& r : records) {
            globals.push_back(r.id);
            if (r.id == 0x000A)
                break;
        }
        std::vector<quint16> expected = {
            0x0809, 0x0060, 0x00E1, 0x00C1, 0x00E2, 0x005C, 0x0042, 0x0161, 0x013D, 0x009C, 0x0019,
            0x0012, 0x0013, 0x01AF, 0x01BC, 0x003D, 0x0040, 0x008D, 0x0022, 0x000E, 0x01B7, 0x00DA,
            0x0031, 0x041E, 0x00E0, 0x0293, 0x0092, 0x0160, 0x0085, 0x008C, 0x00FC, 0x00FF, 0x000A};
        if (!isTemplate)
            expected.erase(expected.begin() + 1);
        QCOMPARE(collapsed(globals), expected);
        QCOMPARE(std::count(globals.begin(), globals.end(), 0x0031), qsizetype(workbook.fonts.size()));
        QCOMPARE(std::count(globals.begin(), globals.end(), 0x00E0), qsizetype(workbook.formats.size()));
        QCOMPARE(std::count(globals.begin(), globals.end(), 0x0085), 2);
        const auto writeAccess =
            std::find_if(records.begin(), records.end(), [](auto& r) { return r.id == 0x005C; });
        QCOMPARE(writeAccess->body.size(), 112);
    }
}

void TestSpreadsheetWriter::worksheetRecordOrder() {
    const auto records = sheetRecords(scanRecords(workbookStream(smallWorkbook())));
    const std::vector<quint16> expected = {
        0x0809, 0x020B, 0x000D, 0x000C, 0x000F, 0x0011, 0x0010, 0x005F, 0x002A, 0x002B, 0x0082, 0x0080,
        0x0225, 0x0081, 0x0014, 0x0015, 0x0083, 0x0084, 0x0026, 0x0027, 0x0028, 0x0029, 0x00A1, 0x0055,
        0x0200, 0x0208, 0x027E, 0x00D7, 0x0208, 0x00FD, 0x00D7, 0x023E, 0x00A0, 0x001D, 0x00E5, 0x000A};
    QCOMPARE(idsOf(records), expected);
    const auto scl = std::find_if(records.begin(), records.end(), [](auto& r) { return r.id == 0x00A0; });
    QCOMPARE(scl->body, hex("03000200"));  // 150 % as 3/2
    const auto merged = std::find_if(records.begin(), records.end(), [](auto& r) { return r.id == 0x00E5; });
    QCOMPARE(merged->body, hex("0100"
                               "0200"
                               "0200"
                               "0000"
                               "0300"));
}

void TestSpreadsheetWriter::streamPositionsPointAtTheirRecords() {
    Workbook workbook = smallWorkbook();
    Worksheet& second = workbook.addSheet(QStringLiteral("Second"));
    for (int row = 0; row < 100; row += 3)
        second.cellForWriting({row, row % 5}).value = double(row);
    second.rows[7].heightTwips = 400;  // a row record without cells
    second.rows[7].customHeight = true;
    const QByteArray stream = workbookStream(workbook);
    const auto records = scanRecords(stream);

    int sheetsSeen = 0;
    for (const ScannedRecord& bound : records) {
        if (bound.id != 0x0085)
            continue;
        const ScannedRecord* bof = recordAt(records, le32(bound.body, 0));
        QVERIFY2(bof && bof->id == 0x0809 && le16(bof->body, 2) == 0x0010, "BOUNDSHEET misses its sheet");
        ++sheetsSeen;

        const ScannedRecord* index = recordAt(records, bof->position + 4 + bof->body.size());
        QVERIFY(index && index->id == 0x020B);
        const ScannedRecord* defColWidth = recordAt(records, le32(index->body, 12));
        QVERIFY(defColWidth && defColWidth->id == 0x0055);
        const qsizetype blocks = (index->body.size() - 16) / 4;
        QVERIFY(blocks >= 1);
        for (qsizetype b = 0; b < blocks; ++b) {
            const ScannedRecord* dbCell = recordAt(records, le32(index->body, 16 + 4 * b));
            QVERIFY2(dbCell && dbCell->id == 0x00D7, "INDEX misses a DBCELL");
            const ScannedRecord* firstRow = recordAt(records, dbCell->position - le32(dbCell->body, 0));
            QVERIFY2(firstRow && firstRow->id == 0x0208, "DBCELL misses its first ROW");
            // The first row's first cell lies rgdb[0] bytes after the end of the first ROW record.
            const quint16 firstRowIndex = le16(firstRow->body, 0);
            const ScannedRecord* firstCell =
                recordAt(records, firstRow->position + 20 + le16(dbCell->body, 4));
            QVERIFY(firstCell);
            if (le16(firstRow->body, 4) > 0)
                QCOMPARE(le16(firstCell->body, 0), firstRowIndex);
        }
    }
    QCOMPARE(sheetsSeen, 2);
}

void TestSpreadsheetWriter::dimensionsCoverTheCells() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("S"));
    sheet.cellForWriting({2, 1}).value = 1.0;
    sheet.cellForWriting({9, 3});  // a formatted blank counts
    auto dimensions = [&] {
        for (const ScannedRecord& r : sheetRecords(scanRecords(workbookStream(workbook)))) {
            if (r.id == 0x0200)
                return r.body;
        }
        return QByteArray();
    };
    QCOMPARE(dimensions(), hex("02000000"
                               "0a000000"
                               "0100"
                               "0400"
                               "0000"));
    sheet.cells().clear();
    QCOMPARE(dimensions(), QByteArray(14, '\0'));
}

void TestSpreadsheetWriter::cellRecordsByValueType() {
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Types"));
    sheet.cellForWriting({0, 0}).value = 3.14159;
    sheet.cellForWriting({1, 0}).value = true;
    sheet.cellForWriting({2, 0}).value = ErrorCode::Div0;
    for (int column = 1; column <= 3; ++column)
        sheet.cellForWriting({3, column}).xf = quint16(15 + column % 2);
    sheet.cellForWriting({3, 5});
    Cell& text = sheet.cellForWriting({4, 0});
    text.formula = compileFormula(QStringLiteral("\"abc\""));
    text.value = QStringLiteral("abc");
    Cell& empty = sheet.cellForWriting({5, 0});
    empty.formula = compileFormula(QStringLiteral("1+1"));

    const auto records = sheetRecords(scanRecords(workbookStream(workbook)));
    auto find = [&](quint16 id, int row) -> const ScannedRecord* {
        for (const ScannedRecord& r : records) {
            if (r.id == id && le16(r.body, 0) == row)
                return &r;
        }
        return nullptr;
    };
    QVERIFY(find(0x0203, 0));
    QCOMPARE(find(0x0205, 1)->body.mid(6), hex("0100"));
    QCOMPARE(find(0x0205, 2)->body.mid(6), hex("0701"));
    QCOMPARE(find(0x00BE, 3)->body, hex("0300"
                                        "0100"
                                        "1000"
                                        "0f00"
                                        "1000"
                                        "0300"));
    QCOMPARE(find(0x0201, 3)->body, hex("0300"
                                        "0500"
                                        "0f00"));
    const ScannedRecord* formula = find(0x0006, 4);
    QVERIFY(formula);
    QCOMPARE(formula->body.mid(6, 8), hex("000000000000ffff"));
    const ScannedRecord& string = *(formula + 1);
    QCOMPARE(string.id, quint16(0x0207));
    QCOMPARE(string.body, hex("030000") + QByteArray("abc"));
    QCOMPARE(find(0x0006, 5)->body.mid(6, 8), hex("030000000000ffff"));
    QVERIFY((find(0x0006, 5) + 1)->id != 0x0207);
}

void TestSpreadsheetWriter::invalidWorkbooksAreRefused_data() {
    QTest::addColumn<int>("fault");
    QTest::newRow("no sheet") << 0;
    QTest::newRow("name too long") << 1;
    QTest::newRow("name with a slash") << 2;
    QTest::newRow("same name twice, other case") << 3;
    QTest::newRow("cell format out of range") << 4;
    QTest::newRow("font out of range") << 5;
    QTest::newRow("merged range reversed") << 6;
}

void TestSpreadsheetWriter::invalidWorkbooksAreRefused() {
    QFETCH(int, fault);
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Good"));
    switch (fault) {
        case 0:
            workbook.sheets.clear();
            break;
        case 1:
            sheet.name = QString(32, 'n');
            break;
        case 2:
            sheet.name = QStringLiteral("a/b");
            break;
        case 3:
            workbook.addSheet(QStringLiteral("GOOD"));
            break;
        case 4:
            sheet.cellForWriting({0, 0}).xf = quint16(workbook.formats.size());
            break;
        case 5:
            workbook.formats[15].fontIndex = quint16(workbook.fonts.size());
            break;
        case 6:
            sheet.mergedRanges.push_back({{3, 3}, {1, 1}});
            break;
    }
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, workbookStream(workbook));
}

void TestSpreadsheetWriter::failedWriteLeavesNoFile() {
    QTemporaryDir dir;
    const QString missingFolder = dir.filePath(QStringLiteral("missing/out.xls"));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, writeWorkbookFile(smallWorkbook(), missingFolder));
    QVERIFY(!QFile::exists(missingFolder));

    // A workbook refused halfway keeps the previous file as it was.
    const QString path = dir.filePath(QStringLiteral("out.xls"));
    writeWorkbookFile(smallWorkbook(), path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    Workbook broken = smallWorkbook();
    broken.sheets.front().name.clear();
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, writeWorkbookFile(broken, path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    file.close();

    // Overwriting replaces the file and leaves nothing else behind.
    Workbook other = smallWorkbook();
    other.sheets.front().name = QStringLiteral("Renamed");
    writeWorkbookFile(other, path);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("out.xls")});
    QCOMPARE(CompoundFileReader::fromFile(path).workbookStream(), workbookStream(other));
}

// ---- container ----

void TestSpreadsheetWriter::compoundFileStreams() {
    const Workbook workbook = smallWorkbook();
    const CompoundFileReader file = CompoundFileReader::fromBytes(workbookFileBytes(workbook));
    const QStringList names = file.topLevelNames();
    for (const char* name :
         {"Workbook", "\005SummaryInformation", "\005DocumentSummaryInformation", "\001CompObj"}) {
        QVERIFY2(names.contains(QString::fromLatin1(name)), name);
    }
    QCOMPARE(file.workbookStream(), workbookStream(workbook));

    // CompObj: header with the class id, then length-prefixed user type, clipboard format and
    // program id, then the Unicode marker.
    const QByteArray compObj = *file.stream(QStringLiteral("\001CompObj"));
    QCOMPARE(compObj.left(8), hex("0100feff030a0000"));
    QCOMPARE(compObj.mid(12, 16), hex("2008020000000000c000000000000046"));
    qint64 at = 28;
    auto ansi = [&] {
        const quint32 length = le32(compObj, at);
        const QByteArray text = compObj.mid(at + 4, length);
        at += 4 + length;
        return text;
    };
    QVERIFY(ansi().endsWith('\0'));
    QCOMPARE(ansi(), QByteArray("Biff8", 6));
    QCOMPARE(ansi(), QByteArray("Excel.Sheet.8", 14));
    QCOMPARE(le32(compObj, at), 0x71B239F4u);
}

void TestSpreadsheetWriter::documentPropertiesRoundTrip() {
    Workbook workbook = smallWorkbook();
    DocumentProperties& p = workbook.properties;
    p.title = QStringLiteral("Personal statement");
    p.subject = QStringLiteral("Finances");
    p.author = QStringLiteral("Jana Novák");
    p.keywords = QStringLiteral("assets liabilities");
    p.comments = QStringLiteral("A comment");
    p.lastAuthor = QStringLiteral("Someone");
    p.company = QStringLiteral("Brackenlow");
    p.category = QStringLiteral("Forms");
    p.manager = QStringLiteral("The boss");
    p.created = QDateTime(QDate(2021, 3, 5), QTime(10, 30, 15), Qt::UTC);
    p.lastSaved = QDateTime(QDate(2022, 1, 2), QTime(8, 0), Qt::UTC);
    const DocumentProperties read = CompoundFileReader::fromBytes(workbookFileBytes(workbook)).properties();
    QCOMPARE(read.title, p.title);
    QCOMPARE(read.subject, p.subject);
    QCOMPARE(read.author, p.author);
    QCOMPARE(read.keywords, p.keywords);
    QCOMPARE(read.comments, p.comments);
    QCOMPARE(read.lastAuthor, p.lastAuthor);
    QCOMPARE(read.application, p.application);
    QCOMPARE(read.company, p.company);
    QCOMPARE(read.category, p.category);
    QCOMPARE(read.manager, p.manager);
    QCOMPARE(read.created, p.created);
    QCOMPARE(read.lastSaved, p.lastSaved);
}

void TestSpreadsheetWriter::olderBookStreamIsRead() {
    const QByteArray stream = workbookStream(smallWorkbook());
    const auto file = CompoundFileReader::fromBytes(containerWith({{"Book", stream}}));
    QCOMPARE(file.workbookStream(), stream);
    QVERIFY(!file.stream(QStringLiteral("Workbook")).has_value());
}

void TestSpreadsheetWriter::unreadableContainersThrow() {
    const QByteArray good = workbookFileBytes(smallWorkbook());
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, CompoundFileReader::fromBytes(QByteArray()));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, CompoundFileReader::fromBytes(QByteArray(4096, 'x')));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, CompoundFileReader::fromBytes(good.left(600)));
    QVERIFY_THROWS_EXCEPTION(
        SpreadsheetError,
        CompoundFileReader::fromBytes(containerWith({{"Other", QByteArray(100, 'a')}})).workbookStream());
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError,
                             CompoundFileReader::fromFile(QStringLiteral("/nonexistent/x.xls")));
    // A file cut short fails with an error or gives what is left, bounded by the file; it never crashes.
    for (qsizetype size : {qsizetype(1536), good.size() / 2, good.size() - 512}) {
        try {
            const QByteArray read = CompoundFileReader::fromBytes(good.left(size)).workbookStream();
            QVERIFY(read.size() <= good.size());
        } catch (const SpreadsheetError&) {
        }
    }
}

QTEST_GUILESS_MAIN(TestSpreadsheetWriter)
