#pragma once

#include <QByteArray>
#include <QString>

namespace shell {

// True when something exists at the path that the file system can give a modification time for.
// Never throws; an empty path is false.
bool FileExists(const QString& path);

// Deletes a file, read-only ones too; never throws and never reports. Pending window events are
// processed first.
void DeleteFileQuietly(const QString& path);

// Deletes a file even when it is read-only; throws shell::RuntimeError when that fails.
void ForceDeleteFile(const QString& path);

// Writes the bytes at the start of the file; throws shell::RuntimeError with the file system's reason.
void WriteBytesToFile(const QByteArray& bytes, const QString& path);

// True when the two paths name one file: the same path spelt differently, or links to one file.
bool sameFile(const QString& a, const QString& b);

// The user's decimal separator ("." or "," ...), and a number text with every "." and "," replaced by it.
QString LocaleDecimalSeparator();
QString ToLocaleDecimal(const QString& text);

// The folder of the executable, without a trailing separator.
QString programFolder();

// Makes programFolder() answer this folder instead (tests); an empty text restores the executable's folder.
void setProgramFolder(const QString& folder);

}  // namespace shell
