// Templates with what the engine keeps without modelling it (names, links, comments, validation,
// conditional formats, hyperlinks, panes, protection, chart and macro sheets), saved unchanged or filled,
// as xlrd and gnumeric see them.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QTest>
#include <QtEndian>
#include <algorithm>

#include "external_readers.h"
#include "generation/application.h"
#include "shell/core/error_report.h"
#include "spreadsheet/container/compound_file.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "statement_fill.h"
#include "tst_interop.h"

using namespace interop;

namespace {

const QString kProtected = QStringLiteral(
    "The cell or chart you're trying to change is on a protected sheet. To make a change, unprotect the "
    "sheet. You might be requested to enter a password.");

struct Raw {
    quint16 id;
    QByteArray body;
    bool operator==(const Raw&) const = default;
    bool operator<(const Raw& other) const { return id != other.id ? id < other.id : body < other.body; }
};

// The records of a workbook stream, one list per substream (the globals first).
std::vector<std::vector<Raw>> substreams(const QString& path) {
    const QByteArray stream = spreadsheet::CompoundFileReader::fromFile(path).workbookStream();
    std::vector<std::vector<Raw>> out;
    int depth = 0;
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const quint16 id = qFromLittleEndian<quint16>(stream.constData() + at);
        const quint16 length = qFromLittleEndian<quint16>(stream.constData() + at + 2);
        if (id == 0x0809 && depth++ == 0)
            out.emplace_back();
        if (!out.empty())
            out.back().push_back({id, stream.mid(at + 4, length)});
        if (id == 0x000A)
            --depth;
        at += 4 + length;
    }
    return out;
}

// Records that must come back byte for byte: what is kept as read, and the link table.
bool mustComeBackAsRead(quint16 id) {
    static const std::vector<quint16> ids = {
        0x001C, 0x005D, 0x01B6, 0x003C, 0x00EC, 0x00EB, 0x00ED,  // comments and drawings
        0x01B2, 0x01BE, 0x01B0, 0x01B1, 0x01B8, 0x0800,          // validation, formats, hyperlinks
        0x0041, 0x0867, 0x01C0, 0x0221, 0x0236,                  // pane, features, arrays, tables
        0x01AE, 0x0023, 0x0059, 0x005A, 0x0017};                 // links
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool isProtection(quint16 id) {
    return id == 0x0012 || id == 0x0013 || id == 0x0019 || id == 0x0063 || id == 0x00DD;
}

QJsonObject keptView(const char* reader, const QString& path) {
    return interop::runDataScript("kept_view.py", {QString::fromLatin1(reader), path});
}

}  // namespace

void TestInterop::templatesSavedUnchanged_data() {
    QTest::addColumn<QString>("fixture");
    QTest::newRow("written by gnumeric") << QStringLiteral("kept_records.xls");
    QTest::newRow("written record by record") << QStringLiteral("kept_records_python.xls");
}

void TestInterop::templatesSavedUnchanged() {
    QFETCH(QString, fixture);
    const QString original = QStringLiteral(QB_TEST_DATA_DIR "/") + fixture;
    const QString saved = scratch(fixture);
    spreadsheet::writeWorkbookFile(spreadsheet::readWorkbookFile(original), saved);

    // Records: each substream gives back what it kept, in its order; chart and macro sheets whole.
    const auto before = substreams(original);
    const auto after = substreams(saved);
    QCOMPARE(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        const bool keptWhole = i > 0 && before[i][0].body.mid(2, 2) != QByteArray("\x10\x00", 2);
        auto pick = [&](const std::vector<Raw>& records, auto keep) {
            std::vector<Raw> picked;
            std::copy_if(records.begin(), records.end(), std::back_inserter(picked), keep);
            return picked;
        };
        auto kept = [&](const Raw& r) { return keptWhole ? r.id != 0x020B : mustComeBackAsRead(r.id); };
        QVERIFY2(pick(after[i], kept) == pick(before[i], kept),
                 qPrintable(QStringLiteral("substream %1").arg(i)));
        auto protection = [&](const Raw& r) {
            return isProtection(r.id) && !(r.body == QByteArray(2, '\0'));
        };
        auto beforeProtection = pick(before[i], protection);
        auto afterProtection = pick(after[i], protection);
        std::sort(beforeProtection.begin(), beforeProtection.end());
        std::sort(afterProtection.begin(), afterProtection.end());
        QVERIFY2(afterProtection == beforeProtection, qPrintable(QStringLiteral("substream %1").arg(i)));
    }

    // What xlrd and gnumeric read: values, names, comments, hyperlinks, validation, conditional
    // formats, panes and protection.
    for (const char* reader : {"xlrd", "gnumeric"}) {
        const QJsonObject was = keptView(reader, original);
        QVERIFY(!was.isEmpty());
        QCOMPARE(keptView(reader, saved), was);
    }
}

