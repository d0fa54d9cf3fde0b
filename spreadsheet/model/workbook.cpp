#include "spreadsheet/workbook.h"

#include <algorithm>

namespace spreadsheet {

QString errorText(ErrorCode code) {
    switch (code) {
        case ErrorCode::Null:
            return QStringLiteral("#NULL!");
        case ErrorCode::Div0:
            return QStringLiteral("#DIV/0!");
        case ErrorCode::Value:
            return QStringLiteral("#VALUE!");
        case ErrorCode::Ref:
            return QStringLiteral("#REF!");
        case ErrorCode::Name:
            return QStringLiteral("#NAME?");
        case ErrorCode::Num:
            return QStringLiteral("#NUM!");
        case ErrorCode::NA:
            return QStringLiteral("#N/A");
    }
    return QStringLiteral("#VALUE!");
}

// ---- Worksheet ----

const Cell* Worksheet::cell(CellRef ref) const {
    return cells_.get(ref);
}

Cell& Worksheet::cellForWriting(CellRef ref) {
    if (Cell* existing = cells_.get(ref))
        return *existing;
    Cell cell;
    // A new cell takes the row's format when the row has one, else the column's, as a spreadsheet does.
    if (auto row = rows.find(ref.row); row != rows.end() && row->second.hasFormat) {
        cell.xf = row->second.xf;
    } else if (const ColumnInfo* column = columnInfo(ref.column)) {
        cell.xf = column->xf;
    }
    return cells_.emplace(ref, cell).first->second;
}

std::optional<CellRange> Worksheet::usedRange() const {
    return cells_.bounds();
}

const ColumnInfo* Worksheet::columnInfo(int column) const {
    for (const ColumnInfo& info : columns) {
        if (column >= info.firstColumn && column <= info.lastColumn)
            return &info;
    }
    return nullptr;
}

std::optional<quint16> Worksheet::columnWidth(int column) const {
    if (const ColumnInfo* info = columnInfo(column))
        return info->hidden ? quint16(0) : info->width;
    return std::nullopt;
}

quint16 Worksheet::rowHeightTwips(int row) const {
    if (auto it = rows.find(row); it != rows.end())
        return it->second.hidden ? 0 : it->second.heightTwips;
    return defaultRowHeightTwips;
}

const CellRange* Worksheet::mergedRangeAt(CellRef ref) const {
    for (const CellRange& range : mergedRanges) {
        if (range.contains(ref))
            return &range;
    }
    return nullptr;
}

const ArrayFormula* Worksheet::arrayFormulaAt(CellRef ref) const {
    const Cell* c = cell(ref);
    if (!c || !c->formula)
        return nullptr;
    const std::optional<CellRef> anchor = expAnchor(c->formula->tokens);
    if (!anchor)
        return nullptr;
    const auto it = arrayFormulas.find(*anchor);
    return it != arrayFormulas.end() && it->second.range.contains(ref) ? &it->second : nullptr;
}

// ---- Workbook ----

const std::array<QRgb, 56>& Workbook::standardPalette() {
    static const std::array<QRgb, 56> palette = {
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,  // 8..15
        0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,  // 16..23
        0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,  // 24..31
        0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,  // 32..39
        0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,  // 40..47
        0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,  // 48..55
        0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,  // 56..63
    };
    return palette;
}

Workbook::Workbook() {
    palette = standardPalette();
    fonts.assign(4, Font{});  // Normal and the three fonts a spreadsheet keeps beside it

    numberFormats = {
        {5, QStringLiteral("\"$\"#,##0_);\\(\"$\"#,##0\\)")},
        {6, QStringLiteral("\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)")},
        {7, QStringLiteral("\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)")},
        {8, QStringLiteral("\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)")},
        {42, QStringLiteral("_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)")},
        {41, QStringLiteral("_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)")},
        {44, QStringLiteral("_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)")},
        {43, QStringLiteral("_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)")},
    };

    // The 15 style XFs, the default cell XF and the five built-in number styles, as a spreadsheet
    // writes them in every workbook.
    auto style = [](quint16 font, quint16 numberFormat, quint8 used) {
        CellFormat xf;
        xf.isStyle = true;
        xf.parentStyle = 0xFFF;
        xf.fontIndex = font;
        xf.numberFormat = numberFormat;
        xf.usedAttributes = used;
        return xf;
    };
    formats.push_back(style(0, 0, 0x00));
    formats.push_back(style(1, 0, 0xF4));
    formats.push_back(style(1, 0, 0xF4));
    formats.push_back(style(2, 0, 0xF4));
    formats.push_back(style(2, 0, 0xF4));
    for (int i = 5; i < 15; ++i)
        formats.push_back(style(0, 0, 0xF4));
    CellFormat defaultCell;
    defaultCell.parentStyle = 0;
    formats.push_back(defaultCell);
    formats.push_back(style(1, 43, 0xF8));
    formats.push_back(style(1, 41, 0xF8));
    formats.push_back(style(1, 44, 0xF8));
    formats.push_back(style(1, 42, 0xF8));
    formats.push_back(style(1, 9, 0xF8));

    styles = {
        {16, true, 3, 0xFF, {}}, {17, true, 6, 0xFF, {}}, {18, true, 4, 0xFF, {}},
        {19, true, 7, 0xFF, {}}, {0, true, 0, 0xFF, {}},  {20, true, 5, 0xFF, {}},
    };
}

Worksheet& Workbook::addSheet(const QString& name) {
    sheets.emplace_back();
    sheets.back().name = name;
    if (sheets.size() == 1) {
        sheets.back().window.selected = true;
        sheets.back().window.active = true;
    }
    return sheets.back();
}

quint16 Workbook::addFont(const Font& font) {
    auto it = std::find(fonts.begin(), fonts.end(), font);
    if (it != fonts.end())
        return quint16(it - fonts.begin());
    fonts.push_back(font);
    return quint16(fonts.size() - 1);
}

quint16 Workbook::addFormat(const CellFormat& format) {
    auto it = std::find(formats.begin(), formats.end(), format);
    if (it != formats.end())
        return quint16(it - formats.begin());
    formats.push_back(format);
    return quint16(formats.size() - 1);
}

quint16 Workbook::addNumberFormat(const QString& code) {
    quint16 next = 164;
    for (const auto& [id, existing] : numberFormats) {
        if (existing == code)
            return id;
        if (id >= next)
            next = id + 1;
    }
    numberFormats.emplace(next, code);
    return next;
}

QRgb Workbook::color(quint16 index, bool background) const {
    static constexpr QRgb fixed[8] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                      0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
    if (index < 8)
        return qRgb(qRed(fixed[index]), qGreen(fixed[index]), qBlue(fixed[index]));
    if (index < 64) {
        const QRgb c = palette[index - 8];
        return qRgb(qRed(c), qGreen(c), qBlue(c));
    }
    if (index == kColorWindowBackground)
        return qRgb(255, 255, 255);
    return background ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
}

const Font& Workbook::fontOf(const CellFormat& format) const {
    static const Font fallback;
    if (format.fontIndex < fonts.size())
        return fonts[format.fontIndex];
    return fonts.empty() ? fallback : fonts.front();
}

const CellFormat& Workbook::formatOf(const Cell& cell) const {
    static const CellFormat fallback;
    if (cell.xf < formats.size())
        return formats[cell.xf];
    return formats.size() > 15 ? formats[15] : fallback;
}

bool isGeneralFormat(const Workbook& workbook, quint16 formatId) {
    if (formatId == 0)
        return true;
    const auto it = workbook.numberFormats.find(formatId);
    return it != workbook.numberFormats.end() &&
           it->second.trimmed().compare(QLatin1String("General"), Qt::CaseInsensitive) == 0;
}

}  // namespace spreadsheet
