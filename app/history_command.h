#pragma once

// The history's part of the command line:
//
//   quillberry --history                    the history window
//   quillberry --record                     records the statement stored for this user
//   quillberry --import-history FILE...     records statement workbooks saved earlier
//   quillberry --export-history FILE        writes the history (.csv, .xls or .pdf, by the suffix)
//
// All but --history need no display. Each problem is one line on standard error.

#include <QStringList>

#include "shell/core/native_path.h"

namespace app {

struct HistoryCommands {
    bool openWindow = false;
    bool record = false;
    QStringList importFiles;  // as the option parser gave them (see shell::escapedArgument)
    shell::NativePath exportPath;

    // Commands that only read and write files.
    bool runWithoutWindow() const { return record || !importFiles.isEmpty() || !exportPath.isEmpty(); }
};

// Runs the commands under an existing QGuiApplication, in this order: import, record, export. A failed
// command ends the run. Import records all the files or, when any of them is no statement, none: each
// refused file is one line with its reason. A history that cannot be used (damaged, of a newer version)
// is told and left as it is. The export takes its name as the statement's exports do ("-" is standard
// output) and is written whole or not at all; a signal takes it back. Returns the exit code: 0 when
// everything was done, else 1.
int runHistoryCommands(const HistoryCommands& commands);

}  // namespace app
