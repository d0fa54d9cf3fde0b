#pragma once

// libgsf, with GObject and GIO under it, costs a program several milliseconds to load and initialise,
// and most starts of this program never open a workbook. So it is loaded on first use rather than linked:
// gsf() opens it and looks up every function the engine calls through the table below. Calling libgsf
// any other way fails to link, which keeps it that way.

#include <gsf/gsf-doc-meta-data.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-msole-utils.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-timestamp.h>
#include <gsf/gsf-utils.h>

namespace spreadsheet {

// Every function the engine calls, GObject's (loaded with libgsf) first.
#define QB_GSF_FUNCTIONS(X)              \
    X(g_object_unref)                    \
    X(g_value_init)                      \
    X(g_value_get_string)                \
    X(g_value_set_string)                \
    X(g_value_get_boxed)                 \
    X(g_value_take_boxed)                \
    X(gsf_init)                          \
    X(gsf_input_memory_new)              \
    X(gsf_input_size)                    \
    X(gsf_input_read)                    \
    X(gsf_infile_msole_new)              \
    X(gsf_infile_num_children)           \
    X(gsf_infile_name_by_index)          \
    X(gsf_infile_child_by_name)          \
    X(gsf_output_memory_new)             \
    X(gsf_output_memory_get_bytes)       \
    X(gsf_output_write)                  \
    X(gsf_output_size)                   \
    X(gsf_output_close)                  \
    X(gsf_outfile_msole_new)             \
    X(gsf_outfile_msole_set_class_id)    \
    X(gsf_outfile_new_child)             \
    X(gsf_doc_meta_data_new)             \
    X(gsf_doc_meta_data_lookup)          \
    X(gsf_doc_meta_data_insert)          \
    X(gsf_doc_meta_data_read_from_msole) \
    X(gsf_doc_meta_data_write_to_msole)  \
    X(gsf_doc_prop_get_val)              \
    X(gsf_timestamp_get_type)            \
    X(gsf_timestamp_new)                 \
    X(gsf_timestamp_set_time)

struct GsfLibrary {
#define QB_GSF_MEMBER(name) decltype(&::name) name = nullptr;
    QB_GSF_FUNCTIONS(QB_GSF_MEMBER)
#undef QB_GSF_MEMBER
};

// The library, loaded and started on the first call (safe from any thread). Throws SpreadsheetError when
// it cannot be loaded or lacks a function; the next call tries again.
const GsfLibrary& gsf();

}  // namespace spreadsheet
