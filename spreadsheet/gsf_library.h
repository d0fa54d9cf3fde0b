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

struct GsfLibrary {
#define QB_GSF_FUNCTION(name) decltype(&::name) name = nullptr
    // GObject, loaded with libgsf.
    QB_GSF_FUNCTION(g_object_unref);
    QB_GSF_FUNCTION(g_value_init);
    QB_GSF_FUNCTION(g_value_get_string);
    QB_GSF_FUNCTION(g_value_set_string);
    QB_GSF_FUNCTION(g_value_get_boxed);
    QB_GSF_FUNCTION(g_value_take_boxed);
    // libgsf.
    QB_GSF_FUNCTION(gsf_init);
    QB_GSF_FUNCTION(gsf_input_memory_new);
    QB_GSF_FUNCTION(gsf_input_size);
    QB_GSF_FUNCTION(gsf_input_read);
    QB_GSF_FUNCTION(gsf_infile_msole_new);
    QB_GSF_FUNCTION(gsf_infile_num_children);
    QB_GSF_FUNCTION(gsf_infile_name_by_index);
    QB_GSF_FUNCTION(gsf_infile_child_by_name);
    QB_GSF_FUNCTION(gsf_output_memory_new);
    QB_GSF_FUNCTION(gsf_output_memory_get_bytes);
    QB_GSF_FUNCTION(gsf_output_write);
    QB_GSF_FUNCTION(gsf_output_size);
    QB_GSF_FUNCTION(gsf_output_close);
    QB_GSF_FUNCTION(gsf_outfile_msole_new);
    QB_GSF_FUNCTION(gsf_outfile_msole_set_class_id);
    QB_GSF_FUNCTION(gsf_outfile_new_child);
    QB_GSF_FUNCTION(gsf_doc_meta_data_new);
    QB_GSF_FUNCTION(gsf_doc_meta_data_lookup);
    QB_GSF_FUNCTION(gsf_doc_meta_data_insert);
    QB_GSF_FUNCTION(gsf_doc_meta_data_read_from_msole);
    QB_GSF_FUNCTION(gsf_doc_meta_data_write_to_msole);
    QB_GSF_FUNCTION(gsf_doc_prop_get_val);
    QB_GSF_FUNCTION(gsf_timestamp_get_type);
    QB_GSF_FUNCTION(gsf_timestamp_new);
    QB_GSF_FUNCTION(gsf_timestamp_set_time);
#undef QB_GSF_FUNCTION
};

// The library, loaded and started on the first call (safe from any thread). Throws SpreadsheetError when
// it cannot be loaded or lacks a function; the next call tries again.
const GsfLibrary& gsf();

}  // namespace spreadsheet
