#pragma once

// Records kept as read (see model/workbook_kept.h), from both sides: while reading, each one is given the
// place it had after the last modelled record; while writing, it is put back after the same modelled
// record, or, when the writer writes no such record, before the first record the writer puts later.

#include <vector>

#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/biff/record_writer.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

// The order in which the writer puts a substream's modelled records. A worksheet read with its merged ranges
// before its window keeps them there.
enum class Substream { Globals, Worksheet, WorksheetMergesFirst };

// The reading side, one per substream.
class KeptRecorder {
public:
    KeptRecorder(Substream substream, std::vector<KeptRecord>& out);

    // A record the engine models: records kept after it are anchored to it.
    void modelled(quint16 id);
    // A record the engine does not model: kept with its CONTINUE records at the current place.
    void keep(const Record& record);

private:
    Substream substream_;
    std::vector<KeptRecord>& out_;
    quint16 after_ = 0x0809;  // BOF
    quint32 afterCount_ = 1;
    std::vector<std::pair<quint16, quint32>> counts_;
};

// The writing side: every modelled record of the substream goes through append(). The n-th record of an id is
// written as the n-th one read when what that says is what the model says now (see RecordsAsRead).
class KeptRecordWriter {
public:
    KeptRecordWriter(Substream substream, RecordStream& stream, const std::vector<KeptRecord>& kept,
                     const RecordsAsRead& asRead);

    qint64 append(quint16 id, const QByteArray& body = {});
    qint64 append(quint16 id, const RecordBuffer& body) { return append(id, body.bytes()); }
    // A modelled record whose body comes already cut into pieces (see RecordStream::appendPieces).
    qint64 appendPieces(quint16 id, const std::vector<QByteArray>& pieces);
    // Writes what waits to go before a record with this id; for records written past this writer.
    void flushBefore(quint16 id);
    // Writes what is still waiting; call before the substream's EOF.
    void finish();

    RecordStream& stream() { return stream_; }

private:
    void write(const KeptRecord& record);

    Substream substream_;
    RecordStream& stream_;
    const RecordsAsRead& asRead_;
    std::vector<const KeptRecord*> pending_;
    std::vector<std::pair<quint16, quint32>> counts_;
};

// True when the record as read says what a body made now from the model says, so that it may be written
// instead.
bool saysTheSame(Substream substream, const KeptRecord& asRead, const std::vector<QByteArray>& made);

// A digest of what the model holds of one row of a worksheet: its row settings, its cells and the array
// formulas and data tables that start in it. Equal digests, equal rows.
QByteArray rowDigest(const Worksheet& sheet, int row);

// A kept record's data and CONTINUE records as pieces.
std::vector<QByteArray> piecesOf(const KeptRecord& record);
// Writes a kept record with its CONTINUE records as they were split.
qint64 appendKept(RecordStream& stream, const KeptRecord& record);

// Makes a kept record of a record as read.
KeptRecord keptFrom(const Record& record);

}  // namespace spreadsheet::biff
