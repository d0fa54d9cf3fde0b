#pragma once

#include <QString>

namespace bench {

// Starts the program and a bare Qt window of the same size as processes, alternately, `rounds` times
// each, and prints the medians from exec to the first window mapped on the X server, and their ratio.
// Quillberry starts on a store that already holds every field. Needs an X display.
int timeStartUp(int rounds);

// Runs one whole job (fill, save, picture) as a process `rounds` times and prints the median.
int timeJobProcess(int rounds);

// Runs `quillberry --export-pdf` with no display on a store holding the sample statement, `rounds`
// times, and prints the median: the figure to set beside another program converting the same workbook.
int timeExportProcess(int rounds);

}  // namespace bench
