// The history's files read back by programs that share nothing with ours: the CSV by Python's csv
// module, the workbook by xlrd and gnumeric (its values, the change column's formulas recalculated, and
// the chart's records walked one by one), the PDF by poppler; and statement workbooks read for import.

#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "entry/sample_data.h"
#include "generation/history_workbook.h"
#include "generation/statement_export.h"
#include "history/history_chart.h"
#include "history/history_csv.h"
#include "history/history_export.h"
#include "history_fixtures.h"
#include "shell/core/error_report.h"
#include "spreadsheet/workbook_reader.h"
#include "tests/common/oracles.h"
#include "tests/common/test_files.h"

using history::EntrySummary;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

struct Run {
    int code = -1;
    QByteArray out;
};

Run run(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput()};
}

EntrySummary entry(QDate date, const QString& name, qint64 assets, qint64 liabilities) {
    return {0, date, name, assets, liabilities, assets - liabilities, QStringLiteral("USD")};
}

// Out of date order on purpose: every export puts them in order.
std::vector<EntrySummary> sampleEntries() {
    return {entry(QDate(2023, 6, 30), QStringLiteral("Ann \"Nan\" Lee, Jr."), 3100050, 1500000),
            entry(QDate(2021, 3, 5), QStringLiteral("Ann Lee"), 2500000, 1800025),
            entry(QDate(2022, 9, 30), QStringLiteral("Ann Lee\nsecond line"), 1125050, 1200000),
            entry(QDate(2024, 1, 2), QStringLiteral("Åsa Öberg"), 5, 0)};
}

}  // namespace

class HistoryFilesTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void plainAmounts_data() {
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0.00";
        QTest::newRow("cents only") << qint64(5) << "0.05";
        QTest::newRow("negative cents") << qint64(-5) << "-0.05";
        QTest::newRow("large") << qint64(999999999999999) << "9999999999999.99";
        QTest::newRow("negative") << qint64(-123456) << "-1234.56";
        QTest::newRow("most negative") << std::numeric_limits<qint64>::min() << "-92233720368547758.08";
    }
    void plainAmounts() {
        QFETCH(qint64, cents);
        QFETCH(QString, text);
        QCOMPARE(history::plainAmount(cents), text);
    }

    // The whole file, byte for byte, and Python's csv module reads the same fields back.
    void csvIsRfc4180() {
        const QByteArray csv = history::historyCsv(sampleEntries());
        const QByteArray expected =
            "date,name,total_assets,total_liabilities,net_worth\r\n"
            "2021-03-05,Ann Lee,25000.00,18000.25,6999.75\r\n"
            "2022-09-30,\"Ann Lee\nsecond line\",11250.50,12000.00,-749.50\r\n"
            "2023-06-30,\"Ann \"\"Nan\"\" Lee, Jr.\",31000.50,15000.00,16000.50\r\n"
            "2024-01-02,\xC3\x85sa \xC3\x96"
            "berg,0.05,0.00,0.05\r\n";
        QCOMPARE(csv, expected);
        QB_REQUIRE_TOOLS(testing::missingPrograms({kPython}));
        const QString file = dir_->filePath(QStringLiteral("h.csv"));
        testing::writeFile(file, csv);
        const Run read =
            run(kPython,
                {QStringLiteral("-c"),
                 QStringLiteral("import csv,json,sys; print(json.dumps(list(csv.reader(open(sys.argv[1], "
                                "newline='', encoding='utf-8')))))"),
                 file});
        QCOMPARE(read.code, 0);
        const QJsonArray rows = QJsonDocument::fromJson(read.out).array();
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows[3].toArray()[1].toString(), QStringLiteral("Ann \"Nan\" Lee, Jr."));
        QCOMPARE(rows[2].toArray()[1].toString(), QStringLiteral("Ann Lee\nsecond line"));
        QCOMPARE(rows[4].toArray()[1].toString(), QStringLiteral("Åsa Öberg"));
    }

    // The table as xlrd sees it, the change column as gnumeric recalculates it, and the chart's records
    // as an independent walk finds them: a chart object, three line series over the table's columns.
    void workbookIsReadByOtherPrograms() {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QString file = dir_->filePath(QStringLiteral("h.xls"));
        history::exportHistory(file, sampleEntries(), us);
        // Our own reader takes it too, the chart kept as it was written.
        QVERIFY(!spreadsheet::readWorkbookFile(file).sheets.front().kept.empty());
        QB_REQUIRE_TOOLS(testing::missingPrograms({QStringLiteral("ssconvert")}));
        QB_REQUIRE_TOOLS(testing::missingPythonModule(QStringLiteral("xlrd")));

        const Run xlrd =
            run(kPython,
                {QStringLiteral("-c"),
                 QStringLiteral("import json,sys,xlrd; s=xlrd.open_workbook(sys.argv[1]).sheet_by_index(0); "
                                "print(json.dumps([s.name]+[s.row_values(r) for r in range(s.nrows)]))"),
                 file});
        QCOMPARE(xlrd.code, 0);
        const QJsonArray sheet = QJsonDocument::fromJson(xlrd.out).array();
        QCOMPARE(sheet[0].toString(), generation::kHistoryTitle);
        QCOMPARE(sheet.size(), 6);
        QCOMPARE(sheet[1].toArray()[4].toString(), QStringLiteral("Net Worth"));
        QCOMPARE(sheet[2].toArray()[0].toDouble(), 44260.0);  // 2021-03-05
        QCOMPARE(sheet[2].toArray()[4].toDouble(), 6999.75);
        QCOMPARE(sheet[3].toArray()[1].toString(), QStringLiteral("Ann Lee\nsecond line"));
        QCOMPARE(sheet[4].toArray()[5].toDouble(), 16000.50 - -749.50);  // the formula's stored result

        const QString recalculated = dir_->filePath(QStringLiteral("h.csv"));
        const Run gnumeric =
            run(QStringLiteral("ssconvert"), {QStringLiteral("--recalc"), file, recalculated});
        QCOMPARE(gnumeric.code, 0);
        // The changes as gnumeric computes them from the formulas.
        const QByteArray values = testing::contentOf(recalculated);
        QVERIFY2(
            values.contains(",-7749.25,") && values.contains(",16750,") && values.contains(",-16000.45,"),
            values.constData());

        const Run walk = run(kPython, {QStringLiteral(QB_TEST_DATA_DIR "/chart_records.py"), file});
        QCOMPARE(walk.code, 0);
        const QJsonObject records = QJsonDocument::fromJson(walk.out).object();
        QVERIFY(records[QStringLiteral("drawing_group")].toBool());
        QVERIFY(records[QStringLiteral("balanced")].toBool());
        QCOMPARE(records[QStringLiteral("drawings")].toInt(), 1);
        QCOMPARE(records[QStringLiteral("objects")].toArray()[0].toObject()[QStringLiteral("type")].toInt(),
                 5);
        const QJsonArray charts = records[QStringLiteral("charts")].toArray();
        QCOMPARE(charts.size(), 1);
        const QJsonObject chart = charts[0].toObject();
        QCOMPARE(chart[QStringLiteral("title")].toString(), generation::kHistoryTitle);
        QVERIFY(chart[QStringLiteral("line")].toBool());
        QVERIFY(chart[QStringLiteral("legend")].toBool());
        QCOMPARE(chart[QStringLiteral("axes")].toInt(), 2);
        const QJsonArray series = chart[QStringLiteral("series")].toArray();
        QCOMPARE(series.size(), 3);
        const char* names[] = {"Total Assets", "Total Liabilities", "Net Worth"};
        for (int i = 0; i < 3; ++i) {
            const QJsonObject s = series[i].toObject();
            QCOMPARE(s[QStringLiteral("name")].toString(), QString::fromLatin1(names[i]));
            QCOMPARE(s[QStringLiteral("points")].toInt(), 4);
            // rows 2 to 5 of column C, D or E; the dates in column A
            QCOMPARE(s[QStringLiteral("values")].toArray(), (QJsonArray{0, 1, 4, 2 + i, 2 + i}));
            QCOMPARE(s[QStringLiteral("categories")].toArray(), (QJsonArray{0, 1, 4, 0, 0}));
        }

        // gnumeric builds its chart from the same series.
        const QString native = dir_->filePath(QStringLiteral("h.gnumeric"));
        QCOMPARE(run(QStringLiteral("ssconvert"), {file, native}).code, 0);
        const Run unzip = run(QStringLiteral("gzip"), {QStringLiteral("-dc"), native});
        QCOMPARE(unzip.code, 0);
        QCOMPARE(unzip.out.count("<GogObject role=\"Series\""), 3);
        QVERIFY(unzip.out.contains("!$E$2:$E$5"));
    }

    // An empty history still makes every file; the workbook then has no chart to draw.
    void emptyHistoryExports() {
        for (const char* name : {"e.csv", "e.xls", "e.pdf"}) {
            const QString file = dir_->filePath(QString::fromLatin1(name));
            history::exportHistory(file, {}, QLocale::c());
            QVERIFY(QFileInfo(file).size() > 0);
        }
        QCOMPARE(testing::contentOf(dir_->filePath(QStringLiteral("e.csv"))),
                 QByteArray("date,name,total_assets,total_liabilities,net_worth\r\n"));
        QVERIFY_THROWS_EXCEPTION(
            shell::RuntimeError,
            history::exportHistory(dir_->filePath(QStringLiteral("e.txt")), {}, QLocale::c()));
        QVERIFY(!QFileInfo::exists(dir_->filePath(QStringLiteral("e.txt"))));
    }

    void pdfHasTitleAuthorAndTable() {
        QB_REQUIRE_TOOLS(testing::missingPrograms({QStringLiteral("pdfinfo"), QStringLiteral("pdftotext")}));
        const QString file = dir_->filePath(QStringLiteral("h.pdf"));
        history::exportHistory(file, sampleEntries(), QLocale(QLocale::English, QLocale::UnitedStates));
        const QString info = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {file}).out).simplified();
        QVERIFY2(info.contains(QStringLiteral("Title: Net Worth Over Time")), qPrintable(info));
        QVERIFY2(info.contains(QStringLiteral("Author: Åsa Öberg")), qPrintable(info));
        const QString text = QString::fromUtf8(
            run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")}).out);
        for (const char* shown :
             {"Net Worth Over Time", "$31,000.50", "($749.50)", "$16,750.00", "Total Liabilities"})
            QVERIFY2(text.contains(QString::fromUtf8(shown)), shown);
    }

    // Statement workbooks saved earlier are read, anything else is refused with its reason.
    void importReadsStatementsOnly() {
        const QString statement = dir_->filePath(QStringLiteral("statement.xls"));
        generation::ExportTargets targets;
        targets.workbook = statement;
        auto record = entry::sample::sampleStatement(QDate(2021, 3, 5));
        record.name = QStringLiteral("Sample Person");
        QVERIFY(generation::ExportStatement(record, targets));
        const QString text = dir_->filePath(QStringLiteral("notes.xls"));
        testing::writeFile(text, "these are notes");
        const QString otherWorkbook = dir_->filePath(QStringLiteral("history.xls"));
        history::exportHistory(otherWorkbook, sampleEntries(), QLocale::c());

        const auto reading = history::readStatementFiles(
            {statement, text, otherWorkbook, dir_->filePath(QStringLiteral("missing.xls"))},
            QStringLiteral("USD"));
        QCOMPARE(reading.accepted, QStringList{statement});
        QCOMPARE(reading.statements.size(), size_t(1));
        const auto& figures = reading.statements.front();
        QCOMPARE(figures.date, QDate(2021, 3, 5));
        QCOMPARE(figures.name, QStringLiteral("Sample Person"));
        QCOMPARE(figures.currency, QStringLiteral("USD"));
        qint64 assets = 0;
        for (const auto& line : figures.assets)
            assets += line.cents;
        QCOMPARE(figures.totalAssets, assets);
        QCOMPARE(figures.netWorth, figures.totalAssets - figures.totalLiabilities);
        QCOMPARE(figures.assets[0].description, record.assetDescriptions[0]);
        QCOMPARE(reading.refused.size(), size_t(3));
        QVERIFY(reading.refused[0].second.contains(QStringLiteral("no Excel 97-2003 workbook")));
        QVERIFY2(reading.refused[1].second.contains(QStringLiteral("\"Total Assets\" in A17")),
                 qPrintable(reading.refused[1].second));
        QVERIFY(reading.refused[2].second.contains(QStringLiteral("no file")));
    }

    void scaleSteps_data() {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<int>("steps");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("step");
        QTest::newRow("thousands") << 0.0 << 31000.5 << 5 << 0.0 << 40000.0 << 10000.0;
        QTest::newRow("negative") << -749.5 << 16000.5 << 4 << -5000.0 << 20000.0 << 5000.0;
        QTest::newRow("flat") << 0.0 << 0.0 << 5 << -1.0 << 1.0 << 0.5;
        QTest::newRow("millions") << 0.0 << 9.99e12 << 8 << 0.0 << 1e13 << 2e12;
    }
    void scaleSteps() {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(int, steps);
        const auto scale = history::HistoryChart::niceScale(low, high, steps);
        QTEST(scale.minimum, "minimum");
        QTEST(scale.maximum, "maximum");
        QTEST(scale.step, "step");
        QVERIFY(scale.minimum <= low && scale.maximum >= high);
    }

    // Each series is drawn in its colour, at any size and pixel density; too small a chart still draws.
    void chartDrawsEverySeries_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("window") << QSize(640, 320) << 1.0;
        QTest::newRow("high density") << QSize(640, 320) << 2.0;
        QTest::newRow("small") << QSize(240, 140) << 1.0;
        QTest::newRow("large") << QSize(2400, 1400) << 1.5;
    }
    void chartDrawsEverySeries() {
        QFETCH(QSize, size);
        QFETCH(qreal, ratio);
        history::HistoryChart chart;
        chart.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        chart.setEntries(sampleEntries());
        QImage image(size * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            chart.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), 2);
        }
        for (const auto& series : history::chartSeries()) {
            int pixels = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    pixels += image.pixel(x, y) == series.colour.rgb();
            QVERIFY2(pixels > 20 * ratio, qPrintable(series.name));
        }
        QVERIFY(chart.describe(0).contains(QStringLiteral("$25,000.00")));
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

int runHistoryFilesTests(int argc, char** argv) {
    HistoryFilesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "history_files_test.moc"
