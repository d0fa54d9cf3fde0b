#include "formula_corpus.h"

#include <QDebug>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <cmath>

#include "spreadsheet/formula.h"
#include "spreadsheet/typed_entry.h"
#include "tests/common/csv_rows.h"

using namespace spreadsheet;

namespace corpus {

namespace {

// The lines that are neither empty nor comments, by their line number.
QList<std::pair<int, QString>> numberedDataLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    QList<std::pair<int, QString>> lines;
    int number = 0;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        ++number;
        if (!line.isEmpty() && !line.startsWith(u'#'))
            lines.append({number, line});
    }
    return lines;
}

QStringList dataLines(const QString& path) {
    QStringList lines;
    for (const auto& [number, line] : numberedDataLines(path))
        lines << line;
    return lines;
}

// An exception's fill or path column: "*" or a comma-separated list of the names known.
QStringList namesIn(const QString& column, const QStringList& known, const QString& what,
                    QStringList& problems, const QString& where) {
    if (column == u"*")
        return {column};
    const QStringList names = column.split(u',');
    for (const QString& name : names) {
        if (!known.contains(name))
            problems << QStringLiteral("%1: no %2 '%3' (%4 or *)").arg(where, what, name, known.join(u','));
    }
    return names;
}

CellRef cellAt(const QString& name) {
    const auto ref = parseCellName(name);
    if (!ref)
        qFatal("not a cell: %s", qPrintable(name));
    return *ref;
}

int sheetNamed(Workbook& workbook, const QString& name) {
    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        if (workbook.sheets[i].name == name)
            return int(i);
    }
    workbook.addSheet(name);
    return int(workbook.sheets.size() - 1);
}

QString xmlEscaped(const QString& text) {
    return text.toHtmlEscaped();
}

}  // namespace

bool Exception::covers(const QString& inArea, const QString& ofFormula, const QString& fill,
                       const QString& path) const {
    return area == inArea && formula == ofFormula && (fills == QStringList{"*"} || fills.contains(fill)) &&
           (paths == QStringList{"*"} || paths.contains(path));
}

QList<const Exception*> Corpus::exceptionsFor(const QString& area, const QString& formula,
                                              const QString& fill, const QString& path) const {
    QList<const Exception*> found;
    for (const Exception& e : exceptions) {
        if (e.covers(area, formula, fill, path))
            found << &e;
    }
    return found;
}

Corpus load(const QString& folder) {
    Corpus corpus;
    for (const QString& line : dataLines(folder + "/template.txt")) {
        const QStringList parts = line.split(u'\t');
        corpus.templateCells.append({kMainSheet, parts[0], parts.value(1)});
    }
    for (const QString& line : dataLines(folder + "/fills.txt")) {
        QStringList parts = line.split(u'\t');
        const QString name = parts.takeFirst();
        if (parts.size() != 17)
            qFatal("fill %s has %d amounts", qPrintable(name), int(parts.size()));
        corpus.fills.append({name, parts});
    }
    QStringList fillNames;
    for (const Fill& fill : corpus.fills)
        fillNames << fill.name;
    for (const auto& [number, line] : numberedDataLines(folder + "/exceptions.txt")) {
        const QString where = QStringLiteral("exceptions.txt:%1").arg(number);
        const QStringList parts = line.split(u'\t');
        if (parts.size() != 6 || parts[5].trimmed().isEmpty()) {
            corpus.problems << where + ": not area, formula, fills, paths, value and rule, tab-separated";
            continue;
        }
        Exception e;
        e.line = number;
        e.area = parts[0];
        e.formula = parts[1];
        e.fills = namesIn(parts[2], fillNames, QStringLiteral("fill"), corpus.problems, where);
        e.paths = namesIn(parts[3], kPaths, QStringLiteral("path"), corpus.problems, where);
        const std::optional<Value> value = parseValue(parts[4]);
        if (!value)
            corpus.problems << where + ": '" + parts[4] + "' is no value";
        e.value = value.value_or(Value());
        e.rule = parts[5];
        if (!kAreas.contains(e.area))
            corpus.problems << where + ": no area '" + e.area + "'";
        corpus.exceptions.append(e);
    }
    for (const QString& name : kAreas) {
        Area area;
        area.name = name;
        for (const QString& line : dataLines(folder + u'/' + name + ".txt")) {
            if (line.startsWith("@cell ")) {
                const QStringList parts = line.mid(6).split(u'\t');
                const QStringList target = parts[0].split(u'!');
                area.cells.append({target[0], target[1], parts.value(1)});
            } else if (line.startsWith("@name ")) {
                const QStringList parts = line.mid(6).split(u'\t');
                area.names.append({parts[0], parts.value(1)});
            } else {
                area.formulas << line;
            }
        }
        corpus.areas.insert(name, area);
    }
    return corpus;
}

