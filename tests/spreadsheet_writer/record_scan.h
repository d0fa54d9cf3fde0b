#pragma once

// A minimal, independent walk over a BIFF8 record stream for the writer's tests: it knows only the
// record framing (id, length, body), nothing of the writer's own code.

#include <QByteArray>
#include <QtEndian>
#include <vector>

struct ScannedRecord {
    quint16 id = 0;
    qint64 position = 0;  // of the header
    QByteArray body;
};

inline quint16 le16(const QByteArray& data, qint64 at) {
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(data.constData() + at));
}

inline quint32 le32(const QByteArray& data, qint64 at) {
    return qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(data.constData() + at));
}

inline std::vector<ScannedRecord> scanRecords(const QByteArray& stream) {
    std::vector<ScannedRecord> records;
    qint64 at = 0;
    while (at + 4 <= stream.size()) {
        ScannedRecord r;
        r.id = le16(stream, at);
        const quint16 length = le16(stream, at + 2);
        r.position = at;
        r.body = stream.mid(at + 4, length);
        records.push_back(r);
        at += 4 + length;
    }
    return records;
}

inline const ScannedRecord* recordAt(const std::vector<ScannedRecord>& records, qint64 position) {
    for (const ScannedRecord& r : records) {
        if (r.position == position)
            return &r;
    }
    return nullptr;
}
