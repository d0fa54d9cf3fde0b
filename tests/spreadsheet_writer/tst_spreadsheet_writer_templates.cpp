// The template corpus of data/ (made by LibreOffice and gnumeric), saved back unchanged: LibreOffice,
// gnumeric and xlrd see in each saved workbook what they see in the template. The encrypted ones are written
// back encrypted, so this is where other programs decrypt what we encrypted: LibreOffice opens both RC4
// variants, gnumeric only RC4 with MD5 keys, xlrd none (it refuses every encrypted workbook, whatever its
// password).

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tests/common/oracles.h"
#include "tst_spreadsheet_writer.h"

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");
// What xlrd and gnumeric see of a workbook, cells and the parts kept without being modelled alike.
const QString kKeptView = QStringLiteral(QB_SOURCE_DIR "/tests/interop/data/kept_view.py");

struct Output {
    int exitCode = -1;
    QByteArray out;
};

Output run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        return {};
    process.waitForFinished(-1);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput()};
}

QJsonObject keptView(const QString& reader, const QString& path) {
    const Output r = run(kPython, {kKeptView, reader, path});
    return r.exitCode == 0 ? QJsonDocument::fromJson(r.out).object() : QJsonObject();
}

// LibreOffice converts every workbook in one run (it starts slowly): each sheet shown as CSV, by workbook
// file name and sheet name.
std::map<QString, std::map<QString, QByteArray>> libreOfficeSheets(const QStringList& workbooks,
                                                                   const QString& scratch) {
    const QString out = QDir(scratch).filePath(QStringLiteral("csv"));
    QProcess soffice;
    soffice.start(
        QStringLiteral("soffice"),
        QStringList{
            QStringLiteral("-env:UserInstallation=file://") + QDir(scratch).filePath("profile"),
            QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
            // Comma, quote, UTF-8, as shown, every sheet.
            QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"),
            QStringLiteral("--outdir"), out} +
            workbooks);
    soffice.waitForFinished(600000);
    std::map<QString, std::map<QString, QByteArray>> sheets;
    for (const QString& workbook : workbooks) {
        const QString base = QFileInfo(workbook).completeBaseName();
        for (const QFileInfo& csv :
             QDir(out).entryInfoList({base + QStringLiteral("-*.csv")}, QDir::Files, QDir::Name)) {
            QFile file(csv.filePath());
            if (file.open(QIODevice::ReadOnly))
                sheets[QFileInfo(workbook).fileName()][csv.completeBaseName().mid(base.size() + 1)] =
                    file.readAll();
        }
    }
    return sheets;
}

// Where LibreOffice misreads a template and reads our saved copy right, the copy's view as gnumeric and xlrd
// see both files. gnumeric's chart sheet without its EOF makes LibreOffice take the next sheet's records for
// the chart's: in the template it finds the sheet after the chart empty, and a reference to it fails.
struct Misread {
    const char* fixture;
    const char* sheet;
    const char* inTemplate;  // a part of the sheet's CSV, or the whole of it when wholeSheet
    const char* inSavedCopy;
    bool wholeSheet;
};
constexpr Misread kLibreOfficeMisreads[] = {
    {"gn_household.xls", "Budget", "Share of income,,#DIV/0!,", "Share of income,,66.3144927536232%,", false},
    {"gn_household.xls", "Income", "\n", "Source,Monthly\nSalary,3450\nOther,120\n", true},
};

std::map<QString, QByteArray> withMisreadsMended(const QString& fixture,
                                                 std::map<QString, QByteArray> sheets) {
    for (const Misread& misread : kLibreOfficeMisreads) {
        if (fixture != QLatin1String(misread.fixture))
            continue;
        QByteArray& csv = sheets[QString::fromLatin1(misread.sheet)];
        if (misread.wholeSheet ? csv == misread.inTemplate : csv.contains(misread.inTemplate))
            csv.replace(misread.inTemplate, misread.inSavedCopy);
    }
    return sheets;
}

bool isEncrypted(const QString& fixture) {
    return fixture == QStringLiteral("lo_protected.xls") ||
           fixture == QStringLiteral("cryptoapi_statement.xls");
}

}  // namespace

void TestSpreadsheetWriter::templatesSavedUnchangedSeenTheSame() {
    QB_REQUIRE_TOOLS(testing::missingPrograms({QStringLiteral("ssconvert"), QStringLiteral("soffice")}));
    QB_REQUIRE_TOOLS(testing::missingPythonModule(QStringLiteral("xlrd")));
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QDir data(QStringLiteral(QB_TEST_DATA_DIR));
    QStringList fixtures = data.entryList({QStringLiteral("*.xls")}, QDir::Files, QDir::Name);
    fixtures.removeAll(QStringLiteral("real_password.xls"));
    QVERIFY(fixtures.size() >= 7);

    // Each template and its saved copy, under names of their own, since LibreOffice names its output after
    // them.
    QStringList workbooks;
    for (const QString& fixture : fixtures) {
        const QString base = QFileInfo(fixture).completeBaseName();
        const QString before = scratch.filePath(base + QStringLiteral("_before.xls"));
        const QString after = scratch.filePath(base + QStringLiteral("_after.xls"));
        QVERIFY(QFile::copy(data.filePath(fixture), before));
        spreadsheet::writeWorkbookFile(spreadsheet::readWorkbookFile(before), after);
        workbooks << before << after;
    }

    std::map<QString, std::map<QString, QByteArray>> libreOffice =
        libreOfficeSheets(workbooks, scratch.path());

    for (const QString& fixture : fixtures) {
        qInfo().noquote() << fixture;
        const QString base = QFileInfo(fixture).completeBaseName();
        const QString before = scratch.filePath(base + QStringLiteral("_before.xls"));
        const QString after = scratch.filePath(base + QStringLiteral("_after.xls"));

        if (!libreOffice.empty()) {
            const auto was = withMisreadsMended(fixture, libreOffice[QFileInfo(before).fileName()]);
            QVERIFY2(!was.empty(), "LibreOffice did not open the template");
            QCOMPARE(libreOffice[QFileInfo(after).fileName()], was);
        }

        const bool gnumericReads = fixture != QStringLiteral("cryptoapi_statement.xls");
        const QJsonObject gnumericWas = keptView(QStringLiteral("gnumeric"), before);
        QCOMPARE(gnumericWas.isEmpty(), !gnumericReads);
        if (gnumericReads)
            QCOMPARE(keptView(QStringLiteral("gnumeric"), after), gnumericWas);

        if (isEncrypted(fixture)) {
            for (const QString& path : {before, after}) {
                const Output r = run(kPython, {QStringLiteral("-c"),
                                               QStringLiteral("import sys, xlrd\ntry:\n    "
                                                              "xlrd.open_workbook(sys.argv[1])\nexcept "
                                                              "xlrd.XLRDError as e:\n    print(e)"),
                                               path});
                QCOMPARE(r.out.trimmed(), QByteArray("Workbook is encrypted"));
            }
        } else {
            const QJsonObject xlrdWas = keptView(QStringLiteral("xlrd"), before);
            QVERIFY(!xlrdWas.isEmpty());
            QCOMPARE(keptView(QStringLiteral("xlrd"), after), xlrdWas);
        }
    }
}