std::optional<Value> parseValue(const QString& text) {
    if (text.startsWith(u'\''))
        return text.mid(1);
    if (text == "TRUE" || text == "FALSE")
        return text == "TRUE";
    if (text.startsWith(u'#')) {
        for (ErrorCode e : {ErrorCode::Null, ErrorCode::Div0, ErrorCode::Value, ErrorCode::Ref,
                            ErrorCode::Name, ErrorCode::Num, ErrorCode::NA}) {
            if (errorText(e) == text)
                return e;
        }
        return std::nullopt;
    }
    if (text.isEmpty())
        return Value();
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? std::optional<Value>(number) : std::nullopt;
}

bool sameValue(const Value& a, const Value& b) {
    const double* x = std::get_if<double>(&a);
    const double* y = std::get_if<double>(&b);
    if (x && y)
        return std::fabs(*x - *y) <= 1e-9 * std::max(1.0, std::fabs(*x));
    return a == b;
}

void putValue(Workbook& workbook, int sheet, CellRef at, const QString& value) {
    Cell& cell = workbook.sheets[size_t(sheet)].cellForWriting(at);
    cell.formula.reset();
    if (value.startsWith(u'=')) {
        cell.formula = compileFormula(value, workbook, sheet);
        cell.value = 0.0;
        return;
    }
    const std::optional<Value> parsed = parseValue(value);
    if (!parsed)
        qFatal("not a value: %s", qPrintable(value));
    cell.value = *parsed;
}

Workbook buildWorkbook(const Corpus& corpus, const QStringList& areas, QList<int>& rows) {
    Workbook workbook;
    workbook.addSheet(kMainSheet);
    for (const QString& name : areas) {
        for (const CellEntry& entry : corpus.areas[name].cells)
            putValue(workbook, sheetNamed(workbook, entry.sheet), cellAt(entry.cell), QStringLiteral("0"));
    }
    for (const CellEntry& entry : corpus.templateCells)
        putValue(workbook, 0, cellAt(entry.cell), entry.value);
    for (int row : {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 19, 20, 21, 22, 23, 24})
        putValue(workbook, 0, {row, 1}, QStringLiteral("0"));
    int row = 0;
    for (const QString& name : areas) {
        const Area& area = corpus.areas[name];
        for (const CellEntry& entry : area.cells)
            putValue(workbook, sheetNamed(workbook, entry.sheet), cellAt(entry.cell), entry.value);
        for (const auto& [defined, definition] : area.names)
            defineName(workbook, defined, definition);
        for (const QString& formula : area.formulas) {
            putValue(workbook, 0, {row, 3}, formula);
            rows << row++;
        }
    }
    return workbook;
}

void applyFill(Workbook& workbook, const Fill& fill) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (int i = 0; i < fill.amounts.size(); ++i) {
        const CellRef at{i < 11 ? 5 + i : 19 + (i - 11), 1};
        const QString& amount = fill.amounts[i];
        if (amount.startsWith(u'\'') || amount.startsWith(u'#') || amount == "TRUE" || amount == "FALSE") {
            putValue(workbook, 0, at, amount);
        } else {
            enterText(workbook, 0, at, amount, us);
        }
    }
}

