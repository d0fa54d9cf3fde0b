#include "spreadsheet/formula/reference_text.h"

#include <QRegularExpression>

namespace spreadsheet::formula_detail {

namespace {

int sheetIndex(const Workbook& workbook, const QString& name) {
    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        if (workbook.sheets[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

// "R6C2", "R[-1]C", "RC[3]": a missing number is the formula's own row or column.
std::optional<CellRef> parseR1C1(const QString& text, const CellKey& at) {
    static const QRegularExpression pattern(
        QStringLiteral("^[Rr](\\[-?\\d+\\]|\\d+)?[Cc](\\[-?\\d+\\]|\\d+)?$"));
    const auto m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    auto part = [](const QString& s, int own) -> std::optional<int> {
        if (s.isEmpty())
            return own;
        if (s.startsWith(u'['))
            return own + s.mid(1, s.size() - 2).toInt();
        bool ok = false;
        const int v = s.toInt(&ok);
        return ok ? std::optional<int>(v - 1) : std::nullopt;
    };
    const auto row = part(m.captured(1), at.ref.row);
    const auto column = part(m.captured(2), at.ref.column);
    if (!row || !column)
        return std::nullopt;
    const CellRef ref{*row, *column};
    return ref.isValid() ? std::optional<CellRef>(ref) : std::nullopt;
}

}  // namespace

std::optional<Area> parseReferenceText(const Workbook& workbook, const QString& text, const CellKey& at,
                                       bool a1) {
    QString rest = text.trimmed();
    int sheet = at.sheet;
    if (const qsizetype bang = rest.lastIndexOf(u'!'); bang >= 0) {
        QString name = rest.left(bang);
        if (name.size() >= 2 && name.startsWith(u'\'') && name.endsWith(u'\''))
            name = name.mid(1, name.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
        sheet = sheetIndex(workbook, name);
        if (sheet < 0)
            return std::nullopt;
        rest = rest.mid(bang + 1);
    }
    const QStringList corners = rest.split(u':');
    if (corners.isEmpty() || corners.size() > 2)
        return std::nullopt;
    std::optional<CellRef> cells[2];
    for (qsizetype i = 0; i < corners.size(); ++i) {
        cells[i] = a1 ? parseCellName(corners[i]) : parseR1C1(corners[i], at);
        if (!cells[i])
            return std::nullopt;
    }
    const CellRef a = *cells[0];
    const CellRef b = cells[1] ? *cells[1] : a;
    return Area{sheet,
                {{std::min(a.row, b.row), std::min(a.column, b.column)},
                 {std::max(a.row, b.row), std::max(a.column, b.column)}}};
}

int findName(const Workbook& workbook, const QString& name, int sheet) {
    int global = -1;
    for (size_t i = 0; i < workbook.names.size(); ++i) {
        const DefinedName& defined = workbook.names[i];
        if (defined.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (defined.sheet == sheet)
            return int(i);
        if (defined.sheet < 0 && global < 0)
            global = int(i);
    }
    return global;
}

QString sheetNameText(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.]*$"));
    // A name that reads as a cell (A1, IV2) must be quoted as well.
    if (plain.match(name).hasMatch() && !parseCellName(name))
        return name;
    QString quoted = name;
    return u'\'' + quoted.replace(u'\'', QLatin1String("''")) + u'\'';
}

}  // namespace spreadsheet::formula_detail
