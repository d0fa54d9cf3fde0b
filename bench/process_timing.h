#pragma once

#include <QString>
#include <QStringList>

namespace bench {

// Starts the program, a bare Qt window of the same size and that window with one label as processes, in
// turn, `rounds` times each, and prints the medians from exec to the first window mapped on the X server,
// and their ratios. `others` (other builds of the program, for an A/B comparison) are started in the same
// rounds, and each median is printed beside its difference to the program's. Quillberry starts on a
// store that already holds every field. Needs an X display.
int timeStartUp(int rounds, const QStringList& others = {});

// Runs one whole job (fill, save, picture) as a process `rounds` times and prints the median.
int timeJobProcess(int rounds);

// Runs `quillberry --export-pdf` with no display on a store holding the sample statement, `rounds`
// times, and prints the median: the figure to set beside another program converting the same workbook.
int timeExportProcess(int rounds);

}  // namespace bench
