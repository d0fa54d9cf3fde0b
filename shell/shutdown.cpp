#include "shell/shutdown.h"

#include <cstdlib>
#include <utility>

namespace shell {

namespace {
std::function<void(int)>& currentHandler() {
    static std::function<void(int)> handler;
    return handler;
}
}  // namespace

void EndProgram(int exitCode) {
    if (currentHandler()) {
        currentHandler()(exitCode);
        return;
    }
    std::exit(exitCode);
}

void setEndProgramHandler(std::function<void(int)> handler) {
    currentHandler() = std::move(handler);
}

}  // namespace shell
