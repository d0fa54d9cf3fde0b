#include "history/history_chart.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "generation/statement_figures.h"

namespace history {

namespace {

constexpr double kGap = 8;          // between the chart's parts
constexpr double kSwatch = 14;      // a legend line's length
constexpr double kPointRadius = 3;  // a marked point
constexpr size_t kMostMarkedPoints = 60;
constexpr double kTickLength = 4;

qint64 dayOf(QDate date) {
    return date.toJulianDay();
}

}  // namespace

const std::vector<ChartSeriesStyle>& chartSeries() {
    static const std::vector<ChartSeriesStyle> series{
        {QStringLiteral("Total Assets"), QColor(0x2E, 0x7D, 0x32)},
        {QStringLiteral("Total Liabilities"), QColor(0xC6, 0x28, 0x28)},
        {QStringLiteral("Net Worth"), QColor(0x15, 0x65, 0xC0)},
    };
    return series;
}

std::array<qint64, 3> seriesValues(const EntrySummary& entry) {
    return {entry.totalAssets, entry.totalLiabilities, entry.netWorth};
}

QString moneyText(qint64 cents, const QLocale& locale) {
    return generation::centsToCurrencyText(cents, locale);
}

void HistoryChart::setEntries(std::vector<EntrySummary> entries) {
    entries_ = std::move(entries);
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const EntrySummary& a, const EntrySummary& b) { return a.date < b.date; });
}

HistoryChart::Scale HistoryChart::niceScale(double low, double high, int mostSteps) {
    if (!(high > low)) {
        const double pad = std::max(1.0, std::fabs(low) * 0.1);
        low -= pad;
        high += pad;
    }
    mostSteps = std::max(1, mostSteps);
    const double raw = (high - low) / mostSteps;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * power;
    for (double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (factor * power >= raw) {
            step = factor * power;
            break;
        }
    }
    // Steps below a cent would repeat the same label.
    step = std::max(step, 0.01);
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

QString HistoryChart::axisLabel(double value, double step) const {
    const int decimals = step >= 1 ? 0 : 2;
    if (std::fabs(value) < step / 2)
        value = 0;
    return locale_.toCurrencyString(value, locale_.currencySymbol(), decimals);
}

HistoryChart::Layout HistoryChart::layout(const QFont& font, const QRectF& area) const {
    const QFontMetricsF metrics(font);
    Layout result;
    // The legend: one row, each series a short line and its name.
    result.legend = QRectF(area.left(), area.top(), area.width(), metrics.height());
    double low = 0, high = 0;
    for (const EntrySummary& entry : entries_) {
        for (const qint64 value : seriesValues(entry)) {
            low = std::min(low, double(value) / 100);
            high = std::max(high, double(value) / 100);
        }
    }
    const double top = result.legend.bottom() + kGap + metrics.height() / 2;
    const double bottom = area.bottom() - metrics.height() - kTickLength - kGap / 2;
    const int steps = int(std::clamp((bottom - top) / (metrics.height() * 2.2), 1.0, 10.0));
    result.scale = niceScale(low, high, steps);
    double labelWidth = 0;
    for (double v = result.scale.minimum; v <= result.scale.maximum + result.scale.step / 2;
         v += result.scale.step)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(axisLabel(v, result.scale.step)));
    const double left = area.left() + labelWidth + kTickLength + kGap / 2;
    // Room on the right for half of the last date's label.
    const double right = area.right() - metrics.horizontalAdvance(QStringLiteral("0000-00-00")) / 2;
    result.plot = QRectF(QPointF(left, top), QPointF(std::max(left + 1, right), std::max(top + 1, bottom)));
    if (!entries_.empty()) {
        result.firstDay = dayOf(entries_.front().date);
        result.lastDay = dayOf(entries_.back().date);
    }
    return result;
}

double HistoryChart::xOf(const Layout& layout, QDate date) const {
    if (layout.lastDay == layout.firstDay)
        return layout.plot.center().x();
    const double inset = std::min(12.0, layout.plot.width() / 10);
    const double fraction = double(dayOf(date) - layout.firstDay) / double(layout.lastDay - layout.firstDay);
    return layout.plot.left() + inset + fraction * (layout.plot.width() - 2 * inset);
}

double HistoryChart::yOf(const Layout& layout, qint64 cents) const {
    const double span = layout.scale.maximum - layout.scale.minimum;
    const double fraction = (double(cents) / 100 - layout.scale.minimum) / span;
    return layout.plot.bottom() - fraction * layout.plot.height();
}

