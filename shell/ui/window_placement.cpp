#include "shell/ui/window_placement.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace shell {

namespace {

int placedStart(int areaStart, int areaLength, int length) {
    if (length >= areaLength)
        return areaStart;
    return areaStart + (areaLength - length) / 2;
}

}  // namespace

QPoint placedFrameTopLeft(const QRect& available, const QSize& frame) {
    return {placedStart(available.left(), available.width(), frame.width()),
            placedStart(available.top(), available.height(), frame.height())};
}

void placeOnScreen(QWidget* window, const QScreen* screen) {
    if (!screen)
        screen = window->screen();
    if (!screen)
        return;
    QSize frame = window->frameGeometry().size();
    if (frame == window->size())
        frame.rheight() += window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    // A window's position is where its frame starts.
    window->move(placedFrameTopLeft(screen->availableGeometry(), frame));
}

}  // namespace shell
