// Conditional formats drawn as another spreadsheet draws them. Templates made by LibreOffice and by
// gnumeric (data/make_conditional_formats.py) are drawn by the engine and printed to PDF by LibreOffice;
// at each listed cell both pictures are sampled where the cell's text leaves its fill bare, and both
// must show the colour the rule gives, or white where no rule holds. Then the rules themselves, on
// sheets built here, and the records, which are written back as they were read.

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <map>

#include "spreadsheet/biff/read_conditional_formats.h"
#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/biff/tokens.h"
#include "spreadsheet/container/compound_file.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/render/metrics.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tests/common/oracles.h"
#include "tests/common/test_files.h"

using namespace spreadsheet;

Q_DECLARE_METATYPE(spreadsheet::ConditionalRule)
Q_DECLARE_METATYPE(spreadsheet::Value)

namespace {

constexpr QRgb kWhite = 0xFFFFFF;
constexpr double kPixelsPerPoint = 96.0 / 72.0;

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForStarted(-1) && process.waitForFinished(300'000) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 &&
           std::abs(qBlue(a) - qBlue(b)) <= 3;
}

QString hex(QRgb color) {
    return QStringLiteral("#%1").arg(color & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

// A workbook and two pictures of it: the engine's, and LibreOffice's printed page at 96 dpi with the
// place of every word on it.
struct Drawn {
    Workbook workbook;
    QImage ours;
    QImage theirs;
    std::multimap<QString, QRectF> words;  // in the page picture's pixels
};

// The word, its colour sampled just beside it on the side the cell's fill shows (left of a number,
// right of a label), in LibreOffice's page.
std::optional<QRgb> theirFill(const Drawn& drawn, const QString& word, bool number) {
    const auto [first, last] = drawn.words.equal_range(word);
    if (first == last || std::next(first) != last)
        return std::nullopt;  // missing, or not one of a kind
    const QRectF box = first->second;
    const int x = int(number ? box.left() - 6 : box.right() + 6);
    return drawn.theirs.pixel(x, int(box.center().y())) & 0xFFFFFF;
}

QRgb ourFill(const Drawn& drawn, CellRef ref, bool number) {
    const Worksheet& sheet = drawn.workbook.sheets[0];
    const int mdw = maximumDigitWidth(drawn.workbook);
    int left = 0;
    for (int c = 0; c < ref.column; ++c)
        left += columnWidthPixels(sheet, c, mdw);
    int top = 0;
    for (int r = 0; r < ref.row; ++r)
        top += rowHeightPixels(sheet, r);
    const int width = columnWidthPixels(sheet, ref.column, mdw);
    const int y = top + rowHeightPixels(sheet, ref.row) / 2;
    return drawn.ours.pixel(number ? left + 3 : left + width - 4, y) & 0xFFFFFF;
}

// A rule of a sheet built here: the formulas are compiled as if typed in the first range's top-left
// cell, as a spreadsheet's dialog takes them.
ConditionalRule rule(ConditionKind kind, ConditionOperator op, const QString& first, const QString& second,
                     quint16 fillIndex, CellRef topLeft) {
    ConditionalRule made;
    made.kind = kind;
    made.op = op;
    made.first = *biff::conditionTokens(compileFormula(first).tokens, topLeft);
    if (!second.isEmpty())
        made.second = *biff::conditionTokens(compileFormula(second).tokens, topLeft);
    made.style.fillPattern = 1;
    made.style.fillForeground = fillIndex;
    return made;
}

// The records of one kind of a workbook stream's first worksheet, as they lie in the stream.
QList<QByteArray> recordsOf(const QByteArray& stream, const QList<quint16>& ids) {
    QList<QByteArray> found;
    biff::RecordWalker walker(stream, 0);
    biff::Record record;
    int substream = 0;
    while (walker.next(record) && substream <= 2) {
        substream += record.id == biff::rec::BOF ? 1 : 0;
        if (substream == 2 && ids.contains(record.id))
            found << record.data.toByteArray();
    }
    return found;
}

}  // namespace

class TestConditionalFormats : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void fillsAsLibreOfficeDrawsThem_data();
    void fillsAsLibreOfficeDrawsThem();
    void rulesHoldAsASpreadsheetDocumentsThem_data();
    void rulesHoldAsASpreadsheetDocumentsThem();
    void ruleStylesDrawLikeCellStyles();
    void recordsReadAndWrittenBack();

private:
    const Drawn& drawn(const QString& fixture);

    QTemporaryDir scratch_;
    QString missing_;
    std::map<QString, Drawn> drawn_;
};

void TestConditionalFormats::initTestCase() {
    QVERIFY(scratch_.isValid());
    missing_ = testing::missingPrograms(
        {QStringLiteral("soffice"), QStringLiteral("pdftoppm"), QStringLiteral("pdftotext")});
}

const Drawn& TestConditionalFormats::drawn(const QString& fixture) {
    if (auto it = drawn_.find(fixture); it != drawn_.end())
        return it->second;
    Drawn& made = drawn_[fixture];
    const QString path = QStringLiteral(QB_TEST_DATA_DIR "/") + fixture;
    made.workbook = readWorkbookFile(path);
    made.ours = renderRange(made.workbook, 0, *made.workbook.sheets[0].usedRange());

    const QDir dir(scratch_.path());
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    const QString pdf = dir.filePath(QFileInfo(fixture).completeBaseName() + QStringLiteral(".pdf"));
    if (!run(QStringLiteral("soffice"),
             {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
              QStringLiteral("--norestore"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
              QStringLiteral("--outdir"), scratch_.path(), path}) ||
        !run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("96"),
                                          QStringLiteral("-singlefile"), pdf, pdf}) ||
        !run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, pdf + QStringLiteral(".html")}))
        return made;
    made.theirs = QImage(pdf + QStringLiteral(".png"));
    const QString html = QString::fromUtf8(testing::contentOf(pdf + QStringLiteral(".html")));
    static const char* const pattern =
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re";
    static const QRegularExpression word(QString::fromLatin1(pattern));
    for (const QRegularExpressionMatch& m : word.globalMatch(html)) {
        const QPointF from(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF to(m.captured(3).toDouble(), m.captured(4).toDouble());
        made.words.emplace(m.captured(5), QRectF(from * kPixelsPerPoint, to * kPixelsPerPoint));
    }
    return made;
}

