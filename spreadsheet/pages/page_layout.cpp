#include "spreadsheet/page_layout.h"

#include <QtEndian>
#include <algorithm>

namespace spreadsheet {

namespace {

constexpr quint8 kPrintArea = 0x06;

// Print areas are plain references: the few tokens they are made of, in their base (reference
// class) codes.
constexpr quint8 kUnion = 0x10;
constexpr quint8 kParen = 0x15;
constexpr quint8 kRef = 0x24;
constexpr quint8 kArea = 0x25;
constexpr quint8 kMemFunc = 0x29;
constexpr quint8 kRef3d = 0x3A;
constexpr quint8 kArea3d = 0x3B;

quint8 baseCode(quint8 token) {
    return token >= 0x20 && token < 0x80 ? quint8(0x20 + (token & 0x1F)) : token;
}

class TokenReader {
public:
    explicit TokenReader(const QByteArray& bytes) : bytes_(bytes) {}
    bool atEnd() const { return at_ >= bytes_.size(); }
    bool has(qsizetype n) const { return at_ + n <= bytes_.size(); }
    quint8 u8() { return quint8(bytes_[at_++]); }
    quint16 u16() {
        const quint16 value = qFromLittleEndian<quint16>(bytes_.constData() + at_);
        at_ += 2;
        return value;
    }

private:
    const QByteArray& bytes_;
    qsizetype at_ = 0;
};

// A column field of a reference: 14 bits of column, then the relative flags.
int column(quint16 field) {
    return std::min(int(field & 0x3FFF), kMaxColumns - 1);
}

CellRange area(int row1, int row2, int column1, int column2) {
    return {{std::min(row1, row2), std::min(column1, column2)},
            {std::max(row1, row2), std::max(column1, column2)}};
}

}  // namespace

QPageSize pageSizeForPaperCode(quint16 code) {
    static const QPageSize::PageSizeId ids[] = {
        QPageSize::Letter,              // 1
        QPageSize::Letter,              // 2 letter small
        QPageSize::Tabloid,             // 3
        QPageSize::Ledger,              // 4
        QPageSize::Legal,               // 5
        QPageSize::Statement,           // 6
        QPageSize::ExecutiveStandard,   // 7: 7.25 x 10.5 in
        QPageSize::A3,                  // 8
        QPageSize::A4,                  // 9
        QPageSize::A4,                  // 10 A4 small
        QPageSize::A5,                  // 11
        QPageSize::B4,                  // 12
        QPageSize::JisB5,               // 13: 182 x 257 mm
        QPageSize::FanFoldGermanLegal,  // 14 folio, 8.5 x 13 in
        QPageSize::Quarto,              // 15
        QPageSize::Imperial10x14,       // 16
        QPageSize::Tabloid,             // 17: 11 x 17 in
        QPageSize::Note,                // 18
        QPageSize::Envelope9,           // 19
        QPageSize::Envelope10,          // 20
        QPageSize::Envelope11,          // 21
        QPageSize::Envelope12,          // 22
        QPageSize::Envelope14,          // 23
        QPageSize::AnsiC,               // 24
        QPageSize::AnsiD,               // 25
        QPageSize::AnsiE,               // 26
        QPageSize::EnvelopeDL,          // 27
        QPageSize::EnvelopeC5,          // 28
        QPageSize::EnvelopeC3,          // 29
        QPageSize::EnvelopeC4,          // 30
        QPageSize::EnvelopeC6,          // 31
        QPageSize::EnvelopeC65,         // 32
        QPageSize::EnvelopeB4,          // 33
        QPageSize::EnvelopeB5,          // 34
        QPageSize::EnvelopeB6,          // 35
        QPageSize::EnvelopeItalian,     // 36
        QPageSize::EnvelopeMonarch,     // 37
        QPageSize::EnvelopePersonal,    // 38
        QPageSize::FanFoldUS,           // 39
        QPageSize::FanFoldGerman,       // 40
        QPageSize::FanFoldGermanLegal,  // 41
    };
    if (code >= 1 && code <= std::size(ids))
        return QPageSize(ids[code - 1]);
    return QPageSize(QPageSize::Letter);
}

QPageLayout pageLayoutFor(const Worksheet& sheet) {
    const PageSetup& setup = sheet.pageSetup;
    QPageLayout layout(pageSizeForPaperCode(setup.paperSize),
                       setup.portrait ? QPageLayout::Portrait : QPageLayout::Landscape, QMarginsF(),
                       QPageLayout::Inch);
    layout.setMargins(QMarginsF(setup.leftMargin, setup.topMargin, setup.rightMargin, setup.bottomMargin));
    return layout;
}

std::vector<CellRange> printAreaRanges(const Workbook& workbook, const DefinedName& name, int sheetIndex) {
    auto ownSheet = [&](quint16 ixti) {
        if (ixti >= workbook.externSheets.size())
            return false;
        const ExternSheet& entry = workbook.externSheets[ixti];
        return entry.supportingBook < workbook.supportingBooks.size() &&
               workbook.supportingBooks[entry.supportingBook].kind == SupportingBook::Kind::Self &&
               entry.firstSheet == sheetIndex && entry.lastSheet == sheetIndex;
    };
    std::vector<CellRange> ranges;
    TokenReader reader(name.formula.tokens);
    while (!reader.atEnd()) {
        const quint8 token = baseCode(reader.u8());
        if (token == kUnion || token == kParen)
            continue;
        if (token == kMemFunc && reader.has(2)) {
            reader.u16();  // the size of the tokens that follow, which are read as they come
            continue;
        }
        const bool threeD = token == kRef3d || token == kArea3d;
        if (threeD && (!reader.has(2) || !ownSheet(reader.u16())))
            return {};
        if ((token == kRef || token == kRef3d) && reader.has(4)) {
            const int row = reader.u16();
            const int col = column(reader.u16());
            ranges.push_back(area(row, row, col, col));
        } else if ((token == kArea || token == kArea3d) && reader.has(8)) {
            const int row1 = reader.u16();
            const int row2 = reader.u16();
            const int column1 = column(reader.u16());
            const int column2 = column(reader.u16());
            ranges.push_back(area(row1, row2, column1, column2));
        } else {
            return {};
        }
    }
    return ranges;
}

std::vector<CellRange> printedAreas(const Workbook& workbook, int sheetIndex) {
    if (sheetIndex < 0 || sheetIndex >= int(workbook.sheets.size()))
        return {};
    for (const DefinedName& name : workbook.names) {
        if (!name.builtIn || name.builtInCode != kPrintArea || name.sheet != sheetIndex)
            continue;
        if (std::vector<CellRange> ranges = printAreaRanges(workbook, name, sheetIndex); !ranges.empty())
            return ranges;
    }
    if (const std::optional<CellRange> used = workbook.sheets[size_t(sheetIndex)].usedRange())
        return {*used};
    return {};
}

}  // namespace spreadsheet
