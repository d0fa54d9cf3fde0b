#include "preview/picture_view.h"

#include <QMouseEvent>
#include <QPainter>

namespace preview {

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    // The picture's own content is opaque; only the part beyond the image shows the background.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::setImage(const QImage& image) {
    if (image.cacheKey() == image_.cacheKey() && image.size() == image_.size())
        return;
    image_ = image;
    update();
}

void PictureView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (!image_.isNull())
        painter.drawImage(QPoint(0, 0), image_);
}

void PictureView::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->buttons(), event->position());
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->buttons(), event->position());
}

void PictureView::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(event->buttons(), event->position());
}

}  // namespace preview
