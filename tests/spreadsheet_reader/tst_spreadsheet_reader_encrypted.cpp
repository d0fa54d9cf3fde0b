// Workbooks encrypted with the format's default password, which every spreadsheet opens without asking, and
// those it does not open: a password of the user's own, another kind of encryption, a damaged verifier.
// Also the chart sheets gnumeric writes without their closing EOF record.
// The files come from tests/spreadsheet_writer/data (see make_templates.py there).

#include <QFile>
#include <QtEndian>
#include <QtTest>

#include "spreadsheet/biff/encryption.h"
#include "spreadsheet/container/compound_file.h"
#include "spreadsheet/error.h"
#include "spreadsheet/workbook_reader.h"
#include "tst_spreadsheet_reader.h"

using namespace spreadsheet;

namespace {

QString templatePath(const QString& name) {
    return QStringLiteral(QB_SOURCE_DIR "/tests/spreadsheet_writer/data/") + name;
}

QByteArray streamOf(const QString& name) {
    return CompoundFileReader::fromFile(templatePath(name)).workbookStream();
}

double numberAt(const Worksheet& sheet, const char* name) {
    const Cell* cell = sheet.cell(*parseCellName(QString::fromLatin1(name)));
    return cell && cell->number() ? *cell->number() : -1;
}

QString readError(const QByteArray& stream) {
    try {
        readWorkbookStream(stream);
    } catch (const SpreadsheetError& error) {
        return error.message();
    }
    return QStringLiteral("(read without error)");
}

// The offset of the FILEPASS record's body in an encrypted stream (it follows the first BOF).
qsizetype filePassAt(const QByteArray& stream) {
    return 4 + qFromLittleEndian<quint16>(stream.constData() + 2) + 4;
}

}  // namespace

void TestSpreadsheetReader::rc4KeyStream_data() {
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("encrypted");
    // The published examples of the cipher.
    QTest::newRow("Key") << QByteArray("Key") << QByteArray("Plaintext")
                         << QByteArray::fromHex("BBF316E8D940AF0AD3");
    QTest::newRow("Wiki") << QByteArray("Wiki") << QByteArray("pedia") << QByteArray::fromHex("1021BF0420");
    QTest::newRow("Secret") << QByteArray("Secret") << QByteArray("Attack at dawn")
                            << QByteArray::fromHex("45A01F645FC35B383552544B9BF5");
}

void TestSpreadsheetReader::rc4KeyStream() {
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, encrypted);
    QByteArray data = plain;
    biff::Rc4(key).apply(data.data(), data.size());
    QCOMPARE(data.toHex(), encrypted.toHex());
    // Skipping the key stream is applying it to bytes nobody keeps.
    biff::Rc4 skipping(key);
    skipping.skip(3);
    QByteArray rest = plain.mid(3);
    skipping.apply(rest.data(), rest.size());
    QCOMPARE(rest.toHex(), encrypted.mid(3).toHex());
}

void TestSpreadsheetReader::defaultPasswordWorkbooksOpen_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("majorVersion");  // of the FILEPASS encryption header: 1 RC4 with MD5, 4 CryptoAPI
    QTest::newRow("RC4, MD5 keys (LibreOffice, structure protected)") << "lo_protected.xls" << 1;
    QTest::newRow("RC4 CryptoAPI, SHA-1 keys") << "cryptoapi_statement.xls" << 4;
}

void TestSpreadsheetReader::defaultPasswordWorkbooksOpen() {
    QFETCH(QString, file);
    QFETCH(int, majorVersion);
    const Workbook book = readWorkbookFile(templatePath(file));
    QVERIFY(book.encryption);
    QCOMPARE(qFromLittleEndian<quint16>(book.encryption->filePass.constData() + 2), quint16(majorVersion));
    QCOMPARE(book.sheets[0].name, QStringLiteral("Statement"));
    const Worksheet& statement = book.sheets[0];
    QCOMPARE(*statement.cell(*parseCellName(QStringLiteral("A1")))->text(),
             QStringLiteral("Personal Financial Statement"));
    QCOMPARE(numberAt(statement, "B12"), 486984.75);
    QCOMPARE(numberAt(statement, "B19"), 217650.75);
    QCOMPARE(numberAt(statement, "B21"), 269334.0);
    QCOMPARE(book.protection.structure, file == QStringLiteral("lo_protected.xls"));

    // The stream as stored is encrypted: only the decrypted one reads as plain records.
    QByteArray stream = streamOf(file);
    const QByteArray encrypted = stream;
    QCOMPARE(biff::decryptWorkbookStream(stream), std::optional<QByteArray>(book.encryption->filePass));
    QVERIFY(stream != encrypted);
    QCOMPARE(stream.size(), encrypted.size());
}

