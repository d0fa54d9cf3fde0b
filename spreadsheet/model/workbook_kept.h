#pragma once

// What a workbook holds that the engine does not model but must write back as it was read: comments
// and their drawings, data validation, conditional formats, hyperlinks, panes, chart and macro sheets
// and whatever else a template carries. Such records are kept whole, with the place they had among
// the records the engine does model, so that the writer can put them back there.

#include <QByteArray>
#include <QString>
#include <map>
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

// Records the engine does model, as they were read. The writer writes such a record's body as read while
// that body still says what the model says, so that what the engine leaves aside (reserved bits, flags and
// choices of the program that wrote the file) survives a save. Empty for a workbook made from scratch.
struct RecordsAsRead {
    // A row of the cell table: its ROW record and its cells' records (with the STRING, ARRAY, TABLE and
    // SHRFMLA records that go with them), and a digest of what the model made of them, by which the writer
    // sees whether the row is unchanged. Rows whose cells share a formula form a group, written as read
    // only together.
    struct Row {
        std::vector<KeptRecord> records;
        QByteArray digest;
        int group = 0;  // the first row of the group

        bool operator==(const Row&) const = default;
    };

    std::map<quint16, std::vector<KeptRecord>> byId;  // in file order
    std::vector<quint16> sequence;                    // their ids in file order
    std::map<int, Row> rows;                          // worksheets only

    bool isEmpty() const { return byId.empty(); }
    // The n-th (0-based) record with this id, if there was one.
    const KeptRecord* find(quint16 id, size_t n) const {
        const auto it = byId.find(id);
        return it != byId.end() && n < it->second.size() ? &it->second[n] : nullptr;
    }
    size_t count(quint16 id) const {
        const auto it = byId.find(id);
        return it != byId.end() ? it->second.size() : 0;
    }
    void add(const KeptRecord& record) {
        byId[record.id].push_back(record);
        sequence.push_back(record.id);
    }
    // True when a record with id `first` was read before any with id `second`.
    bool readBefore(quint16 first, quint16 second) const {
        for (quint16 id : sequence) {
            if (id == first || id == second)
                return id == first;
        }
        return false;
    }

    bool operator==(const RecordsAsRead&) const = default;
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
