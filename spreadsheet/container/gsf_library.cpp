#include "spreadsheet/container/gsf_library.h"

#include <dlfcn.h>

#include <QString>
#include <mutex>

#include "spreadsheet/error.h"
#include "spreadsheet/gsf_log.h"

namespace spreadsheet {

namespace {

// The library's run-time name, found by the build from the one it was configured against.
constexpr const char* kLibraryName = QUILLBERRY_GSF_SONAME;

template <typename Function>
void resolve(void* handle, Function& function, const char* name) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (!function) {
        throw SpreadsheetError(QStringLiteral("The workbook library %1 lacks %2.")
                                   .arg(QLatin1String(kLibraryName), QLatin1String(name)));
    }
}

GsfLibrary load() {
    // Never closed: GObject types, once registered, must stay.
    void* handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        throw SpreadsheetError(QStringLiteral("The workbook library cannot be loaded: %1")
                                   .arg(QString::fromLocal8Bit(reason ? reason : kLibraryName)));
    }
    GsfLibrary library;
#define QB_RESOLVE(name) resolve(handle, library.name, #name);
    QB_GSF_FUNCTIONS(QB_RESOLVE)
#undef QB_RESOLVE
    routeGsfLog();
    library.gsf_init();
    return library;
}

}  // namespace

const GsfLibrary& gsf() {
    static std::mutex mutex;
    static GsfLibrary library;
    static bool loaded = false;
    std::lock_guard lock(mutex);
    if (!loaded) {
        library = load();
        loaded = true;
    }
    return library;
}

}  // namespace spreadsheet
