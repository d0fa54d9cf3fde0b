#include "spreadsheet/gsf_library.h"

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
#define QB_RESOLVE(name) resolve(handle, library.name, #name)
    QB_RESOLVE(g_object_unref);
    QB_RESOLVE(g_value_init);
    QB_RESOLVE(g_value_get_string);
    QB_RESOLVE(g_value_set_string);
    QB_RESOLVE(g_value_get_boxed);
    QB_RESOLVE(g_value_take_boxed);
    QB_RESOLVE(gsf_init);
    QB_RESOLVE(gsf_input_memory_new);
    QB_RESOLVE(gsf_input_size);
    QB_RESOLVE(gsf_input_read);
    QB_RESOLVE(gsf_infile_msole_new);
    QB_RESOLVE(gsf_infile_num_children);
    QB_RESOLVE(gsf_infile_name_by_index);
    QB_RESOLVE(gsf_infile_child_by_name);
    QB_RESOLVE(gsf_output_memory_new);
    QB_RESOLVE(gsf_output_memory_get_bytes);
    QB_RESOLVE(gsf_output_write);
    QB_RESOLVE(gsf_output_size);
    QB_RESOLVE(gsf_output_close);
    QB_RESOLVE(gsf_outfile_msole_new);
    QB_RESOLVE(gsf_outfile_msole_set_class_id);
    QB_RESOLVE(gsf_outfile_new_child);
    QB_RESOLVE(gsf_doc_meta_data_new);
    QB_RESOLVE(gsf_doc_meta_data_lookup);
    QB_RESOLVE(gsf_doc_meta_data_insert);
    QB_RESOLVE(gsf_doc_meta_data_read_from_msole);
    QB_RESOLVE(gsf_doc_meta_data_write_to_msole);
    QB_RESOLVE(gsf_doc_prop_get_val);
    QB_RESOLVE(gsf_timestamp_get_type);
    QB_RESOLVE(gsf_timestamp_new);
    QB_RESOLVE(gsf_timestamp_set_time);
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
