#pragma once

// Builds BIFF8 records and workbook streams byte by byte, so that tests can feed the reader exactly the
// layouts other writers produce, and broken ones.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>
#include <cstring>

namespace biffbuild {

class Bytes {
public:
    Bytes& u8(quint8 v) {
        data.append(char(v));
        return *this;
    }
    Bytes& u16(quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        data.append(b, 2);
        return *this;
    }
    Bytes& u32(quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        data.append(b, 4);
        return *this;
    }
    Bytes& f64(double v) {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        char b[8];
        qToLittleEndian(bits, b);
        data.append(b, 8);
        return *this;
    }
    Bytes& raw(const QByteArray& bytes) {
        data.append(bytes);
        return *this;
    }
    // Characters only, 8 or 16 bits wide.
    Bytes& chars(const QString& text, bool sixteenBit) {
        for (QChar c : text) {
            if (sixteenBit)
                u16(c.unicode());
            else
                u8(quint8(c.unicode()));
        }
        return *this;
    }
    // XLUnicodeString: 16-bit count, flags, characters.
    Bytes& longString(const QString& text, bool sixteenBit = false) {
        u16(quint16(text.size())).u8(sixteenBit ? 1 : 0);
        return chars(text, sixteenBit);
    }
    // ShortXLUnicodeString: 8-bit count, flags, characters.
    Bytes& shortString(const QString& text, bool sixteenBit = false) {
        u8(quint8(text.size())).u8(sixteenBit ? 1 : 0);
        return chars(text, sixteenBit);
    }
    Bytes& cell(quint16 row, quint16 column, quint16 xf = 15) { return u16(row).u16(column).u16(xf); }

    QByteArray data;
};

inline QByteArray record(quint16 id, const QByteArray& body) {
    return Bytes().u16(id).u16(quint16(body.size())).raw(body).data;
}
inline QByteArray record(quint16 id, const Bytes& body) {
    return record(id, body.data);
}

inline QByteArray bof(quint16 type, quint16 version = 0x0600) {
    return record(0x0809, Bytes().u16(version).u16(type).u16(0x0DBB).u16(0x07CC).u32(0).u32(0x0206));
}
inline QByteArray eof() {
    return record(0x000A, QByteArray());
}

struct Sheet {
    QString name;
    QByteArray body;  // the records between the sheet's BOF and EOF
    quint8 type = 0;  // BOUNDSHEET type: 0 worksheet, 2 chart
};

// A workbook stream: globals (BOF, extra records, one BOUNDSHEET per sheet, EOF) and one substream per sheet.
inline QByteArray workbook(const QByteArray& globalsRecords, const QList<Sheet>& sheets) {
    auto boundSheets = [&](const QList<quint32>& offsets) {
        QByteArray out;
        for (int i = 0; i < sheets.size(); ++i)
            out += record(0x0085,
                          Bytes().u32(offsets.value(i)).u8(0).u8(sheets[i].type).shortString(sheets[i].name));
        return out;
    };
    QList<quint32> offsets(sheets.size(), 0);
    const QByteArray head = bof(0x0005) + globalsRecords;
    quint32 at = quint32(head.size() + boundSheets(offsets).size() + eof().size());
    QByteArray substreams;
    for (int i = 0; i < sheets.size(); ++i) {
        offsets[i] = at + quint32(substreams.size());
        substreams += bof(sheets[i].type == 2 ? 0x0020 : 0x0010) + sheets[i].body + eof();
    }
    return head + boundSheets(offsets) + eof() + substreams;
}

inline QByteArray oneSheet(const QByteArray& body, const QByteArray& globalsRecords = {}) {
    return workbook(globalsRecords, {Sheet{QStringLiteral("Sheet1"), body}});
}

inline QByteArray fontRecord(const QString& name, quint16 height, quint16 flags, quint16 color,
                             quint16 weight, quint8 underline = 0) {
    return record(0x0031, Bytes()
                              .u16(height)
                              .u16(flags)
                              .u16(color)
                              .u16(weight)
                              .u16(0)
                              .u8(underline)
                              .u8(2)
                              .u8(0)
                              .u8(0)
                              .shortString(name));
}

inline QByteArray xfRecord(quint16 font, quint16 format, quint16 protection, quint8 alignment,
                           quint8 rotation, quint8 indent, quint8 used, quint32 border1, quint32 border2,
                           quint16 fill) {
    return record(0x00E0, Bytes()
                              .u16(font)
                              .u16(format)
                              .u16(protection)
                              .u8(alignment)
                              .u8(rotation)
                              .u8(indent)
                              .u8(used)
                              .u32(border1)
                              .u32(border2)
                              .u16(fill));
}

inline QByteArray plainXf(quint16 font = 0) {
    return xfRecord(font, 0, 0x0001, 0x20, 0, 0, 0, 0, 0, 0x20C0);
}

}  // namespace biffbuild
