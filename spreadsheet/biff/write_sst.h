#pragma once

// The shared string table of a workbook being written: every distinct cell text once, in the order
// first met, with the SST record split into CONTINUE records the way the file format requires and the
// EXTSST index that points into it.

#include <QHash>
#include <QString>
#include <vector>

#include "spreadsheet/biff/record_writer.h"
#include "spreadsheet/model/workbook_kept.h"

namespace spreadsheet::biff {

class SharedStrings {
public:
    SharedStrings() = default;
    // A table that starts with the strings of the workbook's SST as read, in their order, so that cell
    // records written as read still point at their strings. While no string is added and the strings are
    // used as often as the record said, the SST and EXTSST records are written as read.
    explicit SharedStrings(const RecordsAsRead& globals);

    // The index of the text in the table, adding it when new; each call counts one use.
    quint32 add(const QString& text);
    // The index of a text added before.
    quint32 indexOf(const QString& text) const { return index_.value(text); }
    quint32 uniqueCount() const { return quint32(strings_.size()); }
    quint32 totalCount() const { return total_; }

    // Appends SST (with its CONTINUE records) and EXTSST to the stream.
    void write(RecordStream& stream) const;

private:
    // Writes the SST and EXTSST records as read; false when they cannot be.
    bool writeAsRead(RecordStream& stream) const;

    std::vector<QString> strings_;
    QHash<QString, quint32> index_;
    quint32 total_ = 0;
    const KeptRecord* sstAsRead_ = nullptr;
    const KeptRecord* extSstAsRead_ = nullptr;
    quint32 totalAsRead_ = 0;
    size_t countAsRead_ = 0;
};

}  // namespace spreadsheet::biff
