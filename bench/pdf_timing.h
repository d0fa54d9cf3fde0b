#pragma once

#include <vector>

#include "bench/stage_timer.h"

namespace bench {

// The statement filled as the generation run fills it, then printed to a PDF file in this process:
// planning the pages, drawing them and writing the file; and the same into memory.
std::vector<Stage> timePdfExport(int rounds);

}  // namespace bench
