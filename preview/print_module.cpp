#include "preview/print_module.h"

#include <dlfcn.h>

#include <QString>
#include <mutex>

#include "shell/core/error_report.h"

namespace preview {

namespace {

const PrintModule* loadPrintModule() {
    // By name: the program's run-time search path holds the module's folder, in the build tree and where
    // the program is installed. The dynamic loader reads that path from whoever calls dlopen(), so this
    // call stays in the program rather than going through Qt's library loader.
    void* handle = dlopen(QUILLBERRY_PRINT_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        throw shell::RuntimeError(QStringLiteral("The printing module cannot be loaded: ") +
                                  QString::fromLocal8Bit(dlerror()));
    }
    using EntryPoint = const PrintModule* (*)();
    const auto entry = reinterpret_cast<EntryPoint>(dlsym(handle, "quillberry_print_module"));
    const PrintModule* module = entry ? entry() : nullptr;
    if (!module) {
        dlclose(handle);
        throw shell::RuntimeError(QStringLiteral("The printing module ") +
                                  QStringLiteral(QUILLBERRY_PRINT_MODULE) +
                                  QStringLiteral(" has no entry point"));
    }
    return module;
}

}  // namespace

const PrintModule& printModule() {
    static std::mutex mutex;
    static const PrintModule* module = nullptr;
    const std::lock_guard lock(mutex);
    // A failed load is tried again at the next print: the user may have repaired the installation.
    if (!module)
        module = loadPrintModule();
    return *module;
}

}  // namespace preview
