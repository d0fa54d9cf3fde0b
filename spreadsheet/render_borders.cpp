// Cell borders. Two neighbours share the grid line between them: the right border of one cell and the
// left border of the next are one line, drawn once in the stronger of the two styles.

#include <array>
#include <vector>

#include "spreadsheet/render_grid.h"

namespace spreadsheet::render_detail {

namespace {

struct LineShape {
    std::vector<int> offsets;  // pixel rows (or columns) across the line, relative to the grid line
    std::vector<int> dashes;   // on, off, on, off ... lengths along the line; empty for solid
};

LineShape shapeOf(LineStyle style) {
    switch (style) {
        case LineStyle::None:
            return {};
        case LineStyle::Thin:
            return {{0}, {}};
        case LineStyle::Hair:
            return {{0}, {1, 1}};
        case LineStyle::Dotted:
            return {{0}, {2, 2}};
        case LineStyle::Dashed:
            return {{0}, {3, 1}};
        case LineStyle::DashDot:
            return {{0}, {9, 3, 3, 3}};
        case LineStyle::DashDotDot:
            return {{0}, {9, 3, 3, 3, 3, 3}};
        case LineStyle::Medium:
            return {{-1, 0}, {}};
        case LineStyle::MediumDashed:
            return {{-1, 0}, {9, 3}};
        case LineStyle::MediumDashDot:
            return {{-1, 0}, {9, 3, 3, 3}};
        case LineStyle::MediumDashDotDot:
            return {{-1, 0}, {9, 3, 3, 3, 3, 3}};
        case LineStyle::SlantedDashDot:
            return {{-1, 0}, {11, 1, 5, 1}};
        case LineStyle::Thick:
            return {{-1, 0, 1}, {}};
        case LineStyle::Double:
            return {{-1, 1}, {}};
    }
    return {};
}

// Which of two styles on one edge wins: heavier lines over lighter, solid over broken.
int weight(LineStyle style) {
    static constexpr std::array<int, 14> weights = {
        0,   // None
        6,   // Thin
        11,  // Medium
        5,   // Dashed
        2,   // Dotted
        12,  // Thick
        13,  // Double
        1,   // Hair
        10,  // MediumDashed
        4,   // DashDot
        9,   // MediumDashDot
        3,   // DashDotDot
        7,   // MediumDashDotDot
        8,   // SlantedDashDot
    };
    const auto index = size_t(style);
    return index < weights.size() ? weights[index] : 0;
}

const Border& stronger(const Border& before, const Border& after) {
    return weight(before.style) > weight(after.style) ? before : after;
}

bool dashOn(const std::vector<int>& dashes, int position) {
    if (dashes.empty())
        return true;
    int period = 0;
    for (int d : dashes)
        period += d;
    // Dashes are counted from the picture's edge, so a line keeps its rhythm across cells.
    int at = ((position % period) + period) % period;
    for (size_t i = 0; i < dashes.size(); ++i) {
        if (at < dashes[i])
            return i % 2 == 0;
        at -= dashes[i];
    }
    return true;
}

// Draws a line along the grid line at `across` (a pixel column for vertical lines, a row for horizontal
// ones) from `from` to `to`. A line on the picture's edge moves inward so that all of it shows.
void drawLine(QImage& image, const Border& border, QRgb color, bool vertical, int across, int from, int to) {
    const LineShape shape = shapeOf(border.style);
    if (shape.offsets.empty())
        return;
    const int limit = (vertical ? image.width() : image.height()) - 1;
    const int low = across + shape.offsets.front();
    const int high = across + shape.offsets.back();
    if (low < 0)
        across -= low;
    if (high > limit)
        across -= high - limit;
    for (int offset : shape.offsets) {
        for (int along = from; along <= to; ++along) {
            if (!dashOn(shape.dashes, along))
                continue;
            if (vertical) {
                plot(image, across + offset, along, color);
            } else {
                plot(image, along, across + offset, color);
            }
        }
    }
}

}  // namespace

void drawBorders(const RenderGrid& grid, QImage& image) {
    const CellRange& range = grid.range;
    const Workbook& workbook = grid.workbook;
    // The line on the edge left of column c in row r, and the one above row r in column c.
    auto verticalEdge = [&](int r, int c) {
        if (r < 0 || r >= kMaxRows || grid.sameMerge({r, c - 1}, {r, c}))
            return Border{};
        const Border left = c > 0 ? grid.formatAt({r, c - 1}).right : Border{};
        const Border right = c < kMaxColumns ? grid.formatAt({r, c}).left : Border{};
        return stronger(left, right);
    };
    auto horizontalEdge = [&](int r, int c) {
        if (c < 0 || c >= kMaxColumns || grid.sameMerge({r - 1, c}, {r, c}))
            return Border{};
        const Border above = r > 0 ? grid.formatAt({r - 1, c}).bottom : Border{};
        const Border below = r < kMaxRows ? grid.formatAt({r, c}).top : Border{};
        return stronger(above, below);
    };
    // How far the vertical lines meeting at a corner reach left and right of their grid line, so that a
    // horizontal line closes the corner without a notch.
    auto reach = [&](int r, int c, bool towardsLeft) {
        int pixels = 0;
        for (int row : {r - 1, r}) {
            const std::vector<int> offsets = shapeOf(verticalEdge(row, c).style).offsets;
            if (!offsets.empty())
                pixels = std::max(pixels, towardsLeft ? -offsets.front() : offsets.back());
        }
        return pixels;
    };

    for (int r = range.first.row; r <= range.last.row; ++r) {
        if (grid.bottom(r) == grid.top(r))
            continue;
        for (int c = range.first.column; c <= range.last.column + 1; ++c) {
            const Border border = verticalEdge(r, c);
            if (border.style != LineStyle::None)
                drawLine(image, border, workbook.color(border.colorIndex), true, grid.left(c) - 1,
                         grid.top(r) - 1, grid.bottom(r) - 1);
        }
    }
    for (int r = range.first.row; r <= range.last.row + 1; ++r) {
        for (int c = range.first.column; c <= range.last.column; ++c) {
            if (grid.right(c) == grid.left(c))
                continue;
            const Border border = horizontalEdge(r, c);
            if (border.style != LineStyle::None)
                drawLine(image, border, workbook.color(border.colorIndex), false, grid.top(r) - 1,
                         grid.left(c) - 1 - reach(r, c, true), grid.right(c) - 1 + reach(r, c + 1, false));
        }
    }
}

}  // namespace spreadsheet::render_detail
