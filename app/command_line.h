#pragma once

// The program's command line:
//
//   quillberry                        the windows, as always
//   quillberry --help | --version
//   quillberry [--export-xls FILE] [--export-pdf FILE] [--export-png FILE]
//                                     the statement stored for this user, written to the files, with no
//                                     window and no display needed; "-" is standard output
//   quillberry --history | --record | --import-history FILE... | --export-history FILE
//                                     the statement history (app/history_command.h)
//
// Qt's own options (-platform, -style ...) keep working for the windows; an export draws offscreen and
// leaves them aside. The grammar's rules hold for every option the parser is given:
// - an option that takes a value, followed by another argument that begins with "-" (other than "-"
//   itself), is a mistake: the value was left out ("--export-xls=-x.xls" names such a file);
// - an argument that is not an option, an unknown option, an option given twice are mistakes;
// - mistakes end the program with exit status 2, each told on one line of standard error;
// - output that cannot be written (--version >/dev/full) ends it with exit status 1.

#include <optional>

#include "app/history_command.h"
#include "generation/statement_export.h"

namespace app {

struct CommandLine {
    generation::ExportTargets exports;
    HistoryCommands history;
    // Set when the command line has been answered (help, version) or refused: the program ends with it.
    std::optional<int> exitCode;
};

// One line on standard error, "quillberry: <text>"; parts of arguments come back as the bytes they were
// given as.
void printProblem(const QString& text);

// Reads the arguments, as the bytes they are, before any application object exists. --help and
// --version are answered here, a mistake is reported on standard error; both set exitCode.
CommandLine readCommandLine(int argc, char** argv);

// Prepares an export before the application object exists: it draws into files only, so it runs on the
// offscreen platform whatever the environment or the arguments ask for, and needs no display. Qt's
// warnings are not printed; its errors are, one line each.
void prepareExport();

// Runs the export under an existing QGuiApplication: reads the stored statement and writes the files.
// Every problem is one line on standard error. Returns the exit code: 0 when every file was written, 1
// when none was (a store that cannot be read writes nothing). SIGINT, SIGTERM and SIGHUP stop it
// cleanly: what it made is taken back, and the process then ends by the signal.
int runExport(const generation::ExportTargets& targets);

}  // namespace app
