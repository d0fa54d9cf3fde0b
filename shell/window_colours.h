#pragma once

#include <QColor>

class QWidget;

namespace shell {

// The system's button-face colour as the current colour scheme gives it.
QColor buttonFaceColour();

// Paints the widget's own background in the colour (its children keep theirs unless they inherit it).
void setBackColour(QWidget* widget, const QColor& colour);

// The colour the widget's background is painted in.
QColor backColour(const QWidget* widget);

}  // namespace shell
