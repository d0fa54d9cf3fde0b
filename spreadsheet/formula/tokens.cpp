#include "spreadsheet/formula/tokens.h"

#include <QtEndian>
#include <array>
#include <cmath>
#include <cstring>

namespace spreadsheet::ptg {

namespace {

// A bounded view of the stream: every read checks that the bytes are there first.
class Cursor {
public:
    explicit Cursor(const QByteArray& bytes) : data_(bytes) {}

    bool has(qsizetype count) const { return count >= 0 && pos_ + count <= data_.size(); }
    qsizetype position() const { return pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }

    quint8 u8() { return quint8(data_[pos_++]); }
    quint16 u16() {
        const quint8 low = u8();
        return quint16(low | (u8() << 8));
    }
    double f64() {
        const quint64 bits = qFromLittleEndian<quint64>(data_.constData() + pos_);
        pos_ += 8;
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    QString string(int count, bool wide) {
        QString s;
        s.reserve(count);
        for (int i = 0; i < count; ++i)
            s.append(QChar(wide ? u16() : u8()));
        return s;
    }
    void skip(qsizetype count) { pos_ += count; }

private:
    const QByteArray& data_;
    qsizetype pos_ = 0;
};

RefOperand readRef(quint16 row, quint16 columnWord, bool& outOfRange) {
    RefOperand ref;
    ref.cell = {row, columnWord & kColumnMask};
    ref.rowRelative = columnWord & kRowRelative;
    ref.columnRelative = columnWord & kColumnRelative;
    if (ref.cell.column >= kMaxColumns)
        outOfRange = true;
    return ref;
}

// tRefN and tAreaN keep signed distances where a part is relative: 16 bits for the row, the low
// 8 bits of the column word for the column.
RefOperand readRelativeRef(quint16 row, quint16 columnWord) {
    RefOperand ref;
    ref.rowRelative = columnWord & kRowRelative;
    ref.columnRelative = columnWord & kColumnRelative;
    ref.cell.row = ref.rowRelative ? int(qint16(row)) : int(row);
    ref.cell.column = ref.columnRelative ? int(qint8(columnWord & 0xFF)) : int(columnWord & 0xFF);
    return ref;
}

// Bytes after the code byte for the tokens of fixed size; -1 for variable or unknown ones.
int fixedPayload(quint8 base) {
    switch (base) {
        case 0x01:  // tExp
        case 0x02:  // tTbl
            return 4;
        case kErr:
        case kBool:
            return 1;
        case kInt:
            return 2;
        case kNum:
            return 8;
        case kArray:
            return 7;
        case kFunc:
            return 2;
        case kFuncVar:
            return 3;
        case kName:
        case kRef:
        case kRefErr:
        case kRefN:
            return 4;
        case kArea:
        case kAreaErr:
        case kAreaN:
            return 8;
        case kMemArea:
        case kMemErr:
        case kMemNoMem:
        case kNameX:
        case kRef3d:
        case kRefErr3d:
            return 6;
        case kMemFunc:
            return 2;
        case kArea3d:
        case kAreaErr3d:
            return 10;
        default:
            break;
    }
    if (base >= kAdd && base <= kMissArg)
        return 0;
    return -1;
}

// One constant of an array (SerAr): a type byte, then eight bytes, or a counted string.
bool readArrayValue(Cursor& in, Value& out) {
    if (!in.has(1))
        return false;
    const quint8 type = in.u8();
    if (type == 0x02) {
        if (!in.has(3))
            return false;
        const int count = in.u16();
        const bool wide = in.u8() & 0x01;
        if (!in.has(qsizetype(count) * (wide ? 2 : 1)))
            return false;
        out = in.string(count, wide);
        return true;
    }
    if (!in.has(8))
        return false;
    switch (type) {
        case 0x01: {
            // No infinity or NaN in a spreadsheet: such a constant in a damaged file is #NUM!.
            const double number = in.f64();
            out = std::isfinite(number) ? Value(number) : Value(ErrorCode::Num);
            return true;
        }
        case 0x04:
            out = in.u8() != 0;
            in.skip(7);
            return true;
        case 0x10:
            out = ErrorCode(in.u8());
            in.skip(7);
            return true;
        default:  // 0x00: an empty element
            out = Value();
            in.skip(8);
            return true;
    }
}

bool readArray(Cursor& in, ValueMatrix& matrix) {
    if (!in.has(3))
        return false;
    matrix.columns = in.u8() + 1;
    matrix.rows = in.u16() + 1;
    const qsizetype count = qsizetype(matrix.rows) * matrix.columns;
    // Every element takes at least 4 bytes: reject a size the data cannot hold before reserving.
    if (!in.has(count * 4))
        return false;
    matrix.values.resize(size_t(count));
    for (Value& v : matrix.values) {
        if (!readArrayValue(in, v))
            return false;
    }
    return true;
}

}  // namespace

DecodeResult decodeTokens(const QByteArray& bytes, const QByteArray& extraBytes) {
    DecodeResult result;
    Cursor in(bytes);
    Cursor extra(extraBytes);
    auto fail = [&](DecodeStatus status, qsizetype at) {
        result.status = status;
        result.failedAt = int(at);
        return result;
    };
    while (!in.atEnd()) {
        const qsizetype start = in.position();
        Token t;
        t.offset = int(start);
        t.code = in.u8();
        t.base = baseCode(t.code);
        if (t.code >= 0x80)
            return fail(DecodeStatus::Unknown, start);

        if (t.base == kStr) {
            if (!in.has(2))
                return fail(DecodeStatus::Truncated, start);
            const int count = in.u8();
            const bool wide = in.u8() & 0x01;
            if (!in.has(qsizetype(count) * (wide ? 2 : 1)))
                return fail(DecodeStatus::Truncated, start);
            t.text = in.string(count, wide);
        } else if (t.base == kAttr) {
            if (!in.has(3))
                return fail(DecodeStatus::Truncated, start);
            t.byte = in.u8();
            t.word = in.u16();
            if (t.byte & kAttrChoose) {
                // The jump table: one offset per choice plus the one past the last.
                const qsizetype tableBytes = (qsizetype(t.word) + 1) * 2;
                if (!in.has(tableBytes))
                    return fail(DecodeStatus::Truncated, start);
                in.skip(tableBytes);
            }
        } else {
            const int payload = fixedPayload(t.base);
            if (payload < 0)
                return fail(DecodeStatus::Unknown, start);
            if (!in.has(payload))
                return fail(DecodeStatus::Truncated, start);
            switch (t.base) {
                case kErr:
                case kBool:
                    t.byte = in.u8();
                    break;
                case kInt:
                    t.number = in.u16();
                    break;
                case kNum:
                    t.number = in.f64();
                    break;
                case kFunc:
                    t.word = in.u16();
                    break;
                case kFuncVar:
                    t.byte = in.u8() & 0x7F;
                    t.word = in.u16();
                    // Command-equivalent functions belong to macro sheets: no function this engine knows.
                    if (t.word & 0x8000)
                        t.word = 0xFFFF;
                    break;
                case kName:
                    t.word = in.u16();
                    in.skip(2);
                    break;
                case kNameX:
                    t.ixti = in.u16();
                    t.word = in.u16();
                    in.skip(2);
                    break;
                case kRef:
                case kRef3d: {
                    if (t.base == kRef3d)
                        t.ixti = in.u16();
                    const quint16 row = in.u16();
                    t.first = readRef(row, in.u16(), t.columnOutOfRange);
                    t.last = t.first;
                    break;
                }
                case kArea:
                case kArea3d: {
                    if (t.base == kArea3d)
                        t.ixti = in.u16();
                    const quint16 row1 = in.u16();
                    const quint16 row2 = in.u16();
                    const quint16 col1 = in.u16();
                    const quint16 col2 = in.u16();
                    t.first = readRef(row1, col1, t.columnOutOfRange);
                    t.last = readRef(row2, col2, t.columnOutOfRange);
                    break;
                }
                case kRefN: {
                    const quint16 row = in.u16();
                    t.first = readRelativeRef(row, in.u16());
                    t.last = t.first;
                    t.relativeToCell = true;
                    break;
                }
                case kAreaN: {
                    const quint16 row1 = in.u16();
                    const quint16 row2 = in.u16();
                    const quint16 col1 = in.u16();
                    const quint16 col2 = in.u16();
                    t.first = readRelativeRef(row1, col1);
                    t.last = readRelativeRef(row2, col2);
                    t.relativeToCell = true;
                    break;
                }
                case kRefErr3d:
                case kAreaErr3d:
                    t.ixti = in.u16();
                    in.skip(payload - 2);
                    break;
                case kMemArea:
                case kMemErr:
                case kMemNoMem:
                    // The subexpression follows as ordinary tokens; only its length is here.
                    in.skip(4);
                    t.word = in.u16();
                    if (t.base == kMemArea) {
                        // Its ranges as last calculated, in the extra data: stepped over.
                        if (!extra.has(2))
                            return fail(DecodeStatus::Truncated, start);
                        const qsizetype count = extra.u16();
                        if (!extra.has(count * 8))
                            return fail(DecodeStatus::Truncated, start);
                        extra.skip(count * 8);
                    }
                    break;
                case kMemFunc:
                    t.word = in.u16();
                    break;
                case kArray: {
                    in.skip(payload);
                    ValueMatrix matrix;
                    if (!readArray(extra, matrix))
                        return fail(DecodeStatus::Truncated, start);
                    t.array = int(result.arrays.size());
                    result.arrays.push_back(std::move(matrix));
                    break;
                }
                default:
                    in.skip(payload);
                    break;
            }
        }
        result.tokens.push_back(std::move(t));
    }
    return result;
}

}  // namespace spreadsheet::ptg
