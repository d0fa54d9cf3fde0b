#include "history/history_table_model.h"

#include "history/history_chart.h"

namespace history {

namespace {
const char* const kHeadings[] = {
    "Date", "Name", "Total Assets", "Total Liabilities", "Net Worth", "Change Since Previous"};
}

QString HistoryTableModel::dateText(QDate date, const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    // A two-digit year would read back as another century.
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(date, format);
}

void HistoryTableModel::setEntries(const std::vector<EntrySummary>& entries, const QLocale& locale) {
    beginResetModel();
    entries_ = entries;
    locale_ = locale;
    endResetModel();
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(entries_.size()))
        return {};
    const EntrySummary& e = entries_[size_t(index.row())];
    if (role == Qt::TextAlignmentRole)
        return index.column() >= TotalAssets ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                             : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
        case Date:
            return dateText(e.date, locale_);
        case Name:
            return e.name;
        case TotalAssets:
            return moneyText(e.totalAssets, locale_);
        case TotalLiabilities:
            return moneyText(e.totalLiabilities, locale_);
        case NetWorth:
            return moneyText(e.netWorth, locale_);
        case Change:
            if (index.row() == 0)
                return role == Qt::DisplayRole ? QString() : QStringLiteral("first entry");
            return moneyText(e.netWorth - entries_[size_t(index.row() - 1)].netWorth, locale_);
        default:
            return {};
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) &&
        section >= 0 && section < ColumnCount)
        return QString::fromLatin1(kHeadings[section]);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return {};
}

}  // namespace history
