// The browser engine (libQt6WebEngineCore) frees with a mismatched delete, and it and
// fontconfig keep caches until exit. Those reports are the engine's, not ours: this test
// program alone ignores the mismatch and the leaks inside those two libraries.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore\nleak:libfontconfig\n";
}
