#pragma once

#include "spreadsheet/biff/record_writer.h"
#include "spreadsheet/biff/write_sst.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

// Registers the sheet's cell texts in the shared string table, in the order the cells are written.
void collectStrings(const Worksheet& sheet, SharedStrings& strings);

// Appends the worksheet substream (BOF to EOF) to the stream; the texts must have been collected.
void writeWorksheet(RecordStream& stream, const Workbook& workbook, const Worksheet& sheet,
                    const SharedStrings& strings);

}  // namespace spreadsheet::biff
