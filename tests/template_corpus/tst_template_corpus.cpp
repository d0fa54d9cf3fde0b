// The template corpus: statement templates as LibreOffice and gnumeric make them (data/*.xls, made from
// data/templates/*.txt by data/make_templates.py), full of the functions such templates use: the
// analysis add-in's (called by external name), the newer ones (called by their "_xlfn." name) and the
// built-ins. Every formula of every template is read with our reader, filled with each fill of the
// statement's amounts, recalculated by us, saved by us, and recalculated by two independent programs:
// gnumeric (`ssconvert --recalc`) and LibreOffice (headless over UNO, calculateAll). Both must agree
// with our value, or data/exceptions.txt must say why the oracle departs from the spreadsheet's
// documented rule and which value the rule gives. Two ways in:
//   - template: the makers' tokens, read, filled and recalculated by us and saved by our writer;
//   - compiled: every formula shown by our text view and compiled again by our compiler into a new
//     workbook, so that the add-in and "_xlfn." names it writes are read by both programs (with the
//     template's own amounts and the sample fill).
// An unchanged template saved back keeps the add-in and "_xlfn." names its formulas call, as our reader
// and xlrd read them, and its ARRAY records byte for byte.

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

#include "spreadsheet/formula.h"
#include "spreadsheet/typed_entry.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"
#include "tests/common/csv_rows.h"
#include "tests/common/oracles.h"

using namespace spreadsheet;

namespace {

const QString kData = QStringLiteral(QB_TEST_DATA_DIR);
const QString kPython = QStringLiteral("/usr/bin/python3");
const QStringList kOracles = {QStringLiteral("gnumeric"), QStringLiteral("libreoffice")};

QStringList dataLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    QStringList lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (!line.isEmpty() && !line.startsWith(u'#'))
            lines << line;
    }
    return lines;
}

struct Fill {
    QString name;
    QStringList amounts;  // 11 assets, then 6 liabilities; empty for the template as made
};

struct Exception {
    QString templateName;
    QString formula;
    QString value;
    QStringList scope;
    QString rule;
    int excused = 0;
};

QString describe(const Value& v) {
    if (const double* d = std::get_if<double>(&v))
        return QString::number(*d, 'g', 15);
    if (const QString* s = std::get_if<QString>(&v))
        return u'\'' + *s;
    if (const bool* b = std::get_if<bool>(&v))
        return *b ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (const ErrorCode* e = std::get_if<ErrorCode>(&v))
        return errorText(*e);
    return QStringLiteral("(blank)");
}

bool sameNumber(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(a));
}

// A value as the corpus writes it: a number, 'text, TRUE/FALSE or an error.
bool equalsWritten(const Value& ours, const QString& written) {
    if (const double* d = std::get_if<double>(&ours)) {
        bool ok = false;
        const double other = written.toDouble(&ok);
        return ok && sameNumber(*d, other);
    }
    return describe(ours) == written;
}

// gnumeric's CSV field (raw numbers, TRUE/FALSE, error texts).
bool agreesWithGnumeric(const Value& ours, const QString& theirs) {
    if (const double* d = std::get_if<double>(&ours)) {
        bool ok = false;
        const double other = theirs.toDouble(&ok);
        return ok && sameNumber(*d, other);
    }
    if (const QString* s = std::get_if<QString>(&ours))
        return *s == theirs;
    if (const bool* b = std::get_if<bool>(&ours))
        return theirs == (*b ? "TRUE" : "FALSE");
    if (const ErrorCode* e = std::get_if<ErrorCode>(&ours))
        return theirs == errorText(*e);
    return theirs.isEmpty();
}

