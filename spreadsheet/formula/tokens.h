#pragma once

// The BIFF8 formula token stream (rgce) as the compiler writes it and the text view and the
// evaluator read it. Tokens are stored in reverse Polish order; operand tokens carrying a
// reference come in three classes (reference, value, array) that share one base code.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// A rectangle of values: an array constant ({1,2;3,4}) or an intermediate result, row by row.
struct ValueMatrix {
    int rows = 0;
    int columns = 0;
    std::vector<Value> values;

    const Value& at(int row, int column) const {
        return values[size_t(row) * size_t(columns) + size_t(column)];
    }
    Value& at(int row, int column) { return values[size_t(row) * size_t(columns) + size_t(column)]; }
};

}  // namespace spreadsheet

namespace spreadsheet::ptg {

inline constexpr quint8 kAdd = 0x03;
inline constexpr quint8 kSub = 0x04;
inline constexpr quint8 kMul = 0x05;
inline constexpr quint8 kDiv = 0x06;
inline constexpr quint8 kPower = 0x07;
inline constexpr quint8 kConcat = 0x08;
inline constexpr quint8 kLess = 0x09;
inline constexpr quint8 kLessEqual = 0x0A;
inline constexpr quint8 kEqual = 0x0B;
inline constexpr quint8 kGreaterEqual = 0x0C;
inline constexpr quint8 kGreater = 0x0D;
inline constexpr quint8 kNotEqual = 0x0E;
inline constexpr quint8 kIntersect = 0x0F;
inline constexpr quint8 kUnion = 0x10;
inline constexpr quint8 kRange = 0x11;
inline constexpr quint8 kUplus = 0x12;
inline constexpr quint8 kUminus = 0x13;
inline constexpr quint8 kPercent = 0x14;
inline constexpr quint8 kParen = 0x15;
inline constexpr quint8 kMissArg = 0x16;
inline constexpr quint8 kStr = 0x17;
inline constexpr quint8 kAttr = 0x19;
inline constexpr quint8 kErr = 0x1C;
inline constexpr quint8 kBool = 0x1D;
inline constexpr quint8 kInt = 0x1E;
inline constexpr quint8 kNum = 0x1F;

// Base codes of the classed tokens, in their reference-class form (0x20..0x3F); the value class
// adds 0x20, the array class 0x40.
inline constexpr quint8 kArray = 0x20;
inline constexpr quint8 kFunc = 0x21;
inline constexpr quint8 kFuncVar = 0x22;
inline constexpr quint8 kName = 0x23;
inline constexpr quint8 kRef = 0x24;
inline constexpr quint8 kArea = 0x25;
inline constexpr quint8 kMemArea = 0x26;
inline constexpr quint8 kMemErr = 0x27;
inline constexpr quint8 kMemNoMem = 0x28;
inline constexpr quint8 kMemFunc = 0x29;
inline constexpr quint8 kRefErr = 0x2A;
inline constexpr quint8 kAreaErr = 0x2B;
inline constexpr quint8 kRefN = 0x2C;
inline constexpr quint8 kAreaN = 0x2D;
inline constexpr quint8 kNameX = 0x39;
inline constexpr quint8 kRef3d = 0x3A;
inline constexpr quint8 kArea3d = 0x3B;
inline constexpr quint8 kRefErr3d = 0x3C;
inline constexpr quint8 kAreaErr3d = 0x3D;

// The value-class form of a classed token given in its reference-class form.
inline constexpr quint8 valueClass(quint8 referenceCode) {
    return quint8(referenceCode + 0x20);
}

// tAttr option bits.
inline constexpr quint8 kAttrVolatile = 0x01;
inline constexpr quint8 kAttrIf = 0x02;
inline constexpr quint8 kAttrChoose = 0x04;
inline constexpr quint8 kAttrSkip = 0x08;
inline constexpr quint8 kAttrSum = 0x10;
inline constexpr quint8 kAttrAssign = 0x20;
inline constexpr quint8 kAttrSpace = 0x40;
inline constexpr quint8 kAttrSpaceVolatile = 0x41;

// The column word of a reference: column in the low bits, then the relative flags.
inline constexpr quint16 kColumnMask = 0x3FFF;
inline constexpr quint16 kColumnRelative = 0x4000;
inline constexpr quint16 kRowRelative = 0x8000;

inline constexpr int kFunctionSum = 4;
inline constexpr int kFunctionIf = 1;
inline constexpr int kFunctionChoose = 100;
// Functions of add-ins and macros: the first argument (a tNameX or tName) names the function.
inline constexpr int kFunctionUserDefined = 255;

// The base code of a token: classed tokens fold onto 0x20..0x3F, the others stay as they are.
inline constexpr quint8 baseCode(quint8 code) {
    return code >= 0x20 ? quint8((code & 0x1F) | 0x20) : code;
}

// One cell reference as a token holds it. For tRefN and tAreaN (`offset` set on the token) the row
// and column are signed distances from the formula's own cell wherever the flags say relative.
struct RefOperand {
    CellRef cell;
    bool rowRelative = true;
    bool columnRelative = true;
};

// One decoded token. Only the fields its kind uses are set.
struct Token {
    quint8 code = 0;  // as stored, class bits included
    quint8 base = 0;  // baseCode(code)
    int offset = 0;   // where the token starts in the stream
    RefOperand first;
    RefOperand last;                // areas
    double number = 0;              // tInt, tNum
    QString text;                   // tStr
    quint8 byte = 0;                // tBool, tErr, tAttr options, argument count of tFuncVar
    quint16 word = 0;               // function index, tAttr data, name index of tName and tNameX
    quint16 ixti = 0;               // 3-D tokens and tNameX: the entry of Workbook::externSheets
    int array = -1;                 // tArray: index into DecodeResult::arrays
    bool relativeToCell = false;    // tRefN, tAreaN: rows and columns are offsets where relative
    bool columnOutOfRange = false;  // a reference past column IV: the formula shows #REF!

    // The class bits: 0x20 reference, 0x40 value, 0x60 array; 0 for tokens without a class.
    quint8 operandClass() const { return code >= 0x20 ? quint8(code & 0x60) : 0; }
};

enum class DecodeStatus {
    Ok,
    Truncated,  // a token or the extra data it needs runs past the end
    Unknown,    // a token this engine does not read
};

struct DecodeResult {
    std::vector<Token> tokens;
    std::vector<ValueMatrix> arrays;  // the constants of the tArray tokens, in token order
    DecodeStatus status = DecodeStatus::Ok;
    int failedAt = -1;  // offset of the token that stopped the decoding
};

// Splits a token stream into tokens, reading the constants of tArray (and stepping over the ranges
// of tMemArea) from the extra data that follows the tokens in the file; never reads past either end.
DecodeResult decodeTokens(const QByteArray& tokens, const QByteArray& extra = {});

}  // namespace spreadsheet::ptg