void TestInterop::protectedTemplateFilled_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QVariant>("input");  // a text, or a date
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("formatShown");  // the number format xlrd finds on the cell afterwards

    // B2:B4 and H2 are unlocked and formatted with format 164, whose code is "General".
    QTest::newRow("date into an unlocked General cell")
        << "B2" << QVariant(QDate(2024, 3, 5)) << QString() << "m/d/yy";
    QTest::newRow("amount into an unlocked General cell")
        << "B3" << QVariant(QStringLiteral("$1,500.00")) << QString()
        << "\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)";
    QTest::newRow("plain number into an unlocked General cell")
        << "H2" << QVariant(QStringLiteral("12")) << QString() << "General";
    QTest::newRow("text into a locked label")
        << "A2" << QVariant(QStringLiteral("Salary")) << kProtected << "";
    QTest::newRow("date into a locked formula") << "C2" << QVariant(QDate(2024, 1, 1)) << kProtected << "";
    QTest::newRow("nothing into a locked cell") << "A3" << QVariant(QString()) << kProtected << "";
}

void TestInterop::protectedTemplateFilled() {
    QFETCH(QString, cell);
    QFETCH(QVariant, input);
    QFETCH(QString, refusal);
    QFETCH(QString, formatShown);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString saved = scratch(QStringLiteral("filled.xls"));
    QString error;
    const QString result = openFillSave(
        QStringLiteral(QB_TEST_DATA_DIR "/kept_records_python.xls"),
        [&](generation::Application& app) {
            generation::Range target = app.Worksheets(1).Range(cell);
            try {
                if (input.typeId() == QMetaType::QDate)
                    target.setValue(input.toDate());
                else
                    target.setValue(input.toString());
            } catch (const shell::RuntimeError& refused) {
                error = refused.description();
            }
        },
        saved);
    QCOMPARE(result, QString());
    QCOMPARE(error, refusal);

    // The protection stays; a refused write changed nothing; an accepted one took General's place.
    const QJsonObject gnumeric = keptView("gnumeric", saved);
    QCOMPARE(gnumeric["sheets"][0]["protected"].toString(), QStringLiteral("1"));
    QCOMPARE(gnumeric["attributes"]["WorkbookView::is_protected"].toString(), QStringLiteral("TRUE"));
    const QJsonObject view = xlrdView(saved);
    const QJsonObject written = cellOf(sheetOf(view), cell);
    const QJsonObject original =
        cellOf(sheetOf(xlrdView(QStringLiteral(QB_TEST_DATA_DIR "/kept_records_python.xls"))), cell);
    if (!refusal.isEmpty()) {
        QCOMPARE(written, original);
        return;
    }
    const QString format = view["formats"][QString::number(xfOf(view, written)["format"].toInt())].toString();
    QCOMPARE(format, formatShown);
    QCOMPARE(xfOf(view, written)["locked"].toInt(), 0);
    if (input.typeId() == QMetaType::QDate)
        QCOMPARE(written["date"].toArray(), (QJsonArray{2024, 3, 5}));
}
