#pragma once

// The line chart of the history: total assets, total liabilities and net worth over time, drawn with
// QPainter onto any paint device (the window, a PDF page, an image). The time axis is proportional to
// the days between statements; the value axis is in the locale's currency form, its steps chosen from
// 1, 2, 2.5 and 5 times a power of ten so that the labels never crowd, whatever the size. All lengths
// are in the painter's logical units, so a screen with more device pixels gets the same chart, sharper.

#include <QColor>
#include <QLocale>
#include <QPainter>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "history/history_store.h"

namespace history {

struct ChartSeriesStyle {
    QString name;
    QColor colour;
};

// Total assets, total liabilities, net worth, in the order the chart, its legend and the exports use.
const std::vector<ChartSeriesStyle>& chartSeries();

// The three values of an entry in that order, in cents.
std::array<qint64, 3> seriesValues(const EntrySummary& entry);

// An amount in the locale's currency form.
QString moneyText(qint64 cents, const QLocale& locale);

class HistoryChart {
public:
    void setEntries(std::vector<EntrySummary> entries);
    void setLocale(const QLocale& locale) { locale_ = locale; }
    const std::vector<EntrySummary>& entries() const { return entries_; }
    // What an empty chart says; by default, that nothing is recorded yet and how a statement gets there.
    void setEmptyText(const QString& text) { emptyText_ = text; }
    const QString& emptyText() const { return emptyText_; }

    // Draws the whole chart, legend and axes included, into `area`; the highlighted entry gets a guide
    // line and larger points. An empty history draws a sentence saying so.
    void paint(QPainter& painter, const QRectF& area, std::optional<int> highlighted = std::nullopt) const;

    // The entry under a position (the nearest in time within the plot), if the position is over the plot.
    std::optional<int> entryAt(const QFont& font, const QRectF& area, QPointF position) const;
    // Where an entry's point of a series lies (series 0..2).
    QPointF pointOf(const QFont& font, const QRectF& area, int entry, int series) const;

    // The entry's values in words, for the hover text and screen readers.
    QString describe(int entry) const;

    // The value axis' steps, in currency units: first, last and step (tests and the layout use it).
    struct Scale {
        double minimum = 0;
        double maximum = 1;
        double step = 1;
    };
    static Scale niceScale(double low, double high, int mostSteps);

private:
    struct Layout {
        QRectF plot;
        QRectF legend;
        Scale scale;
        qint64 firstDay = 0;
        qint64 lastDay = 0;
    };
    Layout layout(const QFont& font, const QRectF& area) const;
    double xOf(const Layout& layout, QDate date) const;
    double yOf(const Layout& layout, qint64 cents) const;
    QString axisLabel(double value, double step) const;
    void paintTimeAxis(QPainter& painter, const Layout& layout) const;
    QPolygonF linePoints(const Layout& layout, size_t series) const;

    std::vector<EntrySummary> entries_;
    QLocale locale_;
    QString emptyText_ = QStringLiteral(
        "No statement is recorded yet. A statement is recorded when you keep it: save, print or export it "
        "from the preview.");
};

}  // namespace history
