#pragma once

// Charts embedded in worksheets (model/chart.h), written as [MS-XLS] lays them out: the workbook's
// drawing group (MSODRAWINGGROUP) in the globals; in the sheet, after its cells, a drawing (MSODRAWING)
// with one shape per chart anchored to its cells, the chart's object (OBJ), and the chart substream
// (BOF of type chart ... EOF) with its series, axes, legend and title.

#include <QByteArray>

#include "spreadsheet/biff/record_writer.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

bool hasCharts(const Workbook& workbook);

// Throws SpreadsheetError for a chart the writer cannot write: a series without values, ranges that are
// not one column or row of the same length, a sheet that also keeps drawings read from a file (the
// drawings would have to share one set of shape numbers), or a sheet without the EXTERNSHEET entry its
// series' references need (spreadsheet::externSheetFor makes it).
void validateCharts(const Workbook& workbook);

// The body of the MSODRAWINGGROUP record: the drawing group numbering every sheet's shapes.
QByteArray drawingGroup(const Workbook& workbook);

// Appends the charts of a sheet of the workbook, if it has any: its MSODRAWING, OBJ and chart substreams.
void writeCharts(RecordStream& stream, const Workbook& workbook, const Worksheet& sheet);

}  // namespace spreadsheet::biff
