// Templates made by LibreOffice and gnumeric (data/make_templates.py), read and saved back unchanged: every
// substream keeps its records, ids and bodies, in their order. The only differences allowed are those the
// format itself requires, listed in kRequired with the reason; anything else is a record the writer
// changed, dropped or added for no reason.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QtEndian>
#include <algorithm>
#include <functional>
#include <map>

#include "spreadsheet/biff/encryption.h"
#include "spreadsheet/container/compound_file.h"
#include "spreadsheet/error.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tst_spreadsheet_writer.h"

using namespace spreadsheet;

namespace {

struct Raw {
    quint16 id = 0;
    QByteArray body;
    bool operator==(const Raw&) const = default;
};

// A difference the format requires between a record as read and as written: the part of the body that
// may differ is masked out before the two are compared.
struct Required {
    quint16 id;
    const char* what;
    const char* why;
    std::function<QByteArray(const QByteArray&)> compared;
};

QByteArray maskedFrom(const QByteArray& body, qsizetype from) {
    return body.left(from) + QByteArray(std::max<qsizetype>(0, body.size() - from), '.');
}

QByteArray maskedFields(const QByteArray& body, qsizetype first, qsizetype step, qsizetype width) {
    QByteArray out = body;
    for (qsizetype at = first; at + width <= out.size(); at += step)
        out.replace(at, width, QByteArray(width, '.'));
    return out;
}

const std::vector<Required>& required() {
    static const std::vector<Required> table = {
        {0x0085, "BOUNDSHEET: the sheet's stream position",
         "it points at the sheet's BOF, which moves with the length of every record before it",
         [](const QByteArray& b) { return maskedFields(b, 0, b.size(), 4); }},
        {0x020B, "INDEX: the positions of DEFCOLWIDTH and of each DBCELL",
         "absolute stream positions, which move with the records before them",
         [](const QByteArray& b) { return maskedFrom(b, 12); }},
        {0x00FF, "EXTSST: the stream position of each bucket's first string",
         "absolute stream positions, which move with the records before the SST",
         [](const QByteArray& b) { return maskedFields(b, 2, 8, 4); }},
        {0x00D7, "DBCELL: the offsets of a block's first ROW record and of each row's first cell",
         "computed from where the writer puts them; gnumeric writes offsets that point elsewhere",
         [](const QByteArray&) { return QByteArray(); }},
    };
    return table;
}

// Records the format requires in every substream of their kind, which the writer adds when a template lacks
// them.
struct Added {
    quint16 id;
    const char* what;
};

const std::vector<Added>& addedWhenMissing() {
    static const std::vector<Added> table = {
        {0x020B, "INDEX: every worksheet has one"},
        {0x000D, "CALCMODE: the first of the calculation settings every worksheet has"},
        {0x0019, "WINDOWPROTECT: part of the protection block every workbook has"},
        {0x0012, "PROTECT (globals): part of the protection block every workbook has"},
        {0x0013, "PASSWORD (globals): part of the protection block every workbook has"},
        {0x00D7, "DBCELL: every block of rows in the cell table ends with one"},
        {0x000A, "EOF: every substream ends with one; gnumeric leaves it out of chart sheets"},
    };
    return table;
}

// Runs of records whose order the format lays down, which some programs write in another order: within a
// run, the records are compared in the format's order.
const std::vector<std::vector<quint16>>& documentedOrders() {
    static const std::vector<std::vector<quint16>> table = {
        // A worksheet's settings: calculation, printing, gutters, default row height, options. LibreOffice
        // writes the last three before the printing settings.
        {0x000D, 0x000C, 0x000F, 0x0011, 0x0010, 0x005F, 0x002A, 0x002B, 0x0082, 0x0080, 0x0225, 0x0081},
        // A sheet's protection: PROTECT, SCENPROTECT, OBJPROTECT, PASSWORD. gnumeric writes OBJPROTECT first.
        {0x0012, 0x00DD, 0x0063, 0x0013},
        // The palette belongs to the cell formatting, before USESELFS. gnumeric writes it after.
        {0x0092, 0x0160},
    };
    return table;
}

std::vector<Raw> inDocumentedOrder(std::vector<Raw> records) {
    for (const std::vector<quint16>& order : documentedOrders()) {
        auto rank = [&](const Raw& r) { return std::find(order.begin(), order.end(), r.id) - order.begin(); };
        const auto in = [&](const Raw& r) { return rank(r) < qsizetype(order.size()); };
        for (auto run = records.begin(); run != records.end();) {
            if (!in(*run)) {
                ++run;
                continue;
            }
            auto end = std::find_if_not(run, records.end(), in);
            std::stable_sort(run, end, [&](const Raw& a, const Raw& b) { return rank(a) < rank(b); });
            run = end;
        }
    }
    return records;
}

QByteArray comparedBody(const Raw& record) {
    for (const Required& difference : required()) {
        if (difference.id == record.id)
            return difference.compared(record.body);
    }
    return record.body;
}

// The plain workbook stream of a file: decrypted when it is encrypted with the default password.
QByteArray plainStream(const QByteArray& file) {
    QByteArray stream = CompoundFileReader::fromBytes(file).workbookStream();
    biff::decryptWorkbookStream(stream);
    return stream;
}

std::vector<Raw> records(QByteArrayView stream, qsizetype from, qsizetype to) {
    std::vector<Raw> out;
    for (qsizetype at = from; at + 4 <= to;) {
        const quint16 id = qFromLittleEndian<quint16>(stream.data() + at);
        const quint16 length = qFromLittleEndian<quint16>(stream.data() + at + 2);
        out.push_back({id, stream.sliced(at + 4, std::min<qsizetype>(length, to - at - 4)).toByteArray()});
        at += 4 + length;
    }
    return out;
}

// The records of each substream in stream order, the globals first. A substream runs from its BOF to the
// next one the BOUNDSHEET records point at, so that one whose writer left out its EOF ends there too.
std::vector<std::vector<Raw>> substreams(const QByteArray& stream) {
    std::vector<qsizetype> starts{0};
    for (const Raw& record : records(stream, 0, stream.size())) {
        if (record.id == 0x0085 && record.body.size() >= 4)
            starts.push_back(qFromLittleEndian<quint32>(record.body.constData()));
        if (record.id == 0x000A)
            break;
    }
    std::sort(starts.begin(), starts.end());
    std::vector<std::vector<Raw>> out;
    for (size_t i = 0; i < starts.size(); ++i)
        out.push_back(records(stream, starts[i], i + 1 < starts.size() ? starts[i + 1] : stream.size()));
    return out;
}

QString describe(const Raw& record) {
    return QStringLiteral("%1[%2] %3")
        .arg(record.id, 4, 16, QLatin1Char('0'))
        .arg(record.body.size())
        .arg(QString::fromLatin1(record.body.left(24).toHex()));
}

// The records only one side has, found by the longest common subsequence of the two, less the records the
// format requires that the writer added.
QStringList differences(const std::vector<Raw>& readBefore, const std::vector<Raw>& writtenAfter) {
    const std::vector<Raw> before = inDocumentedOrder(readBefore);
    const std::vector<Raw> after = inDocumentedOrder(writtenAfter);
    auto count = [&](quint16 id) {
        return std::count_if(before.begin(), before.end(), [&](const Raw& r) { return r.id == id; });
    };
    auto allowedAddition = [&](const Raw& record) {
        const auto& added = addedWhenMissing();
        if (std::none_of(added.begin(), added.end(), [&](const Added& a) { return a.id == record.id; }))
            return false;
        // An EOF closes a substream that lacked it: one BOF more than EOFs as read.
        return record.id == 0x000A ? count(0x0809) > count(0x000A) : count(record.id) == 0;
    };
    const size_t n = before.size(), m = after.size();
    std::vector<std::vector<int>> common(n + 1, std::vector<int>(m + 1, 0));
    auto same = [&](size_t i, size_t j) {
        return before[i].id == after[j].id && comparedBody(before[i]) == comparedBody(after[j]);
    };
    for (size_t i = n; i-- > 0;) {
        for (size_t j = m; j-- > 0;)
            common[i][j] =
                same(i, j) ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
    }
    QStringList out;
    size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && same(i, j)) {
            ++i;
            ++j;
        } else if (j < m && (i == n || common[i][j + 1] >= common[i + 1][j])) {
            if (!allowedAddition(after[j]))
                out << QStringLiteral("  + %1").arg(describe(after[j]));
            ++j;
        } else {
            out << QStringLiteral("  - %1").arg(describe(before[i++]));
        }
    }
    return out;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