void TestConditionalFormats::fillsAsLibreOfficeDrawsThem_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QRgb>("fill");
    const QString lo = QStringLiteral("conditional_formats_libreoffice.xls");
    const QString gnumeric = QStringLiteral("conditional_formats_gnumeric.xls");
    const QRgb green = 0xCCFFCC, blue = 0x99CCFF, yellow = 0xFFFF99, orange = 0xFFCC99, red = 0xFF8080;
    // Between 1,000 and 5,000, bounds included.
    QTest::newRow("LibreOffice between") << lo << "B4" << green;
    QTest::newRow("LibreOffice below the range") << lo << "B5" << kWhite;
    QTest::newRow("LibreOffice between again") << lo << "B6" << green;
    QTest::newRow("LibreOffice above the range") << lo << "B7" << kWhite;
    QTest::newRow("LibreOffice on the bound") << lo << "B8" << green;
    QTest::newRow("LibreOffice total at least 0") << lo << "B9" << blue;
    // Greater than the threshold in B20, a formula operand.
    QTest::newRow("LibreOffice above a cell") << lo << "B12" << yellow;
    QTest::newRow("LibreOffice below a cell") << lo << "B13" << kWhite;
    QTest::newRow("LibreOffice just below a cell") << lo << "B14" << kWhite;
    QTest::newRow("LibreOffice far below a cell") << lo << "B15" << kWhite;
    QTest::newRow("LibreOffice two rules hold, the first wins") << lo << "B16" << orange;
    QTest::newRow("LibreOffice negative net worth") << lo << "B18" << red;
    QTest::newRow("LibreOffice formula rule") << lo << "A18" << red;
    QTest::newRow("LibreOffice no rule") << lo << "B20" << kWhite;
    // Fell since last year: A1<B1 from each cell, relative references.
    QTest::newRow("gnumeric fell") << gnumeric << "B4" << orange;
    QTest::newRow("gnumeric rose") << gnumeric << "B5" << kWhite;
    QTest::newRow("gnumeric fell again") << gnumeric << "B6" << orange;
    QTest::newRow("gnumeric rose again") << gnumeric << "B7" << kWhite;
    QTest::newRow("gnumeric same") << gnumeric << "B8" << kWhite;
    QTest::newRow("gnumeric last year's column has no rule") << gnumeric << "C4" << kWhite;
    QTest::newRow("gnumeric total at least 0") << gnumeric << "B9" << blue;
    QTest::newRow("gnumeric above between") << gnumeric << "B12" << kWhite;
    QTest::newRow("gnumeric on the lower bound") << gnumeric << "B13" << yellow;
    QTest::newRow("gnumeric between") << gnumeric << "B14" << yellow;
    QTest::newRow("gnumeric below between") << gnumeric << "B15" << kWhite;
    QTest::newRow("gnumeric negative net worth") << gnumeric << "B18" << red;
    QTest::newRow("gnumeric formula rule") << gnumeric << "A18" << red;
}

