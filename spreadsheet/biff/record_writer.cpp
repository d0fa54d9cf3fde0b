#include "spreadsheet/biff/record_writer.h"

#include <QtEndian>
#include <algorithm>
#include <bit>

#include "spreadsheet/error.h"

namespace spreadsheet::biff {

void RecordBuffer::u16(quint16 value) {
    bytes_.append(char(value & 0xFF));
    bytes_.append(char(value >> 8));
}

void RecordBuffer::u32(quint32 value) {
    for (int i = 0; i < 4; ++i)
        bytes_.append(char((value >> (8 * i)) & 0xFF));
}

void RecordBuffer::f64(double value) {
    const auto bits = std::bit_cast<quint64>(value);
    for (int i = 0; i < 8; ++i)
        bytes_.append(char((bits >> (8 * i)) & 0xFF));
}

bool fitsCompressed(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

void RecordBuffer::stringBody(const QString& text) {
    if (fitsCompressed(text)) {
        u8(0x00);
        for (QChar c : text)
            u8(quint8(c.unicode()));
    } else {
        u8(0x01);
        for (QChar c : text)
            u16(c.unicode());
    }
}

void RecordBuffer::shortString(const QString& text) {
    if (text.size() > 255)
        throw SpreadsheetError(QStringLiteral("The text \"%1\" is too long.").arg(text.left(40)));
    u8(quint8(text.size()));
    stringBody(text);
}

void RecordBuffer::string(const QString& text) {
    if (text.size() > 65535)
        throw SpreadsheetError(QStringLiteral("A text is too long for a workbook."));
    u16(quint16(text.size()));
    stringBody(text);
}

void RecordBuffer::patchU32(int offset, quint32 value) {
    qToLittleEndian<quint32>(value, bytes_.data() + offset);
}

std::vector<QByteArray> splitRecordBody(const QByteArray& body) {
    std::vector<QByteArray> pieces;
    for (qsizetype at = 0; at < body.size(); at += kMaxRecordData)
        pieces.push_back(body.mid(at, kMaxRecordData));
    if (pieces.empty())
        pieces.emplace_back();
    return pieces;
}

qint64 RecordStream::append(quint16 id, const QByteArray& body) {
    return appendPieces(id, splitRecordBody(body));
}

qint64 RecordStream::appendPieces(quint16 id, const std::vector<QByteArray>& pieces) {
    const qint64 start = position();
    bool first = true;
    for (const QByteArray& piece : pieces) {
        if (piece.size() > kMaxRecordData)
            throw SpreadsheetError(QStringLiteral("A workbook record is too long."));
        RecordBuffer header;
        header.u16(first ? id : kContinue);
        header.u16(quint16(piece.size()));
        bytes_.append(header.bytes());
        bytes_.append(piece);
        first = false;
    }
    return start;
}

void RecordStream::patchU32(qint64 streamPosition, quint32 value) {
    qToLittleEndian<quint32>(value, bytes_.data() + (streamPosition - base_));
}

}  // namespace spreadsheet::biff
