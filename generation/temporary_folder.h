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

// Throws unless T exists, is a folder and takes new files; the description gives the reason.
void requireUsableTemporaryFolder();

// What is at the template's path in T before the run writes anything there.
enum class TemplateFile {
    Free,   // nothing (a link that was there has been removed): the program writes its own
    Users,  // a regular file of the user's own, used as the template
};

// Never follows a link: a link at the path is removed, not its target. Throws, with the reason, when
// the path cannot be used: a link that cannot be removed (a shared folder's link of another user), a
// file of another user (which could show the user a statement that is not theirs), anything that is
// not a regular file.
TemplateFile examineTemplatePath(const QString& path);

}  // namespace generation
