#pragma once

// How a sheet's printed cells fall onto pages: the scale, and which rows and columns each page holds.
// Pages break between rows and between columns, never through one, unless a single row or column
// is larger than the page (it then has a page of its own and is cut at the page's edge).

#include <QPageLayout>
#include <QRectF>
#include <QSize>
#include <vector>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

struct PagePlan {
    int scalePercent = 100;        // 100: a 96 dpi pixel of the sheet is 1/96 inch on paper
    std::vector<CellRange> pages;  // the cells of each page, in the order they print
    int pagesAcross = 0;           // column bands (the most of any printed area)
    int pagesDown = 0;             // row bands (the most of any printed area)
};

// The row and column headings a sheet prints beside its cells, in 96 dpi pixels: the width of the
// row numbers' column and the height of the column letters' row. Empty when the sheet prints none.
QSize headingPixels(const Workbook& workbook, const Worksheet& sheet, const CellRange& area);

// Plans the printed areas of a sheet on the layout's paper inside its margins, at the page setup's
// scale, or at the largest whole percentage (at most 100, at least 10) that fits its "fit to W x H
// pages" (a count of 0 leaves that direction free). Pages go down then over, or over then down when
// the page setup says left to right. No pages for an empty sheet.
PagePlan planPages(const Workbook& workbook, int sheetIndex, const QPageLayout& layout);
// The same on the sheet's own paper.
PagePlan planPages(const Workbook& workbook, int sheetIndex);

}  // namespace spreadsheet