// LibreOffice's answer: ["n", number], ["s", text] or ["e", error]; it has no truth values (TRUE is 1)
// and one error of its own for two of the spreadsheet's ("#NUM!|#VALUE!").
bool agreesWithLibreOffice(const Value& ours, const QJsonArray& theirs) {
    const QString kind = theirs.at(0).toString();
    if (const double* d = std::get_if<double>(&ours))
        return kind == "n" && sameNumber(*d, theirs.at(1).toDouble());
    if (const bool* b = std::get_if<bool>(&ours))
        return kind == "n" && theirs.at(1).toDouble() == (*b ? 1.0 : 0.0);
    if (const QString* s = std::get_if<QString>(&ours))
        return kind == "s" && theirs.at(1).toString() == *s;
    if (const ErrorCode* e = std::get_if<ErrorCode>(&ours))
        return kind == "e" && theirs.at(1).toString().split(u'|').contains(errorText(*e));
    return false;
}

QString describeLibreOffice(const QJsonArray& theirs) {
    const QString kind = theirs.at(0).toString();
    if (kind == "n")
        return QString::number(theirs.at(1).toDouble(), 'g', 15);
    return (kind == "s" ? QStringLiteral("'") : QString()) + theirs.at(1).toString();
}

QString cellKey(const Workbook& workbook, int sheet, CellRef ref) {
    return workbook.sheets[size_t(sheet)].name + u'!' + cellName(ref);
}

struct FormulaCell {
    int sheet;
    CellRef ref;
    QString text;  // "=" and the formula as our text view shows it
};

std::vector<FormulaCell> formulaCells(const Workbook& workbook) {
    std::vector<FormulaCell> out;
    for (size_t s = 0; s < workbook.sheets.size(); ++s) {
        for (const auto& [ref, cell] : workbook.sheets[s].cells()) {
            if (cell.formula)
                out.push_back({int(s), ref, cellFormulaText(workbook, int(s), ref)});
        }
    }
    return out;
}

// The same workbook with every formula compiled again from its text by our compiler.
Workbook recompiled(const Workbook& original) {
    Workbook out;
    for (const Worksheet& sheet : original.sheets)
        out.addSheet(sheet.name);
    for (size_t s = 0; s < original.sheets.size(); ++s) {
        for (const auto& [ref, cell] : original.sheets[s].cells()) {
            if (original.sheets[s].arrayFormulaAt(ref))
                continue;
            Cell& copy = out.sheets[s].cellForWriting(ref);
            copy.value = cell.value;
            if (cell.formula)
                copy.formula = compileFormula(cellFormulaText(original, int(s), ref), out, int(s));
        }
        for (const auto& [anchor, array] : original.sheets[s].arrayFormulas)
            setArrayFormula(out, int(s), array.range, cellFormulaText(original, int(s), anchor));
    }
    return out;
}

void putAmount(Workbook& workbook, CellRef at, const QString& amount) {
    Cell& cell = workbook.sheets[0].cellForWriting(at);
    if (amount.startsWith(u'\'')) {
        cell.value = amount.mid(1);
    } else if (amount == "TRUE" || amount == "FALSE") {
        cell.value = amount == "TRUE";
    } else if (amount.startsWith(u'#')) {
        for (ErrorCode e : {ErrorCode::Null, ErrorCode::Div0, ErrorCode::Value, ErrorCode::Ref,
                            ErrorCode::Name, ErrorCode::Num, ErrorCode::NA}) {
            if (errorText(e) == amount)
                cell.value = e;
        }
    } else {
        enterText(workbook, 0, at, amount, QLocale(QLocale::English, QLocale::UnitedStates));
    }
}

void applyFill(Workbook& workbook, const Fill& fill) {
    for (int i = 0; i < fill.amounts.size(); ++i)
        putAmount(workbook, {i < 11 ? 5 + i : 19 + (i - 11), 1}, fill.amounts[i]);
}

struct Tally {
    int results = 0;
    int agreements = 0;
    int excused = 0;
    QStringList failures;
};

}  // namespace

class TestTemplateCorpus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyFormulaAgreesWithBothOracles();
    void unchangedTemplatesKeepTheirFunctionNames();
    void cleanupTestCase();

