#pragma once

// What a workbook holds that the engine does not model but must write back as it was read: comments
// and their drawings, data validation, conditional formats, hyperlinks, panes, chart and macro sheets
// and whatever else a template carries. Such records are kept whole, with the place they had among
// the records the engine does model, so that the writer can put them back there.

#include <QByteArray>
#include <QString>
#include <vector>

namespace spreadsheet {

// One record as read: its id, its data and the CONTINUE records that followed it, split as they were.
struct KeptRecord {
    quint16 id = 0;
    QByteArray data;
    std::vector<QByteArray> continues;
    // Where it goes: after the afterCount-th modelled record with id `after` of its substream; with an
    // afterCount of 0, after all of them (for lists the engine may lengthen, such as cell formats).
    quint16 after = 0;
    quint32 afterCount = 0;

    bool operator==(const KeptRecord&) const = default;
};

// A sheet that is no worksheet (a chart sheet, an Excel 4 macro sheet): kept as its substream's bytes.
struct OtherSheet {
    QString name;
    quint8 visibility = 0;  // BOUNDSHEET hsState: 0 visible, 1 hidden, 2 very hidden
    quint8 type = 2;        // BOUNDSHEET dt: 1 macro sheet, 2 chart, 6 module
    QByteArray substream;   // from its BOF to its EOF, as read
    qint64 readAt = 0;      // where the substream began in the stream it was read from
    // Its place among the tabs: before Workbook::sheets[beforeSheet], or last when that is past the end.
    size_t beforeSheet = 0;

    bool operator==(const OtherSheet&) const = default;
};

// Sheet protection (PROTECT, SCENPROTECT, OBJPROTECT, PASSWORD). With contents protected, locked cells
// refuse to be written.
struct SheetProtection {
    bool contents = false;
    bool objects = false;
    bool scenarios = false;
    quint16 passwordHash = 0;  // 0: no password

    bool isProtected() const { return contents || objects || scenarios; }
    bool operator==(const SheetProtection&) const = default;
};

// Workbook protection (WINDOWPROTECT, PROTECT, PASSWORD, PROT4REV, PROT4REVPASS in the globals).
struct WorkbookProtection {
    bool structure = false;
    bool windows = false;
    quint16 passwordHash = 0;
    bool revisions = false;
    quint16 revisionsPasswordHash = 0;

    bool operator==(const WorkbookProtection&) const = default;
};

// A workbook stream encrypted with the format's default password, as a spreadsheet encrypts a workbook whose
// structure it protects: every spreadsheet opens it without asking. It is written back encrypted the same
// way.
struct DefaultPasswordEncryption {
    QByteArray filePass;  // the FILEPASS record's body: the RC4 variant, its salt and password verifier

    bool operator==(const DefaultPasswordEncryption&) const = default;
};

}  // namespace spreadsheet
