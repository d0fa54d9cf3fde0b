// What the sanitizers are told before they start, built into every target so that it applies however a
// target is run.
//
// libgsf loses the directory entries it has made when it gives up on a damaged compound-file directory:
// gsf_infile_msole_new fails half way through reading the directory and the entries it built with
// g_malloc0 (and their names, converted from UTF-16) are never freed. The leak is libgsf's own; it is
// matched by libgsf's entry point, which every stack of it passes through. libgsf and GLib are built
// without frame pointers, so the fast unwinder stops at g_malloc0 and never sees that frame: the target
// that reads whole files unwinds allocations the slow, complete way instead.

extern "C" const char* __lsan_default_suppressions() {
    return "leak:gsf_infile_msole_new\n";
}

#if defined(QB_FUZZ_FILE)
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
#endif
