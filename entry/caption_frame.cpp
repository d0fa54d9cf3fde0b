#include "entry/caption_frame.h"

#include <QPainter>
#include <QPainterPath>

namespace entry {

namespace {
constexpr int kCaptionLeft = 8;     // where the caption's background starts, from the frame's left edge
constexpr int kCaptionPadding = 3;  // blank on either side of the caption text
constexpr qreal kCornerRadius = 3.0;
const QColor kBorderGrey(0xa0, 0xa0, 0xa0);
}  // namespace

void CaptionFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics(font());
    // The border runs through the middle of the caption.
    const int borderTop = metrics.height() / 2;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(kBorderGrey);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, borderTop + 0.5, -0.5, -0.5), kCornerRadius,
                            kCornerRadius);
    if (title().isEmpty())
        return;
    const int textWidth = metrics.horizontalAdvance(title());
    const QRect caption(kCaptionLeft, 0, textWidth + 2 * kCaptionPadding, metrics.height());
    painter.fillRect(caption, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption.adjusted(kCaptionPadding, 0, -kCaptionPadding, 0),
                     Qt::AlignLeft | Qt::AlignVCenter, title());
}

}  // namespace entry