void HistoryChart::paintTimeAxis(QPainter& painter, const Layout& layout) const {
    const QFontMetricsF metrics(painter.font());
    const QDate first = entries_.front().date;
    const QDate last = entries_.back().date;
    const double y = layout.plot.bottom();
    std::vector<QDate> ticks;
    QString format;
    const qint64 span = layout.lastDay - layout.firstDay;
    const double room = layout.plot.width();
    if (span == 0) {
        ticks.push_back(first);
    } else if (span < 62) {
        // Every entry's own date, as many as fit.
        for (const EntrySummary& entry : entries_)
            ticks.push_back(entry.date);
    } else {
        const bool years = span > 3 * 366;
        format = years ? QStringLiteral("yyyy") : QStringLiteral("MMM yyyy");
        const double labelWidth =
            metrics.horizontalAdvance(locale_.toString(QDate(2000, 12, 1), format)) + kGap * 2;
        const int most = std::max(1, int(room / labelWidth));
        const int months = int((span / 30.44) + 1);
        int stepMonths = years ? 12 : 1;
        for (int candidate : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200}) {
            if (candidate >= stepMonths && months / candidate < most) {
                stepMonths = candidate;
                break;
            }
        }
        QDate tick(first.year(), years ? 1 : first.month(), 1);
        if (tick < first)
            tick = tick.addMonths(stepMonths);
        for (; tick <= last; tick = tick.addMonths(stepMonths))
            ticks.push_back(tick);
    }
    double lastRight = -1e9;
    painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
    for (const QDate& tick : ticks) {
        const double x = xOf(layout, tick);
        const QString label =
            format.isEmpty() ? locale_.toString(tick, QLocale::ShortFormat) : locale_.toString(tick, format);
        const double width = metrics.horizontalAdvance(label);
        if (x - width / 2 < lastRight + kGap)
            continue;
        painter.drawLine(QPointF(x, y), QPointF(x, y + kTickLength));
        painter.drawText(QRectF(x - width / 2, y + kTickLength, width, metrics.height()), Qt::AlignCenter,
                         label);
        lastRight = x + width / 2;
    }
}