void TestConditionalFormats::fillsAsLibreOfficeDrawsThem() {
    QFETCH(QString, fixture);
    QFETCH(QString, cell);
    QFETCH(QRgb, fill);
    const Drawn& picture = drawn(fixture);
    const CellRef ref = *parseCellName(cell);
    const Cell* content = picture.workbook.sheets[0].cell(ref);
    QVERIFY(content && !content->isBlank());
    const bool number = content->isNumber();
    QCOMPARE(hex(ourFill(picture, ref, number)), hex(fill));

    QB_REQUIRE_TOOLS(missing_);
    QVERIFY2(!picture.theirs.isNull(), "LibreOffice printed no page");
    // The word that stands in the cell: the amount as the format shows it, or a label's last word.
    const QString shown =
        formatValue(picture.workbook, picture.workbook.formatOf(*content).numberFormat, content->value)
            .text()
            .trimmed();
    const QString word = number ? shown.trimmed() : shown.split(u' ').last();
    const std::optional<QRgb> theirs = theirFill(picture, word, number);
    QVERIFY2(theirs, qPrintable(QStringLiteral("\"%1\" is not on LibreOffice's page once").arg(word)));
    QVERIFY2(near(*theirs, fill), qPrintable(hex(*theirs)));
}

void TestConditionalFormats::rulesHoldAsASpreadsheetDocumentsThem_data() {
    QTest::addColumn<ConditionalRule>("rule");
    QTest::addColumn<Value>("value");  // of B2, the cell the rule is drawn on; B3 holds 3, A2 holds 10
    QTest::addColumn<bool>("holds");
    const CellRef b2{1, 1};
    auto value = [&](ConditionOperator op, const char* first, const char* second = "") {
        return rule(ConditionKind::CellValue, op, QString::fromLatin1(first), QString::fromLatin1(second), 10,
                    b2);
    };
    auto formula = [&](const char* text) {
        return rule(ConditionKind::Formula, ConditionOperator::None, QString::fromLatin1(text), {}, 10, b2);
    };
    using Op = ConditionOperator;
    QTest::newRow("less") << value(Op::Less, "0") << Value(-1.0) << true;
    QTest::newRow("not less") << value(Op::Less, "0") << Value(0.0) << false;
    QTest::newRow("equal") << value(Op::Equal, "2.5") << Value(2.5) << true;
    QTest::newRow("not equal") << value(Op::NotEqual, "2.5") << Value(2.5) << false;
    QTest::newRow("greater or equal") << value(Op::GreaterOrEqual, "-3") << Value(-3.0) << true;
    QTest::newRow("less or equal") << value(Op::LessOrEqual, "-3") << Value(-2.0) << false;
    QTest::newRow("between reversed bounds") << value(Op::Between, "10", "5") << Value(7.0) << true;
    QTest::newRow("not between") << value(Op::NotBetween, "5", "10") << Value(10.0) << false;
    QTest::newRow("text equal without case")
        << value(Op::Equal, "\"Loan\"") << Value(QStringLiteral("LOAN")) << true;
    QTest::newRow("text above every number")
        << value(Op::Greater, "1000") << Value(QStringLiteral("a")) << true;
    QTest::newRow("an error holds nothing") << value(Op::NotEqual, "0") << Value(ErrorCode::Div0) << false;
    QTest::newRow("blank is 0") << value(Op::Equal, "0") << Value() << true;
    QTest::newRow("operand from a cell") << value(Op::Greater, "$A$2") << Value(11.0) << true;
    QTest::newRow("operand from a relative cell") << value(Op::Less, "B3") << Value(2.0) << true;
    QTest::newRow("formula true") << formula("B2>A2") << Value(11.0) << true;
    QTest::newRow("formula number not 0") << formula("B2-A2") << Value(11.0) << true;
    QTest::newRow("formula 0") << formula("B2-A2") << Value(10.0) << false;
    QTest::newRow("formula text") << formula("\"yes\"") << Value(1.0) << false;
    QTest::newRow("formula error") << formula("1/0") << Value(1.0) << false;
}

