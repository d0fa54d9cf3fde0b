#pragma once

#include <vector>

#include "bench/stage_timer.h"

namespace bench {

// The statement filled as the generation run fills it, then printed to a PDF file in this process:
// planning the pages, drawing them and writing the file; the same into memory; the statement's PDF with
// its document information; and the whole export job writing the three files.
std::vector<Stage> timePdfExport(int rounds);

}  // namespace bench
