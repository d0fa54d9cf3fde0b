#include "spreadsheet/formula_tokens.h"

#include <QtEndian>
#include <array>
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
        const quint16 v = qFromLittleEndian<quint16>(data_.constData() + pos_);
        pos_ += 2;
        return v;
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
            return 4;
        case kRef:
            return 4;
        case kArea:
            return 8;
        case kMemArea:
        case kMemErr:
        case kMemNoMem:
            return 6;
        case kMemFunc:
            return 2;
        case kRefErr:
            return 4;
        case kAreaErr:
            return 8;
        case kRefN:
            return 4;
        case kAreaN:
            return 8;
        case kNameX:
            return 6;
        case kRef3d:
            return 6;
        case kArea3d:
            return 10;
        case kRefErr3d:
            return 6;
        case kAreaErr3d:
            return 10;
        default:
            break;
    }
    if (base >= kAdd && base <= kMissArg)
        return 0;
    return -1;
}

}  // namespace

DecodeResult decodeTokens(const QByteArray& bytes) {
    DecodeResult result;
    Cursor in(bytes);
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
                case kRef: {
                    const quint16 row = in.u16();
                    t.first = readRef(row, in.u16(), t.columnOutOfRange);
                    t.last = t.first;
                    break;
                }
                case kArea: {
                    const quint16 row1 = in.u16();
                    const quint16 row2 = in.u16();
                    const quint16 col1 = in.u16();
                    const quint16 col2 = in.u16();
                    t.first = readRef(row1, col1, t.columnOutOfRange);
                    t.last = readRef(row2, col2, t.columnOutOfRange);
                    break;
                }
                case kMemArea:
                case kMemErr:
                case kMemNoMem:
                    // The bytes of the subexpression follow as ordinary tokens; only the count is here.
                    in.skip(4);
                    t.word = in.u16();
                    break;
                case kMemFunc:
                    t.word = in.u16();
                    break;
                default:
                    in.skip(payload);
                    break;
            }
        }
        result.tokens.push_back(std::move(t));
    }
    return result;
}

const FunctionInfo* functionByIndex(int index) {
    static constexpr std::array<FunctionInfo, 22> table{{
        {0, "COUNT", -1},   {1, "IF", -1},     {2, "ISNA", 1},   {3, "ISERROR", 1}, {4, "SUM", -1},
        {5, "AVERAGE", -1}, {6, "MIN", -1},    {7, "MAX", -1},   {10, "NA", 0},     {19, "PI", 0},
        {24, "ABS", 1},     {25, "INT", 1},    {27, "ROUND", 2}, {34, "TRUE", 0},   {35, "FALSE", 0},
        {36, "AND", -1},    {37, "OR", -1},    {38, "NOT", 1},   {39, "MOD", 2},    {65, "DATE", 3},
        {74, "NOW", 0},     {221, "TODAY", 0},
    }};
    for (const FunctionInfo& info : table) {
        if (info.index == index)
            return &info;
    }
    return nullptr;
}

}  // namespace spreadsheet::ptg
