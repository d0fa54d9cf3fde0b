#pragma once

// Names for what the program keeps on disk only while it runs: a new file in the moment before it takes
// its name, the old content of a replaced file until every file of an export is in place, a job's working
// folder. A process killed at the wrong moment leaves them behind. Each name carries who made it (the
// boot, the process id and the process's start time), so that a later run can prove that the maker has
// ended and remove what it left; anything else, and anything of another user, is never touched.

#include <QByteArray>

namespace shell {

enum class LeftoverKind {
    File,    // ".quillberry-part-…", beside the user's files
    Folder,  // "quillberry-work-…", in the temporary folder
};

// A fresh name of the kind, made by this process.
QByteArray leftoverName(LeftoverKind kind);

// True when the name is one of the kind made by a process that has ended (on this boot or an earlier
// one). False when it is not such a name or the maker may still run, or when that cannot be told.
bool madeByEndedProcess(const QByteArray& name, LeftoverKind kind);

// Removes from the folder every leftover of the kind that belongs to the user and whose maker has ended:
// a regular file, or a folder with the files in it (a folder that holds a folder stays). Never throws;
// returns how many were removed.
int removeStaleLeftovers(const QByteArray& folder, LeftoverKind kind);

// Removes a folder of the program's own with the files in it, without following a link. False when
// something stays (a folder inside it, a file that cannot be removed).
bool removeFolderWithFiles(const QByteArray& folder);

}  // namespace shell