private:
    // gnumeric runs while LibreOffice answers.
    void startGnumeric(const QString& path);
    QHash<QString, QString> gnumericResults(const Workbook& workbook);
    QJsonObject libreOfficeResults(const QString& path);
    void compare(const QString& name, const QString& path, const QString& fill, const Workbook& ours,
                 const QString& file);
    QString xlrdNames(const QString& path);
    QString arrayRecords(const QString& path);

    QTemporaryDir scratch_;
    QProcess office_;
    QProcess gnumeric_;
    QList<Fill> fills_;
    std::vector<Exception> exceptions_;
    QMap<QString, Tally> tallies_;  // per oracle
    QStringList templates_;
    qint64 officeMs_ = 0;   // waiting for LibreOffice
    qint64 oraclesMs_ = 0;  // waiting for both
};

void TestTemplateCorpus::initTestCase() {
    QB_REQUIRE_TOOLS(testing::missingPrograms({QStringLiteral("ssconvert"), QStringLiteral("soffice")}));
    QB_REQUIRE_TOOLS(testing::missingPythonModule(QStringLiteral("uno")));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(scratch_.isValid());

    // LibreOffice starts slowly: once for the whole run.
    office_.setProgram(kPython);
    office_.setArguments({kData + "/libreoffice_oracle.py", "serve"});
    office_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    office_.start();
    QVERIFY(office_.waitForStarted());
    while (!office_.canReadLine())
        QVERIFY2(office_.waitForReadyRead(120000), "LibreOffice did not start");
    QCOMPARE(office_.readLine().trimmed(), QByteArray("ready"));

    fills_.append({QStringLiteral("template"), {}});
    for (const QString& line : dataLines(kData + "/fills.txt")) {
        QStringList parts = line.split(u'\t');
        const QString name = parts.takeFirst();
        QCOMPARE(parts.size(), 17);
        fills_.append({name, parts});
    }
    for (const QString& line : dataLines(kData + "/exceptions.txt")) {
        const QStringList parts = line.split(u'\t');
        QVERIFY2(parts.size() == 5, qPrintable("an exception needs five fields: " + line));
        exceptions_.push_back({parts[0], parts[1], parts[2],
                               parts[3].isEmpty() ? QStringList() : parts[3].split(u'/'), parts[4]});
    }
    for (const QFileInfo& file : QDir(kData).entryInfoList({"*.xls"}, QDir::Files, QDir::Name))
        templates_ << file.completeBaseName();
    QVERIFY(!templates_.isEmpty());
}

void TestTemplateCorpus::cleanupTestCase() {
    if (office_.state() == QProcess::Running) {
        office_.write("\n");
        office_.closeWriteChannel();
        if (!office_.waitForFinished(60000))
            office_.kill();
    }
}

void TestTemplateCorpus::startGnumeric(const QString& path) {
    const QString folder = scratch_.filePath("gnumeric");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "C.UTF-8");
    environment.insert("LANG", "C.UTF-8");
    gnumeric_.setProcessEnvironment(environment);
    gnumeric_.start("ssconvert", {"--recalc", "-S", "-T", "Gnumeric_stf:stf_assistant", "-O", "format=raw",
                                  path, folder + "/%n.csv"});
}

QHash<QString, QString> TestTemplateCorpus::gnumericResults(const Workbook& workbook) {
    const QString folder = scratch_.filePath("gnumeric");
    QProcess& process = gnumeric_;
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        qWarning().noquote() << "ssconvert failed:" << process.readAllStandardError();
        return {};
    }
    QHash<QString, QString> out;
    for (size_t s = 0; s < workbook.sheets.size(); ++s) {
        const QList<QStringList> rows = testing::csvRows(folder + QStringLiteral("/%1.csv").arg(s));
        for (const auto& [ref, cell] : workbook.sheets[s].cells()) {
            if (cell.formula)
                out.insert(cellKey(workbook, int(s), ref), rows.value(ref.row).value(ref.column));
        }
    }
    return out;
}

