// The differential test of the formula engine: every formula of the corpus (data/corpus), over each
// fill of the statement's amounts, evaluated by our engine and by gnumeric (`ssconvert --recalc`),
// must give the same result. Three ways in (the paths of exceptions.txt):
//   - our-tokens: the corpus compiled by us, saved with our writer, recalculated by gnumeric;
//   - our-text: the same workbook handed to gnumeric as its own XML, formulas as formulaText shows them;
//   - gnumeric-tokens: templates gnumeric wrote (data/*.xls, made by data/make_fixtures.py), read by our
//     reader, filled and recalculated by us, saved and recalculated by gnumeric.
// Where gnumeric departs from the spreadsheet's documented rules, corpus/exceptions.txt states the value
// the rules give: our engine must give exactly that, gnumeric must differ there (else the line excuses
// nothing), and every line must meet a result of the paths that ran.

#include <QtTest>

#include <QTemporaryDir>
#include <set>

#include "formula_corpus.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tests/common/oracles.h"
#include "value_description.h"

using namespace spreadsheet;

namespace {

const QString kCorpusFolder = QStringLiteral(QB_TEST_DATA_DIR "/corpus");

struct Tally {
    int results = 0;
    int agreements = 0;
    int exceptions = 0;
    QStringList disagreements;
};

void report(const QString& path, const Tally& tally) {
    qInfo("%s: %d results, %d agree, %d excused by exceptions.txt", qPrintable(path), tally.results,
          tally.agreements, tally.exceptions);
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
    void cleanupTestCase();

private:
    // Compares our values of the area's formulas (column D at `rows`) with gnumeric's CSV rows.
    void compare(const QString& area, const QStringList& formulas, const QList<int>& rows,
                 const Workbook& ours, const QList<QStringList>& theirs, const QString& fill,
                 const QString& path);

    corpus::Corpus corpus_;
    QTemporaryDir scratch_;
    QMap<QString, Tally> tallies_;  // by path
    std::set<int> usedExceptions_;  // lines of exceptions.txt that met a result
    QStringList pathsRun_;
};

void TestDifferential::initTestCase() {
    QB_REQUIRE_TOOLS(testing::missingPrograms({QStringLiteral("ssconvert")}));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    corpus_ = corpus::load(kCorpusFolder);
    QVERIFY2(corpus_.problems.isEmpty(), qPrintable(corpus_.problems.join(u'\n')));
    QVERIFY(scratch_.isValid());
}

void TestDifferential::compare(const QString& area, const QStringList& formulas, const QList<int>& rows,
                               const Workbook& ours, const QList<QStringList>& theirs, const QString& fill,
                               const QString& path) {
    Tally& tally = tallies_[path];
    for (qsizetype i = 0; i < formulas.size(); ++i) {
        const Cell* cell = ours.sheets[0].cell({rows[i], 3});
        const Value value = cell ? cell->value : Value();
        const QString other = theirs.value(rows[i]).value(3);
        const bool agrees = corpus::agrees(value, other);
        const QString where = QStringLiteral("%1 %2 %3 %4").arg(path, fill, area, formulas[i]);
        ++tally.results;
        const QList<const corpus::Exception*> exceptions =
            corpus_.exceptionsFor(area, formulas[i], fill, path);
        if (exceptions.size() > 1) {
            for (const corpus::Exception* e : exceptions)
                usedExceptions_.insert(e->line);
            tally.disagreements << QStringLiteral("%1: exceptions.txt lines %2 and %3 both cover it")
                                       .arg(where)
                                       .arg(exceptions[0]->line)
                                       .arg(exceptions[1]->line);
        } else if (exceptions.size() == 1) {
            const corpus::Exception& e = *exceptions.front();
            usedExceptions_.insert(e.line);
            if (agrees) {
                tally.disagreements << QStringLiteral(
                                           "%1: exceptions.txt line %2 excuses nothing, gnumeric agrees (%3)")
                                           .arg(where)
                                           .arg(e.line)
                                           .arg(describe(value));
            } else if (!corpus::sameValue(value, e.value)) {
                tally.disagreements << QStringLiteral("%1: ours %2, but %3 (exceptions.txt line %4: %5)")
                                           .arg(where, describe(value), describe(e.value))
                                           .arg(e.line)
                                           .arg(e.rule);
            } else {
                ++tally.exceptions;
            }
        } else if (agrees) {
            ++tally.agreements;
        } else {
            tally.disagreements
                << QStringLiteral("%1: ours %2, gnumeric %3").arg(where, describe(value), other);
        }
    }
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
            compare(area, areaFormulas, areaRows, workbook, fromXls, fill.name, QStringLiteral("our-tokens"));
            compare(area, areaFormulas, areaRows, workbook, fromXml, fill.name, QStringLiteral("our-text"));
        }
    }
    qInfo("corpus: %d formulas in %d areas, %d fills", int(formulas.size()), int(corpus::kAreas.size()),
          int(corpus_.fills.size()));
    pathsRun_ << QStringLiteral("our-tokens") << QStringLiteral("our-text");
    const QStringList paths = {QStringLiteral("our-tokens"), QStringLiteral("our-text")};
    for (const QString& path : paths)
        report(path, tallies_[path]);
    for (const QString& path : paths) {
        const Tally& tally = tallies_[path];
        QVERIFY2(tally.disagreements.isEmpty(), qPrintable(path));
        QCOMPARE(tally.agreements + tally.exceptions, tally.results);
    }
}

void TestDifferential::gnumericTemplatesAgree() {
    const QString path = QStringLiteral("gnumeric-tokens");
    for (const QString& area : corpus::kAreas) {
        const Workbook written = readWorkbookFile(QStringLiteral(QB_TEST_DATA_DIR "/%1.xls").arg(area));
        const QStringList& formulas = corpus_.areas[area].formulas;
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
            compare(area, formulas, rows, workbook, theirs, fill.name, path);
        }
    }
    pathsRun_ << path;
    const Tally& tally = tallies_[path];
    report(path, tally);
    QVERIFY2(tally.disagreements.isEmpty(), qPrintable(path));
    QCOMPARE(tally.agreements + tally.exceptions, tally.results);
}

// An exception that met no result of the paths that ran names a formula, fill or path the corpus does not
// have (or no longer has).
void TestDifferential::cleanupTestCase() {
    QStringList unused;
    for (const corpus::Exception& e : corpus_.exceptions) {
        const bool ran = e.paths == QStringList{"*"}
                             ? !pathsRun_.isEmpty()
                             : std::any_of(e.paths.begin(), e.paths.end(),
                                           [&](const QString& p) { return pathsRun_.contains(p); });
        if (ran && !usedExceptions_.count(e.line))
            unused << QStringLiteral("exceptions.txt line %1 (%2 %3) meets no result")
                          .arg(e.line)
                          .arg(e.area, e.formula);
    }
    QVERIFY2(unused.isEmpty(), qPrintable(unused.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestDifferential)

#include "tst_formula_differential.moc"
