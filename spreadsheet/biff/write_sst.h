#pragma once

// The shared string table of a workbook being written: every distinct cell text once, in the order
// first met, with the SST record split into CONTINUE records the way the file format requires and the
// EXTSST index that points into it.

#include <QHash>
#include <QString>
#include <vector>

#include "spreadsheet/biff/record_writer.h"

namespace spreadsheet::biff {

class SharedStrings {
public:
    // The index of the text in the table, adding it when new; each call counts one use.
    quint32 add(const QString& text);
    // The index of a text added before.
    quint32 indexOf(const QString& text) const { return index_.value(text); }
    quint32 uniqueCount() const { return quint32(strings_.size()); }
    quint32 totalCount() const { return total_; }

    // Appends SST (with its CONTINUE records) and EXTSST to the stream.
    void write(RecordStream& stream) const;

private:
    std::vector<QString> strings_;
    QHash<QString, quint32> index_;
    quint32 total_ = 0;
};

}  // namespace spreadsheet::biff
