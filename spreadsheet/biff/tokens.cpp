#include "spreadsheet/biff/tokens.h"

#include <QtEndian>

namespace spreadsheet::biff {

namespace {

constexpr quint8 kStr = 0x17, kExtended = 0x18, kAttr = 0x19;
constexpr quint8 kAttrChoose = 0x04;
constexpr quint16 kColumnRelative = 0x4000, kRowRelative = 0x8000;

// Payload sizes of the classed tokens (codes 0x20..0x7F folded onto 0x20..0x3F); -1: not a BIFF8 token.
constexpr int kClassedPayload[32] = {
    7,  2,  3,  4,  4,  8,  6,  6,  6,  2, 4, 8,  4, 8,  -1, -1,  // tArray .. tAreaN, 0x2E, 0x2F
    -1, -1, -1, -1, -1, -1, -1, -1, -1, 6, 6, 10, 6, 10, -1, -1,  // 0x30 .. tNameX, tRef3d .. tAreaErr3d
};

quint16 u16At(QByteArrayView data, qsizetype at) {
    return qFromLittleEndian<quint16>(data.data() + at);
}

void putU16(QByteArray& data, qsizetype at, quint16 value) {
    qToLittleEndian<quint16>(value, data.data() + at);
}

std::optional<qsizetype> payloadSize(QByteArrayView tokens, qsizetype at, quint8 code) {
    const qsizetype left = tokens.size() - at - 1;
    if (code >= 0x20) {
        const int size = kClassedPayload[code & 0x1F];
        return size < 0 ? std::nullopt : std::optional<qsizetype>(size);
    }
    switch (code) {
        case 0x01:  // tExp
        case 0x02:  // tTbl
            return 4;
        case kStr: {
            if (left < 2)
                return std::nullopt;
            const qsizetype count = quint8(tokens[at + 1]);
            return 2 + count * ((quint8(tokens[at + 2]) & 0x01) ? 2 : 1);
        }
        case kAttr: {
            if (left < 3)
                return std::nullopt;
            if (quint8(tokens[at + 1]) & kAttrChoose)
                return 3 + 2 * (qsizetype(u16At(tokens, at + 2)) + 1);
            return 3;
        }
        case 0x1C:  // tErr
        case 0x1D:  // tBool
            return 1;
        case 0x1E:  // tInt
            return 2;
        case 0x1F:  // tNum
            return 8;
        case kExtended:
            return std::nullopt;
        default:
            // The operators, tParen and tMissArg carry nothing.
            return code >= 0x03 && code <= 0x16 ? std::optional<qsizetype>(0) : std::nullopt;
    }
}

// A row or column word of a shared formula, made to reach from the cell.
quint16 resolveRow(quint16 row, bool relative, int cellRow) {
    return relative ? quint16((cellRow + qint16(row)) & 0xFFFF) : row;
}

quint16 resolveColumn(quint16 word, int cellColumn) {
    if (!(word & kColumnRelative))
        return word;
    const int column = (cellColumn + qint8(quint8(word & 0xFF))) & 0xFF;
    return quint16((word & (kColumnRelative | kRowRelative)) | column);
}

}  // namespace

std::optional<qsizetype> tokenSize(QByteArrayView tokens, qsizetype at) {
    if (at < 0 || at >= tokens.size())
        return std::nullopt;
    const std::optional<qsizetype> payload = payloadSize(tokens, at, quint8(tokens[at]));
    if (!payload || *payload > tokens.size() - at - 1)
        return std::nullopt;
    return 1 + *payload;
}

std::optional<QByteArray> sharedFormulaForCell(QByteArrayView tokens, CellRef at) {
    QByteArray out = tokens.toByteArray();
    qsizetype pos = 0;
    while (pos < tokens.size()) {
        const std::optional<qsizetype> size = tokenSize(tokens, pos);
        if (!size)
            return std::nullopt;
        const quint8 code = quint8(tokens[pos]);
        const quint8 base = code >= 0x20 ? quint8((code & 0x1F) | 0x20) : code;
        // Where the row and column words of each reference sit, after the code byte (and a 3-D ixti).
        int references = 0;
        qsizetype firstWord = pos + 1;
        switch (base) {
            case 0x2C:  // tRefN becomes tRef
                out[pos] = char(code - 8);
                references = 1;
                break;
            case 0x2D:  // tAreaN becomes tArea
                out[pos] = char(code - 8);
                references = 2;
                break;
            case 0x3A:  // tRef3d
                firstWord += 2;
                references = 1;
                break;
            case 0x3B:  // tArea3d
                firstWord += 2;
                references = 2;
                break;
            default:
                break;
        }
        // A single reference is (row, column); an area is (row, row, column, column).
        for (int i = 0; i < references; ++i) {
            const qsizetype rowAt = firstWord + 2 * i;
            const qsizetype columnAt = firstWord + 2 * references + 2 * i;
            const quint16 column = u16At(tokens, columnAt);
            putU16(out, rowAt, resolveRow(u16At(tokens, rowAt), column & kRowRelative, at.row));
            putU16(out, columnAt, resolveColumn(column, at.column));
        }
        pos += *size;
    }
    return out;
}

}  // namespace spreadsheet::biff
