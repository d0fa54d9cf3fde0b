#pragma once

#include <QString>

namespace shell {

// Why the settings file cannot be saved. QSettings only says that access failed, so the steps of a save
// are retraced with the system's own calls: create the folder, open the file for writing, create a file
// beside it, give it the size of the new contents and flush it. The first step that fails gives the
// reason in the system's words (permission denied, not a directory, is a directory, no space left on
// device, read-only file system...). Leaves nothing behind but the folder a save would create as well.
QString saveFailureReason(const QString& fileName, qint64 bytesToWrite);

}  // namespace shell
