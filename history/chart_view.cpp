#include "history/chart_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace history {

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, QColor(0x22, 0x22, 0x22));
    setPalette(white);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ChartView::setEntries(std::vector<EntrySummary> entries, const QLocale& locale) {
    chart_.setLocale(locale);
    chart_.setEntries(std::move(entries));
    hovered_.reset();
    if (selected_ && *selected_ >= int(chart_.entries().size()))
        selected_.reset();
    update();
}

void ChartView::setSelected(std::optional<int> entry) {
    if (entry == selected_)
        return;
    selected_ = entry;
    setAccessibleDescription(selected_ ? chart_.describe(*selected_) : QString());
    update();
}

QRectF ChartView::chartArea() const {
    return QRectF(rect()).adjusted(12, 10, -12, -8);
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    chart_.paint(painter, chartArea(), hovered_ ? hovered_ : selected_);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

void ChartView::setHovered(std::optional<int> entry, QPoint globalPosition) {
    if (entry == hovered_)
        return;
    hovered_ = entry;
    if (hovered_)
        QToolTip::showText(globalPosition, chart_.describe(*hovered_), this, rect());
    else
        QToolTip::hideText();
    update();
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    setHovered(chart_.entryAt(font(), chartArea(), event->position()), event->globalPosition().toPoint());
    QWidget::mouseMoveEvent(event);
}

void ChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const auto entry = chart_.entryAt(font(), chartArea(), event->position())) {
            setSelected(entry);
            emit entryChosen(*entry);
        }
    }
    QWidget::mousePressEvent(event);
}

void ChartView::leaveEvent(QEvent* event) {
    setHovered(std::nullopt, {});
    QWidget::leaveEvent(event);
}

void ChartView::keyPressEvent(QKeyEvent* event) {
    const int count = int(chart_.entries().size());
    if (count == 0)
        return QWidget::keyPressEvent(event);
    int entry = selected_.value_or(-1);
    switch (event->key()) {
        case Qt::Key_Left:
            entry = entry < 0 ? count - 1 : std::max(0, entry - 1);
            break;
        case Qt::Key_Right:
            entry = std::min(count - 1, entry + 1);
            break;
        case Qt::Key_Home:
            entry = 0;
            break;
        case Qt::Key_End:
            entry = count - 1;
            break;
        default:
            return QWidget::keyPressEvent(event);
    }
    setSelected(entry);
    emit entryChosen(entry);
}

void ChartView::setEmptyText(const QString& text) {
    chart_.setEmptyText(text);
    update();
}

}  // namespace history