QByteArray gnumericXml(const Workbook& workbook) {
    QString out = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gnm:Workbook xmlns:gnm=\"http://www.gnumeric.org/v10.dtd\">\n<gnm:SheetNameIndex>");
    for (const Worksheet& sheet : workbook.sheets)
        out += "<gnm:SheetName>" + xmlEscaped(sheet.name) + "</gnm:SheetName>";
    out += "</gnm:SheetNameIndex>\n<gnm:Names>";
    for (const DefinedName& name : workbook.names) {
        out += "<gnm:Name><gnm:name>" + xmlEscaped(name.name) + "</gnm:name><gnm:value>" +
               xmlEscaped(formulaText(name.formula, workbook)) +
               "</gnm:value><gnm:position>A1</gnm:position></gnm:Name>";
    }
    out += "</gnm:Names>\n<gnm:Sheets>\n";
    for (const Worksheet& sheet : workbook.sheets) {
        // Column D in a fixed number format: gnumeric would otherwise show date results as dates.
        out += "<gnm:Sheet><gnm:Name>" + xmlEscaped(sheet.name) +
               "</gnm:Name><gnm:Styles><gnm:StyleRegion startCol=\"3\" startRow=\"0\" endCol=\"3\" "
               "endRow=\"65535\"><gnm:Style Format=\"0.00000000000000E+00\"/></gnm:StyleRegion></gnm:Styles>"
               "<gnm:Cells>\n";
        for (const auto& [ref, cell] : sheet.cells()) {
            const QString position = QStringLiteral("Row=\"%1\" Col=\"%2\"").arg(ref.row).arg(ref.column);
            if (cell.formula) {
                out += "<gnm:Cell " + position + ">=" + xmlEscaped(formulaText(*cell.formula, workbook)) +
                       "</gnm:Cell>\n";
            } else if (const double* d = std::get_if<double>(&cell.value)) {
                out += "<gnm:Cell " + position + " ValueType=\"40\">" + QString::number(*d, 'g', 17) +
                       "</gnm:Cell>\n";
            } else if (const QString* s = std::get_if<QString>(&cell.value)) {
                out += "<gnm:Cell " + position + " ValueType=\"60\">" + xmlEscaped(*s) + "</gnm:Cell>\n";
            } else if (const bool* b = std::get_if<bool>(&cell.value)) {
                out += "<gnm:Cell " + position + " ValueType=\"20\">" + (*b ? "TRUE" : "FALSE") +
                       "</gnm:Cell>\n";
            } else if (const ErrorCode* e = std::get_if<ErrorCode>(&cell.value)) {
                out += "<gnm:Cell " + position + " ValueType=\"50\">" + errorText(*e) + "</gnm:Cell>\n";
            }
        }
        out += "</gnm:Cells></gnm:Sheet>\n";
    }
    out += "</gnm:Sheets>\n</gnm:Workbook>\n";
    return out.toUtf8();
}

QList<QStringList> gnumericValues(const QString& path, const QString& sheet, const QString& scratch) {
    const QString csv = scratch + "/recalculated.csv";
    QFile::remove(csv);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LC_ALL", "C.UTF-8");
    environment.insert("LANG", "C.UTF-8");
    process.setProcessEnvironment(environment);
    process.start("ssconvert", {"--recalc", "-O", "sheet='" + sheet + "'", path, csv});
    if (!process.waitForStarted(-1) || !process.waitForFinished(-1) || process.exitCode() != 0) {
        qWarning().noquote() << "ssconvert failed:" << process.readAllStandardError();
        return {};
    }
    return testing::csvRows(csv);
}

bool agrees(const Value& ours, const QString& theirs) {
    if (const double* d = std::get_if<double>(&ours)) {
        bool ok = false;
        const double other = theirs.toDouble(&ok);
        return ok && std::fabs(*d - other) <= 1e-9 * std::max(1.0, std::fabs(*d));
    }
    if (const QString* s = std::get_if<QString>(&ours))
        return *s == theirs;
    if (const bool* b = std::get_if<bool>(&ours))
        return theirs == (*b ? "TRUE" : "FALSE");
    if (const ErrorCode* e = std::get_if<ErrorCode>(&ours))
        return theirs == errorText(*e);
    return theirs.isEmpty();
}

}  // namespace corpus
