#include "spreadsheet/pages/page_plan.h"

#include <algorithm>
#include <cmath>

#include "spreadsheet/error.h"
#include "spreadsheet/page_layout.h"
#include "spreadsheet/render/metrics.h"

namespace spreadsheet {

namespace {

constexpr double kPointsPerPixel = 72.0 / 96.0;
constexpr int kMinimumPercent = 10;
constexpr int kMaximumPercent = 400;

struct Band {
    int first = 0;
    int last = 0;
};

// Consecutive indexes whose sizes fill at most `room` each; an index larger than the room alone gets
// a band of its own.
std::vector<Band> bands(const std::vector<int>& sizes, int first, double room) {
    std::vector<Band> result;
    int start = first;
    double used = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const int index = first + int(i);
        // A hair of tolerance: a row that fits exactly must not be pushed off by rounding.
        if (index > start && used + sizes[i] > room + 1e-6) {
            result.push_back({start, index - 1});
            start = index;
            used = 0;
        }
        used += sizes[i];
    }
    result.push_back({start, first + int(sizes.size()) - 1});
    return result;
}

struct AreaSizes {
    CellRange area;
    std::vector<int> columns;  // pixel widths
    std::vector<int> rows;     // pixel heights
    QSize headings;
};

struct Paginated {
    std::vector<CellRange> pages;
    int across = 0;
    int down = 0;
};

Paginated paginate(const std::vector<AreaSizes>& areas, QSizeF roomPoints, int percent, bool overThenDown) {
    const double pixelPoints = kPointsPerPixel * percent / 100.0;
    Paginated result;
    for (const AreaSizes& sizes : areas) {
        const double width = std::max(1.0, roomPoints.width() / pixelPoints - sizes.headings.width());
        const double height = std::max(1.0, roomPoints.height() / pixelPoints - sizes.headings.height());
        const std::vector<Band> columns = bands(sizes.columns, sizes.area.first.column, width);
        const std::vector<Band> rows = bands(sizes.rows, sizes.area.first.row, height);
        result.across = std::max(result.across, int(columns.size()));
        result.down = std::max(result.down, int(rows.size()));
        auto add = [&](const Band& row, const Band& column) {
            result.pages.push_back({{row.first, column.first}, {row.last, column.last}});
        };
        if (overThenDown) {
            for (const Band& row : rows)
                for (const Band& column : columns)
                    add(row, column);
        } else {
            for (const Band& column : columns)
                for (const Band& row : rows)
                    add(row, column);
        }
    }
    return result;
}

}  // namespace

QSize headingPixels(const Workbook& workbook, const Worksheet& sheet, const CellRange& area) {
    if (!sheet.pageSetup.printHeadings)
        return {};
    // Row numbers as wide as the last one's digits (three at least) with padding; letters as high as
    // a row of the default height.
    const int digits = std::max(3, int(QString::number(area.last.row + 1).size()));
    const int height = int(std::lround(sheet.defaultRowHeightTwips / 15.0));
    return {digits * maximumDigitWidth(workbook) + 8, std::max(height, 1)};
}

PagePlan planPages(const Workbook& workbook, int sheetIndex, const QPageLayout& layout) {
    if (sheetIndex < 0 || sheetIndex >= int(workbook.sheets.size()))
        throw SpreadsheetError(QStringLiteral("There is no sheet %1 to print.").arg(sheetIndex + 1));
    const Worksheet& sheet = workbook.sheets[size_t(sheetIndex)];
    const PageSetup& setup = sheet.pageSetup;
    const int mdw = maximumDigitWidth(workbook);

    std::vector<AreaSizes> areas;
    for (const CellRange& area : printedAreas(workbook, sheetIndex)) {
        AreaSizes sizes{area, {}, {}, headingPixels(workbook, sheet, area)};
        for (int c = area.first.column; c <= area.last.column; ++c)
            sizes.columns.push_back(columnWidthPixels(sheet, c, mdw));
        for (int r = area.first.row; r <= area.last.row; ++r)
            sizes.rows.push_back(rowHeightPixels(sheet, r));
        areas.push_back(std::move(sizes));
    }
    PagePlan plan;
    if (areas.empty())
        return plan;

    const QRectF paper = layout.fullRect(QPageLayout::Point);
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    const QSizeF room(paper.width() - margins.left() - margins.right(),
                      paper.height() - margins.top() - margins.bottom());

    int percent = std::clamp(int(setup.scalePercent), kMinimumPercent, kMaximumPercent);
    Paginated pages;
    if (setup.fitToPage) {
        for (percent = 100; percent >= kMinimumPercent; --percent) {
            pages = paginate(areas, room, percent, setup.leftToRight);
            const bool fitsAcross = setup.fitWidth == 0 || pages.across <= setup.fitWidth;
            const bool fitsDown = setup.fitHeight == 0 || pages.down <= setup.fitHeight;
            if (fitsAcross && fitsDown)
                break;
        }
        percent = std::max(percent, kMinimumPercent);
    } else {
        pages = paginate(areas, room, percent, setup.leftToRight);
    }
    plan.scalePercent = percent;
    plan.pages = std::move(pages.pages);
    plan.pagesAcross = pages.across;
    plan.pagesDown = pages.down;
    return plan;
}

PagePlan planPages(const Workbook& workbook, int sheetIndex) {
    if (sheetIndex < 0 || sheetIndex >= int(workbook.sheets.size()))
        throw SpreadsheetError(QStringLiteral("There is no sheet %1 to print.").arg(sheetIndex + 1));
    return planPages(workbook, sheetIndex, pageLayoutFor(workbook.sheets[size_t(sheetIndex)]));
}

}  // namespace spreadsheet
