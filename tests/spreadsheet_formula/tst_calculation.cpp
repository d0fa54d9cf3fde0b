// The calculation kept between changes: what a change makes it evaluate and what it must leave alone,
// volatile formulas and references made while evaluating, results equal to a full recalculation over
// the whole formula corpus, and the dense cell store it walks, against a map.

#include <QtTest>

#include <map>
#include <set>

#include "formula_corpus.h"
#include "spreadsheet/calculation.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/typed_entry.h"
#include "tst_spreadsheet_formula.h"

using namespace spreadsheet;

namespace {

const QString kCorpusFolder = QStringLiteral(QB_TEST_DATA_DIR "/corpus");

CellRef at(const QString& name) {
    return *parseCellName(name);
}

// A sheet of formulas of every way of reading: single cells, ranges, a chain, another sheet, a name,
// volatile and computed references, a sum range that grows beyond what it names, a circle.
Workbook layout() {
    Workbook workbook;
    workbook.addSheet(QStringLiteral("Sheet1"));
    workbook.addSheet(QStringLiteral("Other"));
    Worksheet& sheet = workbook.sheets[0];
    Worksheet& other = workbook.sheets[1];
    for (int row = 0; row < 5; ++row)
        sheet.cellForWriting({row, 0}).value = double(row + 1);
    sheet.cellForWriting(at("D1")).value = 10.0;
    sheet.cellForWriting(at("D2")).value = 20.0;
    other.cellForWriting(at("A1")).value = 7.0;
    defineName(workbook, QStringLiteral("Pair"), QStringLiteral("=Sheet1!$A$2:$A$3"));
    const std::pair<const char*, const char*> formulas[] = {
        {"B1", "=A1*2"},
        {"B2", "=SUM(A1:A5)"},
        {"B3", "=B1+B2"},
        {"B4", "=SUM(A4:A5)"},
        {"C1", "=Other!A1+1"},
        {"C2", "=SUM(Pair)"},
        {"C3", "=INDIRECT(\"A5\")"},
        {"C4", "=C3+1"},
        {"C5", "=SUMIF(A1:A2,\">0\",D1)"},
        {"E1", "=TODAY()>0"},
        {"F1", "=SUM(A1:INDEX(A1:C5,2,3))"},
        {"G1", "=G2+1"},
        {"G2", "=G1+1"},
        {"H1", "=D1*2"},
    };
    for (const auto& [cell, text] : formulas)
        sheet.cellForWriting(at(cell)).formula = compileFormula(QString::fromLatin1(text), workbook, 0);
    // Arrays: one reading what it names, one volatile, one found reading beyond what it names.
    setArrayFormula(workbook, 0, {at("I1"), at("I3")}, QStringLiteral("=A1:A3*2"));
    setArrayFormula(workbook, 0, {at("J1"), at("J2")}, QStringLiteral("=ROW(INDIRECT(\"A1:A2\"))"));
    setArrayFormula(workbook, 0, {at("K1"), at("K2")}, QStringLiteral("=SUMIF(A1:A2,\">0\",D1)+{1;2}"));
    return workbook;
}

// Evaluated at every calculation: INDIRECT and what reads it, TODAY, a range built from INDEX, and the
// SUMIFs found reading D2, which they do not name (every cell of the array, though only its first
// evaluated it).
QStringList evaluatedAlways() {
    return {"C3", "C4", "C5", "E1", "F1", "J1", "J2", "K1", "K2"};
}

// The formula cells a calculation is about to evaluate, as "Sheet!A1".
QStringList marked(const Workbook& workbook) {
    QStringList cells;
    for (const Worksheet& sheet : workbook.sheets) {
        for (const auto& [ref, cell] : sheet.cells()) {
            if (cell.formula && cell.calculationState != 0)
                cells << (sheet.name == QLatin1String("Sheet1") ? QString() : sheet.name + QLatin1Char('!')) +
                             cellName(ref);
        }
    }
    cells.sort();
    return cells;
}

// Every cell of two workbooks shows the same.
void compareValues(const Workbook& ours, const Workbook& full, const QString& label) {
    for (size_t s = 0; s < ours.sheets.size(); ++s) {
        for (const auto& [ref, cell] : ours.sheets[s].cells()) {
            const Cell* other = full.sheets[s].cell(ref);
            QVERIFY2(other, qPrintable(label));
            QVERIFY2(
                describe(cell.value) == describe(other->value),
                qPrintable(QStringLiteral("%1: %2 shows %3, a full recalculation %4")
                               .arg(label, cellName(ref), describe(cell.value), describe(other->value))));
        }
    }
}

}  // namespace

