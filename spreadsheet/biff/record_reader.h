#pragma once

// Bounded access to the records of a BIFF8 workbook stream. Nothing here trusts a length or a count
// from the file: every read is checked against the bytes that are really there and a short record
// raises SpreadsheetError instead of reading past its end.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <vector>

namespace spreadsheet::biff {

// Record identifiers, named as the file format documentation names them.
namespace rec {
inline constexpr quint16 BOF = 0x0809;
inline constexpr quint16 EOF_ = 0x000A;
inline constexpr quint16 CONTINUE = 0x003C;
inline constexpr quint16 FILEPASS = 0x002F;
inline constexpr quint16 BOUNDSHEET = 0x0085;
inline constexpr quint16 CODEPAGE = 0x0042;
inline constexpr quint16 DATEMODE = 0x0022;
inline constexpr quint16 CALCMODE = 0x000D;
inline constexpr quint16 CALCCOUNT = 0x000C;
inline constexpr quint16 REFMODE = 0x000F;
inline constexpr quint16 ITERATION = 0x0011;
inline constexpr quint16 DELTA = 0x0010;
inline constexpr quint16 SAVERECALC = 0x005F;
inline constexpr quint16 TEMPLATE = 0x0060;
inline constexpr quint16 WINDOW1 = 0x003D;
inline constexpr quint16 FONT = 0x0031;
inline constexpr quint16 FORMAT = 0x041E;
inline constexpr quint16 XF = 0x00E0;
inline constexpr quint16 STYLE = 0x0293;
inline constexpr quint16 PALETTE = 0x0092;
inline constexpr quint16 SST = 0x00FC;
inline constexpr quint16 EXTSST = 0x00FF;
inline constexpr quint16 LABELSST = 0x00FD;
inline constexpr quint16 LABEL = 0x0204;
inline constexpr quint16 RSTRING = 0x00D6;
inline constexpr quint16 NUMBER = 0x0203;
inline constexpr quint16 RK = 0x027E;
inline constexpr quint16 MULRK = 0x00BD;
inline constexpr quint16 BLANK = 0x0201;
inline constexpr quint16 MULBLANK = 0x00BE;
inline constexpr quint16 BOOLERR = 0x0205;
inline constexpr quint16 FORMULA = 0x0006;
inline constexpr quint16 STRING = 0x0207;
inline constexpr quint16 SHRFMLA = 0x04BC;
inline constexpr quint16 ARRAY = 0x0221;
inline constexpr quint16 TABLE = 0x0236;
inline constexpr quint16 ROW = 0x0208;
inline constexpr quint16 COLINFO = 0x007D;
inline constexpr quint16 DEFCOLWIDTH = 0x0055;
inline constexpr quint16 DEFAULTROWHEIGHT = 0x0225;
inline constexpr quint16 DIMENSIONS = 0x0200;
inline constexpr quint16 MERGEDCELLS = 0x00E5;
inline constexpr quint16 WINDOW2 = 0x023E;
inline constexpr quint16 SCL = 0x00A0;
inline constexpr quint16 SELECTION = 0x001D;
inline constexpr quint16 PANE = 0x0041;
inline constexpr quint16 HEADER = 0x0014;
inline constexpr quint16 FOOTER = 0x0015;
inline constexpr quint16 LEFTMARGIN = 0x0026;
inline constexpr quint16 RIGHTMARGIN = 0x0027;
inline constexpr quint16 TOPMARGIN = 0x0028;
inline constexpr quint16 BOTTOMMARGIN = 0x0029;
inline constexpr quint16 HCENTER = 0x0083;
inline constexpr quint16 VCENTER = 0x0084;
inline constexpr quint16 PRINTGRIDLINES = 0x002B;
inline constexpr quint16 PRINTHEADERS = 0x002A;
inline constexpr quint16 SETUP = 0x00A1;
inline constexpr quint16 WSBOOL = 0x0081;
inline constexpr quint16 INDEX = 0x020B;
inline constexpr quint16 DBCELL = 0x00D7;
inline constexpr quint16 GRIDSET = 0x0082;
inline constexpr quint16 GUTS = 0x0080;
inline constexpr quint16 PROTECT = 0x0012;
inline constexpr quint16 PASSWORD = 0x0013;
inline constexpr quint16 SCENPROTECT = 0x00DD;
inline constexpr quint16 OBJPROTECT = 0x0063;
inline constexpr quint16 WINDOWPROTECT = 0x0019;
inline constexpr quint16 PROT4REV = 0x01AF;
inline constexpr quint16 PROT4REVPASS = 0x01BC;
inline constexpr quint16 BACKUP = 0x0040;
inline constexpr quint16 HIDEOBJ = 0x008D;
inline constexpr quint16 PRECISION = 0x000E;
inline constexpr quint16 REFRESHALL = 0x01B7;
inline constexpr quint16 BOOKBOOL = 0x00DA;
inline constexpr quint16 COUNTRY = 0x008C;
inline constexpr quint16 SUPBOOK = 0x01AE;
inline constexpr quint16 EXTERNNAME = 0x0023;
inline constexpr quint16 XCT = 0x0059;
inline constexpr quint16 CRN = 0x005A;
inline constexpr quint16 EXTERNSHEET = 0x0017;
inline constexpr quint16 NAME = 0x0018;
}  // namespace rec

// BOF substream types.
inline constexpr quint16 kBofGlobals = 0x0005;
inline constexpr quint16 kBofWorksheet = 0x0010;
inline constexpr quint16 kBiff8Version = 0x0600;

// "The workbook is damaged: <detail>." — the one way the reader reports malformed input.
[[noreturn]] void damaged(const QString& detail);

// A little-endian cursor over one record's data.
class RecordCursor {
public:
    RecordCursor(QByteArrayView data, quint16 recordId) : data_(data), id_(recordId) {}

