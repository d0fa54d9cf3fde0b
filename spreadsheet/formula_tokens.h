#pragma once

// The BIFF8 formula token stream (rgce) as the compiler writes it and the text view and the
// evaluator read it. Tokens are stored in reverse Polish order; operand tokens carrying a
// reference come in three classes (reference, value, array) that share one base code.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "spreadsheet/workbook.h"

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

// The base code of a token: classed tokens fold onto 0x20..0x3F, the others stay as they are.
inline constexpr quint8 baseCode(quint8 code) {
    return code >= 0x20 ? quint8((code & 0x1F) | 0x20) : code;
}

// One cell reference as a token holds it.
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
    quint16 word = 0;               // function index, tAttr data
    bool columnOutOfRange = false;  // a reference past column IV: the formula shows #REF!
};

enum class DecodeStatus {
    Ok,
    Truncated,  // a token runs past the end of the stream
    Unknown,    // a token this engine does not read
};

struct DecodeResult {
    std::vector<Token> tokens;
    DecodeStatus status = DecodeStatus::Ok;
    int failedAt = -1;  // offset of the token that stopped the decoding
};

// Splits a token stream into tokens; never reads past its end.
DecodeResult decodeTokens(const QByteArray& tokens);

// Functions the engine knows by their built-in index. Fixed-arity ones are stored as tFunc and
// need the count to be known; variable ones carry it in tFuncVar.
struct FunctionInfo {
    int index;
    const char* name;
    int fixedArguments;  // -1 when the count varies
};
const FunctionInfo* functionByIndex(int index);

}  // namespace spreadsheet::ptg
