#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>

namespace preview {

// A picture box: paints its image at the top left on white and reports the mouse in its own
// coordinates. Moving and sizing it is the window's business.
class PictureView : public QWidget {
    Q_OBJECT

public:
    explicit PictureView(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    const QImage& image() const { return image_; }

signals:
    void mousePressed(Qt::MouseButtons buttons, QPointF position);
    void mouseMoved(Qt::MouseButtons buttons, QPointF position);
    void mouseReleased(Qt::MouseButtons buttons, QPointF position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage image_;
};

}  // namespace preview
