#pragma once

#include <QCursor>
#include <QString>

namespace preview {

// Loads a cursor file (.cur, or any picture the image readers know) with the hot spot the file names.
// Throws shell::RuntimeError when the file cannot be read as a picture.
QCursor loadCursorFile(const QString& path);

}  // namespace preview
