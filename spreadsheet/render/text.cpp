// Cell contents: the formatted value placed and aligned in its cell, wrapped, shrunk, turned or running
// on into empty neighbours, with "#"s for a number that does not fit.

#include "spreadsheet/render/text.h"

#include <cmath>

#include "spreadsheet/render/metrics.h"

namespace spreadsheet::render_detail {

namespace {

FormattedText hashesFor(const QFontMetricsF& metrics, double room) {
    FormattedText text;
    text.numeric = true;
    const double hash = metrics.horizontalAdvance(u'#');
    const int count = hash > 0 ? int(std::floor(room / hash)) : 0;
    if (count > 0)
        text.segments.push_back({QString(count, u'#'), false});
    return text;
}

bool intersects(const CellRange& a, const CellRange& b) {
    return a.first.row <= b.last.row && b.first.row <= a.last.row && a.first.column <= b.last.column &&
           b.first.column <= a.last.column;
}

// The largest whole pixel size at which the text fits the room; the text never grows.
void shrinkToFit(TextItem& item, double room) {
    const double width = widthOf(QFontMetricsF(item.glyphs), item.text);
    if (width <= room || width <= 0)
        return;
    int size = std::max(1, int(std::floor(item.font.pixelSize() * std::max(room, 0.0) / width)));
    setTextSize(item, size);
    while (size > 1 && widthOf(QFontMetricsF(item.glyphs), item.text) > room)
        setTextSize(item, --size);
}

}  // namespace

void setTextSize(TextItem& item, int pixels) {
    item.font.setPixelSize(std::max(1, pixels));
    item.glyphs = item.font;
    // Raised and lowered letters are two thirds of the line's size.
    if (item.escapement == 1 || item.escapement == 2)
        item.glyphs.setPixelSize(std::max(1, int(std::lround(pixels * 2.0 / 3.0))));
}

double baselineShift(const TextItem& item) {
    const double ascent = QFontMetricsF(item.font).ascent();
    if (item.escapement == 1)
        return -std::round(ascent / 3);
    if (item.escapement == 2)
        return std::round(ascent / 5);
    return 0;
}

double widthOf(const QFontMetricsF& metrics, const std::vector<FormattedSegment>& segments, size_t from,
               size_t to) {
    double width = 0;
    for (size_t i = from; i < to && i < segments.size(); ++i)
        width += metrics.horizontalAdvance(segments[i].text);
    return width;
}

double widthOf(const QFontMetricsF& metrics, const FormattedText& text) {
    return widthOf(metrics, text.segments, 0, text.segments.size());
}

TextPlan::~TextPlan() = default;

TextPlan::TextPlan(RenderGrid& grid) {
    const Workbook& workbook = grid.workbook;
    const CellRange& range = grid.range;
    std::map<quint16, NumberFormat> numberFormats;
    FormatOptions options;
    options.date1904 = workbook.date1904;
    options.locale = grid.locale;
    const int indentPixels = grid.mdw + 2;

    for (const auto& [ref, cell] : grid.sheet.cells()) {
        if (cell.isBlank())
            continue;
        const CellRange* merge = range.contains(ref) ? grid.mergeAt(ref) : grid.sheet.mergedRangeAt(ref);
        if (merge && ref != merge->first)
            continue;  // covered by the merge: not shown
        CellRange area = merge ? *merge : CellRange{ref, ref};
        if (!intersects(area, range))
            continue;

        const CellFormat& format = grid.formatAt(ref);
        const Font& font = grid.fontAt(ref);
        auto formatIt = numberFormats.find(format.numberFormat);
        if (formatIt == numberFormats.end())
            formatIt =
                numberFormats
                    .emplace(format.numberFormat,
                             NumberFormat(numberFormatCode(workbook, format.numberFormat, grid.locale)))
                    .first;
        const NumberFormat& numberFormat = formatIt->second;

        Item item;
        item.text = numberFormat.format(cell.value, options);
        if (cell.isNumber() && *cell.number() == 0 && !grid.sheet.window.showZeros)
            continue;
        if (item.text.segments.empty() && !item.text.hashes)
            continue;
        item.font = fontForText(screenFont(font), item.text.text());
        item.escapement = font.escapement;
        setTextSize(item, item.font.pixelSize());
        item.underline = font.underline;
        const quint16 colorIndex = item.text.colorIndex.value_or(font.colorIndex);
        item.color = colorIndex == kColorAutomatic ? qRgb(0, 0, 0) : workbook.color(colorIndex);
        item.rightToLeft = !item.text.numeric && item.text.text().isRightToLeft();
        item.stacked = format.rotation == 255;
        if (format.rotation <= 90)
            item.angle = format.rotation;
        else if (format.rotation <= 180)
            item.angle = 90 - format.rotation;
        const bool turned = item.stacked || item.angle != 0;

        // General alignment: numbers right, truth values and errors centred, text in its reading
        // direction (a right-to-left script starts at the right).
        const bool centred =
            std::holds_alternative<bool>(cell.value) || std::holds_alternative<ErrorCode>(cell.value);
        item.align = format.hAlign;
        if (item.align == HAlign::General)
            item.align = item.text.numeric || item.rightToLeft ? HAlign::Right
                         : centred                             ? HAlign::Center
                                                               : HAlign::Left;
        if (item.align == HAlign::Distributed)
            item.align = HAlign::Justify;
        item.valign = format.vAlign;
        if (item.align == HAlign::Left || item.align == HAlign::Right)
            item.indent = format.indent * indentPixels;
        item.wrap =
            !item.text.numeric && (format.wrap || item.align == HAlign::Justify ||
                                   item.valign == VAlign::Justify || item.valign == VAlign::Distributed);

        // Centring across a selection spreads over the empty cells to the right that centre the same way.
        if (item.align == HAlign::CenterAcrossSelection && !merge) {
            while (area.last.column + 1 < kMaxColumns && grid.isEmpty({ref.row, area.last.column + 1}) &&
                   grid.formatAt({ref.row, area.last.column + 1}).hAlign == HAlign::CenterAcrossSelection) {
                ++area.last.column;
                grid.hideVerticalEdge(ref.row, area.last.column);
            }
            item.align = HAlign::Center;
        }

        const QRect outer = grid.areaRect(area);
        item.inner = QRect(outer.topLeft(), QSize(outer.width() - 1, outer.height() - 1));
        if (item.inner.width() <= 0 || item.inner.height() <= 0)
            continue;
        item.clip = item.inner;

        // Turned text stays inside its cell and is never replaced by "#"s.
        if (turned) {
            if (item.align == HAlign::Fill || item.align == HAlign::Justify)
                item.align = HAlign::Left;
            items_.push_back(std::move(item));
            continue;
        }

        const double room = item.inner.width() - 2 * kPadding - item.indent;
        // Shrinking makes the whole text fit; a wrapped cell wraps instead.
        if (format.shrinkToFit && !item.wrap && item.align != HAlign::Fill)
            shrinkToFit(item, room);
        const QFontMetricsF metrics(item.glyphs);
        if (item.text.numeric) {
            // Numbers never run into neighbours: General gives up digits to fit, other formats show "#"s.
            bool fits = !item.text.hashes && widthOf(metrics, item.text) <= room;
            for (int width = 10; !fits && item.text.general && width >= 1; --width) {
                FormatOptions narrower = options;
                narrower.generalWidth = width;
                item.text = numberFormat.format(cell.value, narrower);
                fits = widthOf(metrics, item.text) <= room;
            }
            if (!fits)
                item.text = hashesFor(metrics, room);
            items_.push_back(std::move(item));
            continue;
        }

        if (item.wrap) {
            item.wrapped = item.text.text();
            item.wrapped.replace(u'\n', QChar::LineSeparator);
            item.wrapped.remove(u'\r');
            items_.push_back(std::move(item));
            continue;
        }
        for (FormattedSegment& segment : item.text.segments) {
            segment.text.remove(u'\n');
            segment.text.remove(u'\r');
        }
        const double needed = widthOf(metrics, item.text) + 2 * kPadding + item.indent;
        const bool runs =
            !merge && !item.text.hasFill() && item.align != HAlign::Fill && needed > item.inner.width();
        if (runs) {
            const int row = ref.row;
            const double centre = (item.inner.left() + item.inner.right() + 1) / 2.0;
            double reachLeft = item.inner.left();
            double reachRight = item.inner.right() + 1;
            if (item.align == HAlign::Left)
                reachRight = item.inner.left() + needed;
            if (item.align == HAlign::Right)
                reachLeft = item.inner.right() + 1 - needed;
            if (item.align == HAlign::Center) {
                reachLeft = centre - needed / 2;
                reachRight = centre + needed / 2;
            }
            for (int c = area.last.column + 1;
                 item.clip.right() + 1 < reachRight && c <= range.last.column && grid.isEmpty({row, c});
                 ++c) {
                grid.hideVerticalEdge(row, c);
                item.clip.setRight(grid.right(c) - 2);
            }
            for (int c = area.first.column - 1;
                 item.clip.left() > reachLeft && c >= range.first.column && grid.isEmpty({row, c}); --c) {
                grid.hideVerticalEdge(row, c + 1);
                item.clip.setLeft(grid.left(c));
            }
        }
        items_.push_back(std::move(item));
    }
}

void TextPlan::draw(Canvas& canvas) const {
    QPainter& painter = canvas.painter;
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const Item& item : items_) {
        painter.save();
        painter.setClipRect(item.clip, Qt::IntersectClip);
        painter.setPen(QColor::fromRgb(item.color));
        painter.setLayoutDirection(item.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        if (item.stacked || item.angle != 0)
            drawTurnedText(painter, item);
        else
            drawLevelText(painter, item);
        painter.restore();
    }
}

double blockTop(const TextItem& item, double height) {
    switch (item.valign) {
        case VAlign::Bottom:
            return std::floor(item.inner.bottom() + 1 - height);
        case VAlign::Center:
            return std::floor(item.inner.top() + (item.inner.height() - height) / 2);
        default:
            return double(item.inner.top());
    }
}

}  // namespace spreadsheet::render_detail