void TestSpreadsheetWriter::templatesSavedUnchangedKeepTheirRecords_data() {
    QTest::addColumn<QString>("fixture");
    const QDir data(QStringLiteral(QB_TEST_DATA_DIR));
    for (const QString& name : data.entryList({QStringLiteral("*.xls")}, QDir::Files, QDir::Name)) {
        if (name != QStringLiteral("real_password.xls"))
            QTest::newRow(qPrintable(name)) << data.filePath(name);
    }
}

void TestSpreadsheetWriter::templatesSavedUnchangedKeepTheirRecords() {
    QFETCH(QString, fixture);
    const QByteArray original = readAll(fixture);
    QVERIFY(!original.isEmpty());
    const QByteArray saved = workbookFileBytes(readWorkbookBytes(original));
    if (qEnvironmentVariableIsSet("QB_SAVED_DIR")) {
        QFile out(qEnvironmentVariable("QB_SAVED_DIR") + "/" + QFileInfo(fixture).fileName());
        if (out.open(QIODevice::WriteOnly))
            out.write(saved);
    }

    const auto before = substreams(plainStream(original));
    const auto after = substreams(plainStream(saved));
    QCOMPARE(after.size(), before.size());
    QStringList report;
    for (size_t i = 0; i < before.size(); ++i) {
        const QStringList found = differences(before[i], after[i]);
        if (!found.isEmpty())
            report << QStringLiteral("substream %1:").arg(i) << found;
    }
    for (const QString& line : report)
        qInfo().noquote() << line;
    QVERIFY2(report.isEmpty(), qPrintable(QStringLiteral("%1 differences").arg(report.size())));
}
