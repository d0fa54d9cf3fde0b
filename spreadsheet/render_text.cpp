// Cell contents: the formatted value placed and aligned in its cell, wrapped or running on into empty
// neighbours, with "#"s for a number that does not fit.

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

#include "spreadsheet/number_format.h"
#include "spreadsheet/render_grid.h"
#include "spreadsheet/render_metrics.h"

namespace spreadsheet::render_detail {

namespace {

// Blank pixels between the grid line and the text on either side.
constexpr int kPadding = 2;

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

}  // namespace

struct TextPlan::Item {
    QRect inner;  // the cell or merged area inside its grid lines
    QRect clip;   // what the text may cover: the area and the neighbours it runs into
    QFont font;
    QRgb color = 0;
    FormattedText text;
    QString wrapped;  // the text of a wrapped cell, line breaks as line separators
    HAlign align = HAlign::Left;
    VAlign valign = VAlign::Bottom;
    int indent = 0;
    bool wrap = false;
    quint8 underline = 0;
};

TextPlan::~TextPlan() = default;

TextPlan::TextPlan(RenderGrid& grid) {
    const Workbook& workbook = grid.workbook;
    const CellRange& range = grid.range;
    std::map<quint16, NumberFormat> numberFormats;
    FormatOptions options;
    options.date1904 = workbook.date1904;
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

        const CellFormat& format = workbook.formatOf(cell);
        const Font& font = workbook.fontOf(format);
        auto formatIt = numberFormats.find(format.numberFormat);
        if (formatIt == numberFormats.end())
            formatIt = numberFormats
                           .emplace(format.numberFormat,
                                    NumberFormat(numberFormatCode(workbook, format.numberFormat)))
                           .first;
        const NumberFormat& numberFormat = formatIt->second;

        Item item;
        item.font = screenFont(font);
        item.underline = font.underline;
        item.text = numberFormat.format(cell.value, options);
        if (cell.isNumber() && *cell.number() == 0 && !grid.sheet.window.showZeros)
            continue;
        if (item.text.segments.empty() && !item.text.hashes)
            continue;
        const quint16 colorIndex = item.text.colorIndex.value_or(font.colorIndex);
        item.color = colorIndex == kColorAutomatic ? qRgb(0, 0, 0) : workbook.color(colorIndex);

        const bool centred =
            std::holds_alternative<bool>(cell.value) || std::holds_alternative<ErrorCode>(cell.value);
        item.align = format.hAlign;
        if (item.align == HAlign::General)
            item.align = item.text.numeric ? HAlign::Right : (centred ? HAlign::Center : HAlign::Left);
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

        const QFontMetricsF metrics(item.font);
        const double room = item.inner.width() - 2 * kPadding - item.indent;
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

void TextPlan::draw(QImage& image) const {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const Item& item : items_) {
        painter.save();
        painter.setClipRect(item.clip.intersected(image.rect()));
        painter.setFont(item.font);
        painter.setPen(QColor::fromRgb(item.color));
        const QFontMetricsF metrics(item.font);
        const double left = item.inner.left() + kPadding + (item.align == HAlign::Left ? item.indent : 0);
        const double right =
            item.inner.right() + 1 - kPadding - (item.align == HAlign::Right ? item.indent : 0);
        auto topFor = [&](double height) {
            switch (item.valign) {
                case VAlign::Bottom:
                    return std::floor(item.inner.bottom() + 1 - height);
                case VAlign::Center:
                    return std::floor(item.inner.top() + (item.inner.height() - height) / 2);
                default:
                    return double(item.inner.top());
            }
        };

        if (item.wrap) {
            QTextLayout layout(item.wrapped, item.font);
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            const Qt::Alignment alignment = item.align == HAlign::Center    ? Qt::AlignHCenter
                                            : item.align == HAlign::Right   ? Qt::AlignRight
                                            : item.align == HAlign::Justify ? Qt::AlignJustify
                                                                            : Qt::AlignLeft;
            option.setAlignment(alignment);
            layout.setTextOption(option);
            double height = 0;
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(std::max(right - left, 1.0));
                line.setPosition(QPointF(0, height));
                height += std::ceil(line.height());
            }
            layout.endLayout();
            layout.draw(&painter, QPointF(left, topFor(height)));
            painter.restore();
            continue;
        }

        const std::vector<FormattedSegment>& segments = item.text.segments;
        const double baseline = topFor(std::ceil(metrics.height())) + std::round(metrics.ascent());
        auto drawSegments = [&](double x, size_t from, size_t to) {
            for (size_t i = from; i < to; ++i) {
                if (!segments[i].spacing)
                    painter.drawText(QPointF(x, baseline), segments[i].text);
                x += metrics.horizontalAdvance(segments[i].text);
            }
            return x;
        };
        double textLeft = left;
        double textRight = right;
        if (item.text.hasFill()) {
            const size_t split = size_t(item.text.fillBefore);
            const double fillStart = drawSegments(left, 0, split);
            const double afterStart = right - widthOf(metrics, segments, split, segments.size());
            drawSegments(afterStart, split, segments.size());
            const double fillWidth = metrics.horizontalAdvance(item.text.fillChar);
            if (fillWidth > 0 && item.text.fillChar != u' ' && afterStart > fillStart) {
                const int count = int(std::floor((afterStart - fillStart) / fillWidth));
                painter.drawText(QPointF(fillStart, baseline), QString(count, item.text.fillChar));
            }
        } else {
            const double width = widthOf(metrics, item.text);
            double x = left;
            if (item.align == HAlign::Right)
                x = right - width;
            if (item.align == HAlign::Center)
                x = (left + right - width) / 2;
            x = std::round(x);
            int copies = 1;
            if (item.align == HAlign::Fill && width > 0)
                copies = std::max(1, int(std::floor((right - left) / width)));
            textLeft = x;
            for (int i = 0; i < copies; ++i)
                x = drawSegments(x, 0, segments.size());
            textRight = x;
        }

        // Double and accounting underlines, which a font cannot draw: accounting ones span the cell.
        if (item.underline == 2 || item.underline == 0x21 || item.underline == 0x22) {
            const bool accounting = item.underline != 2;
            const double from = accounting ? left : textLeft;
            const double to = accounting ? right : textRight;
            const int y = int(std::round(baseline + metrics.underlinePos())) + (accounting ? 1 : 0);
            const int lines = item.underline == 0x21 ? 1 : 2;
            for (int i = 0; i < lines; ++i)
                painter.fillRect(QRectF(from, y + 2 * i, to - from, 1), QColor::fromRgb(item.color));
        }
        painter.restore();
    }
}

}  // namespace spreadsheet::render_detail
