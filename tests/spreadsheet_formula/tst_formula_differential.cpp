// The differential test of the formula engine: every formula of the corpus (data/corpus), over each
// fill of the statement's amounts, evaluated by our engine and by gnumeric (`ssconvert --recalc`),
// must give the same result. Three ways in:
//   - our compiler's tokens: the corpus compiled by us, saved with our writer, recalculated by gnumeric;
//   - our text view: the same workbook handed to gnumeric as its own XML, formulas as formulaText shows
//     them (this also covers the names and the second sheet, which the .xls path needs NAME, SUPBOOK
//     and EXTERNSHEET records for);
//   - gnumeric's tokens: templates gnumeric wrote (data/*.xls, made by data/make_fixtures.py), read by
//     our reader, filled and recalculated by us, saved and recalculated by gnumeric.
// Documented differences between gnumeric and the spreadsheet behaviour are in corpus/exceptions.txt.

#include <QtTest>

#include <QTemporaryDir>

#include "formula_corpus.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tst_spreadsheet_formula.h"

using namespace spreadsheet;

namespace {

const QString kCorpusFolder = QStringLiteral(QB_TEST_DATA_DIR "/corpus");

struct Tally {
    int results = 0;
    int agreements = 0;
    int exceptions = 0;
    QStringList disagreements;
};

// Whether the saved workbook stream holds NAME records: until the writer writes them, gnumeric cannot
// evaluate names from our .xls files.
bool writesNames(const Workbook& workbook) {
    const QByteArray stream = workbookStream(workbook);
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const int id = quint8(stream[at]) | (quint8(stream[at + 1]) << 8);
        const int length = quint8(stream[at + 2]) | (quint8(stream[at + 3]) << 8);
        if (id == 0x0018)
            return true;
        at += 4 + length;
    }
    return false;
}

void compare(const corpus::Corpus& corpus, const QString& area, const QStringList& formulas,
             const QList<int>& rows, const Workbook& ours, const QList<QStringList>& theirs,
             const QString& label, Tally& tally) {
    for (qsizetype i = 0; i < formulas.size(); ++i) {
        const Cell* cell = ours.sheets[0].cell({rows[i], 3});
        const Value value = cell ? cell->value : Value();
        const QString other = theirs.value(rows[i]).value(3);
        ++tally.results;
        if (corpus::agrees(value, other)) {
            ++tally.agreements;
        } else if (corpus.exceptionFor(area, formulas[i])) {
            ++tally.exceptions;
        } else {
            tally.disagreements << QStringLiteral("%1 %2 %3: ours %4, gnumeric %5")
                                       .arg(label, area, formulas[i], describe(value), other);
        }
    }
}

void report(const char* what, const Tally& tally) {
    qInfo("%s: %d results, %d agree, %d documented exceptions", what, tally.results, tally.agreements,
          tally.exceptions);
    for (const QString& line : tally.disagreements)
        qWarning().noquote() << line;
}

}  // namespace

class TestDifferential : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void compiledCorpusAgreesWithGnumeric();
    void gnumericTemplatesAgree();

private:
    corpus::Corpus corpus_;
    QTemporaryDir scratch_;
};

void TestDifferential::initTestCase() {
    if (QStandardPaths::findExecutable("ssconvert").isEmpty())
        QSKIP("ssconvert (gnumeric) is not installed");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    corpus_ = corpus::load(kCorpusFolder);
    QVERIFY(scratch_.isValid());
}

void TestDifferential::compiledCorpusAgreesWithGnumeric() {
    QList<int> rows;
    const Workbook blank = corpus::buildWorkbook(corpus_, corpus::kAreas, rows);
    QStringList formulas;
    QStringList areaOf;
    for (const QString& area : corpus::kAreas) {
        formulas << corpus_.areas[area].formulas;
        for (qsizetype i = 0; i < corpus_.areas[area].formulas.size(); ++i)
            areaOf << area;
    }
    const bool namesInXls = writesNames(blank);
    Tally viaXls, viaXml;
    for (const corpus::Fill& fill : corpus_.fills) {
        Workbook workbook = blank;
        corpus::applyFill(workbook, fill);
        recalculate(workbook);

        const QString xls = scratch_.filePath(fill.name + ".xls");
        writeWorkbookFile(workbook, xls);
        const auto fromXls = corpus::gnumericValues(xls, corpus::kMainSheet, scratch_.path());
        QVERIFY(!fromXls.isEmpty());
        const QString xml = scratch_.filePath(fill.name + ".gnumeric.xml");
        QFile file(xml);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(corpus::gnumericXml(workbook));
        file.close();
        const auto fromXml = corpus::gnumericValues(xml, corpus::kMainSheet, scratch_.path());
        QVERIFY(!fromXml.isEmpty());

        for (const QString& area : corpus::kAreas) {
            QStringList areaFormulas;
            QList<int> areaRows;
            for (qsizetype i = 0; i < formulas.size(); ++i) {
                if (areaOf[i] == area) {
                    areaFormulas << formulas[i];
                    areaRows << rows[i];
                }
            }
            if (area != corpus::kNamesArea || namesInXls)
                compare(corpus_, area, areaFormulas, areaRows, workbook, fromXls, "xls/" + fill.name, viaXls);
            compare(corpus_, area, areaFormulas, areaRows, workbook, fromXml, "xml/" + fill.name, viaXml);
        }
    }
    qInfo("corpus: %d formulas in %d areas, %d fills", int(formulas.size()), int(corpus::kAreas.size()),
          int(corpus_.fills.size()));
    if (!namesInXls)
        qInfo(
            "names and second-sheet formulas: checked through gnumeric XML only (the writer has no NAME "
            "records)");
    report("our tokens, recalculated by gnumeric", viaXls);
    report("our text view, recalculated by gnumeric", viaXml);
    QCOMPARE(viaXls.agreements + viaXls.exceptions, viaXls.results);
    QCOMPARE(viaXml.agreements + viaXml.exceptions, viaXml.results);
}

void TestDifferential::gnumericTemplatesAgree() {
    Tally tally;
    int pending = 0;
    for (const QString& area : corpus::kAreas) {
        const Workbook written = readWorkbookFile(QStringLiteral(QB_TEST_DATA_DIR "/%1.xls").arg(area));
        const QStringList& formulas = corpus_.areas[area].formulas;
        if (area == corpus::kNamesArea && written.names.empty()) {
            pending += int(formulas.size());  // needs the reader's NAME and EXTERNSHEET records
            continue;
        }
        QList<int> rows;
        for (int i = 0; i < formulas.size(); ++i)
            rows << i;
        for (const corpus::Fill& fill : corpus_.fills) {
            Workbook workbook = written;
            corpus::applyFill(workbook, fill);
            recalculate(workbook);
            const QString saved = scratch_.filePath(QStringLiteral("%1-%2.xls").arg(area, fill.name));
            writeWorkbookFile(workbook, saved);
            const auto theirs = corpus::gnumericValues(saved, corpus::kMainSheet, scratch_.path());
            QVERIFY2(!theirs.isEmpty(), qPrintable(saved));
            compare(corpus_, area, formulas, rows, workbook, theirs, "template/" + fill.name, tally);
        }
    }
    if (pending)
        qInfo("%d formulas of gnumeric's names template wait for the reader's NAME records", pending);
    report("gnumeric's templates, filled and recalculated by us and by gnumeric", tally);
    QCOMPARE(tally.agreements + tally.exceptions, tally.results);
}

int runDifferentialTests(int argc, char** argv) {
    TestDifferential test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_formula_differential.moc"
