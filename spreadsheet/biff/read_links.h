#pragma once

// The globals records that formulas point through: defined names (NAME), the books that 3-D references
// and external names reach (SUPBOOK with its EXTERNNAME, XCT and CRN records) and the sheet spans of
// 3-D references (EXTERNSHEET).

#include <vector>

#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

// Reads the record into the workbook when it is one of those records; false when it is not. Sheet
// numbers are left as the file's tab numbers until remapTabs().
bool readLinkRecord(const Record& record, Workbook& workbook);

// The text a spreadsheet shows for a built-in name's code ("Print_Area" for 6).
QString builtInNameText(quint8 code);

// What each tab of the file became: a worksheet (its index in Workbook::sheets), or a kept sheet (its
// index in Workbook::otherSheets).
struct TabKinds {
    std::vector<int> worksheet;  // per tab: the worksheet index, or -1
    std::vector<int> other;      // per tab: the other sheet's index, or -1
};

// Turns the tab numbers that names and 3-D references were read with into worksheet numbers.
void remapTabs(Workbook& workbook, const TabKinds& tabs);

}  // namespace spreadsheet::biff