void TestConditionalFormats::rulesHoldAsASpreadsheetDocumentsThem() {
    QFETCH(ConditionalRule, rule);
    QFETCH(Value, value);
    QFETCH(bool, holds);
    // The rule covers B2:B3; drawn on B2, its relative references read from there.
    Workbook workbook;
    Worksheet& sheet = workbook.addSheet(QStringLiteral("Rules"));
    sheet.cellForWriting({1, 0}).value = 10.0;
    sheet.cellForWriting({2, 1}).value = 3.0;
    if (!std::holds_alternative<std::monostate>(value))
        sheet.cellForWriting({1, 1}).value = value;
    sheet.conditionalFormats.push_back({{CellRange{{1, 1}, {2, 1}}}, {rule}});
    const QImage picture = renderRange(workbook, 0, CellRange{{1, 1}, {1, 1}});
    QCOMPARE(hex(picture.pixel(2, picture.height() / 2)), hex(holds ? workbook.color(10) : kWhite));
}

void TestConditionalFormats::ruleStylesDrawLikeCellStyles() {
    // What a rule sets draws exactly as the same setting of the cell's own format; of several rules
    // that hold, each part comes from the first that sets it, and a rule that stops ends the search.
    Workbook own;
    Worksheet& ownSheet = own.addSheet(QStringLiteral("Own"));
    Font font = own.fonts[0];
    font.bold = true;
    font.italic = true;
    font.underline = 1;
    font.strikeout = true;
    font.colorIndex = 12;
    CellFormat format = own.formats[15];
    format.fontIndex = own.addFont(font);
    format.fillPattern = 1;
    format.fillForeground = 13;
    format.bottom = {LineStyle::Double, 10};
    format.left = {LineStyle::Medium, 17};
    ownSheet.cellForWriting({1, 1}) = Cell{QStringLiteral("Debt"), std::nullopt, own.addFormat(format)};

    Workbook ruled;
    Worksheet& sheet = ruled.addSheet(QStringLiteral("Ruled"));
    sheet.cellForWriting({1, 1}).value = QStringLiteral("Debt");
    ConditionalRule first =
        rule(ConditionKind::Formula, ConditionOperator::None, QStringLiteral("TRUE"), {}, 13, {1, 1});
    first.style.bold = true;
    first.style.italic = true;
    first.style.underline = 1;
    first.style.bottom = ConditionalBorder{quint8(LineStyle::Double), 10};
    ConditionalRule second = first;
    second.style = {};
    second.style.bold = false;    // taken by the first already
    second.style.fontColor = 12;  // free: taken from here
    second.style.strikeout = true;
    second.style.fillPattern = 1;  // the first's fill wins
    second.style.fillForeground = 10;
    second.style.left = ConditionalBorder{quint8(LineStyle::Medium), 17};
    second.stopIfTrue = true;
    ConditionalRule stopped = second;
    stopped.stopIfTrue = false;
    stopped.style = {};
    stopped.style.fillPattern = 0;
    stopped.style.top = ConditionalBorder{quint8(LineStyle::Thick), 10};
    sheet.conditionalFormats.push_back({{CellRange{{1, 1}, {1, 1}}}, {first, second}});
    sheet.conditionalFormats.push_back({{CellRange{{1, 1}, {1, 1}}}, {stopped}});

    const CellRange range{{0, 0}, {2, 2}};
    QCOMPARE(renderRange(ruled, 0, range), renderRange(own, 0, range));
    // The print draws them as well.
    QImage ownPage(renderRange(own, 0, range).size(), QImage::Format_RGB32);
    QImage ruledPage(ownPage.size(), QImage::Format_RGB32);
    for (auto [image, workbook] : {std::pair{&ownPage, &own}, std::pair{&ruledPage, &ruled}}) {
        image->fill(Qt::white);
        QPainter painter(image);
        paintRange(painter, *workbook, 0, range, PaintOptions{.printing = true});
    }
    QCOMPARE(ruledPage, ownPage);
}