void TestSpreadsheetReader::otherPasswordsRefused_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("message");  // the start of the message
    const QString password = QStringLiteral(
        "The workbook is protected with a password (encrypted) and cannot be "
        "opened; remove the password in the program that made it");

    QTest::newRow("a password of the user's own (LibreOffice)") << streamOf("real_password.xls") << password;
    const QByteArray md5 = streamOf("lo_protected.xls");
    const QByteArray cryptoApi = streamOf("cryptoapi_statement.xls");
    QByteArray verifier = md5;
    verifier[filePassAt(md5) + 6 + 16] = char(verifier[filePassAt(md5) + 6 + 16] ^ 0x01);
    QTest::newRow("a damaged password verifier") << verifier << password;
    QByteArray xorObfuscation = md5;
    qToLittleEndian<quint16>(0, xorObfuscation.data() + filePassAt(md5));
    QTest::newRow("XOR obfuscation") << xorObfuscation << password;
    QByteArray unknownVersion = md5;
    qToLittleEndian<quint16>(3, unknownVersion.data() + filePassAt(md5) + 2);
    QTest::newRow("an encryption header of no known version") << unknownVersion << password;
    QByteArray aes = cryptoApi;
    qToLittleEndian<quint32>(0x660E, aes.data() + filePassAt(cryptoApi) + 14 + 8);
    QTest::newRow("CryptoAPI with AES") << aes << password;
    QByteArray hugeHeader = cryptoApi;
    qToLittleEndian<quint32>(0xFFFFFFF0, hugeHeader.data() + filePassAt(cryptoApi) + 10);
    QTest::newRow("CryptoAPI header longer than its record")
        << hugeHeader << QStringLiteral("The workbook is damaged");
}

void TestSpreadsheetReader::otherPasswordsRefused() {
    QFETCH(QByteArray, stream);
    QFETCH(QString, message);
    const QString error = readError(stream);
    QVERIFY2(error.startsWith(message), qPrintable(error));
}

void TestSpreadsheetReader::chartSheetsWithoutEndRecord_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("chartTab");
    QTest::newRow("chart sheet between worksheets") << "gn_household.xls" << 1;
    QTest::newRow("chart sheet last, closed by the stream's end") << "gn_chart_last.xls" << 2;
}

void TestSpreadsheetReader::chartSheetsWithoutEndRecord() {
    QFETCH(QString, file);
    QFETCH(int, chartTab);
    const Workbook book = readWorkbookFile(templatePath(file));
    QCOMPARE(book.sheets.size(), size_t(2));
    QCOMPARE(book.sheets[0].name, QStringLiteral("Budget"));
    QCOMPARE(book.sheets[1].name, QStringLiteral("Income"));
    QCOMPARE(numberAt(book.sheets[1], "B2"), 3450.0);
    QCOMPARE(numberAt(book.sheets[0], "B10"), 2195.0);
    QCOMPARE(book.otherSheets.size(), size_t(1));
    const OtherSheet& chart = book.otherSheets[0];
    QCOMPARE(chart.name, QStringLiteral("Spending"));
    QCOMPARE(int(chart.beforeSheet), chartTab);
    // The substream as read: gnumeric's two BOF records and one EOF, nothing of the sheet after it.
    QCOMPARE(chart.substream.count(QByteArray::fromHex("09081000")), 2);
    QVERIFY(chart.substream.endsWith(QByteArray::fromHex("0a000000")));
}
