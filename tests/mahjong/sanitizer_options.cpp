// fontconfig keeps its caches until exit, and the panes' fonts fill them: those reports
// are the library's, not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}
