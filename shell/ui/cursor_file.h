#pragma once

#include <QCursor>
#include <QString>
#include <optional>

#include "shell/core/mouse_pointer.h"

class QWidget;

namespace shell {

// Loads a cursor file (.cur, or any picture the image readers know) with the hot spot the file names.
// Throws shell::RuntimeError when the file holds no picture.
QCursor loadCursorFile(const QString& path);

// Where the optional hand cursor lies: beside the executable.
QString handCursorPath();

// Shows a window's mouse pointer: the hourglass, the sizing arrow, the custom cursor (the ordinary arrow
// when there is none), or whatever the window's children ask for by default.
void applyMousePointer(QWidget* window, MousePointer pointer, const std::optional<QCursor>& custom);

}  // namespace shell
