#pragma once

// The program's command line:
//
//   quillberry                        the windows, as always
//   quillberry --help | --version
//   quillberry [--export-xls FILE] [--export-pdf FILE] [--export-png FILE]
//                                     the statement stored for this user, written to the files, with no
//                                     window and no display needed
//
// Qt's own options (-platform, -style ...) keep working for the windows.

#include <optional>

#include "generation/statement_export.h"

namespace app {

struct CommandLine {
    generation::ExportTargets exports;
    // Set when the command line has been answered (help, version) or refused: the program ends with it.
    std::optional<int> exitCode;
};

// Reads the arguments before any application object exists. --help and --version are answered here, a
// bad option or a stray argument is reported on standard error; both set exitCode.
CommandLine readCommandLine(int argc, char** argv);

// Prepares an export before the application object exists. It runs on the offscreen platform unless the
// user chose one: it draws into files only, so it needs no display, and a display that is set but
// cannot be reached does not stop it. Qt's warnings are not printed; its errors are, one line each.
void prepareExport();

// Runs the export under an existing QGuiApplication: reads the stored statement and writes the files.
// Every problem is one line on standard error. Returns the exit code: 0 when every file was written.
int runExport(const generation::ExportTargets& targets);

}  // namespace app