class TestCalculation : public QObject {
    Q_OBJECT

private slots:
    void changeMarksWhatReadsIt_data();
    void changeMarksWhatReadsIt();
    void incrementalAgreesWithFullOverTheCorpus();
    void cellStoreAgreesWithAMap();
};

void TestCalculation::changeMarksWhatReadsIt_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("evaluated");
    const QStringList always = evaluatedAlways();
    QTest::newRow("single cell, range, chain")
        << "A1"
        << "100" << always + QStringList{"B1", "B2", "B3", "I1", "I2", "I3"};
    QTest::newRow("range only") << "A4"
                                << "100" << always + QStringList{"B2", "B3", "B4"};
    QTest::newRow("through a name") << "A3"
                                    << "100" << always + QStringList{"B2", "B3", "C2", "I1", "I2", "I3"};
    QTest::newRow("another sheet") << "Other!A1"
                                   << "100" << always + QStringList{"C1"};
    QTest::newRow("read beyond its name") << "D2"
                                          << "100" << always;
    QTest::newRow("a cell nothing reads") << "J9"
                                          << "100" << always;
    QTest::newRow("formula replaced by a value") << "B1"
                                                 << "100" << always + QStringList{"B3"};
    QTest::newRow("circle broken") << "G1"
                                   << "1" << always + QStringList{"G2"};
    QTest::newRow("read by a formula of its own row") << "D1"
                                                      << "0" << always + QStringList{"H1"};
}

void TestCalculation::changeMarksWhatReadsIt() {
    QFETCH(QString, cell);
    QFETCH(QString, typed);
    QFETCH(QStringList, evaluated);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Workbook workbook = layout();
    Calculation calculation(workbook);
    calculation.markAll();
    calculation.calculate();
    QCOMPARE(describe(workbook.sheets[0].cell(at("G1"))->value), "0");   // the circle
    QCOMPARE(describe(workbook.sheets[0].cell(at("C5"))->value), "30");  // D1:D2
    QCOMPARE(describe(workbook.sheets[0].cell(at("I3"))->value), "6");
    QCOMPARE(describe(workbook.sheets[0].cell(at("J2"))->value), "2");
    QCOMPARE(describe(workbook.sheets[0].cell(at("K2"))->value), "32");

    const int sheet = cell.startsWith(QLatin1String("Other!")) ? 1 : 0;
    const CellRef ref = at(cell.mid(cell.indexOf(u'!') + 1));
    enterText(workbook, sheet, ref, typed, QLocale());
    calculation.cellChanged(sheet, ref);
    calculation.prepare();
    evaluated.sort();
    QCOMPARE(marked(workbook), evaluated);
    calculation.calculate();
    QCOMPARE(calculation.lastCount(), qint64(evaluated.size()));
    QCOMPARE(marked(workbook), QStringList());

    Workbook full = workbook;
    recalculate(full);
    compareValues(workbook, full, cell);
    if (QTest::currentTestFailed())
        return;
    // Nothing changed since: only what is evaluated at every calculation.
    calculation.calculate();
    QCOMPARE(calculation.lastCount(), qint64(evaluatedAlways().size()));
}

