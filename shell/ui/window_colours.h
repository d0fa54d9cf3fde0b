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

// Gives the window, and every frame and label on it at any depth, the system's button-face colour.
void SetSystemBackColors(QWidget* form);

}  // namespace shell
