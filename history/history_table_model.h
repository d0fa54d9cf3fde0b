#pragma once

#include <QAbstractTableModel>
#include <QLocale>
#include <vector>

#include "history/history_store.h"

namespace history {

// The history's table: date, name, total assets, total liabilities, net worth and the change of the
// net worth since the previous entry, amounts in the locale's currency form.
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Date, Name, TotalAssets, TotalLiabilities, NetWorth, Change, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(const std::vector<EntrySummary>& entries, const QLocale& locale);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The date in the locale's short form with all four digits of the year.
    static QString dateText(QDate date, const QLocale& locale);

private:
    std::vector<EntrySummary> entries_;
    QLocale locale_;
};

}  // namespace history
