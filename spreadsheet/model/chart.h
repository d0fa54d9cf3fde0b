#pragma once

// A chart embedded in a worksheet, as the writer puts it into the file: a drawing object anchored to
// cells, and the chart's own substream of records (series, axes, legend, title). Series refer to ranges
// of the chart's own sheet, so a spreadsheet draws them from the cells; their values are also stored
// with the chart, as spreadsheets store them, for readers that do not look up the cells.

#include <QRgb>
#include <QString>
#include <vector>

#include "spreadsheet/cell_ref.h"

namespace spreadsheet {

struct ChartSeries {
    QString name;
    CellRange values;      // one column of numbers
    CellRange categories;  // the same number of cells: the labels along the category axis
    QRgb colour = qRgb(0, 0, 0);

    bool operator==(const ChartSeries&) const = default;
};

struct Chart {
    enum class Kind : quint8 { Line };

    Kind kind = Kind::Line;
    QString title;
    // The chart covers the cells from topLeft to bottomRight, both included.
    CellRange placement{{1, 7}, {21, 15}};
    std::vector<ChartSeries> series;
    // The number format of the value axis' labels (a built-in id or one of Workbook::numberFormats);
    // 0 takes the format of the value cells.
    quint16 valueFormat = 0;
    // A marker on each point: helpful for a few points, clutter for hundreds.
    bool markers = true;

    bool operator==(const Chart&) const = default;
};

}  // namespace spreadsheet