// Every fill of the corpus typed into the statement's amounts one after the other, each calculated from
// the last: every cell shows what a full recalculation of the same cells shows.
void TestCalculation::incrementalAgreesWithFullOverTheCorpus() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const corpus::Corpus corpus = corpus::load(kCorpusFolder);
    QList<int> rows;
    Workbook workbook = corpus::buildWorkbook(corpus, corpus::kAreas, rows);
    Calculation calculation(workbook);
    calculation.markAll();
    calculation.calculate();
    QVERIFY(calculation.lastCount() >= qint64(rows.size()));
    for (const corpus::Fill& fill : corpus.fills) {
        corpus::applyFill(workbook, fill);
        calculation.cellsChanged(0, {{5, 1}, {15, 1}});
        calculation.cellsChanged(0, {{19, 1}, {24, 1}});
        calculation.calculate();
        Workbook full = workbook;
        recalculate(full);
        compareValues(workbook, full, fill.name);
        if (QTest::currentTestFailed())
            return;
    }
}

// Random writes, removals and look-ups, the same on the store and on a map: the same cells, found the
// same way, in the same order.
void TestCalculation::cellStoreAgreesWithAMap() {
    QRandomGenerator random(20250301);
    CellStore<int> store;
    std::map<CellRef, int> map;
    // Most positions crowd a few pages so that cells meet; some lie at the sheet's far edges.
    const auto position = [&] {
        if (random.bounded(10) == 0)
            return CellRef{random.bounded(2) ? kMaxRows - 1 - random.bounded(3) : random.bounded(3),
                           random.bounded(2) ? kMaxColumns - 1 : random.bounded(3)};
        return CellRef{random.bounded(200), random.bounded(6)};
    };
    for (int round = 0; round < 4000; ++round) {
        const CellRef ref = position();
        switch (random.bounded(4)) {
            case 0:
            case 1: {
                const int value = random.bounded(1000);
                const bool added = store.try_emplace(ref).second;
                QCOMPARE(added, map.find(ref) == map.end());
                store[ref] = value;
                map[ref] = value;
                break;
            }
            case 2:
                QCOMPARE(store.erase(ref), map.erase(ref));
                break;
            default: {
                const auto found = store.find(ref);
                const auto expected = map.find(ref);
                QCOMPARE(found == store.end(), expected == map.end());
                if (expected != map.end())
                    QCOMPARE(found->second, expected->second);
                const auto next = store.lower_bound(ref);
                const auto wanted = map.lower_bound(ref);
                QCOMPARE(next == store.end(), wanted == map.end());
                if (wanted != map.end())
                    QCOMPARE(next->first, wanted->first);
            }
        }
        if (round % 200 != 0)
            continue;
        QCOMPARE(store.size(), map.size());
        using Cells = std::vector<std::pair<CellRef, int>>;
        const Cells walked(store.begin(), store.end());
        QVERIFY(walked == Cells(map.begin(), map.end()));
        const CellRef a = position();
        const CellRef b = position();
        const CellRange range{{std::min(a.row, b.row), std::min(a.column, b.column)},
                              {std::max(a.row, b.row), std::max(a.column, b.column)}};
        std::vector<CellRef> inside;
        store.forEachIn(range, [&](CellRef r, int) { inside.push_back(r); });
        std::vector<CellRef> expected;
        for (const auto& [r, value] : map) {
            if (range.contains(r))
                expected.push_back(r);
        }
        QVERIFY(inside == expected);
        if (!map.empty()) {
            CellRange bounds{map.begin()->first, map.begin()->first};
            for (const auto& [r, value] : map) {
                bounds.first = {std::min(bounds.first.row, r.row), std::min(bounds.first.column, r.column)};
                bounds.last = {std::max(bounds.last.row, r.row), std::max(bounds.last.column, r.column)};
            }
            QCOMPARE(store.bounds(), std::optional<CellRange>(bounds));
        } else {
            QVERIFY(!store.bounds());
        }
    }
    using Cells = std::vector<std::pair<CellRef, int>>;
    const CellStore<int> copy = store;
    QVERIFY(Cells(copy.begin(), copy.end()) == Cells(map.begin(), map.end()));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, store.try_emplace({kMaxRows, 0}));
}

testing::TestClass calculationTests() {
    return testing::testClass<TestCalculation>();
}

#include "tst_calculation.moc"
