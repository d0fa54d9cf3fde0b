#include "shell/ui/window_placement.h"

#include <QApplication>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVariant>
#include <QWidget>
#include <algorithm>

namespace shell {

namespace {

int placedStart(int areaStart, int areaLength, int length) {
    if (length >= areaLength)
        return areaStart;
    return areaStart + (areaLength - length) / 2;
}

// The space a window's frame adds around its client area; before the window system has framed the window,
// a title bar of the style's height.
QSize frameExtra(const QWidget* window) {
    const QSize extra = window->frameGeometry().size() - window->size();
    if (extra.width() > 0 || extra.height() > 0)
        return extra;
    return {0, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window)};
}

const char* const kDesignSize = "quillberryDesignSize";
const char* const kFitScroll = "quillberryFitScroll";

}  // namespace

QSize fittedClientSize(const QSize& design, const QSize& room, int scrollBarExtent) {
    const bool tooWide = design.width() > room.width();
    const bool tooTall = design.height() > room.height();
    if (!tooWide && !tooTall)
        return design;
    // A bar along one side takes room from the other; where that room is still there, the window grows by
    // the bar instead of needing the second bar.
    QSize size(std::min(design.width(), room.width()), std::min(design.height(), room.height()));
    if (tooTall && !tooWide)
        size.setWidth(std::min(design.width() + scrollBarExtent, room.width()));
    if (tooWide && !tooTall)
        size.setHeight(std::min(design.height() + scrollBarExtent, room.height()));
    return size;
}

QWidget* fitOnScreen(QWidget* window, const QScreen* screen) {
    if (!screen)
        screen = window->screen();
    if (!screen)
        return nullptr;
    return fitWithin(window, screen->availableGeometry().size() - frameExtra(window));
}

QWidget* fitWithin(QWidget* window, const QSize& room) {
    const QVariant recorded = window->property(kDesignSize);
    const QSize design = recorded.isValid() ? recorded.toSize() : window->size();
    const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
    const QSize fitted = fittedClientSize(design, room, bar);
    auto* scroll = window->findChild<QScrollArea*>(QLatin1String(kFitScroll), Qt::FindDirectChildrenOnly);
    if (fitted == design && !scroll)
        return nullptr;  // it fits: nothing changes
    QWidget* content = nullptr;
    if (!scroll) {
        window->setProperty(kDesignSize, design);
        const QList<QWidget*> controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        // Made inside the window from the start: a control moved within one window keeps its place in the
        // window's tab order.
        scroll = new QScrollArea(window);
        scroll->setObjectName(QLatin1String(kFitScroll));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setFocusPolicy(Qt::NoFocus);
        content = new QWidget(scroll);
        content->setObjectName(QStringLiteral("quillberryFitContent"));
        content->setFixedSize(design);
        content->setAutoFillBackground(true);
        content->setMouseTracking(window->hasMouseTracking());
        scroll->setWidget(content);
        for (QWidget* control : controls) {
            if (control->isWindow())
                continue;
            const QRect geometry = control->geometry();
            const bool hidden = control->isHidden();
            control->setParent(content);
            control->setGeometry(geometry);
            control->setVisible(!hidden);
        }
        // The keyboard's way through the window brings each control it reaches into view.
        QObject::connect(qApp, &QApplication::focusChanged, scroll,
                         [scroll, content](QWidget*, QWidget* now) {
                             if (now && content->isAncestorOf(now))
                                 scroll->ensureWidgetVisible(now);
                         });
        scroll->show();
    }
    window->setFixedSize(fitted);
    scroll->setGeometry(0, 0, fitted.width(), fitted.height());
    return content;
}

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
