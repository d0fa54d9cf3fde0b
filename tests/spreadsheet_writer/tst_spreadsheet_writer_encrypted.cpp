// Workbooks encrypted with the format's default password are written back encrypted the same way: the
// FILEPASS record after the first BOF, every record body encrypted except those the format leaves in the
// clear (and the sheet positions of BOUNDSHEET), and nothing a reader with the default password cannot read.

#include <QTest>
#include <QtEndian>

#include "spreadsheet/biff/encryption.h"
#include "spreadsheet/error.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tst_spreadsheet_writer.h"

using namespace spreadsheet;

namespace {

struct Header {
    quint16 id;
    qsizetype body;
    qsizetype length;
};

std::vector<Header> headers(const QByteArray& stream) {
    std::vector<Header> out;
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const quint16 length = qFromLittleEndian<quint16>(stream.constData() + at + 2);
        out.push_back({qFromLittleEndian<quint16>(stream.constData() + at), at + 4, length});
        at += 4 + length;
    }
    return out;
}

bool leftInClear(quint16 id) {
    // BOF, FILEPASS, INTERFACEHDR, and the others the format names, which these workbooks do not hold.
    return id == 0x0809 || id == 0x002F || id == 0x00E1;
}

QByteArray salt(char seed) {
    QByteArray bytes(16, '\0');
    for (int i = 0; i < 16; ++i)
        bytes[i] = char(seed * 31 + i * 7);
    return bytes;
}

}  // namespace

void TestSpreadsheetWriter::encryptedWorkbooksWrittenEncrypted_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QByteArray>("newFilePass");  // empty: the encryption as read
    QTest::newRow("RC4 with MD5 keys, as LibreOffice wrote it") << "lo_protected.xls" << QByteArray();
    QTest::newRow("RC4 CryptoAPI, as read") << "cryptoapi_statement.xls" << QByteArray();
    QTest::newRow("RC4 CryptoAPI with a 40-bit key, new")
        << "lo_statement.xls" << biff::defaultPasswordFilePass(biff::Rc4Variant::CryptoApi, salt(1), 40);
    QTest::newRow("RC4 with MD5 keys, new")
        << "gn_household.xls" << biff::defaultPasswordFilePass(biff::Rc4Variant::Md5, salt(2));
}

void TestSpreadsheetWriter::encryptedWorkbooksWrittenEncrypted() {
    QFETCH(QString, fixture);
    QFETCH(QByteArray, newFilePass);
    Workbook book = readWorkbookFile(QStringLiteral(QB_TEST_DATA_DIR "/") + fixture);
    if (!newFilePass.isEmpty())
        book.encryption = DefaultPasswordEncryption{newFilePass};
    QVERIFY(book.encryption);

    const QByteArray stream = workbookStream(book);
    QByteArray plain = stream;
    const std::optional<QByteArray> filePass = biff::decryptWorkbookStream(plain);
    QCOMPARE(filePass, std::optional<QByteArray>(biff::filePassForWriting(book.encryption->filePass)));

    const std::vector<Header> written = headers(stream);
    QCOMPARE(written.at(0).id, quint16(0x0809));
    QCOMPARE(written.at(1).id, quint16(0x002F));
    int encrypted = 0;
    for (const Header& h : written) {
        const QByteArray body = stream.mid(h.body, h.length);
        const QByteArray clear = plain.mid(h.body, h.length);
        if (leftInClear(h.id)) {
            QCOMPARE(body.toHex(), clear.toHex());
        } else if (h.id == 0x0085) {
            // The sheet's position stays readable and points at its BOF; the rest is encrypted.
            QCOMPARE(body.left(4), clear.left(4));
            QCOMPARE(
                qFromLittleEndian<quint16>(stream.constData() + qFromLittleEndian<quint32>(body.constData())),
                quint16(0x0809));
            QVERIFY(body.mid(4) != clear.mid(4));
        } else if (h.length >= 4) {
            QVERIFY2(body != clear, qPrintable(QString::number(h.id, 16)));
            ++encrypted;
        }
    }
    QVERIFY(encrypted > 20);

    const Workbook again = readWorkbookStream(stream);
    QCOMPARE(again.encryption, std::optional<DefaultPasswordEncryption>(DefaultPasswordEncryption{
                                   biff::filePassForWriting(book.encryption->filePass)}));
    QCOMPARE(again.sheets.size(), book.sheets.size());
    for (size_t i = 0; i < book.sheets.size(); ++i) {
        QCOMPARE(again.sheets[i].name, book.sheets[i].name);
        QCOMPARE(again.sheets[i].cells().size(), book.sheets[i].cells().size());
    }

    // A FILEPASS that the default password does not open is refused before anything is written.
    Workbook wrong = book;
    wrong.encryption->filePass[wrong.encryption->filePass.size() - 1] ^= 0x40;
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, workbookStream(wrong));
}