void TestConditionalFormats::recordsReadAndWrittenBack() {
    // The LibreOffice template as read: its ranges and rules, with the operand that is a reference.
    const QString path = QStringLiteral(QB_TEST_DATA_DIR "/conditional_formats_libreoffice.xls");
    const Workbook workbook = readWorkbookFile(path);
    const std::vector<ConditionalFormat>& formats = workbook.sheets[0].conditionalFormats;
    QCOMPARE(formats.size(), size_t(6));
    QCOMPARE(formats[2].ranges, (std::vector<CellRange>{{{11, 1}, {14, 1}}}));
    QCOMPARE(formats[2].rules.size(), size_t(1));
    QCOMPARE(formats[2].rules[0].op, ConditionOperator::Greater);
    QCOMPARE(
        formulaText(Formula{*biff::sharedFormulaForCell(formats[2].rules[0].first, {}), {}, false, false}),
        QStringLiteral("$B$20"));
    QCOMPARE(formats[5].rules.size(), size_t(2));
    QVERIFY(formats[0].rules[0].style.bold.value_or(false));

    // Unchanged, the records go back as they came, byte for byte.
    const QList<quint16> ids{0x01B0, 0x01B1, 0x0879, 0x087A};
    const QByteArray original = CompoundFileReader::fromFile(path).workbookStream();
    QCOMPARE(recordsOf(workbookStream(workbook), ids), recordsOf(original, ids));
    QCOMPARE(recordsOf(original, ids).size(), 13);

    // A CF12 record, which later spreadsheets write: a cell-value rule with a fill, and a data bar,
    // which is read but not drawn. A format announcing a rule that never comes has none.
    auto u16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
    auto u32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    const QByteArray header = u16(0x087A) + u16(0) + QByteArray(8, '\0');
    const QByteArray dxfn = u32(0x2038FFFF) + u16(0) + u16(0x0400) + u16(quint16(13 << 7));
    const QByteArray cf12 = header + char(1) + char(6) + u16(3) + u16(0) + u32(quint32(dxfn.size())) + dxfn +
                            QByteArray("\x1e\x00\x00", 3) + u16(0) + char(0x02) + QByteArray(21, '\0');
    const QByteArray bar = header + char(4) + char(0) + u16(0) + u16(0) + u32(0) + u16(0) + u16(0) + char(0) +
                           QByteArray(21, '\0');
    const QByteArray range = u16(0) + u16(9) + u16(1) + u16(1);
    Worksheet sheet;
    auto keep = [&](quint16 id, const QByteArray& data) {
        KeptRecord record;
        record.id = id;
        record.data = data;
        sheet.kept.push_back(record);
    };
    keep(0x01B0, u16(1) + u16(0) + range + u16(1) + range);
    keep(0x0879, header + u16(2) + u16(0) + range + u16(1) + range);
    keep(0x087A, cf12);
    keep(0x087A, bar);
    keep(0x087A, cf12.left(20));  // cut short: left out
    biff::readConditionalFormats(sheet);
    QCOMPARE(sheet.conditionalFormats.size(), size_t(2));
    QVERIFY(sheet.conditionalFormats[0].rules.empty());
    const std::vector<ConditionalRule>& rules = sheet.conditionalFormats[1].rules;
    QCOMPARE(rules.size(), size_t(2));
    QCOMPARE(rules[0].op, ConditionOperator::Less);
    QCOMPARE(rules[0].style.fillForeground, std::optional<quint16>(13));  // the background of a solid fill
    QVERIFY(rules[0].stopIfTrue);
    QCOMPARE(rules[1].kind, ConditionKind::DataBar);
}

QTEST_MAIN(TestConditionalFormats)
#include "tst_conditional_formats.moc"
