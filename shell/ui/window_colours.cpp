#include "shell/ui/window_colours.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QWidget>

#include "shell/core/error_report.h"

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

void SetSystemBackColors(QWidget* form) {
    if (!form)
        throw RuntimeError(QStringLiteral("Object variable not set"));
    const QColor face = buttonFaceColour();
    setBackColour(form, face);
    const auto children = form->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child)) {
            setBackColour(child, face);
        }
    }
}

}  // namespace shell
