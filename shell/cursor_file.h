#pragma once

#include <QCursor>
#include <QString>

namespace shell {

// Loads a cursor file (.cur, or any picture the image readers know) with the hot spot the file names.
// Throws shell::RuntimeError when the file holds no picture.
QCursor loadCursorFile(const QString& path);

}  // namespace shell