QJsonObject TestTemplateCorpus::libreOfficeResults(const QString& path) {
    office_.write(path.toUtf8() + '\n');
    while (!office_.canReadLine()) {
        if (!office_.waitForReadyRead(120000))
            return {{"failed", "LibreOffice gave no answer"}};
    }
    return QJsonDocument::fromJson(office_.readLine()).object();
}

void TestTemplateCorpus::compare(const QString& name, const QString& path, const QString& fill,
                                 const Workbook& ours, const QString& file) {
    QElapsedTimer timer;
    timer.start();
    startGnumeric(file);
    const QJsonObject office = libreOfficeResults(file);
    officeMs_ += timer.elapsed();
    const QHash<QString, QString> gnumeric = gnumericResults(ours);
    oraclesMs_ += timer.elapsed();
    QVERIFY2(!gnumeric.isEmpty(), qPrintable(file));
    QVERIFY2(!office.contains("failed"), qPrintable(office.value("failed").toString()));
    for (const FormulaCell& f : formulaCells(ours)) {
        const Value value = ours.sheets[size_t(f.sheet)].cell(f.ref)->value;
        const QString key = cellKey(ours, f.sheet, f.ref);
        for (const QString& oracle : kOracles) {
            Tally& tally = tallies_[oracle];
            ++tally.results;
            QString theirs;
            bool agree;
            if (oracle == "gnumeric") {
                theirs = gnumeric.value(key);
                agree = agreesWithGnumeric(value, theirs);
            } else {
                const QJsonArray answer = office.value(key).toArray();
                theirs = answer.isEmpty() ? QStringLiteral("(nothing)") : describeLibreOffice(answer);
                agree = !answer.isEmpty() && agreesWithLibreOffice(value, answer);
            }
            if (agree) {
                ++tally.agreements;
                continue;
            }
            const QString where = QStringLiteral("%1 %2/%3 %4 %5").arg(name, path, fill, key, f.text);
            auto applies = [&](const Exception& e) {
                if (e.templateName != name || e.formula != f.text)
                    return false;
                return std::all_of(e.scope.begin(), e.scope.end(), [&](const QString& part) {
                    return part == fill || part == path || part == oracle;
                });
            };
            auto exception = std::find_if(exceptions_.begin(), exceptions_.end(), applies);
            if (exception == exceptions_.end()) {
                tally.failures
                    << QStringLiteral("%1: ours %2, %3 %4").arg(where, describe(value), oracle, theirs);
            } else if (!equalsWritten(value, exception->value)) {
                tally.failures << QStringLiteral("%1: ours %2, but the rule (%3) gives %4")
                                      .arg(where, describe(value), exception->rule, exception->value);
            } else {
                ++tally.excused;
                ++exception->excused;
            }
        }
    }
}

void TestTemplateCorpus::everyFormulaAgreesWithBothOracles() {
    int formulas = 0;
    for (const QString& name : templates_) {
        const Workbook made = readWorkbookFile(kData + u'/' + name + ".xls");
        formulas += int(formulaCells(made).size());
        const Workbook compiled = recompiled(made);
        for (const auto& [path, original] : {std::pair{QStringLiteral("template"), &made},
                                             std::pair{QStringLiteral("compiled"), &compiled}}) {
            for (const Fill& fill : fills_) {
                // Our compiler's tokens need the other programs' reading, not every fill again.
                if (path == "compiled" && fill.name != "template" && fill.name != "sample")
                    continue;
                Workbook workbook = *original;
                applyFill(workbook, fill);
                recalculate(workbook);
                const QString file =
                    scratch_.filePath(QStringLiteral("%1-%2-%3.xls").arg(name, path, fill.name));
                writeWorkbookFile(workbook, file);
                compare(name, path, fill.name, workbook, file);
            }
        }
    }
    qInfo(
        "corpus: %d templates, %d formulas, %d fills (2 on the compiled path); %lld ms waiting for the "
        "oracles "
        "(%lld for LibreOffice)",
        int(templates_.size()), formulas, int(fills_.size()), oraclesMs_, officeMs_);
    QStringList failures;
    for (const QString& oracle : kOracles) {
        const Tally& t = tallies_[oracle];
        qInfo("%s: %d results, %d agree, %d documented exceptions, %d differ", qPrintable(oracle), t.results,
              t.agreements, t.excused, int(t.failures.size()));
        failures << t.failures;
    }
    for (const Exception& e : exceptions_) {
        if (e.excused == 0)
            failures << QStringLiteral("the exception %1 %2 (%3) excuses nothing")
                            .arg(e.templateName, e.formula, e.rule);
    }
    for (const QString& line : failures)
        qWarning().noquote() << line;
    QVERIFY2(failures.isEmpty(), qPrintable(QStringLiteral("%1 differences").arg(failures.size())));
}

