#include "spreadsheet/cell_ref.h"

namespace spreadsheet {

QString columnName(int column) {
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar(u'A' + (c - 1) % 26));
    return name;
}

QString cellName(CellRef ref) {
    return columnName(ref.column) + QString::number(ref.row + 1);
}

std::optional<CellRef> parseCellName(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && text[i] == u'$')
        ++i;
    int column = 0;
    qsizetype letters = 0;
    while (i < n && text[i].isLetter() && text[i].unicode() < 128) {
        column = column * 26 + (text[i].toUpper().unicode() - u'A' + 1);
        ++i;
        if (++letters > 3)
            return std::nullopt;
    }
    if (letters == 0)
        return std::nullopt;
    if (i < n && text[i] == u'$')
        ++i;
    qint64 row = 0;
    qsizetype digits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        row = row * 10 + (text[i].unicode() - u'0');
        ++i;
        if (++digits > 6)
            return std::nullopt;
    }
    if (digits == 0 || i != n || row < 1)
        return std::nullopt;
    CellRef ref{int(row - 1), column - 1};
    if (!ref.isValid())
        return std::nullopt;
    return ref;
}

std::optional<CellRange> parseRangeName(const QString& text) {
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0) {
        auto ref = parseCellName(text);
        if (!ref)
            return std::nullopt;
        return CellRange{*ref, *ref};
    }
    auto a = parseCellName(text.left(colon));
    auto b = parseCellName(text.mid(colon + 1));
    if (!a || !b)
        return std::nullopt;
    return CellRange{{std::min(a->row, b->row), std::min(a->column, b->column)},
                     {std::max(a->row, b->row), std::max(a->column, b->column)}};
}

}  // namespace spreadsheet
