#include "spreadsheet/biff/write_sst.h"

#include <QtEndian>
#include <algorithm>

#include "spreadsheet/biff/kept.h"
#include "spreadsheet/biff/read_strings.h"
#include "spreadsheet/biff/write_records.h"
#include "spreadsheet/error.h"

namespace spreadsheet::biff {

namespace {

constexpr int kRecordHeaderSize = 4;
constexpr int kStringHeaderSize = 3;  // character count and options byte
constexpr int kStringsPerBucketMin = 8;
constexpr int kMaxBuckets = 128;

// Lays the strings out into record pieces of at most kMaxRecordData bytes. A string's count and
// options never split; its characters may, and the piece that takes them up begins with the options
// byte again. Records where each string starts, for EXTSST.
struct Layout {
    std::vector<QByteArray> pieces;
    struct Start {
        int piece;
        int offset;  // within the piece's body
    };
    std::vector<Start> starts;

    int room() const { return kMaxRecordData - int(pieces.back().size()); }
    void newPiece() { pieces.emplace_back(); }

    void addString(const QString& text) {
        if (text.size() > 0xFFFF)
            throw SpreadsheetError(QStringLiteral("A text is too long for a workbook."));
        const bool wide = !fitsCompressed(text);
        const int charSize = wide ? 2 : 1;
        // The count, the options and at least one character belong together.
        if (room() < kStringHeaderSize + (text.isEmpty() ? 0 : charSize))
            newPiece();
        starts.push_back({int(pieces.size()) - 1, int(pieces.back().size())});
        RecordBuffer header;
        header.u16(quint16(text.size()));
        header.u8(wide ? 0x01 : 0x00);
        pieces.back().append(header.bytes());
        qsizetype at = 0;
        while (at < text.size()) {
            if (room() < charSize) {
                newPiece();
                pieces.back().append(char(wide ? 0x01 : 0x00));
            }
            const qsizetype count = std::min<qsizetype>(text.size() - at, room() / charSize);
            RecordBuffer chars;
            for (qsizetype i = at; i < at + count; ++i) {
                if (wide) {
                    chars.u16(text[i].unicode());
                } else {
                    chars.u8(quint8(text[i].unicode()));
                }
            }
            pieces.back().append(chars.bytes());
            at += count;
        }
    }
};

}  // namespace

SharedStrings::SharedStrings(const RecordsAsRead& globals) {
    sstAsRead_ = globals.find(id::Sst, 0);
    extSstAsRead_ = globals.find(id::ExtSst, 0);
    if (!sstAsRead_)
        return;
    Record record;
    record.id = sstAsRead_->id;
    record.data = sstAsRead_->data;
    for (const QByteArray& part : sstAsRead_->continues)
        record.continues.push_back(part);
    try {
        RecordCursor counts(record.data, record.id);
        totalAsRead_ = counts.u32();
        for (const QString& text : readSharedStrings(record)) {
            index_.insert(text, index_.value(text, quint32(strings_.size())));
            strings_.push_back(text);
        }
    } catch (const SpreadsheetError&) {
        sstAsRead_ = nullptr;  // what the reader read of it was refused: the table is made anew
        strings_.clear();
        index_.clear();
    }
    countAsRead_ = strings_.size();
}

quint32 SharedStrings::add(const QString& text) {
    ++total_;
    auto it = index_.constFind(text);
    if (it != index_.constEnd())
        return it.value();
    const auto next = quint32(strings_.size());
    strings_.push_back(text);
    index_.insert(text, next);
    return next;
}

bool SharedStrings::writeAsRead(RecordStream& stream) const {
    if (!sstAsRead_ || !extSstAsRead_ || total_ != totalAsRead_ || strings_.size() != countAsRead_)
        return false;
    const qint64 start = appendKept(stream, *sstAsRead_);
    // EXTSST points at stream positions in the SST, which moved with it as a whole: from where the first
    // bucket's string was, less its offset in the record, to where the record is now.
    QByteArray ext = extSstAsRead_->data;
    if (ext.size() >= 10) {
        const qint64 shift = start - (qint64(qFromLittleEndian<quint32>(ext.constData() + 2)) -
                                      qFromLittleEndian<quint16>(ext.constData() + 6));
        for (qsizetype at = 2; at + 8 <= ext.size(); at += 8)
            qToLittleEndian<quint32>(quint32(qFromLittleEndian<quint32>(ext.constData() + at) + shift),
                                     ext.data() + at);
    }
    stream.appendPieces(id::ExtSst, {ext});
    return true;
}

void SharedStrings::write(RecordStream& stream) const {
    if (writeAsRead(stream))
        return;
    Layout layout;
    layout.newPiece();
    RecordBuffer counts;
    counts.u32(total_);
    counts.u32(uniqueCount());
    layout.pieces.back().append(counts.bytes());
    for (const QString& text : strings_)
        layout.addString(text);

    // Stream positions of each piece's body, to place the EXTSST pointers.
    std::vector<qint64> bodyStart;
    qint64 position = stream.position();
    for (const QByteArray& piece : layout.pieces) {
        bodyStart.push_back(position + kRecordHeaderSize);
        position += kRecordHeaderSize + piece.size();
    }
    stream.appendPieces(id::Sst, layout.pieces);

    const int perBucket =
        std::max<int>(kStringsPerBucketMin, (int(strings_.size()) + kMaxBuckets - 1) / kMaxBuckets);
    RecordBuffer ext;
    ext.u16(quint16(perBucket));
    for (size_t i = 0; i < strings_.size(); i += size_t(perBucket)) {
        const Layout::Start& start = layout.starts[i];
        ext.u32(quint32(bodyStart[size_t(start.piece)] + start.offset));
        ext.u16(quint16(start.offset + kRecordHeaderSize));
        ext.u16(0);
    }
    stream.append(id::ExtSst, ext);
}

}  // namespace spreadsheet::biff
