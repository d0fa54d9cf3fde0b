#pragma once

#include <QString>

#include "shell/core/statement.h"

namespace generation {

// The files an export writes; an empty path is not written.
struct ExportTargets {
    QString workbook;  // the generated workbook (.xls)
    QString pdf;       // its pages
    QString picture;   // the picture of its sheet (PNG)

    bool isEmpty() const { return workbook.isEmpty() && pdf.isEmpty() && picture.isEmpty(); }
};

// The generation run's job without any window: fills the template with the statement (T/template.xlt
// when that file exists, else the embedded template), saves the workbook as the run does, reads it
// back and writes the files asked for. Each file appears whole or not at all, and none appears unless
// all of them were made and written out in full (only the final renames come one after another).
//
// Each problem is reported once ("Export.ExportStatement" and the step's line) and ends the job, so a
// failure never cascades into reports of the steps after it; the destinations are all checked first,
// and each unusable one is reported. Returns true when every file was written.
bool ExportStatement(const shell::StatementRecord& statement, const ExportTargets& targets);

}  // namespace generation
