#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include <QImage>

#include "generation/generation_run.h"
#include "shell/core/statement.h"
#include "spreadsheet/workbook.h"

// Workbook files made with the engine, the error reports the code under test shows, and the sample
// statement, shared by the generation tests.
namespace fixtures {

// Writes a one-sheet workbook (or more, as fill adds) to dir/name and returns its path.
QString writeWorkbook(const QString& dir, const QString& name,
                      const std::function<void(spreadsheet::Workbook&)>& fill);

// Collects every error report and every other notice to the user while alive.
class Reports {
public:
    Reports();
    ~Reports();
    Reports(const Reports&) = delete;
    Reports& operator=(const Reports&) = delete;

    QList<int> lines;
    QStringList texts;
    int otherMessages = 0;
};

// Stands in for the windows of a generation run and records what the run does to them.
struct Recorder {
    QStringList events;
    QList<int> progress;  // what a run longer than a second showed of its progress
    QImage picture;
    QString path;

    generation::HandOver handOver();
};

// Fractions that draw the given digits in turn.
generation::FractionSource digits(const QString& sequence);

// The sample statement: "John Doe", 5 March 2021, the built-in descriptions, the sample amounts.
shell::StatementRecord sampleStatement();

}  // namespace fixtures
