#include "shell/window_colours.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace shell {

QColor buttonFaceColour() {
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

void setBackColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QColor backColour(const QWidget* widget) {
    return widget->palette().color(QPalette::Window);
}

}  // namespace shell
