#include "history/history_csv.h"

#include <algorithm>

namespace history {

namespace {

QString field(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

}  // namespace

QString plainAmount(qint64 cents) {
    // The magnitude as unsigned: the most negative number has no positive counterpart.
    const quint64 magnitude = cents < 0 ? quint64(0) - quint64(cents) : quint64(cents);
    return QStringLiteral("%1%2.%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 100)
        .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

QByteArray historyCsv(std::vector<EntrySummary> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const EntrySummary& a, const EntrySummary& b) { return a.date < b.date; });
    QString text = QStringLiteral("date,name,total_assets,total_liabilities,net_worth\r\n");
    for (const EntrySummary& entry : entries) {
        text += entry.date.toString(Qt::ISODate) + u',' + field(entry.name) + u',' +
                plainAmount(entry.totalAssets) + u',' + plainAmount(entry.totalLiabilities) + u',' +
                plainAmount(entry.netWorth) + QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

}  // namespace history
