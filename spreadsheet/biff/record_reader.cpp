#include "spreadsheet/biff/record_reader.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "spreadsheet/error.h"

namespace spreadsheet::biff {

void damaged(const QString& detail) {
    throw SpreadsheetError(QStringLiteral("The workbook is damaged: %1.").arg(detail));
}

namespace {

QString recordName(quint16 id) {
    return QStringLiteral("record 0x%1").arg(id, 4, 16, QLatin1Char('0'));
}

}  // namespace

// ---- RecordCursor ----

void RecordCursor::need(qsizetype count) const {
    if (count < 0 || count > remaining())
        damaged(QStringLiteral("%1 is shorter than its contents").arg(recordName(id_)));
}

quint8 RecordCursor::u8() {
    need(1);
    return quint8(data_[pos_++]);
}

quint16 RecordCursor::u16() {
    need(2);
    const quint16 value = qFromLittleEndian<quint16>(data_.data() + pos_);
    pos_ += 2;
    return value;
}

quint32 RecordCursor::u32() {
    need(4);
    const quint32 value = qFromLittleEndian<quint32>(data_.data() + pos_);
    pos_ += 4;
    return value;
}

double RecordCursor::f64() {
    need(8);
    const quint64 bits = qFromLittleEndian<quint64>(data_.data() + pos_);
    pos_ += 8;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QByteArrayView RecordCursor::bytes(qsizetype count) {
    need(count);
    const QByteArrayView slice = data_.sliced(pos_, count);
    pos_ += count;
    return slice;
}

// ---- ContinuedCursor ----

ContinuedCursor::ContinuedCursor(std::vector<QByteArrayView> parts, quint16 recordId)
    : parts_(std::move(parts)), id_(recordId) {}

void ContinuedCursor::shortRecord() const {
    damaged(QStringLiteral("%1 is shorter than its contents").arg(recordName(id_)));
}

bool ContinuedCursor::advanceIfExhausted() {
    while (part_ < parts_.size() && pos_ >= parts_[part_].size()) {
        if (part_ + 1 >= parts_.size())
            return false;
        ++part_;
        pos_ = 0;
    }
    return part_ < parts_.size();
}

bool ContinuedCursor::atEnd() const {
    if (part_ >= parts_.size())
        return true;
    if (pos_ < parts_[part_].size())
        return false;
    return std::all_of(parts_.begin() + qsizetype(part_) + 1, parts_.end(),
                       [](QByteArrayView part) { return part.isEmpty(); });
}

quint8 ContinuedCursor::u8() {
    if (!advanceIfExhausted())
        shortRecord();
    return quint8(parts_[part_][pos_++]);
}

quint16 ContinuedCursor::u16() {
    const quint16 low = u8();
    return quint16(low | (quint16(u8()) << 8));
}

quint32 ContinuedCursor::u32() {
    const quint32 low = u16();
    return low | (quint32(u16()) << 16);
}

void ContinuedCursor::skip(qint64 count) {
    if (count < 0)
        shortRecord();
    while (count > 0) {
        if (!advanceIfExhausted())
            shortRecord();
        const qint64 step = std::min<qint64>(count, parts_[part_].size() - pos_);
        pos_ += qsizetype(step);
        count -= step;
    }
}

QString ContinuedCursor::readCharacters(qint64 count, bool sixteenBit) {
    QString text;
    text.reserve(qsizetype(std::min<qint64>(count, 8224)));
    while (count > 0) {
        if (part_ >= parts_.size())
            shortRecord();
        if (pos_ >= parts_[part_].size()) {
            // The characters go on in the next CONTINUE record, which restates their width.
            if (part_ + 1 >= parts_.size())
                shortRecord();
            ++part_;
            pos_ = 0;
            if (parts_[part_].isEmpty())
                shortRecord();
            sixteenBit = (quint8(parts_[part_][pos_++]) & 0x01) != 0;
            continue;
        }
        const QByteArrayView part = parts_[part_];
        const qsizetype width = sixteenBit ? 2 : 1;
        const qsizetype available = (part.size() - pos_) / width;
        if (available == 0)
            shortRecord();  // half a character before the record ends
        const qsizetype take = qsizetype(std::min<qint64>(count, available));
        const char* bytes = part.data() + pos_;
        if (sixteenBit) {
            for (qsizetype i = 0; i < take; ++i)
                text.append(QChar(qFromLittleEndian<quint16>(bytes + 2 * i)));
        } else {
            text.append(QString::fromLatin1(bytes, take));
        }
        pos_ += take * width;
        count -= take;
    }
    return text;
}

// ---- Record and RecordWalker ----

ContinuedCursor Record::continuedCursor() const {
    std::vector<QByteArrayView> parts;
    parts.reserve(continues.size() + 1);
    parts.push_back(data);
    parts.insert(parts.end(), continues.begin(), continues.end());
    return ContinuedCursor(std::move(parts), id);
}

RecordWalker::RecordWalker(QByteArrayView stream, qsizetype offset) : stream_(stream), pos_(offset) {
    if (offset < 0 || offset > stream.size())
        damaged(QStringLiteral("a sheet starts past the end of the workbook stream"));
}

QByteArrayView RecordWalker::readHeader(qsizetype at, quint16& id) const {
    if (stream_.size() - at < 4)
        damaged(QStringLiteral("the workbook stream ends inside a record header at offset %1").arg(at));
    id = qFromLittleEndian<quint16>(stream_.data() + at);
    const quint16 length = qFromLittleEndian<quint16>(stream_.data() + at + 2);
    if (stream_.size() - at - 4 < length)
        damaged(QStringLiteral("%1 at offset %2 runs past the end of the workbook stream")
                    .arg(recordName(id))
                    .arg(at));
    return stream_.sliced(at + 4, length);
}

bool RecordWalker::next(Record& record) {
    if (pos_ >= stream_.size())
        return false;
    record.offset = pos_;
    record.data = readHeader(pos_, record.id);
    record.continues.clear();
    pos_ += 4 + record.data.size();
    while (stream_.size() - pos_ >= 4 && qFromLittleEndian<quint16>(stream_.data() + pos_) == rec::CONTINUE &&
           record.id != rec::CONTINUE) {
        quint16 id = 0;
        const QByteArrayView part = readHeader(pos_, id);
        record.continues.push_back(part);
        pos_ += 4 + part.size();
    }
    return true;
}

}  // namespace spreadsheet::biff
