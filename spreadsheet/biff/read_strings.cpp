#include "spreadsheet/biff/read_strings.h"

#include <QtEndian>
#include <algorithm>

namespace spreadsheet::biff {

namespace {

QString readCharacters(RecordCursor& cursor, qsizetype count, bool sixteenBit) {
    if (!sixteenBit) {
        const QByteArrayView bytes = cursor.bytes(count);
        return QString::fromLatin1(bytes.data(), bytes.size());
    }
    const QByteArrayView bytes = cursor.bytes(count * 2);
    QString text(count, Qt::Uninitialized);
    for (qsizetype i = 0; i < count; ++i)
        text[i] = QChar(qFromLittleEndian<quint16>(bytes.data() + 2 * i));
    return text;
}

}  // namespace

QString readShortString(RecordCursor& cursor) {
    const quint8 count = cursor.u8();
    const quint8 flags = cursor.u8();
    return readCharacters(cursor, count, flags & 0x01);
}

QString readLongString(RecordCursor& cursor) {
    const quint16 count = cursor.u16();
    const quint8 flags = cursor.u8();
    return readCharacters(cursor, count, flags & 0x01);
}

QString readLongString(ContinuedCursor& cursor) {
    const quint16 count = cursor.u16();
    const quint8 flags = cursor.u8();
    return cursor.readCharacters(count, flags & 0x01);
}

QString readRichExtendedString(ContinuedCursor& cursor) {
    const quint16 count = cursor.u16();
    const quint8 flags = cursor.u8();
    const bool sixteenBit = flags & 0x01;
    const bool phonetic = flags & 0x04;
    const bool rich = flags & 0x08;
    const quint16 runs = rich ? cursor.u16() : 0;
    const quint32 phoneticBytes = phonetic ? cursor.u32() : 0;
    QString text = cursor.readCharacters(count, sixteenBit);
    // Runs and phonetic data go on across CONTINUE boundaries as plain bytes, without a flags byte.
    cursor.skip(qint64(runs) * 4);
    cursor.skip(qint64(phoneticBytes));
    return text;
}

QStringList readSharedStrings(const Record& sst) {
    ContinuedCursor cursor = sst.continuedCursor();
    cursor.u32();  // references to the table in the workbook; nothing depends on it
    const quint32 unique = cursor.u32();
    qsizetype bytes = sst.data.size();
    for (QByteArrayView part : sst.continues)
        bytes += part.size();
    // Every string takes at least three bytes, so the count cannot make the list outgrow the record.
    QStringList strings;
    strings.reserve(qsizetype(std::min<qint64>(unique, bytes / 3)));
    for (quint32 i = 0; i < unique; ++i) {
        // Some writers state more strings than they write; the strings that are there still count.
        if (cursor.atEnd())
            break;
        strings.append(readRichExtendedString(cursor));
    }
    return strings;
}

}  // namespace spreadsheet::biff
