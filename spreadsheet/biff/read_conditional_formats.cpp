#include "spreadsheet/biff/read_conditional_formats.h"

#include <QtEndian>

#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/biff/tokens.h"
#include "spreadsheet/error.h"

namespace spreadsheet::biff {

namespace {

constexpr quint16 kCondFmt = 0x01B0;
constexpr quint16 kCf = 0x01B1;
constexpr quint16 kCondFmt12 = 0x0879;
constexpr quint16 kCf12 = 0x087A;

// The differential format (DXFN): which parts it leaves unchanged, and which blocks follow.
constexpr quint32 kLeftUnchanged = 1u << 10;
constexpr quint32 kRightUnchanged = 1u << 11;
constexpr quint32 kTopUnchanged = 1u << 12;
constexpr quint32 kBottomUnchanged = 1u << 13;
constexpr quint32 kPatternUnchanged = 1u << 16;
constexpr quint32 kForegroundUnchanged = 1u << 17;
constexpr quint32 kBackgroundUnchanged = 1u << 18;
constexpr quint32 kHasNumberFormat = 1u << 25;
constexpr quint32 kHasFont = 1u << 26;
constexpr quint32 kHasAlignment = 1u << 27;
constexpr quint32 kHasBorder = 1u << 28;
constexpr quint32 kHasPattern = 1u << 29;
constexpr quint32 kHasProtection = 1u << 30;
constexpr quint16 kUserNumberFormat = 0x0001;

constexpr qsizetype kFontBlockSize = 118;
constexpr quint32 kNoColor = 0xFFFFFFFF;
constexpr quint32 kItalic = 0x02;
constexpr quint32 kStrikeout = 0x80;

constexpr quint16 kColumnRelative = 0x4000;
constexpr quint16 kRowRelative = 0x8000;

quint32 u32At(QByteArrayView data, qsizetype at) {
    return qFromLittleEndian<quint32>(data.data() + at);
}

// A Ref8U: first row, last row, first column, last column. Nothing for a rectangle outside the sheet.
std::optional<CellRange> readRef8(RecordCursor& c) {
    const int firstRow = c.u16();
    const int lastRow = c.u16();
    const int firstColumn = c.u16();
    const int lastColumn = std::min<int>(c.u16(), kMaxColumns - 1);
    if (firstRow > lastRow || firstColumn > lastColumn)
        return std::nullopt;
    return CellRange{{firstRow, firstColumn}, {lastRow, lastColumn}};
}

// The part CONDFMT and CONDFMT12 share: how many rules follow, and the ranges.
ConditionalFormat readFormat(RecordCursor& c) {
    c.u16();  // the number of rules, which the rules themselves show
    c.u16();  // recalculation flag and id
    readRef8(c);
    ConditionalFormat format;
    for (quint16 count = c.u16(); count > 0; --count) {
        if (const std::optional<CellRange> range = readRef8(c))
            format.ranges.push_back(*range);
    }
    return format;
}

void readFont(QByteArrayView block, ConditionalStyle& style) {
    const quint32 shape = u32At(block, 68);
    const quint16 weight = qFromLittleEndian<quint16>(block.data() + 72);
    const quint8 underline = quint8(block[76]);
    const quint32 color = u32At(block, 80);
    const quint32 shapeUnchanged = u32At(block, 88);
    const bool underlineUnchanged = u32At(block, 96) != 0;
    const bool weightUnchanged = u32At(block, 100) != 0;
    if (color != kNoColor && color <= 0x7FFF)
        style.fontColor = quint16(color);
    if (!(shapeUnchanged & kItalic))
        style.italic = (shape & kItalic) != 0;
    if (!(shapeUnchanged & kStrikeout))
        style.strikeout = (shape & kStrikeout) != 0;
    if (!weightUnchanged)
        style.bold = weight > 400;
    if (!underlineUnchanged)
        style.underline = underline;
}

void readBorders(RecordCursor& c, quint32 flags, ConditionalStyle& style) {
    const quint32 sides = c.u32();
    const quint32 more = c.u32();
    auto border = [](quint32 lineStyle, quint32 color) {
        return ConditionalBorder{quint8(lineStyle & 0x0F), quint16(color & 0x7F)};
    };
    if (!(flags & kLeftUnchanged))
        style.left = border(sides, sides >> 16);
    if (!(flags & kRightUnchanged))
        style.right = border(sides >> 4, sides >> 23);
    if (!(flags & kTopUnchanged))
        style.top = border(sides >> 8, more);
    if (!(flags & kBottomUnchanged))
        style.bottom = border(sides >> 12, more >> 7);
}

// A rule's fill differs from a cell's in one way: a solid fill shows the background colour.
void readPattern(RecordCursor& c, quint32 flags, ConditionalStyle& style) {
    const quint8 pattern = quint8((c.u16() >> 10) & 0x3F);
    const quint16 colors = c.u16();
    const bool patternSet = !(flags & kPatternUnchanged);
    const std::optional<quint16> foreground =
        flags & kForegroundUnchanged ? std::nullopt : std::optional<quint16>(colors & 0x7F);
    const std::optional<quint16> background =
        flags & kBackgroundUnchanged ? std::nullopt : std::optional<quint16>((colors >> 7) & 0x7F);
    if (patternSet && pattern == 0) {
        style.fillPattern = 0;
    } else if (patternSet && pattern >= 2) {
        style.fillPattern = pattern;
        style.fillForeground = foreground;
        style.fillBackground = background;
    } else if (background || foreground) {
        style.fillPattern = 1;
        style.fillForeground = background ? background : foreground;
    }
}

ConditionalStyle readDifferentialFormat(RecordCursor& c) {
    ConditionalStyle style;
    const quint32 flags = c.u32();
    const quint16 more = c.u16();
    if (flags & kHasNumberFormat) {
        if (more & kUserNumberFormat) {
            const quint16 size = c.u16();  // of the whole block
            if (size < 2)
                damaged(QStringLiteral("a conditional format's number format has no length"));
            c.skip(size - 2);
        } else {
            c.skip(2);
        }
    }
    if (flags & kHasFont)
        readFont(c.bytes(kFontBlockSize), style);
    if (flags & kHasAlignment)
        c.skip(8);
    if (flags & kHasBorder)
        readBorders(c, flags, style);
    if (flags & kHasPattern)
        readPattern(c, flags, style);
    if (flags & kHasProtection)
        c.skip(2);
    return style;
}

std::optional<ConditionalRule> ruleOf(quint8 kind, quint8 op, QByteArrayView first, QByteArrayView second,
                                      const ConditionalStyle& style, const ConditionalFormat& format) {
    if (kind < quint8(ConditionKind::CellValue) || kind > quint8(ConditionKind::IconSet))
        return std::nullopt;
    ConditionalRule rule;
    rule.kind = ConditionKind(kind);
    rule.op = op <= quint8(ConditionOperator::LessOrEqual) ? ConditionOperator(op) : ConditionOperator::None;
    rule.style = style;
    const CellRef topLeft = format.ranges.front().first;
    const std::optional<QByteArray> tokens1 = conditionTokens(first, topLeft);
    const std::optional<QByteArray> tokens2 = conditionTokens(second, topLeft);
    if (!tokens1 || !tokens2)
        return std::nullopt;
    rule.first = *tokens1;
    rule.second = *tokens2;
    return rule;
}

// CF: the kind, the operator, the two formulas' sizes, the format, the formulas.
std::optional<ConditionalRule> readRule(RecordCursor c, const ConditionalFormat& format) {
    const quint8 kind = c.u8();
    const quint8 op = c.u8();
    const quint16 size1 = c.u16();
    const quint16 size2 = c.u16();
    const ConditionalStyle style = readDifferentialFormat(c);
    const QByteArrayView first = c.bytes(size1);
    const QByteArrayView second = c.bytes(size2);
    return ruleOf(kind, op, first, second, style, format);
}

// CF12: a future record's header, then as CF with a sized format (and extensions to it that only
// theme colours and gradients use), the formulas, and the rule's priority flags.
std::optional<ConditionalRule> readRule12(RecordCursor c, const ConditionalFormat& format) {
    c.skip(12);
    const quint8 kind = c.u8();
    const quint8 op = c.u8();
    const quint16 size1 = c.u16();
    const quint16 size2 = c.u16();
    ConditionalStyle style;
    const quint32 formatSize = c.u32();
    if (formatSize == 0) {
        c.skip(2);
    } else {
        const qsizetype start = c.position();
        style = readDifferentialFormat(c);
        const qsizetype used = c.position() - start;
        if (used > qsizetype(formatSize))
            damaged(QStringLiteral("a conditional format is longer than its size"));
        c.skip(qsizetype(formatSize) - used);
    }
    const QByteArrayView first = c.bytes(size1);
    const QByteArrayView second = c.bytes(size2);
    std::optional<ConditionalRule> rule = ruleOf(kind, op, first, second, style, format);
    c.skip(c.u16());  // the formula that switches the rule on and off
    if (rule)
        rule->stopIfTrue = (c.u8() & 0x02) != 0;
    return rule;
}

}  // namespace

std::optional<QByteArray> conditionTokens(QByteArrayView rgce, CellRef topLeft) {
    QByteArray out = rgce.toByteArray();
    qsizetype pos = 0;
    while (pos < rgce.size()) {
        const std::optional<qsizetype> size = tokenSize(rgce, pos);
        if (!size)
            return std::nullopt;
        const quint8 code = quint8(rgce[pos]);
        const quint8 base = code >= 0x20 ? quint8((code & 0x1F) | 0x20) : code;
        // tRef and tArea become tRefN and tAreaN, which already hold distances.
        const int references = base == 0x24 ? 1 : base == 0x25 ? 2 : 0;
        if (references > 0)
            out[pos] = char(code + 8);
        // A single reference is (row, column); an area is (row, row, column, column).
        for (int i = 0; i < references; ++i) {
            const qsizetype rowAt = pos + 1 + 2 * i;
            const qsizetype columnAt = pos + 1 + 2 * references + 2 * i;
            const quint16 row = qFromLittleEndian<quint16>(rgce.data() + rowAt);
            const quint16 columnWord = qFromLittleEndian<quint16>(rgce.data() + columnAt);
            const int column = columnWord & 0xFF;
            const quint16 flags = columnWord & (kRowRelative | kColumnRelative);
            const quint16 newRow = columnWord & kRowRelative ? quint16(qint16(row - topLeft.row)) : row;
            const quint16 newColumn =
                columnWord & kColumnRelative ? quint8(qint8(column - topLeft.column)) : quint16(column);
            qToLittleEndian<quint16>(newRow, out.data() + rowAt);
            qToLittleEndian<quint16>(quint16(flags | newColumn), out.data() + columnAt);
        }
        pos += *size;
    }
    return out;
}

void readConditionalFormats(Worksheet& sheet) {
    sheet.conditionalFormats.clear();
    // Rules belong to the format record before them; -1 while there is none to take them.
    int current = -1;
    int current12 = -1;
    for (const KeptRecord& record : sheet.kept) {
        if (record.id != kCondFmt && record.id != kCf && record.id != kCondFmt12 && record.id != kCf12)
            continue;
        try {
            RecordCursor c(record.data, record.id);
            if (record.id == kCondFmt || record.id == kCondFmt12) {
                int& slot = record.id == kCondFmt ? current : current12;
                slot = -1;
                if (record.id == kCondFmt12)
                    c.skip(12);
                ConditionalFormat format = readFormat(c);
                if (format.ranges.empty())
                    continue;
                sheet.conditionalFormats.push_back(std::move(format));
                slot = int(sheet.conditionalFormats.size()) - 1;
                continue;
            }
            const int owner = record.id == kCf ? current : current12;
            if (owner < 0)
                continue;
            ConditionalFormat& format = sheet.conditionalFormats[size_t(owner)];
            if (std::optional<ConditionalRule> rule =
                    record.id == kCf ? readRule(c, format) : readRule12(c, format))
                format.rules.push_back(std::move(*rule));
        } catch (const SpreadsheetError&) {
            // A record this reader cannot follow changes nothing that is drawn.
        }
    }
}

}  // namespace spreadsheet::biff
