#pragma once

#include <functional>

namespace shell {

// Ends the program at once: no further events, nothing saved (every field was stored when it changed).
void EndProgram(int exitCode = 0);

// Replaces the ending (tests record it instead of leaving the process); an empty handler restores it.
void setEndProgramHandler(std::function<void(int)> handler);

}  // namespace shell
