#include "shell/core/shutdown.h"

#include <cstdio>
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
    // At once: no window gets another event and no static object is torn down under a live application.
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

void setEndProgramHandler(std::function<void(int)> handler) {
    currentHandler() = std::move(handler);
}

}  // namespace shell
