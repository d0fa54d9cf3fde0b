#pragma once

// Building blocks of the BIFF8 writer: a little-endian byte buffer for one record's body, and the
// stream that frames bodies as records (id, length) and splits long ones into CONTINUE records.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace spreadsheet::biff {

inline constexpr int kMaxRecordData = 8224;  // the most a record's body may hold in BIFF8

class RecordBuffer {
public:
    void u8(quint8 value) { bytes_.append(char(value)); }
    void u16(quint16 value);
    void u32(quint32 value);
    void f64(double value);
    void raw(const QByteArray& data) { bytes_.append(data); }
    void zeros(int count) { bytes_.append(count, '\0'); }

    // Strings as the file format spells them: character count (8 or 16 bits), an options byte
    // (bit 0: UTF-16 characters) and the characters, compressed to one byte each when all are Latin-1.
    void shortString(const QString& text);  // ShortXLUnicodeString: 8-bit count
    void string(const QString& text);       // XLUnicodeString: 16-bit count
    // The characters of a string with their options byte only (no count).
    void stringBody(const QString& text);

    int size() const { return int(bytes_.size()); }
    const QByteArray& bytes() const { return bytes_; }
    void patchU32(int offset, quint32 value);

private:
    QByteArray bytes_;
};

// True when every character fits in one byte (Latin-1), so the string is written compressed.
bool fitsCompressed(const QString& text);

// The record stream of a workbook: records are appended in order; positions are absolute offsets
// from the start of the stream, as BOUNDSHEET, INDEX, DBCELL and EXTSST need them.
class RecordStream {
public:
    explicit RecordStream(qint64 base = 0) : base_(base) {}

    // Appends one record; a body longer than kMaxRecordData goes on in CONTINUE records, split at
    // kMaxRecordData bytes. Returns the stream position of the record's header.
    qint64 append(quint16 id, const QByteArray& body = {});
    qint64 append(quint16 id, const RecordBuffer& body) { return append(id, body.bytes()); }
    // Appends a record whose body the caller has already cut into pieces (the first goes in the record,
    // the others in CONTINUE records), for records such as SST whose splits must fall on boundaries.
    qint64 appendPieces(quint16 id, const std::vector<QByteArray>& pieces);

    // Appends records that are already framed, such as a kept substream.
    void appendRaw(const QByteArray& records) { bytes_.append(records); }

    qint64 position() const { return base_ + bytes_.size(); }
    const QByteArray& bytes() const { return bytes_; }
    void patchU32(qint64 streamPosition, quint32 value);

private:
    qint64 base_;
    QByteArray bytes_;
};

inline constexpr quint16 kContinue = 0x003C;

// A record body cut at kMaxRecordData bytes: the record's own data, then each CONTINUE's. An empty body
// is one empty piece.
std::vector<QByteArray> splitRecordBody(const QByteArray& body);

}  // namespace spreadsheet::biff
