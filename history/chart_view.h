#pragma once

#include <QWidget>
#include <optional>

#include "history/history_chart.h"

namespace history {

// The chart on screen: drawn at the widget's size and the screen's pixel density, with the entry under
// the pointer (or the selected one) highlighted and its values shown as a tool tip. It takes the focus:
// Left and Right (Home, End) move the selection through the entries, as the table does.
class ChartView : public QWidget {
    Q_OBJECT

public:
    explicit ChartView(QWidget* parent = nullptr);

    void setEntries(std::vector<EntrySummary> entries, const QLocale& locale);
    const HistoryChart& chart() const { return chart_; }
    void setEmptyText(const QString& text);
    void setSelected(std::optional<int> entry);
    std::optional<int> selected() const { return selected_; }
    std::optional<int> hovered() const { return hovered_; }

    QSize sizeHint() const override { return {640, 320}; }
    QSize minimumSizeHint() const override { return {240, 140}; }

signals:
    // The user picked an entry on the chart (a click, or a key).
    void entryChosen(int entry);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF chartArea() const;
    void setHovered(std::optional<int> entry, QPoint globalPosition);

    HistoryChart chart_;
    std::optional<int> selected_;
    std::optional<int> hovered_;
};

}  // namespace history
