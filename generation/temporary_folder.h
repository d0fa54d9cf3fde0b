#pragma once

#include <QString>

namespace generation {

// The temporary folder T: the environment variable TEMP, read afresh at every call. When TEMP is unset
// or empty, the user's own folder "quillberry-<uid>" under the system's temporary folder, created private
// to the user (mode 0700); never the root of the file system. Throws shell::RuntimeError when that folder
// cannot be made private (it exists and belongs to someone else, or is not a real folder).
QString temporaryFolder();

// T joined with a file name.
QString temporaryPath(const QString& fileName);

}  // namespace generation
