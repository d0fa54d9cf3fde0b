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
    Free,   // nothing, or a link (which the generation run removes): the program uses its own
    Users,  // a regular file of the user's own, used as the template
};

// What to do with a link at the template's path: the generation run removes it before it writes its own
// template there; a job that writes nothing in T leaves it and uses its own template.
enum class LinkAtTemplatePath { Remove, Leave };

// Never follows a link. Throws, with the reason, when the path cannot be used: a link that cannot be
// removed (a shared folder's link of another user), a file of another user (which could show the user a
// statement that is not theirs), a folder, anything that is not a regular file.
TemplateFile examineTemplatePath(const QString& path, LinkAtTemplatePath link = LinkAtTemplatePath::Remove);

// Removes what killed runs left in T (the files a run holds only for a moment, shell/core/leftovers.h).
void removeLeftoversInTemporaryFolder();

// A private working folder for a job without windows, in the system's temporary folder (TMPDIR), under
// a name that lets the next job remove it if this process is killed first. It goes with its files when
// the WorkFolder is destroyed.
class WorkFolder {
public:
    // Removes the work folders of this user's ended processes, then makes a new one (mode 0700). Throws
    // shell::RuntimeError when it cannot.
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    QString filePath(const QString& name) const;

private:
    QString path_;
};

}  // namespace generation