void HistoryChart::paint(QPainter& painter, const QRectF& area, std::optional<int> highlighted) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QFontMetricsF metrics(painter.font());
    if (entries_.empty()) {
        painter.setPen(QColor(0x55, 0x55, 0x55));
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, emptyText_);
        painter.restore();
        return;
    }
    const Layout l = layout(painter.font(), area);

    // The legend, centred.
    double legendWidth = 0;
    for (const auto& s : chartSeries())
        legendWidth += kSwatch + kGap / 2 + metrics.horizontalAdvance(s.name) + kGap * 2;
    double x = l.legend.center().x() - legendWidth / 2;
    for (const auto& s : chartSeries()) {
        const double mid = l.legend.center().y();
        painter.setPen(QPen(s.colour, 2.5));
        painter.drawLine(QPointF(x, mid), QPointF(x + kSwatch, mid));
        x += kSwatch + kGap / 2;
        painter.setPen(QColor(0x22, 0x22, 0x22));
        const double width = metrics.horizontalAdvance(s.name);
        painter.drawText(QRectF(x, l.legend.top(), width + 1, l.legend.height()),
                         Qt::AlignVCenter | Qt::AlignLeft, s.name);
        x += width + kGap * 2;
    }

    // Gridlines and the value axis' labels.
    const Scale& scale = l.scale;
    for (double v = scale.minimum; v <= scale.maximum + scale.step / 2; v += scale.step) {
        const double y = yOf(l, std::llround(v * 100));
        painter.setPen(
            QPen(std::fabs(v) < scale.step / 2 ? QColor(0x80, 0x80, 0x80) : QColor(0xDD, 0xDD, 0xDD), 1));
        painter.drawLine(QPointF(l.plot.left(), y), QPointF(l.plot.right(), y));
        painter.setPen(QColor(0x33, 0x33, 0x33));
        const QString label = axisLabel(v, scale.step);
        painter.drawText(QRectF(area.left(), y - metrics.height() / 2,
                                l.plot.left() - kTickLength - area.left(), metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    painter.drawLine(l.plot.bottomLeft(), l.plot.bottomRight());
    painter.drawLine(l.plot.bottomLeft(), l.plot.topLeft());
    paintTimeAxis(painter, l);

    if (highlighted && *highlighted >= 0 && *highlighted < int(entries_.size())) {
        const double hx = xOf(l, entries_[size_t(*highlighted)].date);
        painter.setPen(QPen(QColor(0x90, 0x90, 0x90), 1, Qt::DashLine));
        painter.drawLine(QPointF(hx, l.plot.top()), QPointF(hx, l.plot.bottom()));
    }

    // The three lines; points marked while there are few.
    const bool marked = entries_.size() <= kMostMarkedPoints;
    for (size_t s = 0; s < chartSeries().size(); ++s) {
        const QColor colour = chartSeries()[s].colour;
        painter.setPen(QPen(colour, s == 2 ? 2.5 : 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        // Segments, not one polyline: stroking a long polyline as one outline costs far more.
        const QPolygonF points = linePoints(l, s);
        QVector<QLineF> segments;
        segments.reserve(points.size());
        for (qsizetype k = 1; k < points.size(); ++k)
            segments.append(QLineF(points[k - 1], points[k]));
        painter.drawLines(segments);
        if (points.size() == 1)
            painter.drawPoint(points.front());
        for (size_t i = 0; i < entries_.size(); ++i) {
            const bool isHighlighted = highlighted && *highlighted == int(i);
            if (!marked && !isHighlighted && entries_.size() > 1)
                continue;
            const QPointF point(xOf(l, entries_[i].date), yOf(l, seriesValues(entries_[i])[s]));
            painter.setBrush(isHighlighted ? QBrush(Qt::white) : QBrush(colour));
            painter.setPen(QPen(colour, isHighlighted ? 2.5 : 1));
            const double r = isHighlighted ? kPointRadius * 1.8 : kPointRadius;
            painter.drawEllipse(point, r, r);
        }
    }
    painter.restore();
}

// The series' line through its points. Where several entries share a narrow column (a pixel, or three
// when the entries outnumber the pixels) only the first, the lowest, the highest and the last of them
// are kept: the line looks the same, and a thousand entries cost no more to stroke than a few hundred.
QPolygonF HistoryChart::linePoints(const Layout& l, size_t series) const {
    QPolygonF line;
    line.reserve(qsizetype(entries_.size()));
    const double width = entries_.size() * 2 > l.plot.width() ? 3 : 1;
    size_t i = 0;
    while (i < entries_.size()) {
        const double x = xOf(l, entries_[i].date);
        const double column = std::floor(x / width);
        size_t end = i + 1;
        while (end < entries_.size() && std::floor(xOf(l, entries_[end].date) / width) == column)
            ++end;
        const auto y = [&](size_t k) { return yOf(l, seriesValues(entries_[k])[series]); };
        line << QPointF(x, y(i));
        if (end - i > 2) {
            size_t low = i, high = i;
            for (size_t k = i; k < end; ++k) {
                low = y(k) > y(low) ? k : low;  // y grows downwards
                high = y(k) < y(high) ? k : high;
            }
            for (size_t k : {std::min(low, high), std::max(low, high)})
                line << QPointF(xOf(l, entries_[k].date), y(k));
        }
        if (end - i > 1)
            line << QPointF(xOf(l, entries_[end - 1].date), y(end - 1));
        i = end;
    }
    return line;
}

std::optional<int> HistoryChart::entryAt(const QFont& font, const QRectF& area, QPointF position) const {
    if (entries_.empty())
        return std::nullopt;
    const Layout l = layout(font, area);
    if (!l.plot.adjusted(-kGap, -kGap, kGap, kGap).contains(position))
        return std::nullopt;
    int best = 0;
    double bestDistance = 1e300;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const double distance = std::fabs(xOf(l, entries_[i].date) - position.x());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int(i);
        }
    }
    return best;
}

QPointF HistoryChart::pointOf(const QFont& font, const QRectF& area, int entry, int series) const {
    const Layout l = layout(font, area);
    const EntrySummary& e = entries_.at(size_t(entry));
    return {xOf(l, e.date), yOf(l, seriesValues(e).at(size_t(series)))};
}

QString HistoryChart::describe(int entry) const {
    if (entry < 0 || entry >= int(entries_.size()))
        return {};
    const EntrySummary& e = entries_[size_t(entry)];
    QString text = locale_.toString(e.date, QLocale::LongFormat);
    if (!e.name.isEmpty())
        text += QStringLiteral(", ") + e.name;
    const auto values = seriesValues(e);
    for (size_t s = 0; s < values.size(); ++s)
        text += QStringLiteral("\n%1: %2").arg(chartSeries()[s].name, moneyText(values[s], locale_));
    return text;
}

}  // namespace history
