#pragma once

// The records of a worksheet substream that are not cells: window, selection, columns, rows, merges
// and page setup.

#include <map>
#include <optional>
#include <vector>

#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/workbook.h"

namespace spreadsheet::biff {

// What the settings records leave to be settled once the whole substream is read.
struct SheetSettingsState {
    struct Selection {
        CellRef active;
        std::vector<CellRange> ranges;
    };
    quint8 activePane = 3;  // top left, the only pane of an unsplit window
    std::map<quint8, Selection> selections;
};

// Reads the record into the sheet when it is a settings record; false when it is not one.
// formatCount bounds the cell format indexes that rows and columns may use.
bool readSheetSetting(const Record& record, Worksheet& sheet, SheetSettingsState& state, size_t formatCount);

// What a worksheet record that is no cell says as far as the model goes; see normalizedGlobalsRecord().
std::optional<QByteArray> normalizedSheetRecord(quint16 id, QByteArrayView body);

// Applies the active pane's selection and puts the column runs in order without overlaps.
void finishSheetSettings(Worksheet& sheet, const SheetSettingsState& state);

}  // namespace spreadsheet::biff
