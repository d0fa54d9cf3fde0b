#pragma once

#include <QByteArray>
#include <QString>

#include "shell/core/native_path.h"

namespace shell {

// True when something exists at the path that the file system can give a modification time for.
// Never throws; an empty path is false.
bool FileExists(const QString& path);
// The same for a name as the file system holds it: anything the system can give a status for, a link
// leading to it followed.
bool FileExists(const NativePath& path);

// Deletes what is at the path as ForceDeleteFile does; never throws and never reports. Pending window
// events are processed first.
void DeleteFileQuietly(const QString& path);

// Deletes what is at the path without following a link: a link is removed itself and its target stays
// as it is. When the plain delete is refused, only a file the program made itself (rememberOwnFile) is
// made writable and tried again, and it gets its mode back if that fails too; the mode of any other
// file is never changed. Throws shell::RuntimeError with the file system's reason.
void ForceDeleteFile(const QString& path);

// Marks the regular file now at the path as one the program made (its files in the temporary folder).
void rememberOwnFile(const QString& path);

// The bytes as the whole content of the file, written under a fresh name and renamed into place, never
// through a link (shell::replaceFile); throws shell::RuntimeError with the file system's reason.
void WriteBytesToFile(const QByteArray& bytes, const QString& path);

// True when the two paths name one file: the same path spelt differently, or links to one file.
bool sameFile(const QString& a, const QString& b);
bool sameFile(const NativePath& a, const NativePath& b);

// The user's decimal separator ("." or "," ...), and a number text with every "." and "," replaced by it.
QString LocaleDecimalSeparator();
QString ToLocaleDecimal(const QString& text);

// The folder of the executable, without a trailing separator.
QString programFolder();

// Makes programFolder() answer this folder instead (tests); an empty text restores the executable's folder.
void setProgramFolder(const QString& folder);

}  // namespace shell
