// Cell borders. Two neighbours share the grid line between them: the right border of one cell and the
// left border of the next are one line, drawn once in the stronger of the two styles.

#include <array>

#include "spreadsheet/render/grid.h"

namespace spreadsheet::render_detail {

namespace {

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

}  // namespace

void drawBorders(const RenderGrid& grid, Canvas& canvas) {
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
                drawRule(canvas, shapeOf(border.style), workbook.color(border.colorIndex), true,
                         grid.left(c) - 1, grid.top(r) - 1, grid.bottom(r) - 1);
        }
    }
    for (int r = range.first.row; r <= range.last.row + 1; ++r) {
        for (int c = range.first.column; c <= range.last.column; ++c) {
            if (grid.right(c) == grid.left(c))
                continue;
            const Border border = horizontalEdge(r, c);
            if (border.style != LineStyle::None)
                drawRule(canvas, shapeOf(border.style), workbook.color(border.colorIndex), false,
                         grid.top(r) - 1, grid.left(c) - 1 - reach(r, c, true),
                         grid.right(c) - 1 + reach(r, c + 1, false));
        }
    }
}

}  // namespace spreadsheet::render_detail
