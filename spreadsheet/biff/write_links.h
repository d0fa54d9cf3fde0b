#pragma once

// The records that formulas point through, written from the model: SUPBOOK with its EXTERNNAME, XCT and
// CRN records, EXTERNSHEET and NAME. What was read is written back as it was while the model still says
// the same; what the engine added is written from the model alone.

#include <vector>

#include "spreadsheet/biff/kept.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

// Where the sheets stand among the tabs of the file being written.
struct TabOrder {
    std::vector<int> ofSheet;  // Workbook::sheets index to tab
    std::vector<int> ofOther;  // Workbook::otherSheets index to tab
    int count = 0;
};

TabOrder tabOrder(const Workbook& workbook);

// Throws SpreadsheetError when a name or a 3-D reference points at something the workbook lacks.
void validateLinks(const Workbook& workbook);

// Writes the SUPBOOK blocks, EXTERNSHEET and the NAME records, in that order.
void writeLinks(KeptRecordWriter& writer, const Workbook& workbook, const TabOrder& tabs);

// The bodies, for the tests of their layouts.
RecordBuffer nameRecord(const DefinedName& name, int itab);
RecordBuffer externName(const QString& name);

}  // namespace spreadsheet::biff
