// The one way the renderer draws a line: grid lines and borders alike.

#include <QPen>
#include <QVarLengthArray>

#include "spreadsheet/render/grid.h"

namespace spreadsheet::render_detail {

namespace {

bool dashOn(const std::vector<int>& dashes, int period, int position) {
    if (dashes.empty())
        return true;
    int at = ((position % period) + period) % period;
    for (size_t i = 0; i < dashes.size(); ++i) {
        if (at < dashes[i])
            return i % 2 == 0;
        at -= dashes[i];
    }
    return true;
}

// On a screen every pixel of the line is either on or off: runs of "on" pixels become rectangles,
// filled together.
void fillRuns(Canvas& canvas, const LineShape& shape, const QColor& color, bool vertical, int across,
              int from, int to, int period) {
    QVarLengthArray<QRect, 64> runs;
    for (int offset : shape.offsets) {
        int along = from;
        while (along <= to) {
            if (!dashOn(shape.dashes, period, along)) {
                ++along;
                continue;
            }
            const int start = along;
            while (along <= to && dashOn(shape.dashes, period, along))
                ++along;
            const int length = along - start;
            runs.append(vertical ? QRect(across + offset, start, 1, length)
                                 : QRect(start, across + offset, length, 1));
        }
    }
    QPainter& painter = canvas.painter;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRects(runs.constData(), int(runs.size()));
    painter.restore();
}

// On paper a line is a stroke: neighbouring pixel rows of the shape make one wider stroke, and a hair
// line, which a screen can only show dotted, is the finest solid line.
void strokeLines(Canvas& canvas, const LineShape& shape, const QColor& color, bool vertical, int across,
                 int from, int to, int period) {
    const bool hair = shape.dashes == std::vector<int>{1, 1} && shape.offsets.size() == 1;
    size_t i = 0;
    while (i < shape.offsets.size()) {
        size_t j = i + 1;
        while (j < shape.offsets.size() && shape.offsets[j] == shape.offsets[j - 1] + 1)
            ++j;
        const double low = across + shape.offsets[i];
        const double high = across + shape.offsets[j - 1] + 1;
        const double width = hair ? 0.5 : high - low;
        const double middle = (low + high) / 2;
        QPen pen(color, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        if (!shape.dashes.empty() && !hair) {
            QList<qreal> pattern;
            for (int d : shape.dashes)
                pattern << d / width;
            pen.setDashPattern(pattern);
            pen.setDashOffset((((from % period) + period) % period) / width);
        }
        canvas.painter.setPen(pen);
        const QPointF start = vertical ? QPointF(middle, from) : QPointF(from, middle);
        const QPointF end = vertical ? QPointF(middle, to + 1) : QPointF(to + 1, middle);
        canvas.painter.drawLine(start, end);
        i = j;
    }
}

}  // namespace

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

void drawRule(Canvas& canvas, const LineShape& shape, QRgb color, bool vertical, int across, int from, int to,
              bool keepInside) {
    if (shape.offsets.empty() || to < from)
        return;
    const int limit = (vertical ? canvas.bounds.width() : canvas.bounds.height()) - 1;
    const int low = across + shape.offsets.front();
    const int high = across + shape.offsets.back();
    if (keepInside && low < 0)
        across -= low;
    if (keepInside && high > limit)
        across -= high - limit;
    int period = 0;
    for (int d : shape.dashes)
        period += d;
    const QColor qcolor = QColor::fromRgb(color);
    if (canvas.printing)
        strokeLines(canvas, shape, qcolor, vertical, across, from, to, period);
    else
        fillRuns(canvas, shape, qcolor, vertical, across, from, to, period);
}

}  // namespace spreadsheet::render_detail
