// Text on the line, as most cells show it: one line with its pieces placed for the alignment (the
// fill of an accounting format between them), or wrapped lines.

#include <QPainter>
#include <QTextLayout>
#include <cmath>

#include "spreadsheet/render/text.h"

namespace spreadsheet::render_detail {

namespace {

void drawWrapped(QPainter& painter, const TextItem& item, double left, double right) {
    QTextLayout layout(item.wrapped, item.glyphs);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(item.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    const Qt::Alignment alignment = item.align == HAlign::Center    ? Qt::AlignHCenter
                                    : item.align == HAlign::Right   ? Qt::AlignRight
                                    : item.align == HAlign::Justify ? Qt::AlignJustify
                                                                    : Qt::AlignLeft;
    // Left and right mean the cell's sides, whatever the text's direction.
    option.setAlignment(alignment == Qt::AlignJustify ? alignment : alignment | Qt::AlignAbsolute);
    layout.setTextOption(option);
    double height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(right - left, 1.0));
        line.setPosition(QPointF(0, height));
        height += std::ceil(line.height());
    }
    layout.endLayout();
    layout.draw(&painter, QPointF(left, blockTop(item, height) + baselineShift(item)));
}

}  // namespace

void drawLevelText(QPainter& painter, const TextItem& item) {
    const double left = item.inner.left() + kPadding + (item.align == HAlign::Left ? item.indent : 0);
    const double right = item.inner.right() + 1 - kPadding - (item.align == HAlign::Right ? item.indent : 0);
    if (item.wrap) {
        drawWrapped(painter, item, left, right);
        return;
    }

    painter.setFont(item.glyphs);
    const QFontMetricsF line(item.font);
    const QFontMetricsF metrics(item.glyphs);
    const std::vector<FormattedSegment>& segments = item.text.segments;
    const double baseline =
        blockTop(item, std::ceil(line.height())) + std::round(line.ascent()) + baselineShift(item);
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
}

}  // namespace spreadsheet::render_detail
