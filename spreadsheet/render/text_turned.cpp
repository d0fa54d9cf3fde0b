// Turned text: lines rotated by an angle about their middle, or letters stacked one below the other.
// The turned block is placed in its cell by the cell's alignment like a level line: its bounding box
// goes left, right or centred, and to the top, bottom or middle, inside the padding.

#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QtMath>
#include <climits>
#include <cmath>

#include "spreadsheet/render/text.h"

namespace spreadsheet::render_detail {

namespace {

// The paragraphs of the text: line breaks count only where the cell wraps.
QStringList paragraphsOf(const TextItem& item) {
    QString text = item.text.text();
    text.remove(u'\r');
    if (!item.wrap) {
        text.remove(u'\n');
        return {text};
    }
    return text.split(u'\n');
}

// Where the block's bounding box starts across and down the cell.
QPointF boxOrigin(const TextItem& item, double width, double height) {
    const QRect& cell = item.inner;
    double x = cell.left() + kPadding + item.indent;
    if (item.align == HAlign::Right)
        x = cell.right() + 1 - kPadding - item.indent - width;
    if (item.align == HAlign::Center)
        x = cell.left() + (cell.width() - width) / 2;
    double y = cell.top() + kPadding;
    if (item.valign == VAlign::Bottom)
        y = cell.bottom() + 1 - kPadding - height;
    if (item.valign == VAlign::Center)
        y = cell.top() + (cell.height() - height) / 2;
    return {std::round(x), std::round(y)};
}

// Lines of the text laid out for a rotated block; a cell turned upright wraps at the cell's height.
QStringList rotatedLines(const TextItem& item) {
    const bool upright = std::abs(item.angle) == 90;
    const double room = item.inner.height() - 2 * kPadding;
    QStringList lines;
    for (const QString& paragraph : paragraphsOf(item)) {
        if (!item.wrap || !upright) {
            lines << paragraph;
            continue;
        }
        QTextLayout layout(paragraph, item.glyphs);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(std::max(room, 1.0));
        layout.endLayout();
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
    }
    return lines;
}

void drawRotated(QPainter& painter, const TextItem& item) {
    const QFontMetricsF metrics(item.glyphs);
    const QFontMetricsF lineMetrics(item.font);
    const QStringList lines = rotatedLines(item);
    const double lineHeight = std::ceil(lineMetrics.height());
    double width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const double height = lineHeight * lines.size();

    const double radians = qDegreesToRadians(double(item.angle));
    const double c = std::abs(std::cos(radians));
    const double s = std::abs(std::sin(radians));
    const double boxWidth = width * c + height * s;
    const double boxHeight = width * s + height * c;
    const QPointF origin = boxOrigin(item, boxWidth, boxHeight);

    painter.translate(origin.x() + boxWidth / 2, origin.y() + boxHeight / 2);
    painter.rotate(-item.angle);
    const double baseline = std::round(lineMetrics.ascent()) + baselineShift(item);
    for (int i = 0; i < lines.size(); ++i) {
        const double lineWidth = metrics.horizontalAdvance(lines[i]);
        double x = -width / 2;
        if (item.align == HAlign::Right)
            x = width / 2 - lineWidth;
        if (item.align == HAlign::Center)
            x = -lineWidth / 2;
        painter.drawText(QPointF(x, -height / 2 + i * lineHeight + baseline), lines[i]);
    }
}

// Each paragraph is a column of letters read downwards; columns stand side by side from the left. A
// wrapped cell starts a new column where the cell's height ends.
void drawStacked(QPainter& painter, const TextItem& item) {
    const QFontMetricsF metrics(item.glyphs);
    const QFontMetricsF lineMetrics(item.font);
    const double letterHeight = std::ceil(lineMetrics.height());
    const int perColumn =
        item.wrap ? std::max(1, int((item.inner.height() - 2 * kPadding) / letterHeight)) : INT_MAX;

    std::vector<QStringList> columns;
    double letterWidth = 0;
    for (const QString& paragraph : paragraphsOf(item)) {
        columns.emplace_back();
        QTextBoundaryFinder letters(QTextBoundaryFinder::Grapheme, paragraph);
        for (qsizetype start = 0, end = letters.toNextBoundary(); end != -1;
             start = end, end = letters.toNextBoundary()) {
            if (int(columns.back().size()) == perColumn)
                columns.emplace_back();
            const QString letter = paragraph.mid(start, end - start);
            columns.back() << letter;
            letterWidth = std::max(letterWidth, metrics.horizontalAdvance(letter));
        }
    }
    qsizetype tallest = 0;
    for (const QStringList& column : columns)
        tallest = std::max(tallest, column.size());
    const double width = std::ceil(letterWidth) * double(columns.size());
    const QPointF origin = boxOrigin(item, width, letterHeight * double(tallest));

    painter.setFont(item.glyphs);
    const double baseline = std::round(lineMetrics.ascent()) + baselineShift(item);
    for (size_t c = 0; c < columns.size(); ++c) {
        const double middle = origin.x() + (double(c) + 0.5) * std::ceil(letterWidth);
        for (qsizetype i = 0; i < columns[c].size(); ++i) {
            const QString& letter = columns[c][i];
            painter.drawText(QPointF(std::round(middle - metrics.horizontalAdvance(letter) / 2),
                                     origin.y() + double(i) * letterHeight + baseline),
                             letter);
        }
    }
}

}  // namespace

void drawTurnedText(QPainter& painter, const TextItem& item) {
    painter.setFont(item.glyphs);
    if (item.stacked)
        drawStacked(painter, item);
    else
        drawRotated(painter, item);
}

}  // namespace spreadsheet::render_detail