// The add-in functions and "_xlfn." names a file holds, as xlrd reads them.
QString TestTemplateCorpus::xlrdNames(const QString& path) {
    QProcess process;
    process.start(kPython,
                  {"-c",
                   "import sys, xlrd\n"
                   "book = xlrd.open_workbook(sys.argv[1])\n"
                   "print(sorted(book.addin_func_names))\n"
                   "print(sorted(n.name for n in book.name_obj_list if n.name.startswith('_xlfn.')))\n",
                   path});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("xlrd failed: ") + QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The bodies of the ARRAY records of a file's workbook stream, in order, one a line in hex, read with
// xlrd's compound-file reader rather than ours.
QString TestTemplateCorpus::arrayRecords(const QString& path) {
    QProcess process;
    process.start(kPython, {"-c",
                            "import struct, sys\n"
                            "from xlrd import compdoc\n"
                            "data = open(sys.argv[1], 'rb').read()\n"
                            "stream = compdoc.CompDoc(data).get_named_stream('Workbook')\n"
                            "at = 0\n"
                            "while at + 4 <= len(stream):\n"
                            "    rid, size = struct.unpack('<HH', stream[at:at + 4])\n"
                            "    if rid == 0x0221:\n"
                            "        print(stream[at + 4:at + 4 + size].hex())\n"
                            "    at += 4 + size\n",
                            path});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("xlrd failed: ") + QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

void TestTemplateCorpus::unchangedTemplatesKeepTheirFunctionNames() {
    QB_REQUIRE_TOOLS(testing::missingPythonModule(QStringLiteral("xlrd")));
    int callingByName = 0;
    int withArrays = 0;
    for (const QString& name : templates_) {
        const QString original = kData + u'/' + name + ".xls";
        const Workbook made = readWorkbookFile(original);
        const QString saved = scratch_.filePath(name + "-unchanged.xls");
        writeWorkbookFile(made, saved);
        const Workbook back = readWorkbookFile(saved);
        const auto before = formulaCells(made);
        const auto after = formulaCells(back);
        QCOMPARE(after.size(), before.size());
        for (size_t i = 0; i < before.size(); ++i)
            QCOMPARE(after[i].text, before[i].text);
        for (size_t s = 0; s < made.sheets.size(); ++s)
            QVERIFY(back.sheets[s].arrayFormulas == made.sheets[s].arrayFormulas);
        const QString names = xlrdNames(original);
        callingByName += names.contains("_xlfn.") || names.contains("'");
        QCOMPARE(xlrdNames(saved), names);
        const QString arrays = arrayRecords(original);
        withArrays += !arrays.isEmpty();
        QCOMPARE(arrayRecords(saved), arrays);
    }
    // Neither check may pass for want of anything to compare.
    QVERIFY(callingByName >= 4);
    QVERIFY(withArrays >= 2);
}

QTEST_GUILESS_MAIN(TestTemplateCorpus)
#include "tst_template_corpus.moc"