    quint8 u8();
    quint16 u16();
    qint16 i16() { return qint16(u16()); }
    quint32 u32();
    double f64();
    QByteArrayView bytes(qsizetype count);
    void skip(qsizetype count) { bytes(count); }

    qsizetype remaining() const { return data_.size() - pos_; }
    qsizetype position() const { return pos_; }
    quint16 recordId() const { return id_; }

private:
    void need(qsizetype count) const;
    QByteArrayView data_;
    qsizetype pos_ = 0;
    quint16 id_;
};

// A record's data followed by the data of the CONTINUE records after it. Reads that run past the end
// of one part go on in the next; character data does that differently (see readCharacters).
class ContinuedCursor {
public:
    ContinuedCursor(std::vector<QByteArrayView> parts, quint16 recordId);

    quint8 u8();
    quint16 u16();
    quint32 u32();
    void skip(qint64 count);
    // Reads count characters, 8 or 16 bits wide. When the characters go on in a CONTINUE record, that
    // record starts with a fresh flags byte that gives the width of the rest.
    QString readCharacters(qint64 count, bool sixteenBit);

    bool atEnd() const;
    quint16 recordId() const { return id_; }

private:
    // Moves to the next part when the current one is used up; false at the end of the last part.
    bool advanceIfExhausted();
    [[noreturn]] void shortRecord() const;

    std::vector<QByteArrayView> parts_;
    size_t part_ = 0;
    qsizetype pos_ = 0;
    quint16 id_;
};

// One record with its position in the stream and the CONTINUE records that follow it.
struct Record {
    quint16 id = 0;
    qsizetype offset = 0;  // of the record header, for messages
    QByteArrayView data;
    std::vector<QByteArrayView> continues;

    RecordCursor cursor() const { return RecordCursor(data, id); }
    ContinuedCursor continuedCursor() const;
};

// Walks the records of a stream from a given offset. The stream must outlive the walker.
class RecordWalker {
public:
    RecordWalker(QByteArrayView stream, qsizetype offset);

    // The next record with its CONTINUE records gathered; false when the stream ends cleanly.
    bool next(Record& record);
    qsizetype offset() const { return pos_; }

private:
    QByteArrayView readHeader(qsizetype at, quint16& id) const;
    QByteArrayView stream_;
    qsizetype pos_;
};

}  // namespace spreadsheet::biff
