#pragma once

#include <QString>

#include "shell/core/native_path.h"
#include "shell/core/statement.h"

namespace generation {

// The files an export writes; an empty name is not written. A name is taken as a shell's redirection
// takes it ("-" is standard output; see shell/core/target_file.h).
struct ExportTargets {
    shell::NativePath workbook;  // the generated workbook (.xls)
    shell::NativePath pdf;       // its pages
    shell::NativePath picture;   // the picture of its sheet (PNG)

    bool isEmpty() const { return workbook.isEmpty() && pdf.isEmpty() && picture.isEmpty(); }
};

// The most characters a cell holds; a longer text cannot go into the workbook.
inline constexpr qsizetype kMaxCellText = 32767;

// The generation run's job without any window: fills the template with the statement (T/template.xlt
// when a file of the user's own is there, else the embedded template), saves the workbook as the run
// does, reads it back and writes the files asked for, all of them or none: each file's old content is
// kept until every new one is in place, and is put back when one cannot be (only what went into a
// device or a pipe cannot be taken back, so those are written last).
//
// Each problem is reported once ("Export.ExportStatement" and the step's line) and ends the job, so a
// failure never cascades into reports of the steps after it; the texts and the destinations are all
// checked first, and each unusable one is reported. A signal that asks the job to stop
// (shell/core/interruption.h) ends it the same way. Returns true when every file was written.
bool ExportStatement(const shell::StatementRecord& statement, const ExportTargets& targets);

}  // namespace generation
